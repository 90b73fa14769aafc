#include "settings/button_assignment.h"

#include <array>
#include <cstdint>
#include <optional>

#include "programming/data_image.h"
#include "programming/function_codes.h"
#include "programming/key_layout.h"
#include "programming/port_codecs.h"
#include "programming/state.h"
#include "settings/form_command.h"
#include "settings/sheet_lines.h"

namespace qzs {
namespace {

constexpr int kButtonAssignmentBlock = 168;  // 256 bytes a telephone, 32 a page
constexpr std::size_t kButtonRowBytes = 256;
constexpr std::size_t kButtonPageBytes = 32;
constexpr std::size_t kLabelCharacters = 15;
constexpr std::size_t kMinimumDigitsText = 16;  // speed dial, "F" and "H" read up to 15
constexpr std::size_t kLockedShortText = 14;

// Kind codes of the stored entries.
constexpr unsigned kKindNoFunction = 0;
constexpr unsigned kKindDss = 10;
constexpr unsigned kKindSpeedDialFirst = 11;  // 11, 27, ... 171: 11 + 16 x the first digit
constexpr unsigned kKindSpeedDialLast = 171;
constexpr unsigned kKindFunction = 12;
constexpr unsigned kKindBox = 13;
constexpr unsigned kKindKey = 15;
constexpr unsigned kKindVoice = 28;
constexpr unsigned kKindFunction800 = 140;
constexpr unsigned kKindFunction900 = 156;
constexpr std::array<unsigned, 4> kKindsIToL{30, 46, 62, 78};

// "変更不可 c": the function cannot be changed from here.
constexpr std::string_view kLockedLabel = "\x95\xcf\x8dX\x95s\x89\xc2 c";

// The labels of the kinds that show their value: the text, where the value goes, its width.
struct ValueLabel {
    std::string_view text;
    std::size_t value_at;
};
constexpr ValueLabel kSpeedDialLabel{"\x92Z\x8fk :", 6};                      // 短縮 :   SPD
constexpr ValueLabel kDssLabel{"\x93\xe0\x90\xfc\xdc\xdd\xc0\xaf\xc1:", 10};  // 内線ﾜﾝﾀｯﾁ: DSS
constexpr ValueLabel kBoxLabel{"\xce\xde\xaf\xb8\xbd:", 6};  // ﾎﾞｯｸｽ:   BOX
constexpr ValueLabel kVoiceLabel{"\xce\xde\xb2\xbd :", 6};   // ﾎﾞｲｽ :   VOI
constexpr std::array<ValueLabel, 4> kIToLLabels{{
    {"DILIN:", 6},             // DIL
    {"\xca\xdf\xb0\xb8:", 5},  // ﾊﾟｰｸ:  PAK
    {"\x92\x85\x90MI:", 6},    // 着信I: CLI
    {"\x92\x85\x90MD:", 6},    // 着信D: CLD
}};
constexpr std::string_view kNoSetLabel = "\x93o\x98^\x82\xc8\x82\xb5";  // 登録なし NO SET

// The labels of kind 15 by the data byte: 15 characters, then the English form.
constexpr std::array<std::string_view, 21> kKeyLabels{
    "<       >      <       >",
    "<\xc0\xde\xb2\xd4\xd9:1>      <DIAL:1 >",  // <ﾀﾞｲﾔﾙ:1>
    "<\xc0\xde\xb2\xd4\xd9:2>      <DIAL:2 >",
    "<\xc0\xde\xb2\xd4\xd9:3>      <DIAL:3 >",
    "<\xc0\xde\xb2\xd4\xd9:4>      <DIAL:4 >",
    "<\xc0\xde\xb2\xd4\xd9:5>      <DIAL:5 >",
    "<\xc0\xde\xb2\xd4\xd9:6>      <DIAL:6 >",
    "<\xc0\xde\xb2\xd4\xd9:7>      <DIAL:7 >",
    "<\xc0\xde\xb2\xd4\xd9:8>      <DIAL:8 >",
    "<\xc0\xde\xb2\xd4\xd9:9>      <DIAL:9 >",
    "<\xc0\xde\xb2\xd4\xd9:0>      <DIAL:0 >",
    "<\xc0\xde\xb2\xd4\xd9:*>      <DIAL:* >",
    "<\xc0\xde\xb2\xd4\xd9:#>      <DIAL:# >",
    "<\x8d\xc4\x94\xad\x90M >      <REDIAL >",  // <再発信 >
    "<\x92Z\x8fk/\x93"
    "d\x98"
    "b\x92\xa0  ><SPEED  >",                 // <短縮/電話帳  >
    "<\x95\xdb\x97\xaf         ><HOLD   >",  // <保留         >
    "<      i      ><   i   >",
    "<\x91\xe3\x97\x9d\x89\x9e\x93\x9a/\x90\xd8\x91\xd6><       >",  // <代理応答/切替>
    "<\xcc\xaf\xb8/\xb8\xd8\xb1      ><       >",                    // <ﾌｯｸ/ｸﾘｱ      >
    "<\xbe\xdd\xc0\xb0\xb7\xb0       ><       >",                    // <ｾﾝﾀｰｷｰ       >
    "<             ><       >",
};

bool IsLeadByte(char c) {
    const auto b = static_cast<std::uint8_t>(c);
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The first 15 bytes of a label, blank padded, a double-byte character cut in two replaced by a
// blank; then "c".
std::string FifteenAndC(std::string_view text) {
    std::string label(kLabelCharacters, ' ');
    for (std::size_t i = 0; i < kLabelCharacters && i < text.size(); ++i) {
        if (IsLeadByte(text[i])) {
            if (i + 1 >= kLabelCharacters || i + 1 >= text.size()) break;
            label[i] = text[i];
            label[i + 1] = text[i + 1];
            ++i;
            continue;
        }
        label[i] = text[i];
    }
    return label + 'c';
}

std::string WithValue(const ValueLabel& l, std::string_view value) {
    std::string label = FifteenAndC(l.text);
    label.replace(l.value_at, value.size(), value);
    return label;
}

std::optional<unsigned> HexOf(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    return std::nullopt;
}

std::string TwoHex(unsigned byte) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[(byte >> 4) & 15], kDigits[byte & 15]};
}

std::string TwoDecimal(unsigned value) {
    std::string digits = std::to_string(value);
    return value < 10 ? "0" + digits : digits;
}

bool IsSpeedDialKind(unsigned kind) {
    return kind >= kKindSpeedDialFirst && kind <= kKindSpeedDialLast &&
           (kind - kKindSpeedDialFirst) % 16 == 0;
}

// The three characters of a speed-dial button: the first digit from the kind (a blank for kind
// 11), then the second and third from the data byte.
std::string SpeedDialDigits(unsigned kind, unsigned data) {
    return {KeyCodeToDigit(kind >> 4), KeyCodeToDigit(data & 15), KeyCodeToDigit(data >> 4)};
}

// Position digits of kinds 10 and 13: the telephone the stored code names, as the key sheet
// shows it ("1" and two digits for telephones 1-48, positions 109-112 stored as 21-24, else "0"
// and two digits); kind 13 above 128: "8" and the data minus 129.
std::string PositionDigits(unsigned kind, unsigned data) {
    if (kind == kKindBox && data > 128) return "8" + TwoDecimal(data - 129);
    const unsigned telephone = LineCodeToNumber(data);
    return (telephone >= 1 && telephone <= 48 ? "1" : "0") + TwoDecimal(telephone);
}

// A telephone position 101-112 or 137-148 at the position as its stored code ((X - 1) x 36 +
// YY, positions 109-112 as 21-24); none for anything else.
std::optional<std::uint8_t> PositionCode(const CommandText& t, std::size_t at) {
    const std::optional<unsigned> x = t.Digits(at, 1);
    const std::optional<unsigned> yy = t.Digits(at + 1, 2);
    if (!x || !yy || *x != 1) return std::nullopt;
    if (*yy >= 1 && *yy <= 8) return static_cast<std::uint8_t>(*yy);
    if (*yy >= 9 && *yy <= 12) return static_cast<std::uint8_t>(*yy + 12);
    if (*yy >= 37 && *yy <= 48) return static_cast<std::uint8_t>(*yy);
    return std::nullopt;
}

// Where a text's button lives.
struct Button {
    bool one_touch = false;
    unsigned telephone = 0;
    unsigned page = 0;  // 1-8 for a paged button
    unsigned button = 0;
    std::size_t kind_at = 0;
};

enum class Place { kFound, kIgnored, kBadPage };

// The telephone of positions 4-6: codes 1-6 and 9-12 of the first digit 1, through MapSlotCode.
std::optional<unsigned> TelephoneOf(const CommandText& t) {
    const std::optional<unsigned> x = t.Digits(4, 1);
    const std::optional<unsigned> yy = t.Digits(5, 2);
    if (!x || !yy) return std::nullopt;
    const int code = (static_cast<int>(*x) - 1) * 36 + static_cast<int>(*yy);
    if (code < 1 || code == 7 || code == 8 || code > 12) return std::nullopt;
    return MapSlotCode(static_cast<std::uint8_t>(code));
}

Place Locate(const CommandText& t, Button& b) {
    const std::string_view prefix = t.Text().substr(0, 3);
    const bool one_touch = prefix == "i92" || prefix == "*92";
    if (!one_touch && prefix != "i14" && prefix != "*14") return Place::kIgnored;
    const std::optional<unsigned> telephone = TelephoneOf(t);
    if (!telephone) return Place::kIgnored;
    b.telephone = *telephone;
    if (one_touch) {
        b.one_touch = true;
        const std::optional<unsigned> k = t.Digits(8, 2);
        if (!k || *k < 1 || *k > kOneTouchButtons) return Place::kIgnored;
        b.button = *k;
        b.kind_at = 11;
        return Place::kFound;
    }
    const char page = t.At(8);
    if (page < '1' || page > '8') return Place::kBadPage;
    b.page = static_cast<unsigned>(page - '0');
    const bool short_button = t.At(11) == '_' && !t.EndsAt(12);
    const std::optional<unsigned> k = short_button ? t.Digits(9, 1) : t.Digits(9, 2);
    if (!k || *k < 1 || *k > kButtonsPerPage) return Place::kIgnored;
    b.button = *k;
    b.kind_at = t.At(11) == '_' ? 10 : t.At(11) == 'n' ? 12 : 11;
    return Place::kFound;
}

std::uint8_t* EntryOf(DataImage& image, const Button& b) {
    if (b.one_touch) return KeyEntry(image, b.telephone, b.button);
    const std::size_t offset =
        (b.telephone - 1) * kButtonRowBytes + (b.page - 1) * kButtonPageBytes + (b.button - 1) * 2;
    return image.BlockByte(kButtonAssignmentBlock, offset);
}

void SetLock(ProgrammingState& state, const Button& b, bool locked) {
    const std::uint8_t value = locked ? 1 : 0;
    if (b.one_touch) {
        state.one_touch_lock_flags[b.telephone - 1][b.button - 1] = value;
    } else {
        state.paged_button_lock_flags[b.telephone - 1]
                                     [(b.page - 1) * kButtonsPerPage + b.button - 1] = value;
    }
}

bool Locked(const ProgrammingState& state, const Button& b) {
    if (b.one_touch) return state.one_touch_lock_flags[b.telephone - 1][b.button - 1] != 0;
    return state.paged_button_lock_flags[b.telephone - 1]
                                        [(b.page - 1) * kButtonsPerPage + b.button - 1] != 0;
}

// The two bytes of a kind and its value characters; none when nothing is to be stored.
std::optional<std::array<std::uint8_t, 2>> Encode(const CommandText& t, const Button& b,
                                                  char kind) {
    const std::size_t v = b.kind_at + 2;
    const auto hex_pair = [&](std::size_t at) -> std::optional<unsigned> {
        const std::optional<unsigned> h = HexOf(t.At(at));
        const std::optional<unsigned> l = HexOf(t.At(at + 1));
        if (!h || !l) return std::nullopt;
        return *h * 16 + *l;
    };
    const auto bytes = [](unsigned kind_code, unsigned data) {
        return std::array<std::uint8_t, 2>{static_cast<std::uint8_t>(kind_code),
                                           static_cast<std::uint8_t>(data)};
    };
    const bool long_enough = t.Text().size() >= kMinimumDigitsText;
    switch (kind) {
        case '0':
        case '1': {
            if (!long_enough) return std::nullopt;
            // A blank first digit is the two-digit form (kind 11) the code text gives back.
            const char first = t.At(v);
            const std::optional<unsigned> last_two = t.Digits(v + 1, 2);
            if (!last_two || (first != ' ' && (first < '0' || first > '9'))) return std::nullopt;
            const unsigned row = first == ' ' ? *last_two : (first - '0') * 100u + *last_two;
            if (row >= 600 && row <= 979) return std::nullopt;
            return bytes(KeyDigitToCode(first) * 16u + kKindSpeedDialFirst,
                         KeyDigitToCode(t.At(v + 2)) * 16u + KeyDigitToCode(t.At(v + 1)));
        }
        case 'A':
            return b.one_touch ? bytes(kKindFunction, 0) : bytes(kKindNoFunction, 0);
        case 'B':
        case 'G': {
            const std::optional<unsigned> value = hex_pair(v);
            if (!value) return std::nullopt;
            return bytes(kind == 'B' ? kKindFunction : kKindVoice, *value);
        }
        case 'C':
        case 'D': {
            const std::optional<unsigned> value = hex_pair(v + 1);
            if (!value) return std::nullopt;
            return bytes(kind == 'C' ? kKindFunction800 : kKindFunction900, *value);
        }
        case 'E': {
            const std::uint8_t code = KeyDigitToCode(t.At(v));
            if (code == 0) return std::nullopt;
            return bytes(kKindKey, code);
        }
        case 'F': {
            const std::optional<std::uint8_t> position =
                long_enough ? PositionCode(t, v) : std::nullopt;
            if (!position) return std::nullopt;
            return bytes(kKindDss, *position);
        }
        case 'H': {
            if (!long_enough) return std::nullopt;
            const std::optional<unsigned> nn = t.Digits(v + 1, 2);
            if (t.At(v) == '0' && nn) return bytes(kKindBox, (*nn + 217) % 256);
            // The form the code text gives for data above 128, read back to the same data.
            if (t.At(v) == '8' && nn) return bytes(kKindBox, *nn + 129);
            const std::optional<std::uint8_t> position = PositionCode(t, v);
            if (!position) return std::nullopt;
            return bytes(kKindBox, *position);
        }
        default:
            return std::nullopt;
    }
}

}  // namespace

int ApplyKeyAssignment(ProgrammingState& state, std::string_view text, bool from_form) {
    ApplicationLock::Guard guard(state.lock);
    const CommandText t(text);
    Button b;
    switch (Locate(t, b)) {
        case Place::kBadPage:
            return 0;
        case Place::kIgnored:
            return 1;
        case Place::kFound:
            break;
    }
    SetLock(state, b, false);
    const char kind = t.At(b.kind_at);
    if (kind == '\0' || (kind >= 'I' && kind <= 'L')) {
        SetLock(state, b, true);
        return 1;
    }
    const std::optional<std::array<std::uint8_t, 2>> entry = Encode(t, b, kind);
    if (!entry) {
        const bool known = std::string_view("01ABCDEFGH").find(kind) != std::string_view::npos;
        if (!known && !from_form && t.Text().size() < kLockedShortText) SetLock(state, b, true);
        return 1;
    }
    std::uint8_t* bytes = EntryOf(state.image, b);
    if (bytes == nullptr) return 1;
    bytes[0] = (*entry)[0];
    bytes[1] = (*entry)[1];
    return 1;
}

bool GetKeyAssignmentText(ProgrammingState& state, std::string_view name, std::string& label,
                          std::string& code) {
    ApplicationLock::Guard guard(state.lock);
    label.clear();
    code.clear();
    const CommandText t(name);
    Button b;
    if (Locate(t, b) != Place::kFound) return false;
    const std::uint8_t* bytes = EntryOf(state.image, b);
    if (bytes == nullptr) return false;
    if (Locked(state, b)) {
        label = kLockedLabel;
        return true;
    }
    const unsigned kind = bytes[0];
    const unsigned data = bytes[1];
    label = KeyAssignmentLabel(kind, data);
    if (kind == kKindNoFunction) {
        code = "A," + TwoHex(data);
    } else if (kind == kKindSpeedDialFirst) {
        code = "1," + SpeedDialDigits(kind, data).substr(1);
    } else if (IsSpeedDialKind(kind)) {
        code = "1," + SpeedDialDigits(kind, data);
    } else if (kind == kKindFunction) {
        code = "B," + TwoHex(data);
    } else if (kind == kKindFunction800) {
        code = "C,8" + TwoHex(data);
    } else if (kind == kKindFunction900) {
        code = "D,9" + TwoHex(data);
    } else if (kind == kKindKey) {
        code = std::string("E,") + KeyCodeToDigit(data);
    } else if (kind == kKindDss) {
        code = "F," + PositionDigits(kind, data);
    } else if (kind == kKindBox) {
        code = "H," + PositionDigits(kind, data);
    } else if (kind == kKindVoice) {
        // Kind "G" was given back as the button's own telephone position, which no post can
        // return; the two hex characters round-trip like "B".
        code = "G," + TwoHex(data);
    } else {
        for (std::size_t i = 0; i < kKindsIToL.size(); ++i) {
            if (kind == kKindsIToL[i]) code = std::string(1, "IJKL"[i]) + "," + TwoDecimal(data);
        }
    }
    return true;
}

std::string KeyAssignmentLabel(unsigned kind, unsigned data) {
    const auto function_label = [&](unsigned base) -> std::string {
        const unsigned high = (data >> 4) & 15;
        const unsigned low = data & 15;
        if (high > 9 || low > 9) return std::string(kLockedLabel);
        const FunctionCodeRow* row =
            FindFunctionCodeRow(FunctionCodeFamily::kA, base + high * 10 + low);
        if (row == nullptr) return std::string(kLockedLabel);
        return FifteenAndC(row->Label());
    };
    if (kind > kKindSpeedDialLast) return std::string(kLockedLabel);
    if (kind == kKindNoFunction) return FifteenAndC(kNoSetLabel);
    if (IsSpeedDialKind(kind)) return WithValue(kSpeedDialLabel, SpeedDialDigits(kind, data));
    switch (kind) {
        case kKindFunction:
            return function_label(0);
        case kKindFunction800:
            return function_label(800);
        case kKindFunction900:
            return function_label(900);
        case kKindKey:
            return data < kKeyLabels.size() ? FifteenAndC(kKeyLabels[data])
                                            : std::string(kLockedLabel);
        case kKindDss:
            return WithValue(kDssLabel, PositionDigits(kind, data));
        case kKindBox:
            return WithValue(kBoxLabel, PositionDigits(kind, data));
        case kKindVoice:
            return WithValue(kVoiceLabel, TwoHex(data));
        default:
            break;
    }
    for (std::size_t i = 0; i < kKindsIToL.size(); ++i) {
        if (kind == kKindsIToL[i]) return WithValue(kIToLLabels[i], TwoDecimal(data));
    }
    return std::string(kLockedLabel);
}

}  // namespace qzs
