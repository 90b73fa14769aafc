// The interfaces between a drawing object of the engine and the control it hosts from the report
// control library (libkpctrl30.so): the library's class list, and per control its site holder,
// drawing and persistence interfaces; the other way, the site the control calls and the entry
// through which a group control has its members drawn. Device contexts cross as the 32-bit
// handles of the drawing layer's process-wide table; rectangles are in the report's unit unless
// an operation says otherwise.
//
// Every interface begins with QueryInterface, AddRef and Release; the operations follow in the
// order given here, which is the order both libraries rely on.
#pragma once

#include <cstdint>

#include "engine/core/byte_stream.h"
#include "engine/core/engine_util.h"
#include "engine/core/scriptable.h"

namespace kp {

namespace iid {
inline constexpr InterfaceId kControlDraw{0x80080000, 0x00000001};
inline constexpr InterfaceId kControlPersist{0x80090000, 0x00000001};
inline constexpr InterfaceId kMemberDrawing{0x800D0000, 0x00000001};
// The control's site holder answers to iid::kSiteHolder {0x80050000, 0x00000001}.
}  // namespace iid

// Class ids of the controls the library makes (WCreateObject's first argument).
namespace ctrlclass {
inline constexpr InterfaceId kLine{0x40110000, 0x00000100};
inline constexpr InterfaceId kBox{0x40120000, 0x00000100};
inline constexpr InterfaceId kText{0x40130000, 0x00000100};  // the class whose fonts are registered
inline constexpr InterfaceId kGroup{0x40140000, 0x00000100};
}  // namespace ctrlclass

// Placement kinds of a control class, as containment tests read them.
inline constexpr uint16_t kPlacementRect = 1;       // text, box: the rectangle as it stands
inline constexpr uint16_t kPlacementLine = 2;       // line: any corner order
inline constexpr uint16_t kPlacementGroup = 4;      // group
inline constexpr int32_t kControlFlagGroup = 0x80;  // class flag bit 7: holds member objects

// State codes given to a control's SetState.
inline constexpr int32_t kStateSoleSelected = -3;
inline constexpr int32_t kStateNotSoleSelected = -4;

// Directions of ControlSite::ConvertRect.
inline constexpr int32_t kConvertToReportUnit = 1;  // internal length -> report unit
inline constexpr int32_t kConvertToInternal = 2;    // report unit -> internal length

// Draw flags a control looks at (the rest pass through unchanged).
inline constexpr uint32_t kDrawMeasureOnly = 0x20000000;
inline constexpr uint32_t kDrawSelectionPass = 0x00008000;

// Answers 1 when the point (report unit) lies on a control of the class whose rectangle is rect,
// else 0.
using ControlHitTestFn = int32_t (*)(const RectL& rect, int32_t x, int32_t y);

// ---------------------------------------------------------------------------------------------
// Class list (what the library's WGetClassInfo hands out)

struct ControlClassDescription {
    InterfaceId classId;
};

struct ControlClassDetails {
    uint16_t kind;  // kPlacement*
    ControlHitTestFn hitTest;
};

class ControlClassEntry : public plat::Unknown {
  public:
    // Copies the description; -4 for a null out pointer.
    virtual int32_t GetDescription(ControlClassDescription* out) = 0;
    // Copies the details; -4 for a null out pointer.
    virtual int32_t GetDetails(ControlClassDetails* out) = 0;

  protected:
    ~ControlClassEntry() = default;
};

class ControlClassList : public plat::Unknown {
  public:
    virtual int32_t GetCount() = 0;
    // The class flags (kControlFlagGroup); -7 for an index outside the list.
    virtual int32_t GetFlags(int32_t index) = 0;
    // The entry, no reference taken; -7 outside the list, -4 for a null out pointer.
    virtual int32_t GetEntry(int32_t index, ControlClassEntry** out) = 0;

  protected:
    ~ControlClassList() = default;
};

// ---------------------------------------------------------------------------------------------
// What the control calls: its site (given by SetSite) and, reached through the site's
// QueryInterface, the member-drawing entry.

class ControlSite : public plat::Unknown {
  public:
    // Events of the control. Each reaches the report's client as the event named; while the
    // drawing object is being loaded they are not raised and answer -1 (20013 excepted).
    virtual int32_t OnActivate(int16_t* leaveActive) = 0;        // 20001
    virtual int32_t OnUIActivate(int16_t* leaveUIActive) = 0;    // 20002
    virtual int32_t OnDeactivate(int16_t* leave) = 0;            // 20003
    virtual int32_t OnUIDeactivate(int16_t* leaveDeactive) = 0;  // 20004
    // area: the control's 16 bytes the client may change (-4 when null); either rectangle may be
    // null.
    virtual int32_t OnPosRectChange(RectL* area, const RectL* first,
                                    const RectL* second) = 0;  // 20007
    // modifyFlag receives the client's answer, preset 0; may be null.
    virtual int32_t OnPosRectChanging(RectL* area, const RectL* rect,
                                      uint32_t* modifyFlag) = 0;  // 20008
    // The report's window handle; -4 for a null out pointer.
    virtual int32_t GetWindow(uint32_t* window) = 0;
    virtual int32_t RaiseEvent20013(uint32_t* value) = 0;              // 20013
    virtual int32_t OnSetMenu(uint32_t menu, uint32_t* window) = 0;    // 20009
    virtual int32_t OnRemoveMenu(uint32_t menu, uint32_t window) = 0;  // 20010
    virtual int32_t RaiseEvent20011(uint32_t value) = 0;               // 20011
    // rect may be null; the client's changes are written back into it on success.
    virtual int32_t RaiseEvent20014(RectL* rect) = 0;         // 20014
    virtual int32_t RaiseEvent20015(RectL* rect) = 0;         // 20015
    virtual int32_t RaiseEvent20015Again(RectL* rect) = 0;    // 20015 as well
    virtual int32_t OnClose() = 0;                            // 20005
    virtual int32_t OnPropertyChanged(int32_t memberId) = 0;  // 20012
    virtual int32_t RaiseEvent20017(const RectL* rect) = 0;   // 20017
    // Converts the rectangle in place with the unit and pitches of the object's collection
    // (top and bottom vertical, left and right horizontal); other directions answer -7.
    virtual int32_t ConvertRect(int32_t direction, RectL* rect) = 0;

  protected:
    ~ControlSite() = default;
};

class MemberDrawing : public plat::Unknown {
  public:
    // Draws the members of the group that handed out this entry, in drawing order, onto the DCs
    // as they stand: 0, or -1 when that failed.
    virtual int32_t DrawMembers(uint32_t drawDc, uint32_t attributeDc, const RectL* clip,
                                int32_t inheritState, uint32_t flags) = 0;
    virtual int32_t DrawMembersEnd() = 0;  // answers 0

  protected:
    ~MemberDrawing() = default;
};

// ---------------------------------------------------------------------------------------------
// The control's interfaces besides its main ScriptableObject (which answers to the class id).

class ControlSiteHolder : public plat::Unknown {
  public:
    // Takes a reference on the new site and drops the old one; null clears it.
    virtual int32_t SetSite(ControlSite* site) = 0;
    virtual int32_t SetState(int32_t state) = 0;  // kState*; other codes -7
    virtual int32_t SetRect(const RectL* rect) = 0;
    virtual int32_t GetRect(RectL* out) = 0;
    virtual int32_t SetName(const plat::OleChar* name) = 0;
    // A new string the caller frees.
    virtual int32_t GetName(plat::Bstr* out) = 0;
    virtual int32_t ClearData() = 0;

  protected:
    ~ControlSiteHolder() = default;
};

class ControlDraw : public plat::Unknown {
  public:
    // drawDc may be 0 only with kDrawMeasureOnly; attributeDc 0 means "measure on drawDc".
    // -2 means the control cannot draw (the engine then outlines the rectangle).
    virtual int32_t Draw(uint32_t drawDc, uint32_t attributeDc, const RectL* clip,
                         int32_t inheritState, uint32_t flags) = 0;
    virtual int32_t Invalidate(int32_t how) = 0;

  protected:
    ~ControlDraw() = default;
};

class ControlPersist : public plat::Unknown {
  public:
    virtual int32_t InitNew() = 0;
    virtual int32_t Load(EngineStream* stream) = 0;
    virtual int32_t Save(EngineStream* stream) = 0;
    // The number of bytes Save writes next; -4 for a null out pointer.
    virtual int32_t GetDataSize(uint32_t* out) = 0;

  protected:
    ~ControlPersist() = default;
};

}  // namespace kp
