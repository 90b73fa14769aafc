// Stand-ins shared by the engine tests: a control library behind the module's loader, printers,
// and children of the application whose members answer what a test sets.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/application.h"
#include "engine/core/module.h"
#include "engine/core/object_signature.h"
#include "platform/printing/printers.h"

namespace fakes {

using namespace kp;
using namespace plat;

// ---------------------------------------------------------------------------------------------
// Control library

struct ControlLibraryScript {
    bool loads = true;
    bool hasClassInfo = true;
    bool hasCreate = true;
    int opens = 0;
    int closes = 0;
    std::string lastName;
};

inline ControlLibraryScript& Control() {
    static ControlLibraryScript script;
    return script;
}

inline int32_t ControlClassInfo(void** out) {
    *out = nullptr;
    return 0;
}
inline int32_t ControlCreate(const InterfaceId*, const InterfaceId*, void** out) {
    *out = nullptr;
    return -2;
}

inline int kLibraryToken;

inline void* OpenControl(const char* name) {
    ++Control().opens;
    Control().lastName = name;
    return Control().loads ? &kLibraryToken : nullptr;
}
inline void* ControlSymbol(void*, const char* name) {
    if (std::string(name) == "WGetClassInfo" && Control().hasClassInfo) {
        return reinterpret_cast<void*>(&ControlClassInfo);
    }
    if (std::string(name) == "WCreateObject" && Control().hasCreate) {
        return reinterpret_cast<void*>(&ControlCreate);
    }
    return nullptr;
}
inline void CloseControl(void*) {
    ++Control().closes;
}

inline constexpr ControlLibraryLoader kFakeLoader{OpenControl, ControlSymbol, CloseControl};

// ---------------------------------------------------------------------------------------------
// Printers

// A paper of a fake printer's media list, with 4.23 mm unprintable on every side.
inline plat::MediaInfo Media(const char* media, const char* name, int32_t w, int32_t l) {
    return {media, name, w, l, 423, 423, 423, 423};
}

// An office printer's papers: A4, A3, Letter, a second A4 (borderless) and a size of its own;
// the standard ones take codes 9, 8 and 1, the others 257 and 258.
inline std::vector<plat::MediaInfo> OfficeMedia() {
    return {Media("iso_a4_210x297mm", "A4", 21000, 29700),
            Media("iso_a3_297x420mm", "A3", 29700, 42000),
            Media("na_letter_8.5x11in", "Letter", 21590, 27940),
            Media("iso_a4_210x297mm_borderless", "A4 (borderless)", 21000, 29700),
            Media("oe_odd_123x234mm", "Odd", 12300, 23400)};
}

inline std::vector<PrinterInfo> ThreePrinters() {
    return {
        {"Office", "Generic PostScript", "ipp://office/ipp", false},
        {"\xE7\xB7\x8F\xE5\x8B\x99", "Laser 9000", "socket://10.0.0.9", true},  // 総務
        {"Label/small", "Label Writer", "usb://label", false},
    };
}

// ---------------------------------------------------------------------------------------------
// Children

// What a member of a fake child answers: a code and a typed value (a text for VT_BSTR; a
// missing text gives a null string).
struct Answer {
    Answer(int32_t c = 0, VarType t = VT_EMPTY, int32_t n = 0,
           std::optional<std::u16string> s = std::nullopt)
        : code(c), vt(t), number(n), text(std::move(s)) {}
    int32_t code;
    VarType vt;
    int32_t number;
    std::optional<std::u16string> text;
};

class FakeChild : public ScriptableObject {
  public:
    FakeChild(ChildKind kind, std::string_view tag)
        : kind_(kind), signature_(static_cast<plat::Unknown*>(this), tag) {}
    ~FakeChild() override {
        if (app) app->UnregisterChild(kind_, this);
        ++Destroyed();
    }

    int32_t QueryInterface(const InterfaceId*, void** out) override {
        *out = nullptr;
        return rc::kNotImplemented;
    }
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 1; }
    int32_t GetTypeInfo(ClassInfo**) override { return rc::kNotImplemented; }
    int32_t Invoke(int32_t id, int32_t kind, const InvokeArgs* args, Variant* result) override {
        std::string call = std::to_string(kind) + ":" + std::to_string(id);
        for (uint32_t i = 0; args && i < args->count; ++i) {
            const Variant& a = args->args[i];
            call += " " + std::to_string(a.vt) + "=";
            if (a.vt == VT_BSTR) {
                std::string text;
                Utf8FromWide(BstrView(a.bstrVal), &text);
                call += a.bstrVal ? "\"" + text + "\"" : "null";
            } else {
                call += std::to_string(a.vt == VT_I2 || a.vt == VT_BOOL ? a.iVal
                                       : a.vt == VT_UI2                 ? a.uiVal
                                                                        : a.lVal);
            }
        }
        Log().push_back(call);
        if (kind == kInvokeMethod && id == closeMember) {
            delete this;
            return 0;
        }
        auto it = answers.find(id);
        if (it == answers.end()) return 0;
        const Answer& a = it->second;
        if (result) {
            result->vt = a.vt;
            if (a.vt == VT_BSTR) {
                result->bstrVal = a.text ? BstrAllocView(*a.text) : nullptr;
            } else if (a.vt == VT_I2 || a.vt == VT_BOOL) {
                result->iVal = static_cast<int16_t>(a.number);
            } else if (a.vt == VT_UI2) {
                result->uiVal = static_cast<uint16_t>(a.number);
            } else {
                result->lVal = a.number;
            }
        }
        return a.code;
    }

    static int& Destroyed() {
        static int count = 0;
        return count;
    }
    static std::vector<std::string>& Log() {
        static std::vector<std::string> log;
        return log;
    }

    ApplicationObject* app = nullptr;
    std::map<int32_t, Answer> answers;
    int32_t closeMember = -1;

  private:
    ChildKind kind_;
    ObjectSignature signature_;
};

}  // namespace fakes
