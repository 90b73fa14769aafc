// Automation values shared by the report engine and its neighbours: length-prefixed UTF-16
// strings (Bstr), the 16-byte Variant, 8-byte interface ids and the three operations every
// reference-counted object starts with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace plat {

// ---------------------------------------------------------------------------------------------
// Interface ids and the common object root

// Two 32-bit words, compared and copied as a whole.
struct InterfaceId {
    uint32_t first;
    uint32_t second;
};

constexpr bool IsEqualInterfaceId(const InterfaceId& a, const InterfaceId& b) {
    return a.first == b.first && a.second == b.second;
}
inline void CopyInterfaceId(InterfaceId* to, const InterfaceId& from) {
    *to = from;
}

// The first three operations of every object handed across the engine boundary. Results are
// engine result codes (0 success, negative failure); AddRef and Release answer the new count.
// Objects delete themselves, so the destructor is not public.
class Unknown {
  public:
    virtual int32_t QueryInterface(const InterfaceId* iid, void** out) = 0;
    virtual int32_t AddRef() = 0;
    virtual int32_t Release() = 0;

  protected:
    ~Unknown() = default;
};

// ---------------------------------------------------------------------------------------------
// Bstr: UTF-16 text preceded by a 32-bit byte count and followed by a 16-bit zero. The pointer
// addresses the first code unit, so a Bstr can be read as a zero-terminated string; the stored
// length also lets it carry embedded zeros. A null Bstr is the empty string.

using OleChar = char16_t;
using Bstr = OleChar*;

// Copies a zero-terminated string; null gives null. Null also when memory runs out.
Bstr BstrAlloc(const OleChar* text);
// Allocates length code units; copies them from text, or zero-fills when text is null.
Bstr BstrAllocLen(const OleChar* text, uint32_t length);
// Allocates a string of byteLength bytes (odd lengths allowed), copied from bytes or zeroed.
Bstr BstrAllocByteLen(const void* bytes, uint32_t byteLength);
Bstr BstrAllocView(std::u16string_view text);
// Copies a Bstr with its stored length (embedded zeros kept); null gives null.
Bstr BstrCopy(const OleChar* s);
void BstrFree(Bstr s);
// Stored length in code units / bytes; 0 for null. Only valid for strings made by BstrAlloc*.
uint32_t BstrLen(const OleChar* s);
uint32_t BstrByteLen(const OleChar* s);
std::u16string_view BstrView(const OleChar* s);

// Length of a zero-terminated UTF-16 string (0 for null).
size_t WideLen(const OleChar* s);

struct BstrDeleter {
    void operator()(OleChar* s) const { BstrFree(s); }
};
using UniqueBstr = std::unique_ptr<OleChar, BstrDeleter>;

// ---------------------------------------------------------------------------------------------
// Text conversions. The ANSI code page of the engine is CP932; file names on this system are
// UTF-8. Every conversion refuses what it cannot represent instead of substituting.

Bstr BstrFromUtf8(std::string_view text);  // null for invalid UTF-8 or no memory
bool Utf8FromWide(std::u16string_view text, std::string* out);  // false on a lone surrogate
std::u16string WideFromUtf8(std::string_view text, bool* ok = nullptr);
Bstr BstrFromCp932(std::string_view text);  // null for bytes that are not CP932
bool Cp932FromWide(std::u16string_view text, std::string* out);
bool WideFromCp932(std::string_view text, std::u16string* out);

// ---------------------------------------------------------------------------------------------
// Variant

using VarType = uint16_t;
inline constexpr VarType VT_EMPTY = 0;
inline constexpr VarType VT_NULL = 1;
inline constexpr VarType VT_I2 = 2;
inline constexpr VarType VT_I4 = 3;
inline constexpr VarType VT_R4 = 4;
inline constexpr VarType VT_R8 = 5;
inline constexpr VarType VT_DATE = 7;
inline constexpr VarType VT_BSTR = 8;
inline constexpr VarType VT_DISPATCH = 9;
inline constexpr VarType VT_ERROR = 10;
inline constexpr VarType VT_BOOL = 11;
inline constexpr VarType VT_VARIANT = 12;
inline constexpr VarType VT_UNKNOWN = 13;
inline constexpr VarType VT_DECIMAL = 14;
inline constexpr VarType VT_UI1 = 17;
inline constexpr VarType VT_UI2 = 18;
inline constexpr VarType VT_UI4 = 19;
inline constexpr VarType VT_VOID = 24;
inline constexpr VarType VT_PTR = 26;
inline constexpr VarType VT_USERDEFINED = 29;  // an engine object in class information
inline constexpr VarType VT_CLSID = 72;
inline constexpr VarType VT_BYREF = 0x4000;  // flag: the value is a pointer to the typed value

inline constexpr int16_t VARIANT_TRUE = -1;
inline constexpr int16_t VARIANT_FALSE = 0;

// 16 bytes: type word, three reserved words, 8-byte value. Arrays of Variants are passed as raw
// memory, so this stays a plain aggregate.
struct Variant {
    VarType vt;
    uint16_t reserved1;
    uint16_t reserved2;
    uint16_t reserved3;
    // raw first: value-initialising a Variant (Variant{}) zeroes a union's first member, and
    // with a one-byte first member clang leaves the other seven bytes as they were, which a
    // host reading a wider member or the whole value would then see.
    union {
        uint64_t raw;
        uint8_t bVal;
        int16_t iVal;
        uint16_t uiVal;
        int16_t boolVal;
        int32_t lVal;
        uint32_t ulVal;
        float fltVal;
        double dblVal;
        double date;
        Bstr bstrVal;
        Unknown* punkVal;   // VT_UNKNOWN
        Unknown* pdispVal;  // VT_DISPATCH: a scriptable object
        void* byref;        // VT_BYREF | type, VT_PTR
    };
};
static_assert(sizeof(Variant) == 16, "Variant must stay 16 bytes");

void VariantInit(Variant* v);
// Frees what the Variant owns (a Bstr; releases one reference of an object) and empties it.
void VariantClear(Variant* v);

// Small builders; a Bstr or object put in is not copied and not referenced.
Variant VariantI2(int16_t value);
Variant VariantI4(int32_t value);
Variant VariantUI2(uint16_t value);
Variant VariantUI4(uint32_t value);
Variant VariantBool(bool value);
Variant VariantBstr(Bstr value);
Variant VariantDispatch(Unknown* value);

}  // namespace plat
