// The fonts a saved report file uses: per face and text kind (UTF-16 or ANSI), which UTF-16
// code units its items draw, so that one subset per font can be embedded with exactly those
// characters. The object collection fills it while it saves the items; the report-file object
// owns it, marks the fonts it embeds and lists their codes.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/automation.h"

namespace kp {

inline constexpr int kFontUsageNoMemory = -15005;  // no memory to convert ANSI text
inline constexpr int kFontUsageNoTable = -15100;   // no table, or it could not grow
inline constexpr int kFontUsageBadIndex = -15101;

class FontUsageTable {
  public:
    // Entries are allocated 50 at a time.
    static constexpr int kGrowth = 50;

    int count() const { return int(entries_.size()); }
    int capacity() const { return capacity_; }

  private:
    struct Entry {
        std::u16string face;
        bool used = false;
        bool wide = false;
        int32_t value = 0;
        std::unique_ptr<std::bitset<0x10000>> codes;  // one bit per UTF-16 code unit
    };

    const Entry* At(int index) const {
        return index >= 0 && index < count() ? &entries_[size_t(index)] : nullptr;
    }
    Entry* At(int index) {
        return index >= 0 && index < count() ? &entries_[size_t(index)] : nullptr;
    }
    int Find(std::u16string_view face, bool wide) const;

    std::vector<Entry> entries_;
    int capacity_ = 0;

    friend int FontUsageTableCreate(std::unique_ptr<FontUsageTable>& table);
    friend int FontUsageFindFont(const FontUsageTable* table, std::u16string_view face, bool wide,
                                 bool& found, int& index);
    friend int FontUsageAddFont(FontUsageTable* table, std::u16string_view face, bool wide,
                                int& index);
    friend int FontUsageGetFont(const FontUsageTable* table, int index, bool& wide,
                                plat::Bstr& face);
    friend int FontUsageGetValue(const FontUsageTable* table, int index, int32_t& value);
    friend void FontUsageSetUsed(FontUsageTable* table, int index);
    friend bool FontUsageIsUsed(const FontUsageTable* table, int index);
    friend void FontUsageMarkWide(FontUsageTable* table, int index, const char16_t* text,
                                  size_t count);
    friend int FontUsageMarkAnsi(FontUsageTable* table, int index, const char* text, size_t count);
    friend int FontUsageListCodes(const FontUsageTable* table, int index, char16_t* buffer,
                                  size_t size);
};

// A new, empty table with room for 50 fonts.
int FontUsageTableCreate(std::unique_ptr<FontUsageTable>& table);

// The entry of a face and text kind: found and its index, or not found and index -1. Faces
// compare by length and content, case-sensitively.
int FontUsageFindFont(const FontUsageTable* table, std::u16string_view face, bool wide, bool& found,
                      int& index);
// The index of the face's entry, added (unused, value 0, no codes) when missing.
int FontUsageAddFont(FontUsageTable* table, std::u16string_view face, bool wide, int& index);
// A new Bstr copy of the face, which the caller frees, and the text kind.
int FontUsageGetFont(const FontUsageTable* table, int index, bool& wide, plat::Bstr& face);
int FontUsageGetValue(const FontUsageTable* table, int index, int32_t& value);
// Marks the font as embedded; a bad index does nothing.
void FontUsageSetUsed(FontUsageTable* table, int index);
// False for a bad index.
bool FontUsageIsUsed(const FontUsageTable* table, int index);
// Marks the code units of UTF-16 text, `count` of them or, with 0, up to the terminating zero.
void FontUsageMarkWide(FontUsageTable* table, int index, const char16_t* text, size_t count);
// Marks the characters of `count` bytes of ANSI (CP932) text, up to a zero byte.
int FontUsageMarkAnsi(FontUsageTable* table, int index, const char* text, size_t count);
// The number of code units marked; with a buffer of `size` code units, they are written in
// ascending order. 0 when the buffer is too small or the index is bad.
int FontUsageListCodes(const FontUsageTable* table, int index, char16_t* buffer, size_t size);

}  // namespace kp
