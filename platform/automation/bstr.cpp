#include <cstdlib>
#include <cstring>

#include "platform/automation/automation.h"

namespace plat {

namespace {

// The byte count sits in front of the text, the terminator behind it. Keeping the total inside
// 32 bits lets callers hand the byte count on as a 32-bit value.
constexpr uint32_t kMaxBytes = 0x7FFFFFF0u;

uint32_t* Prefix(const OleChar* s) {
    return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(const_cast<OleChar*>(s)) -
                                       sizeof(uint32_t));
}

}  // namespace

Bstr BstrAllocByteLen(const void* bytes, uint32_t byteLength) {
    if (byteLength > kMaxBytes) return nullptr;
    // Two zero bytes always follow the text, plus one more so that an odd byte count still ends
    // in a whole zero code unit.
    const size_t total = sizeof(uint32_t) + size_t{byteLength} + 3;
    auto* block = static_cast<char*>(std::malloc(total));
    if (!block) return nullptr;
    std::memcpy(block, &byteLength, sizeof(uint32_t));
    char* text = block + sizeof(uint32_t);
    if (bytes) {
        std::memcpy(text, bytes, byteLength);
    } else {
        std::memset(text, 0, byteLength);
    }
    std::memset(text + byteLength, 0, 3);
    return reinterpret_cast<Bstr>(text);
}

Bstr BstrAllocLen(const OleChar* text, uint32_t length) {
    if (length > kMaxBytes / sizeof(OleChar)) return nullptr;
    return BstrAllocByteLen(text, length * static_cast<uint32_t>(sizeof(OleChar)));
}

Bstr BstrAlloc(const OleChar* text) {
    if (!text) return nullptr;
    const size_t length = WideLen(text);
    if (length > kMaxBytes / sizeof(OleChar)) return nullptr;
    return BstrAllocLen(text, static_cast<uint32_t>(length));
}

Bstr BstrAllocView(std::u16string_view text) {
    if (text.size() > kMaxBytes / sizeof(OleChar)) return nullptr;
    // An empty view still gives a real (empty) string, never null.
    return BstrAllocLen(text.empty() ? u"" : text.data(), static_cast<uint32_t>(text.size()));
}

Bstr BstrCopy(const OleChar* s) {
    if (!s) return nullptr;
    return BstrAllocByteLen(s, BstrByteLen(s));
}

void BstrFree(Bstr s) {
    if (s) std::free(Prefix(s));
}

uint32_t BstrByteLen(const OleChar* s) {
    return s ? *Prefix(s) : 0;
}

uint32_t BstrLen(const OleChar* s) {
    return BstrByteLen(s) / static_cast<uint32_t>(sizeof(OleChar));
}

std::u16string_view BstrView(const OleChar* s) {
    if (!s) return {};
    return {s, BstrLen(s)};
}

size_t WideLen(const OleChar* s) {
    if (!s) return 0;
    size_t n = 0;
    while (s[n] != 0) ++n;
    return n;
}

}  // namespace plat
