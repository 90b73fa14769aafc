#include "programming/character_table.h"

namespace qzs {

DisplayCharacterTable::DisplayCharacterTable() {
    // Nothing in the image describes the characters, so each code starts as itself.
    for (unsigned i = 0; i < kDisplayCharacterCount; ++i) {
        entries[i] = static_cast<std::uint8_t>(kFirstDisplayCode + i);
    }
}

void ReloadCharacterTable(const DisplayCharacterTable& table) {
    if (!table.hook) return;
    for (unsigned i = 0; i < kDisplayCharacterCount; ++i) {
        table.hook(static_cast<std::uint8_t>(kFirstDisplayCode + i), table.entries[i]);
    }
}

}  // namespace qzs
