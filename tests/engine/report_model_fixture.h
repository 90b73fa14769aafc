// A module with an application and reports, whose control library is either the real one
// (linked in) or a call-logging stand-in whose controls draw nothing but record who was asked
// to draw with which flags.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/application.h"
#include "engine/core/container.h"
#include "engine/core/module.h"
#include "engine/core/report.h"
#include "platform/printing/printers.h"
#include "reportctrl/controls.h"

namespace reportfix {

using namespace kp;
using namespace plat;

inline constexpr InterfaceId kFakePlain{0x40990000, 0x00000100};
inline constexpr InterfaceId kFakeGroup{0x40980000, 0x00000100};

struct FakeScript {
    std::vector<std::string> draws;           // "NAME:FLAGS" in hexadecimal
    std::map<std::u16string, uint32_t> size;  // data size by name (default 4)
    std::map<std::u16string, int32_t> drawAnswer;
    std::map<std::u16string, bool> saveShort;         // writes one byte less than it announces
    std::vector<std::pair<int32_t, int32_t>> states;  // not used for order, just counted
    std::function<void()> onDraw;  // what a host's code does from inside a drawing
};

inline FakeScript& Script() {
    static FakeScript script;
    return script;
}

class FakeControl final : public ScriptableObject,
                          public ControlSiteHolder,
                          public ControlDraw,
                          public ControlPersist {
  public:
    FakeControl(const InterfaceId& classId, bool group) : classId_(classId), group_(group) {}

    int32_t QueryInterface(const InterfaceId* iid, void** out) override {
        *out = nullptr;
        Unknown* found = nullptr;
        if (IsEqualInterfaceId(*iid, classId_)) found = static_cast<ScriptableObject*>(this);
        if (IsEqualInterfaceId(*iid, iid::kSiteHolder))
            found = static_cast<ControlSiteHolder*>(this);
        if (IsEqualInterfaceId(*iid, iid::kControlDraw)) found = static_cast<ControlDraw*>(this);
        if (IsEqualInterfaceId(*iid, iid::kControlPersist)) {
            found = static_cast<ControlPersist*>(this);
        }
        if (found == nullptr) return rc::kNotImplemented;
        ++refs_;
        *out = found;
        return 0;
    }
    int32_t AddRef() override { return ++refs_; }
    int32_t Release() override {
        const int32_t left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    int32_t GetTypeInfo(ClassInfo**) override { return rc::kNotImplemented; }
    int32_t Invoke(int32_t, int32_t, const InvokeArgs*, Variant*) override {
        return rc::kUnknownMember;
    }

    int32_t SetSite(ControlSite* site) override {
        if (site) site->AddRef();
        if (site_) site_->Release();
        site_ = site;
        return 0;
    }
    int32_t SetState(int32_t state) override {
        state_ = state;
        return 0;
    }
    int32_t SetRect(const RectL* rect) override {
        rect_ = *rect;
        return 0;
    }
    int32_t GetRect(RectL* out) override {
        *out = rect_;
        return 0;
    }
    int32_t SetName(const OleChar* name) override {
        name_ = std::u16string(name, WideLen(name));
        return 0;
    }
    int32_t GetName(Bstr* out) override {
        *out = BstrAllocView(name_.empty() ? u"Fake" : name_);
        return 0;
    }
    int32_t ClearData() override { return 0; }

    int32_t Draw(uint32_t drawDc, uint32_t attributeDc, const RectL* clip, int32_t,
                 uint32_t flags) override {
        std::string name;
        Utf8FromWide(name_, &name);
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", flags);
        Script().draws.push_back(name + ":" + hex);
        if (Script().onDraw) Script().onDraw();
        if (auto it = Script().drawAnswer.find(name_); it != Script().drawAnswer.end()) {
            if (it->second == 99) throw std::runtime_error("control fault");
            return it->second;
        }
        if (!group_ || (flags & kDrawSelectionPass) != 0 || site_ == nullptr) return 0;
        void* entry = nullptr;
        if (site_->QueryInterface(&iid::kMemberDrawing, &entry) != 0) return rc::kNotReady;
        auto* members = static_cast<MemberDrawing*>(static_cast<Unknown*>(entry));
        const int32_t code = members->DrawMembers(drawDc, attributeDc, clip, 0, flags);
        members->DrawMembersEnd();
        members->Release();
        return code;
    }
    int32_t Invalidate(int32_t) override { return 0; }

    int32_t InitNew() override { return 0; }
    int32_t Load(EngineStream* stream) override {
        uint8_t b[64];
        uint32_t got = 0;
        while (stream->Read(b, sizeof b, &got) == 0 && got == sizeof b) {
        }
        return 0;
    }
    uint32_t Size() const {
        auto it = Script().size.find(name_);
        return it != Script().size.end() ? it->second : 4;
    }
    int32_t Save(EngineStream* stream) override {
        std::vector<uint8_t> data(Size());
        if (Script().saveShort.count(name_) != 0 && !data.empty()) data.pop_back();
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 1);
        uint32_t written = 0;
        return data.empty() ? 0 : stream->Write(data.data(), uint32_t(data.size()), &written);
    }
    int32_t GetDataSize(uint32_t* out) override {
        *out = Size();
        return 0;
    }

    ControlSite* site() const { return site_; }
    int32_t state() const { return state_; }

  private:
    ~FakeControl() {
        if (site_) site_->Release();
    }
    const InterfaceId classId_;
    const bool group_;
    int32_t refs_ = 1;
    ControlSite* site_ = nullptr;
    int32_t state_ = 0;
    RectL rect_{};
    std::u16string name_;
};

class FakeEntry final : public ControlClassEntry {
  public:
    FakeEntry(InterfaceId id, uint16_t kind) : id_(id), kind_(kind) {}
    int32_t QueryInterface(const InterfaceId*, void**) override { return rc::kNotImplemented; }
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 1; }
    int32_t GetDescription(ControlClassDescription* out) override {
        out->classId = id_;
        return 0;
    }
    int32_t GetDetails(ControlClassDetails* out) override {
        out->kind = kind_;
        out->hitTest = &kpctrl::HitTestRect;
        return 0;
    }

  private:
    InterfaceId id_;
    uint16_t kind_;
};

class FakeList final : public ControlClassList {
  public:
    int32_t QueryInterface(const InterfaceId*, void**) override { return rc::kNotImplemented; }
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 1; }
    int32_t GetCount() override { return 2; }
    int32_t GetFlags(int32_t index) override { return index == 1 ? kControlFlagGroup : 0; }
    int32_t GetEntry(int32_t index, ControlClassEntry** out) override {
        static FakeEntry plain(kFakePlain, kPlacementRect), group(kFakeGroup, kPlacementGroup);
        *out = index == 0 ? &plain : &group;
        return 0;
    }
};

inline bool& UseFakes() {
    static bool fakes = false;
    return fakes;
}

inline int32_t LibraryClassInfo(void** out) {
    if (UseFakes()) {
        static FakeList list;
        *out = static_cast<ControlClassList*>(&list);
        return 0;
    }
    *out = static_cast<ControlClassList*>(kpctrl::GetControlClassList());
    return 0;
}

inline int32_t LibraryCreate(const InterfaceId* classId, const InterfaceId* iid, void** out) {
    if (UseFakes()) {
        auto* control = new FakeControl(*classId, IsEqualInterfaceId(*classId, kFakeGroup));
        const int32_t code = control->QueryInterface(iid, out);
        control->Release();
        return code;
    }
    return kpctrl::CreateControl(classId, iid, out);
}

inline int gLibraryToken;
inline void* OpenLibrary(const char*) {
    return &gLibraryToken;
}
inline void* LibrarySymbol(void*, const char* name) {
    if (std::string(name) == "WGetClassInfo") return reinterpret_cast<void*>(&LibraryClassInfo);
    if (std::string(name) == "WCreateObject") return reinterpret_cast<void*>(&LibraryCreate);
    return nullptr;
}
inline void CloseLibrary(void*) {}
inline constexpr ControlLibraryLoader kLoader{OpenLibrary, LibrarySymbol, CloseLibrary};

inline int gModuleToken;

class ReportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Script() = {};
        UseFakes() = false;
        SetControlLibraryLoader(&kLoader);
        printers_ = std::make_shared<FakePrinterSystem>();
        SetUpPrinters(*printers_);
        SetPrinterSystem(printers_);
        InitModule(&gModuleToken);
        EngineServices services;
        AddServices(services);
        void* out = nullptr;
        ASSERT_EQ(CreateEngineObject(services, &iid::kApplication, &iid::kApplication, &out), 0);
        app_ = static_cast<ApplicationObject*>(static_cast<Unknown*>(out));
        app_->Site().SetSite(1);
    }
    void TearDown() override {
        InitModule(nullptr);
        SetPrinterSystem(nullptr);
        SetControlLibraryLoader(nullptr);
    }

    // The machine's printers as the application lists them when it is made.
    virtual void SetUpPrinters(FakePrinterSystem&) {}
    // What the application is made with: reports, and what a test's objects need beside them.
    virtual void AddServices(EngineServices& services) { AddReportServices(services); }

    ReportObject* NewReport() {
        Variant result{};
        EXPECT_EQ(app_->Invoke(ApplicationObject::kCreateReport, kInvokeMethod, nullptr, &result),
                  0);
        return AsReport(static_cast<ScriptableObject*>(result.pdispVal));
    }

    static ObjectCollection& Objects(ReportObject* report, int layer) {
        return report->layers().layer(layer - 1).objects();
    }

    // A new object named as given.
    static ItemObject* Add(ReportObject* report, int layer, const InterfaceId& classId,
                           std::u16string_view name, RectL rect, ItemObject* group = nullptr) {
        ItemObject* object = nullptr;
        EXPECT_EQ(Objects(report, layer).Create(group, classId, rect, &object, 0), 0);
        if (object != nullptr) {
            EXPECT_EQ(Objects(report, layer).Rename(object, name), 0);
        }
        return object;
    }

    std::shared_ptr<FakePrinterSystem> printers_;
    ApplicationObject* app_ = nullptr;
};

inline int32_t Put(ScriptableObject* object, int32_t id, Variant value) {
    InvokeArgs args{&value, 1};
    Variant result{};
    return object->Invoke(id, kInvokePut, &args, &result);
}

inline int32_t GetValue(ScriptableObject* object, int32_t id, Variant* out) {
    *out = Variant{};
    return object->Invoke(id, kInvokeGet, nullptr, out);
}

}  // namespace reportfix
