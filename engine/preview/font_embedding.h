// The fonts a saved report file embeds: one subset per entry of the file's font usage table,
// cut from the font the face selects at regular weight, named as the face (without a vertical
// '@') so that a viewer that registers it finds it under the family its pages ask for.
#pragma once

#include <cstdint>
#include <vector>

namespace kp {
class FontUsageTable;
}

namespace kp::preview {

// The subset of entry `index`, holding every code unit used with its face in either text kind;
// no bytes for an entry without codes. The subsetter's failure is answered.
int32_t SubsetForFile(const FontUsageTable* table, int index, std::vector<uint8_t>* subset);

}  // namespace kp::preview
