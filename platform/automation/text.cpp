#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/automation/automation.h"

namespace plat {

namespace {

// Strict UTF-8: no overlong forms, no encoded surrogates, nothing above U+10FFFF.
bool DecodeUtf8(std::string_view text, std::u16string* out) {
    out->clear();
    out->reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        uint32_t cp = 0;
        size_t extra = 0;
        uint32_t minimum = 0;
        if (b0 < 0x80) {
            cp = b0;
        } else if ((b0 & 0xE0) == 0xC0) {
            cp = b0 & 0x1F;
            extra = 1;
            minimum = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            cp = b0 & 0x0F;
            extra = 2;
            minimum = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            cp = b0 & 0x07;
            extra = 3;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i - 1 < extra) return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            if ((b & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out->push_back(static_cast<char16_t>(cp));
        }
        i += extra + 1;
    }
    return true;
}

// A descriptor per thread and direction, opened on first use. Opening one walks glibc's
// module cache and loads the converter, which cost far more than converting the short texts a
// sheet fills in; a descriptor of its own per thread keeps the conversion thread-safe.
class ThreadIconv {
  public:
    ~ThreadIconv() {
        for (const Slot& slot : slots_) iconv_close(slot.cd);
    }
    // Null when iconv cannot convert between the two: such a pair is asked again next time.
    iconv_t Get(const char* to, const char* from) {
        for (const Slot& slot : slots_) {
            if (std::strcmp(slot.to, to) == 0 && std::strcmp(slot.from, from) == 0) {
                // Back to the initial state: a conversion that stopped half-way leaves one.
                iconv(slot.cd, nullptr, nullptr, nullptr, nullptr);
                return slot.cd;
            }
        }
        iconv_t cd = iconv_open(to, from);
        if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
        try {
            slots_.push_back({to, from, cd});
        } catch (...) {
            iconv_close(cd);
            throw;
        }
        return cd;
    }

  private:
    struct Slot {
        const char* to;  // the callers' literals
        const char* from;
        iconv_t cd;
    };
    std::vector<Slot> slots_;
};

// One conversion through glibc iconv.
bool Iconv(const char* to, const char* from, const char* in, size_t inBytes,
           std::vector<char>* out) {
    thread_local ThreadIconv descriptors;
    iconv_t cd = descriptors.Get(to, from);
    if (cd == nullptr) return false;
    out->assign(inBytes * 2 + 16, 0);
    char* src = const_cast<char*>(in);
    size_t srcLeft = inBytes;
    size_t used = 0;
    bool ok = true;
    while (srcLeft > 0) {
        char* dst = out->data() + used;
        size_t dstLeft = out->size() - used;
        const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        used = out->size() - dstLeft;
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                out->resize(out->size() * 2);
                continue;
            }
            ok = false;  // EILSEQ or EINVAL: not representable, or cut in the middle
            break;
        }
        if (r != 0) {
            ok = false;  // iconv substituted something irreversibly
            break;
        }
    }
    out->resize(used);
    return ok;
}

}  // namespace

std::u16string WideFromUtf8(std::string_view text, bool* ok) {
    std::u16string wide;
    const bool good = DecodeUtf8(text, &wide);
    if (ok) *ok = good;
    if (!good) wide.clear();
    return wide;
}

Bstr BstrFromUtf8(std::string_view text) {
    std::u16string wide;
    if (!DecodeUtf8(text, &wide)) return nullptr;
    return BstrAllocView(wide);
}

bool Utf8FromWide(std::u16string_view text, std::string* out) {
    out->clear();
    out->reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
        }
        if (cp < 0x80) {
            out->push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return true;
}

bool WideFromCp932(std::string_view text, std::u16string* out) {
    out->clear();
    if (text.empty()) return true;
    // Code page 932 keeps the single bytes below 0x80 as ASCII (backslash and tilde included),
    // and most texts a sheet fills in are digits: those need no converter.
    if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; })) {
        out->assign(text.begin(), text.end());
        return true;
    }
    std::vector<char> bytes;
    if (!Iconv("UTF-16LE", "CP932", text.data(), text.size(), &bytes)) return false;
    out->resize(bytes.size() / 2);
    for (size_t i = 0; i < out->size(); ++i) {
        (*out)[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                          (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return true;
}

Bstr BstrFromCp932(std::string_view text) {
    std::u16string wide;
    if (!WideFromCp932(text, &wide)) return nullptr;
    return BstrAllocView(wide);
}

bool Cp932FromWide(std::u16string_view text, std::string* out) {
    out->clear();
    if (text.empty()) return true;
    std::vector<char> in(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        in[2 * i] = static_cast<char>(text[i] & 0xFF);
        in[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    std::vector<char> bytes;
    if (!Iconv("CP932", "UTF-16LE", in.data(), in.size(), &bytes)) return false;
    out->assign(bytes.begin(), bytes.end());
    return true;
}

}  // namespace plat
