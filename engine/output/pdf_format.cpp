#include "engine/output/pdf_format.h"

#include <charconv>
#include <cstring>

namespace kp {

std::string PdfFormatArgs(const char* format, const PdfArg* args, size_t count) {
    std::string out;
    size_t next = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            out.push_back(*p);
            continue;
        }
        ++p;
        if (*p == '%') {
            out.push_back('%');
            continue;
        }
        bool zero = false;
        if (*p == '0') {
            zero = true;
            ++p;
        }
        int width = 0;
        while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
        int precision = 6;
        if (*p == '.') {
            ++p;
            precision = 0;
            while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
        }
        const char conv = *p;
        if (conv == '\0') break;
        if (next >= count) continue;
        const PdfArg& arg = args[next++];
        char buf[64];
        std::to_chars_result r{buf, {}};
        switch (conv) {
            case 'd':
            case 'u':
                if (auto* v = std::get_if<int64_t>(&arg)) r = std::to_chars(buf, buf + 64, *v);
                break;
            case 'x':
            case 'X':
                if (auto* v = std::get_if<int64_t>(&arg)) {
                    r = std::to_chars(buf, buf + 64, uint64_t(*v) & 0xFFFFFFFFu, 16);
                    if (conv == 'X') {
                        for (char* c = buf; c < r.ptr; ++c) {
                            if (*c >= 'a' && *c <= 'f') *c = char(*c - 'a' + 'A');
                        }
                    }
                }
                break;
            case 'f':
                if (auto* v = std::get_if<double>(&arg)) {
                    r = std::to_chars(buf, buf + 64, *v, std::chars_format::fixed, precision);
                }
                break;
            case 's':
                if (auto* v = std::get_if<const char*>(&arg)) {
                    if (*v != nullptr) out += *v;
                }
                continue;
            default:
                continue;
        }
        const size_t n = size_t(r.ptr - buf);
        if (int(n) < width) {
            // Zeros go after a sign, blanks before it.
            size_t at = out.size();
            if (zero && n > 0 && buf[0] == '-') {
                out.push_back('-');
                at = out.size();
                out.append(buf + 1, n - 1);
            } else {
                out.append(buf, n);
            }
            out.insert(at, size_t(width) - n, zero ? '0' : ' ');
        } else {
            out.append(buf, n);
        }
    }
    return out;
}

}  // namespace kp
