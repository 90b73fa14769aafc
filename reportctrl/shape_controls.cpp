#include "reportctrl/controls.h"

namespace kpctrl {

namespace rc = kp::rc;
using plat::Variant;

namespace {

const kp::PropertyRow<ShapeControl> kLineProperties[] = {
    {KP_PROPERTY(SHAPE_CONTROL, LINE_WIDTH), &ShapeControl::GetLineWidth,
     &ShapeControl::PutLineWidth},
    {KP_PROPERTY(SHAPE_CONTROL, LINE_COLOR), &ShapeControl::GetLineColor,
     &ShapeControl::PutLineColor},
};

const kp::PropertyRow<ShapeControl> kBoxProperties[] = {
    {KP_PROPERTY(SHAPE_CONTROL, LINE_WIDTH), &ShapeControl::GetLineWidth,
     &ShapeControl::PutLineWidth},
    {KP_PROPERTY(SHAPE_CONTROL, LINE_COLOR), &ShapeControl::GetLineColor,
     &ShapeControl::PutLineColor},
    {KP_PROPERTY(SHAPE_CONTROL, FILL_COLOR), &ShapeControl::GetFillColor,
     &ShapeControl::PutFillColor},
};

bool IsLineWidth(int32_t width) {
    return width >= 0 && width <= kMaxLineWidth;
}

bool IsFill(uint32_t color) {
    return color <= kMaxColor || color == kNoFill;
}

}  // namespace

ShapeControl::ShapeControl(bool box)
    : ReportControl(box ? kp::ctrlclass::kBox : kp::ctrlclass::kLine,
                    box ? kClassCodeBox : kClassCodeLine, box ? u"Box" : u"Line"),
      box_(box),
      data_(kDefaults) {}

void ShapeControl::ResetData() {
    data_ = kDefaults;
}

int32_t ShapeControl::InvokeMember(int32_t memberId, int32_t kind, const kp::InvokeArgs* args,
                                   Variant* result) {
    if (box_) {
        return kp::DispatchMember<ShapeControl>(*this, kBoxProperties, {}, memberId, kind, args,
                                                result);
    }
    return kp::DispatchMember<ShapeControl>(*this, kLineProperties, {}, memberId, kind, args,
                                            result);
}

int32_t ShapeControl::GetLineWidth(Variant* value) {
    value->lVal = data_.lineWidth;
    return rc::kOk;
}

int32_t ShapeControl::PutLineWidth(const Variant& argument) {
    if (!IsLineWidth(argument.lVal)) return rc::kOutOfRange;
    data_.lineWidth = argument.lVal;
    return rc::kOk;
}

int32_t ShapeControl::GetLineColor(Variant* value) {
    value->ulVal = data_.lineColor;
    return rc::kOk;
}

int32_t ShapeControl::PutLineColor(const Variant& argument) {
    if (argument.ulVal > kMaxColor) return rc::kOutOfRange;
    data_.lineColor = argument.ulVal;
    return rc::kOk;
}

int32_t ShapeControl::GetFillColor(Variant* value) {
    value->ulVal = data_.fillColor;
    return rc::kOk;
}

int32_t ShapeControl::PutFillColor(const Variant& argument) {
    if (!IsFill(argument.ulVal)) return rc::kOutOfRange;
    data_.fillColor = argument.ulVal;
    return rc::kOk;
}

void ShapeControl::WriteRecords(RecordWriter* records) const {
    records->Int32(member::kLineWidth, data_.lineWidth);
    records->UInt32(member::kLineColor, data_.lineColor);
    if (box_) records->UInt32(member::kFillColor, data_.fillColor);
}

int32_t ShapeControl::ReadRecords(std::span<const uint8_t> body) {
    Data next = data_;
    const int32_t code = ForEachRecord(body, [&](int32_t id, std::span<const uint8_t> value) {
        bool ok = true;
        if (id == member::kLineWidth) {
            ok = DecodeInt32(value, &next.lineWidth) && IsLineWidth(next.lineWidth);
        } else if (id == member::kLineColor) {
            ok = DecodeUInt32(value, &next.lineColor) && next.lineColor <= kMaxColor;
        } else if (id == member::kFillColor && box_) {
            ok = DecodeUInt32(value, &next.fillColor) && IsFill(next.fillColor);
        }
        return ok ? 0 : kBadData;
    });
    if (code == 0) data_ = next;
    return code;
}

// ---------------------------------------------------------------------------------------------

GroupControl::GroupControl() : ReportControl(kp::ctrlclass::kGroup, kClassCodeGroup, u"Group") {}

int32_t GroupControl::InvokeMember(int32_t memberId, int32_t kind, const kp::InvokeArgs* args,
                                   Variant* result) {
    return kp::DispatchMember<GroupControl>(*this, {}, {}, memberId, kind, args, result);
}

int32_t GroupControl::ReadRecords(std::span<const uint8_t> body) {
    // A group keeps no data, but a later version's records are walked and skipped soundly.
    return ForEachRecord(body, [](int32_t, std::span<const uint8_t>) { return 0; });
}

}  // namespace kpctrl
