// The controls of the report control library: text, line, box and group. Each is one object
// speaking four interfaces: its ScriptableObject (answering to its class id) with the members of
// its class, the site holder the engine places it with, drawing and persistence.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "engine/core/control_interfaces.h"
#include "engine/core/member_table.h"
#include "reportctrl/control_data.h"

namespace kpctrl {

using kp::InterfaceId;
using kp::RectL;

// Ranges of the members.
inline constexpr float kMinFontPoints = 1.0f;
inline constexpr float kMaxFontPoints = 500.0f;
inline constexpr uint32_t kMaxColor = 0x00FFFFFF;
inline constexpr uint32_t kNoFill = 0xFFFFFFFF;
// Texts are one line of a form; the bound keeps a saved control well under kMaxDataBytes.
inline constexpr size_t kMaxTextLength = 65535;
// Line widths are in the report's unit; 0 draws one device pixel, as a GDI pen of width 0.
inline constexpr int32_t kMaxLineWidth = 100000;

enum TextAlign : int16_t { kAlignLeft = 0, kAlignCenter = 1, kAlignRight = 2 };
enum TextVAlign : int16_t { kVAlignTop = 0, kVAlignMiddle = 1, kVAlignBottom = 2 };

// Member ids, as the public member table gives them.
namespace member {
inline constexpr int32_t kFontName = KPM_TEXT_CONTROL_FONT_NAME;
inline constexpr int32_t kFontSize = KPM_TEXT_CONTROL_FONT_SIZE;
inline constexpr int32_t kText = KPM_TEXT_CONTROL_TEXT;
inline constexpr int32_t kAlign = KPM_TEXT_CONTROL_ALIGN;
inline constexpr int32_t kWide = KPM_TEXT_CONTROL_WIDE;
inline constexpr int32_t kVAlign = KPM_TEXT_CONTROL_VALIGN;
inline constexpr int32_t kTextColor = KPM_TEXT_CONTROL_TEXT_COLOR;
inline constexpr int32_t kLineWidth = KPM_SHAPE_CONTROL_LINE_WIDTH;
inline constexpr int32_t kLineColor = KPM_SHAPE_CONTROL_LINE_COLOR;
inline constexpr int32_t kFillColor = KPM_SHAPE_CONTROL_FILL_COLOR;
}  // namespace member

// What a control knows of the DCs it is asked to draw on.
struct DrawRequest {
    uint32_t drawDc;
    uint32_t attributeDc;  // as given, 0 for none
    uint32_t metricDc;     // the attribute DC, or the drawing DC when none was given
    RectL pixels;          // the control's rectangle in the drawing DC's logical units
    int32_t dpiX;
    int32_t dpiY;
    uint32_t flags;
};

class ReportControl : public kp::ScriptableObject,
                      public kp::ControlSiteHolder,
                      public kp::ControlDraw,
                      public kp::ControlPersist {
  public:
    ReportControl(const ReportControl&) = delete;
    ReportControl& operator=(const ReportControl&) = delete;

    // Unknown (shared by all four interfaces)
    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;

    // ScriptableObject
    int32_t GetTypeInfo(kp::ClassInfo** out) override;  // controls describe no class: -2
    int32_t Invoke(int32_t memberId, int32_t kind, const kp::InvokeArgs* args,
                   plat::Variant* result) override;

    // ControlSiteHolder
    int32_t SetSite(kp::ControlSite* site) override;
    int32_t SetState(int32_t state) override;
    int32_t SetRect(const RectL* rect) override;
    int32_t GetRect(RectL* out) override;
    int32_t SetName(const plat::OleChar* name) override;
    int32_t GetName(plat::Bstr* out) override;
    int32_t ClearData() override;

    // ControlDraw
    int32_t Draw(uint32_t drawDc, uint32_t attributeDc, const RectL* clip, int32_t inheritState,
                 uint32_t flags) override;
    // Controls have no window of their own; they draw when asked, so there is nothing to mark.
    int32_t Invalidate(int32_t how) override;

    // ControlPersist
    int32_t InitNew() override;
    int32_t Load(kp::EngineStream* stream) override;
    int32_t Save(kp::EngineStream* stream) override;
    int32_t GetDataSize(uint32_t* out) override;

    const InterfaceId& classId() const { return classId_; }
    int32_t state() const;

  protected:
    ReportControl(const InterfaceId& classId, uint16_t classCode, std::u16string_view name);
    virtual ~ReportControl();

    // Under the control's lock.
    virtual int32_t InvokeMember(int32_t memberId, int32_t kind, const kp::InvokeArgs* args,
                                 plat::Variant* result) = 0;
    virtual void ResetData() = 0;
    virtual void ClearContent() {}
    virtual void WriteRecords(RecordWriter* records) const = 0;
    // Parses a body; commits only when the whole body is sound.
    virtual int32_t ReadRecords(std::span<const uint8_t> body) = 0;
    // Called without the lock; the control copies what it needs under the lock itself.
    virtual int32_t DrawContent(const DrawRequest& request) = 0;
    // Measure-only drawing once the rectangle converted: nothing is drawn and no DC is touched.
    virtual int32_t Measure(uint32_t /*drawDc*/, uint32_t /*attributeDc*/, uint32_t /*flags*/) {
        return 0;
    }

    // A width along x in the report's unit to pixels through the site; 0 stays 0 (the one-pixel
    // pen), any other width is at least one pixel.
    int32_t ConvertWidth(int32_t width, int32_t dpiX, int32_t* pixels);

    kp::ControlSite* site() const { return site_; }
    std::recursive_mutex& lock() const { return lock_; }

  private:
    std::vector<uint8_t> Encode() const;

    const InterfaceId classId_;
    const uint16_t classCode_;
    std::atomic<int32_t> refs_{1};
    mutable std::recursive_mutex lock_;
    kp::ControlSite* site_ = nullptr;
    int32_t state_ = kp::kStateNotSoleSelected;
    RectL rect_{};
    std::u16string name_;
};

class TextControl final : public ReportControl {
  public:
    TextControl();

  protected:
    int32_t InvokeMember(int32_t memberId, int32_t kind, const kp::InvokeArgs* args,
                         plat::Variant* result) override;
    void ResetData() override;
    void ClearContent() override { data_.text.clear(); }
    void WriteRecords(RecordWriter* records) const override;
    int32_t ReadRecords(std::span<const uint8_t> body) override;
    int32_t DrawContent(const DrawRequest& request) override;

  private:
    struct Data {
        std::u16string fontName;
        int32_t fontSize;  // hundredths of a point
        std::u16string text;
        int16_t align;
        int16_t valign;
        uint32_t color;  // COLORREF
    };
    static Data Defaults();

  public:
    int32_t GetFontName(plat::Variant* value);
    int32_t PutFontName(const plat::Variant& argument);
    int32_t GetFontSize(plat::Variant* value);
    int32_t PutFontSize(const plat::Variant& argument);
    int32_t GetText(plat::Variant* value);
    int32_t PutText(const plat::Variant& argument);
    int32_t GetAlign(plat::Variant* value);
    int32_t PutAlign(const plat::Variant& argument);
    int32_t GetWide(plat::Variant* value);
    int32_t GetVAlign(plat::Variant* value);
    int32_t PutVAlign(const plat::Variant& argument);
    int32_t GetTextColor(plat::Variant* value);
    int32_t PutTextColor(const plat::Variant& argument);

  private:
    Data data_;
};

// Lines and boxes: an outline pen, and for boxes a fill.
class ShapeControl final : public ReportControl {
  public:
    explicit ShapeControl(bool box);

  protected:
    int32_t InvokeMember(int32_t memberId, int32_t kind, const kp::InvokeArgs* args,
                         plat::Variant* result) override;
    void ResetData() override;
    void WriteRecords(RecordWriter* records) const override;
    int32_t ReadRecords(std::span<const uint8_t> body) override;
    int32_t DrawContent(const DrawRequest& request) override;

  public:
    int32_t GetLineWidth(plat::Variant* value);
    int32_t PutLineWidth(const plat::Variant& argument);
    int32_t GetLineColor(plat::Variant* value);
    int32_t PutLineColor(const plat::Variant& argument);
    int32_t GetFillColor(plat::Variant* value);
    int32_t PutFillColor(const plat::Variant& argument);

  private:
    struct Data {
        int32_t lineWidth;  // report unit
        uint32_t lineColor;
        uint32_t fillColor;  // kNoFill: none (boxes only)
    };
    static constexpr Data kDefaults{0, 0x000000, kNoFill};

    const bool box_;
    Data data_;
};

// A group draws nothing of its own: its members, through the engine, at its offset.
class GroupControl final : public ReportControl {
  public:
    GroupControl();

  protected:
    int32_t InvokeMember(int32_t memberId, int32_t kind, const kp::InvokeArgs* args,
                         plat::Variant* result) override;
    void ResetData() override {}
    void WriteRecords(RecordWriter*) const override {}
    int32_t ReadRecords(std::span<const uint8_t> body) override;
    int32_t DrawContent(const DrawRequest& request) override;
    // Members are measured as well.
    int32_t Measure(uint32_t drawDc, uint32_t attributeDc, uint32_t flags) override;

  private:
    int32_t CallMembers(uint32_t drawDc, uint32_t attributeDc, uint32_t flags);
};

// The library's class list and creation (what its two exports hand out).
kp::ControlClassList* GetControlClassList();
int32_t CreateControl(const InterfaceId* classId, const InterfaceId* iid, void** out);

// Hit tests of the classes.
int32_t HitTestRect(const RectL& rect, int32_t x, int32_t y);
int32_t HitTestLine(const RectL& rect, int32_t x, int32_t y);
// How far from a line, in the report's unit, a point still lies on it.
inline constexpr int32_t kLineHitTolerance = 50;

}  // namespace kpctrl
