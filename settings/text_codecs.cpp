#include "settings/text_codecs.h"

namespace qzs {
namespace {

// The bytes up to the first 0 byte: the texts come from C strings on the wire.
std::string_view UpToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

unsigned HexValueOrCode(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    return static_cast<unsigned char>(c);
}

bool KeptByUrlEncode(std::uint8_t b) {
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '*' ||
           b == '-' || b == '.' || b == '@' || b == '_';
}

constexpr char kEsc = 0x1B;

}  // namespace

char Base64DigitChar(unsigned value) {
    if (value < 26) return static_cast<char>('A' + value);
    if (value < 52) return static_cast<char>('a' + (value - 26));
    if (value < 62) return static_cast<char>('0' + (value - 52));
    if (value == 62) return '+';
    if (value == 63) return '/';
    return '=';
}

std::uint8_t Base64DigitValue(char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<std::uint8_t>(c - 'A');
    if (c >= 'a' && c <= 'z') return static_cast<std::uint8_t>(c - 'a' + 26);
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0' + 52);
    if (c == '+') return 62;
    if (c == '/') return 63;
    if (c == '=') return 64;
    return 255;
}

std::string Base64Encode(std::string_view text) {
    text = UpToNul(text);
    std::string out;
    out.reserve((text.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < text.size(); i += 3) {
        const std::size_t left = text.size() - i;
        const auto b0 = static_cast<unsigned char>(text[i]);
        const unsigned b1 = left > 1 ? static_cast<unsigned char>(text[i + 1]) : 0;
        const unsigned b2 = left > 2 ? static_cast<unsigned char>(text[i + 2]) : 0;
        out += Base64DigitChar(b0 >> 2);
        out += Base64DigitChar(((b0 & 3) << 4) | (b1 >> 4));
        out += left > 1 ? Base64DigitChar(((b1 & 15) << 2) | (b2 >> 6)) : '=';
        out += left > 2 ? Base64DigitChar(b2 & 63) : '=';
    }
    return out;
}

std::string Base64Decode(std::string_view text) {
    text = UpToNul(text);
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const std::string_view group = text.substr(i, 4);
        if (group.size() < 2 || group[0] == '=' || group[1] == '=') break;
        // Cut to six bits: '=' (64) counts as 0 and anything outside the alphabet (255) as 63.
        unsigned x[4] = {};
        for (std::size_t k = 0; k < group.size(); ++k) x[k] = Base64DigitValue(group[k]) & 63u;
        out += static_cast<char>((x[0] << 2 | x[1] >> 4) & 0xFF);
        if (group.size() < 3 || group[2] == '=') break;
        out += static_cast<char>(((x[1] & 15) << 4 | x[2] >> 2) & 0xFF);
        if (group.size() < 4 || group[3] == '=') break;
        out += static_cast<char>(((x[2] & 3) << 6 | x[3]) & 0xFF);
    }
    return out;
}

std::uint8_t HexDigitsToByte(char high, char low) {
    return static_cast<std::uint8_t>((HexValueOrCode(high) << 4 | HexValueOrCode(low)) & 0xFF);
}

std::string ByteToHexDigits(std::uint8_t byte) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[byte >> 4], kDigits[byte & 15]};
}

std::string UrlDecode(std::string_view text) {
    text = UpToNul(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size()) {
            out += static_cast<char>(HexDigitsToByte(text[i + 1], text[i + 2]));
            i += 2;
        } else {
            // A '%' too near the end to carry two characters stays as it is.
            out += c;
        }
    }
    return out;
}

std::string UrlEncodeByte(std::uint8_t byte, bool force) {
    if (!force) {
        if (byte == ' ') return "+";
        if (KeptByUrlEncode(byte)) return std::string(1, static_cast<char>(byte));
    }
    return "%" + ByteToHexDigits(byte);
}

std::string UrlEncode(std::string_view text) {
    text = UpToNul(text);
    std::string out;
    bool after_lead = false;
    for (const char c : text) {
        const auto b = static_cast<std::uint8_t>(c);
        if (IsSjisLeadByte(b)) {
            // A second byte in the lead range keeps the flag: the pair is not told apart.
            after_lead = true;
            out += UrlEncodeByte(b, true);
        } else if (after_lead) {
            after_lead = false;
            out += UrlEncodeByte(b, true);
        } else {
            out += UrlEncodeByte(b, false);
        }
    }
    return out;
}

bool IsSjisLeadByte(std::uint8_t byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::uint16_t SjisPairToJis(std::uint8_t first, std::uint8_t second) {
    int row = first <= 0x9F ? 2 * (first - 0x70) : 2 * (first - 0xB0);
    if (second < 0x9F) --row;
    int cell = 0;
    if (second < 0x7F) {
        cell = second - 0x1F;
    } else if (second < 0x9F) {
        cell = second - 0x20;
    } else {
        cell = second - 0x7E;
    }
    return static_cast<std::uint16_t>((row & 0xFF) << 8 | (cell & 0xFF));
}

std::string SjisToJis(std::string_view text) {
    text = UpToNul(text);
    std::string out;
    bool double_byte = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        if (IsSjisLeadByte(b)) {
            if (i + 1 >= text.size()) break;  // no second byte: nothing to write for it
            if (!double_byte) out += {kEsc, '$', 'B'};
            double_byte = true;
            const std::uint16_t jis = SjisPairToJis(b, static_cast<std::uint8_t>(text[i + 1]));
            out += static_cast<char>(jis >> 8);
            out += static_cast<char>(jis & 0xFF);
            ++i;
            continue;
        }
        if (double_byte) out += {kEsc, '(', 'B'};
        double_byte = false;
        if (b == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += static_cast<char>(b);
    }
    if (double_byte) out += {kEsc, '(', 'B'};
    return out;
}

}  // namespace qzs
