// Stand-ins for the engine's side of a control: a site converting in the report unit 0.01 mm
// (100 internal units each), a member-drawing entry that logs its calls, and helpers to make a
// control through the library's creation entry.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/core/control_interfaces.h"
#include "reportctrl/controls.h"

namespace ctrltest {

using namespace kp;
using namespace plat;

class FakeMembers final : public MemberDrawing {
  public:
    int32_t QueryInterface(const InterfaceId*, void** out) override {
        *out = nullptr;
        return rc::kNotImplemented;
    }
    int32_t AddRef() override { return ++refs; }
    int32_t Release() override { return --refs; }
    int32_t DrawMembers(uint32_t drawDc, uint32_t attributeDc, const RectL* clip,
                        int32_t inheritState, uint32_t flags) override {
        calls.push_back({drawDc, attributeDc, clip != nullptr, inheritState, flags});
        return draw ? draw(drawDc) : answer;
    }
    int32_t DrawMembersEnd() override {
        ++ends;
        return 0;
    }

    struct Call {
        uint32_t drawDc;
        uint32_t attributeDc;
        bool clip;
        int32_t inherit;
        uint32_t flags;
    };
    std::vector<Call> calls;
    std::function<int32_t(uint32_t drawDc)> draw;  // what the members do, if anything
    int32_t answer = 0;
    int ends = 0;
    int refs = 0;
};

class FakeSite final : public ControlSite {
  public:
    int32_t QueryInterface(const InterfaceId* iid, void** out) override {
        *out = nullptr;
        if (members != nullptr && IsEqualInterfaceId(*iid, iid::kMemberDrawing)) {
            members->AddRef();
            *out = static_cast<Unknown*>(members);
            return 0;
        }
        return rc::kNotImplemented;
    }
    int32_t AddRef() override { return ++refs; }
    int32_t Release() override { return --refs; }

    int32_t OnActivate(int16_t*) override { return -1; }
    int32_t OnUIActivate(int16_t*) override { return -1; }
    int32_t OnDeactivate(int16_t*) override { return -1; }
    int32_t OnUIDeactivate(int16_t*) override { return -1; }
    int32_t OnPosRectChange(RectL*, const RectL*, const RectL*) override { return -1; }
    int32_t OnPosRectChanging(RectL*, const RectL*, uint32_t*) override { return -1; }
    int32_t GetWindow(uint32_t* window) override {
        *window = 0;
        return 0;
    }
    int32_t RaiseEvent20013(uint32_t*) override { return -1; }
    int32_t OnSetMenu(uint32_t, uint32_t*) override { return -1; }
    int32_t OnRemoveMenu(uint32_t, uint32_t) override { return -1; }
    int32_t RaiseEvent20011(uint32_t) override { return -1; }
    int32_t RaiseEvent20014(RectL*) override { return -1; }
    int32_t RaiseEvent20015(RectL*) override { return -1; }
    int32_t RaiseEvent20015Again(RectL*) override { return -1; }
    int32_t OnClose() override { return -1; }
    int32_t OnPropertyChanged(int32_t) override { return -1; }
    int32_t RaiseEvent20017(const RectL*) override { return -1; }
    int32_t ConvertRect(int32_t direction, RectL* rect) override {
        ++conversions;
        if (convertAnswer != 0) return convertAnswer;
        if (direction != kConvertToInternal) return rc::kBadArgument;
        rect->left *= 100;
        rect->top *= 100;
        rect->right *= 100;
        rect->bottom *= 100;
        return 0;
    }

    FakeMembers* members = nullptr;
    int32_t convertAnswer = 0;
    int conversions = 0;
    int refs = 0;
};

// One control and its interfaces, released together.
struct Control {
    explicit Control(const InterfaceId& classId) {
        void* out = nullptr;
        EXPECT_EQ(kpctrl::CreateControl(&classId, &iid::kSiteHolder, &out), 0);
        holder = static_cast<ControlSiteHolder*>(static_cast<Unknown*>(out));
        holder->QueryInterface(&classId, &out);
        main = static_cast<ScriptableObject*>(static_cast<Unknown*>(out));
        holder->QueryInterface(&iid::kControlDraw, &out);
        draw = static_cast<ControlDraw*>(static_cast<Unknown*>(out));
        holder->QueryInterface(&iid::kControlPersist, &out);
        persist = static_cast<ControlPersist*>(static_cast<Unknown*>(out));
    }
    ~Control() {
        persist->Release();
        draw->Release();
        main->Release();
        holder->SetSite(nullptr);
        holder->Release();
    }
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    int32_t Put(int32_t id, Variant value) {
        InvokeArgs args{&value, 1};
        Variant result{};
        const int32_t code = main->Invoke(id, kInvokePut, &args, &result);
        VariantClear(&value);
        return code;
    }
    Variant Get(int32_t id, int32_t* code = nullptr) {
        Variant result{};
        const int32_t c = main->Invoke(id, kInvokeGet, nullptr, &result);
        if (code) *code = c;
        return result;
    }

    ControlSiteHolder* holder = nullptr;
    ScriptableObject* main = nullptr;
    ControlDraw* draw = nullptr;
    ControlPersist* persist = nullptr;
};

inline Variant Text(std::u16string_view text) {
    return VariantBstr(BstrAllocView(text));
}
inline Variant Real(float value) {
    Variant v{};
    v.vt = VT_R4;
    v.fltVal = value;
    return v;
}

}  // namespace ctrltest
