#include <cmath>

#include "platform/fonts/logical_font.h"
#include "reportctrl/controls.h"

namespace kpctrl {

namespace rc = kp::rc;
using plat::Variant;

namespace {

// "ＭＳ ゴシック": the face the layouts of this product were drawn with; the font layer maps it
// onto the installed IPA Gothic.
constexpr std::u16string_view kDefaultFace = u"\uFF2D\uFF33 \u30B4\u30B7\u30C3\u30AF";
constexpr int32_t kDefaultFontSize = 1050;  // 10.5 pt, the usual size of Japanese documents

const kp::PropertyRow<TextControl> kTextProperties[] = {
    {KP_PROPERTY(TEXT_CONTROL, FONT_NAME), &TextControl::GetFontName, &TextControl::PutFontName},
    {KP_PROPERTY(TEXT_CONTROL, FONT_SIZE), &TextControl::GetFontSize, &TextControl::PutFontSize},
    {KP_PROPERTY(TEXT_CONTROL, TEXT), &TextControl::GetText, &TextControl::PutText},
    {KP_PROPERTY(TEXT_CONTROL, ALIGN), &TextControl::GetAlign, &TextControl::PutAlign},
    {KP_PROPERTY(TEXT_CONTROL, WIDE), &TextControl::GetWide, nullptr},
    {KP_PROPERTY(TEXT_CONTROL, VALIGN), &TextControl::GetVAlign, &TextControl::PutVAlign},
    {KP_PROPERTY(TEXT_CONTROL, TEXT_COLOR), &TextControl::GetTextColor, &TextControl::PutTextColor},
};

int32_t PutBstr(Variant* value, std::u16string_view text) {
    // An empty text reads as a null string, so that nobody registers a font for nothing.
    if (text.empty()) return rc::kOk;
    value->bstrVal = plat::BstrAllocView(text);
    return value->bstrVal != nullptr ? rc::kOk : rc::kOutOfMemory;
}

bool IsAlignment(int16_t value) {
    return value >= 0 && value <= 2;
}

bool IsFontSize(int32_t hundredths) {
    return hundredths >= 100 && hundredths <= 50000;
}

}  // namespace

TextControl::TextControl() : ReportControl(kp::ctrlclass::kText, kClassCodeText, u"Text") {
    data_ = Defaults();
}

TextControl::Data TextControl::Defaults() {
    return {std::u16string(kDefaultFace), kDefaultFontSize, u"", kAlignLeft, kVAlignTop, 0};
}

void TextControl::ResetData() {
    data_ = Defaults();
}

int32_t TextControl::InvokeMember(int32_t memberId, int32_t kind, const kp::InvokeArgs* args,
                                  Variant* result) {
    return kp::DispatchMember<TextControl>(*this, kTextProperties, {}, memberId, kind, args,
                                           result);
}

int32_t TextControl::GetFontName(Variant* value) {
    return PutBstr(value, data_.fontName);
}

int32_t TextControl::PutFontName(const Variant& argument) {
    const std::u16string_view name = plat::BstrView(argument.bstrVal);
    if (name.empty() || name.size() > plat::kMaxFaceNameLength ||
        name.find(u'\0') != std::u16string_view::npos) {
        return rc::kOutOfRange;
    }
    data_.fontName = name;
    return rc::kOk;
}

int32_t TextControl::GetFontSize(Variant* value) {
    value->fltVal = static_cast<float>(data_.fontSize / 100.0);
    return rc::kOk;
}

int32_t TextControl::PutFontSize(const Variant& argument) {
    const float points = argument.fltVal;
    if (!(points >= kMinFontPoints && points <= kMaxFontPoints)) return rc::kOutOfRange;
    // Kept in hundredths of a point, as saved; 10.5 stays exactly 10.5.
    data_.fontSize = static_cast<int32_t>(std::round(static_cast<double>(points) * 100.0));
    return rc::kOk;
}

int32_t TextControl::GetText(Variant* value) {
    return PutBstr(value, data_.text);
}

int32_t TextControl::PutText(const Variant& argument) {
    const std::u16string_view text = plat::BstrView(argument.bstrVal);
    if (text.size() > kMaxTextLength || text.find(u'\0') != std::u16string_view::npos) {
        return rc::kOutOfRange;
    }
    data_.text = text;
    return rc::kOk;
}

int32_t TextControl::GetAlign(Variant* value) {
    value->iVal = data_.align;
    return rc::kOk;
}

int32_t TextControl::PutAlign(const Variant& argument) {
    if (!IsAlignment(argument.iVal)) return rc::kOutOfRange;
    data_.align = argument.iVal;
    return rc::kOk;
}

int32_t TextControl::GetWide(Variant* value) {
    // Texts are kept in UTF-16 whatever was put, so they register as wide.
    value->boolVal = plat::VARIANT_TRUE;
    return rc::kOk;
}

int32_t TextControl::GetVAlign(Variant* value) {
    value->iVal = data_.valign;
    return rc::kOk;
}

int32_t TextControl::PutVAlign(const Variant& argument) {
    if (!IsAlignment(argument.iVal)) return rc::kOutOfRange;
    data_.valign = argument.iVal;
    return rc::kOk;
}

int32_t TextControl::GetTextColor(Variant* value) {
    value->ulVal = data_.color;
    return rc::kOk;
}

int32_t TextControl::PutTextColor(const Variant& argument) {
    if (argument.ulVal > kMaxColor) return rc::kOutOfRange;
    data_.color = argument.ulVal;
    return rc::kOk;
}

void TextControl::WriteRecords(RecordWriter* records) const {
    records->String(member::kFontName, data_.fontName);
    records->Int32(member::kFontSize, data_.fontSize);
    records->String(member::kText, data_.text);
    records->Int16(member::kAlign, data_.align);
    records->Int16(member::kVAlign, data_.valign);
    records->UInt32(member::kTextColor, data_.color);
}

int32_t TextControl::ReadRecords(std::span<const uint8_t> body) {
    Data next = data_;
    const int32_t code = ForEachRecord(body, [&](int32_t id, std::span<const uint8_t> value) {
        bool ok = true;
        switch (id) {
            case member::kFontName:
                ok = DecodeString(value, &next.fontName) && !next.fontName.empty() &&
                     next.fontName.size() <= plat::kMaxFaceNameLength;
                break;
            case member::kFontSize:
                ok = DecodeInt32(value, &next.fontSize) && IsFontSize(next.fontSize);
                break;
            case member::kText:
                ok = DecodeString(value, &next.text) && next.text.size() <= kMaxTextLength;
                break;
            case member::kAlign:
                ok = DecodeInt16(value, &next.align) && IsAlignment(next.align);
                break;
            case member::kVAlign:
                ok = DecodeInt16(value, &next.valign) && IsAlignment(next.valign);
                break;
            case member::kTextColor:
                ok = DecodeUInt32(value, &next.color) && next.color <= kMaxColor;
                break;
            default:
                break;  // a later version's property
        }
        return ok ? 0 : kBadData;
    });
    if (code == 0) data_ = std::move(next);
    return code;
}

}  // namespace kpctrl
