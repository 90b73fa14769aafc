#include "engine/core/font_usage.h"

#include <cstring>
#include <new>

#include "engine/core/font_ansi.h"

namespace kp {

int FontUsageTable::Find(std::u16string_view face, bool wide) const {
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        if (e.wide == wide && e.face.size() == face.size() && e.face == face) return int(i);
    }
    return -1;
}

int FontUsageTableCreate(std::unique_ptr<FontUsageTable>& table) {
    try {
        auto t = std::make_unique<FontUsageTable>();
        t->entries_.reserve(FontUsageTable::kGrowth);
        t->capacity_ = FontUsageTable::kGrowth;
        table = std::move(t);
        return 0;
    } catch (const std::bad_alloc&) {
        table.reset();
        return kFontUsageNoTable;
    }
}

int FontUsageFindFont(const FontUsageTable* table, std::u16string_view face, bool wide, bool& found,
                      int& index) {
    if (table == nullptr) return kFontUsageNoTable;
    index = table->Find(face, wide);
    found = index >= 0;
    return 0;
}

int FontUsageAddFont(FontUsageTable* table, std::u16string_view face, bool wide, int& index) {
    if (table == nullptr) return kFontUsageNoTable;
    int existing = table->Find(face, wide);
    if (existing >= 0) {
        index = existing;
        return 0;
    }
    try {
        FontUsageTable::Entry entry;
        entry.face = std::u16string(face);
        entry.wide = wide;
        entry.codes = std::make_unique<std::bitset<0x10000>>();
        if (table->count() == table->capacity_) {
            // Grows by 50 entries; when that fails the table stays as it was.
            table->entries_.reserve(size_t(table->capacity_) + FontUsageTable::kGrowth);
            table->capacity_ += FontUsageTable::kGrowth;
        }
        table->entries_.push_back(std::move(entry));
    } catch (const std::bad_alloc&) {
        return kFontUsageNoTable;
    }
    index = table->count() - 1;
    return 0;
}

int FontUsageGetFont(const FontUsageTable* table, int index, bool& wide, plat::Bstr& face) {
    if (table == nullptr) return kFontUsageNoTable;
    const FontUsageTable::Entry* e = table->At(index);
    if (e == nullptr) return kFontUsageBadIndex;
    plat::Bstr copy = plat::BstrAllocView(e->face);
    if (copy == nullptr && !e->face.empty()) return kFontUsageNoMemory;
    wide = e->wide;
    face = copy;
    return 0;
}

int FontUsageGetValue(const FontUsageTable* table, int index, int32_t& value) {
    if (table == nullptr) return kFontUsageNoTable;
    const FontUsageTable::Entry* e = table->At(index);
    if (e == nullptr) return kFontUsageBadIndex;
    value = e->value;
    return 0;
}

void FontUsageSetUsed(FontUsageTable* table, int index) {
    if (table == nullptr) return;
    if (FontUsageTable::Entry* e = table->At(index)) e->used = true;
}

bool FontUsageIsUsed(const FontUsageTable* table, int index) {
    if (table == nullptr) return false;
    const FontUsageTable::Entry* e = table->At(index);
    return e != nullptr && e->used;
}

void FontUsageMarkWide(FontUsageTable* table, int index, const char16_t* text, size_t count) {
    if (table == nullptr || text == nullptr) return;
    FontUsageTable::Entry* e = table->At(index);
    if (e == nullptr) return;
    if (count == 0) {
        while (text[count] != 0) ++count;
    }
    for (size_t i = 0; i < count; ++i) e->codes->set(text[i]);
}

int FontUsageMarkAnsi(FontUsageTable* table, int index, const char* text, size_t count) {
    if (table == nullptr || text == nullptr) return 0;
    FontUsageTable::Entry* e = table->At(index);
    if (e == nullptr) return 0;
    const void* zero = std::memchr(text, 0, count);
    if (zero != nullptr) count = size_t(static_cast<const char*>(zero) - text);
    try {
        std::u16string wide = AnsiToUtf16(std::string_view(text, count));
        for (char16_t c : wide) e->codes->set(c);
    } catch (const std::bad_alloc&) {
        return kFontUsageNoMemory;
    }
    return 0;
}

int FontUsageListCodes(const FontUsageTable* table, int index, char16_t* buffer, size_t size) {
    if (table == nullptr) return 0;
    const FontUsageTable::Entry* e = table->At(index);
    if (e == nullptr) return 0;
    size_t n = e->codes->count();
    if (buffer == nullptr) return int(n);
    if (size < n) return 0;
    size_t out = 0;
    for (uint32_t c = 0; c < 0x10000; ++c) {
        if (e->codes->test(c)) buffer[out++] = char16_t(c);
    }
    return int(n);
}

}  // namespace kp
