// qzs-report build DESC OUT [--keep] | show FILE | png FILE OUT.png [--dpi N] [--flags HEX] |
// emf FILE OUT.emf [--dpi N] [--flags HEX]
//
// DESC is the text form of a report: its page, its five layers and its objects (text, line, box,
// group), one line each, as `show` prints it; building it again gives the same file byte for
// byte. Pictures are drawn by the engine's Draw onto an image or a recorded metafile.
#include <QImage>
#include <QString>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "base/atomic_file.h"
#include "engine/core/control_interfaces.h"
#include "engine/include/kpengn_members.h"
#include "platform/gdi/emf_listing.h"
#include "platform/gdi/emf_recorder.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/handles.h"
#include "platform/gdi/qpainter_dc.h"
#include "tools/png_output.h"
#include "tools/report_host.h"

namespace qzsreport {
namespace {

using namespace plat;
using kp::ScriptableObject;

// Member ids used here.
constexpr uint32_t kNoFill = 0xFFFFFFFF;

constexpr const char* kAligns[] = {"left", "center", "right"};
constexpr const char* kVAligns[] = {"top", "middle", "bottom"};

struct Kind {
    const char* name;
    kp::InterfaceId classId;
};
constexpr Kind kKinds[] = {
    {"text", kp::ctrlclass::kText},
    {"line", kp::ctrlclass::kLine},
    {"box", kp::ctrlclass::kBox},
    {"group", kp::ctrlclass::kGroup},
};

// ---------------------------------------------------------------------------------------------
// DESC

struct DescObject {
    int line = 0;
    std::string kind;
    std::string name;
    int layer = 0;
    std::string in;  // dotted full name of the group, empty at the top
    int32_t rect[4] = {};
    bool hidden = false;
    std::map<std::string, std::string> fields;
};

struct Desc {
    int16_t paper = 9;
    int16_t orientation = 1;
    uint16_t unit = 1, cpi = 1, cpl = 1;
    std::string title;
    bool hasTitle = false;
    int visible[5] = {1, 1, 1, 1, 1};
    int zorder[5] = {1, 2, 3, 4, 5};
    std::vector<DescObject> objects;
};

struct DescError {
    int line;
    std::string message;
};

// Splits a line into words; a quoted value keeps its blanks, with \" and \\ inside.
std::vector<std::string> Words(const std::string& line, int lineNumber) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '\\') {
                if (i + 1 >= line.size() || (line[i + 1] != '"' && line[i + 1] != '\\')) {
                    throw DescError{lineNumber, "bad escape in a quoted value"};
                }
                word += line[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                word += c;
            }
            continue;
        }
        if (c == ' ' || c == '\t') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else if (c == '"') {
            quoted = inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted) throw DescError{lineNumber, "unterminated quoted value"};
    if (inWord) words.push_back(word);
    return words;
}

int64_t Number(const std::string& text, int64_t low, int64_t high, int line, const char* what) {
    int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || p != end || value < low || value > high) {
        throw DescError{line, std::string("bad ") + what + " \"" + text + "\""};
    }
    return value;
}

uint32_t Color(const std::string& text, int line) {
    if (text.size() != 6) throw DescError{line, "bad colour \"" + text + "\""};
    uint32_t rgb = 0;
    const auto [p, ec] = std::from_chars(text.data(), text.data() + 6, rgb, 16);
    if (ec != std::errc{} || p != text.data() + 6) {
        throw DescError{line, "bad colour \"" + text + "\""};
    }
    // RRGGBB to the COLORREF the controls keep (0x00BBGGRR).
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

std::string ColorText(uint32_t colorref) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", colorref & 0xFF, (colorref >> 8) & 0xFF,
                  (colorref >> 16) & 0xFF);
    return text;
}

int IndexOf(const char* const* names, size_t count, const std::string& value, int line,
            const char* what) {
    for (size_t i = 0; i < count; ++i) {
        if (value == names[i]) return static_cast<int>(i);
    }
    throw DescError{line, std::string("bad ") + what + " \"" + value + "\""};
}

std::map<std::string, std::string> KeyValues(const std::vector<std::string>& words, size_t from,
                                             int line, std::vector<std::string>* bare) {
    std::map<std::string, std::string> fields;
    for (size_t i = from; i < words.size(); ++i) {
        const size_t eq = words[i].find('=');
        if (eq == std::string::npos) {
            if (bare == nullptr) throw DescError{line, "\"" + words[i] + "\" is no field"};
            bare->push_back(words[i]);
            continue;
        }
        if (!fields.emplace(words[i].substr(0, eq), words[i].substr(eq + 1)).second) {
            throw DescError{line, "field " + words[i].substr(0, eq) + " given twice"};
        }
    }
    return fields;
}

std::string Take(std::map<std::string, std::string>& fields, const char* key, int line) {
    const auto it = fields.find(key);
    if (it == fields.end()) throw DescError{line, std::string("missing ") + key + "="};
    std::string value = it->second;
    fields.erase(it);
    return value;
}

Desc ParseDesc(std::istream& in) {
    Desc desc;
    bool haveReport = false;
    bool layerSeen[5] = {};
    std::string text;
    int line = 0;
    while (std::getline(in, text)) {
        ++line;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        const std::vector<std::string> words = Words(text, line);
        if (words.empty() || words[0][0] == '#') continue;
        const std::string& head = words[0];
        if (head == "report") {
            if (haveReport) throw DescError{line, "a second report line"};
            haveReport = true;
            auto fields = KeyValues(words, 1, line, nullptr);
            desc.paper =
                static_cast<int16_t>(Number(Take(fields, "paper", line), 1, 255, line, "paper"));
            desc.orientation = static_cast<int16_t>(
                Number(Take(fields, "orientation", line), 1, 2, line, "orientation"));
            desc.unit =
                static_cast<uint16_t>(Number(Take(fields, "unit", line), 1, 3, line, "unit"));
            desc.cpi = static_cast<uint16_t>(Number(Take(fields, "cpi", line), 1, 20, line, "cpi"));
            desc.cpl = static_cast<uint16_t>(Number(Take(fields, "cpl", line), 1, 20, line, "cpl"));
            if (fields.count("title") != 0) {
                desc.title = Take(fields, "title", line);
                desc.hasTitle = true;
            }
            if (!fields.empty()) throw DescError{line, "unknown field " + fields.begin()->first};
        } else if (head == "layer") {
            if (words.size() < 2) throw DescError{line, "layer without a number"};
            const int n = static_cast<int>(Number(words[1], 1, 5, line, "layer number"));
            if (layerSeen[n - 1]) throw DescError{line, "layer given twice"};
            layerSeen[n - 1] = true;
            auto fields = KeyValues(words, 2, line, nullptr);
            desc.visible[n - 1] =
                static_cast<int>(Number(Take(fields, "visible", line), 0, 1, line, "visible"));
            desc.zorder[n - 1] =
                static_cast<int>(Number(Take(fields, "zorder", line), 1, 5, line, "zorder"));
            if (!fields.empty()) throw DescError{line, "unknown field " + fields.begin()->first};
        } else {
            bool known = false;
            for (const Kind& kind : kKinds) known = known || head == kind.name;
            if (!known) throw DescError{line, "unknown line \"" + head + "\""};
            if (words.size() < 2 || words[1].find('=') != std::string::npos) {
                throw DescError{line, "object without a name"};
            }
            DescObject object;
            object.line = line;
            object.kind = head;
            object.name = words[1];
            if (object.name.find('.') != std::string::npos) {
                throw DescError{line, "a name holds no \".\""};
            }
            std::vector<std::string> bare;
            auto fields = KeyValues(words, 2, line, &bare);
            for (const std::string& word : bare) {
                if (word != "hidden") throw DescError{line, "\"" + word + "\" is no field"};
                object.hidden = true;
            }
            object.layer =
                static_cast<int>(Number(Take(fields, "layer", line), 1, 5, line, "layer"));
            if (fields.count("in") != 0) object.in = Take(fields, "in", line);
            const std::string rect = Take(fields, "rect", line);
            std::stringstream parts(rect);
            std::string part;
            int i = 0;
            while (std::getline(parts, part, ',')) {
                if (i == 4) throw DescError{line, "bad rect \"" + rect + "\""};
                object.rect[i++] =
                    static_cast<int32_t>(Number(part, INT32_MIN, INT32_MAX, line, "rect"));
            }
            if (i != 4) throw DescError{line, "bad rect \"" + rect + "\""};
            std::vector<const char*> keys;
            if (head == "text") keys = {"font", "size", "align", "valign", "color", "text"};
            if (head == "line") keys = {"width", "color"};
            if (head == "box") keys = {"width", "color", "fill"};
            for (const char* key : keys) object.fields[key] = Take(fields, key, line);
            if (!fields.empty()) throw DescError{line, "unknown field " + fields.begin()->first};
            desc.objects.push_back(std::move(object));
        }
    }
    if (!haveReport) throw DescError{line, "no report line"};
    bool zSeen[6] = {};
    for (int z : desc.zorder) {
        if (zSeen[z]) throw DescError{line, "the layers' zorder values must be 1-5 once each"};
        zSeen[z] = true;
    }
    return desc;
}

// ---------------------------------------------------------------------------------------------
// Building

Variant Str(const std::string& utf8, std::vector<Bstr>* owned) {
    Bstr s = BstrFromUtf8(utf8);
    owned->push_back(s);
    return VariantBstr(s);
}

struct Owned {
    std::vector<Bstr> strings;
    ~Owned() {
        for (Bstr s : strings) BstrFree(s);
    }
};

ScriptableObject* LayerOf(ScriptableObject* report, int n) {
    ScriptableObject* layers = AsObject(Get(report, KPM_REPORT_LAYERS, "Layers"));
    return AsObject(
        Call(layers, KPM_LAYER_COLLECTION_LAYER, {VariantUI2(static_cast<uint16_t>(n))}, "Layer"));
}

void SetObjectFields(ScriptableObject* control, const DescObject& o, Owned* owned) {
    const int line = o.line;
    auto field = [&](const char* key) { return o.fields.at(key); };
    if (o.kind == "text") {
        Put(control, KPM_TEXT_CONTROL_FONT_NAME, Str(field("font"), &owned->strings), "FontName");
        const std::string size = field("size");
        char* end = nullptr;
        const float points = std::strtof(size.c_str(), &end);
        if (size.empty() || end != size.c_str() + size.size() || !(points > 0)) {
            throw DescError{line, "bad size \"" + size + "\""};
        }
        Variant v{};
        v.vt = VT_R4;
        v.fltVal = points;
        Put(control, KPM_TEXT_CONTROL_FONT_SIZE, v, "FontSize");
        Put(control, KPM_TEXT_CONTROL_ALIGN,
            VariantI2(static_cast<int16_t>(IndexOf(kAligns, 3, field("align"), line, "align"))),
            "Align");
        Put(control, KPM_TEXT_CONTROL_VALIGN,
            VariantI2(static_cast<int16_t>(IndexOf(kVAligns, 3, field("valign"), line, "valign"))),
            "VAlign");
        Put(control, KPM_TEXT_CONTROL_TEXT_COLOR, VariantUI4(Color(field("color"), line)),
            "TextColor");
        Put(control, KPM_TEXT_CONTROL_TEXT, Str(field("text"), &owned->strings), "Text");
    } else if (o.kind == "line" || o.kind == "box") {
        Put(control, KPM_SHAPE_CONTROL_LINE_WIDTH,
            VariantI4(static_cast<int32_t>(Number(field("width"), 0, INT32_MAX, line, "width"))),
            "LineWidth");
        Put(control, KPM_SHAPE_CONTROL_LINE_COLOR, VariantUI4(Color(field("color"), line)),
            "LineColor");
        if (o.kind == "box") {
            const std::string fill = field("fill");
            Put(control, KPM_SHAPE_CONTROL_FILL_COLOR,
                VariantUI4(fill == "none" ? kNoFill : Color(fill, line)), "FillColor");
        }
    }
}

int Build(const std::vector<std::string>& args) {
    bool keep = false;
    std::vector<std::string> files;
    for (const std::string& a : args) {
        if (a == "--keep") {
            keep = true;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2) return UsageError("usage: qzs-report build DESC OUT [--keep]");
    std::ifstream in(files[0]);
    if (!in) return UsageError("cannot read " + files[0]);
    Desc desc;
    try {
        desc = ParseDesc(in);
    } catch (const DescError& e) {
        return UsageError(files[0] + ":" + std::to_string(e.line) + ": " + e.message);
    }
    Engine& engine = Engine::Get();
    if (!engine.loaded()) return UsageError(engine.loadError());

    Owned owned;
    ScriptableObject* report =
        AsObject(Call(engine.app(), KPM_APPLICATION_CREATE_REPORT, {}, "CreateReport"));
    try {
        // Files built from a description are the same on every machine: no printer name.
        Put(report, KPM_REPORT_PRINTER_NAME, VariantBstr(nullptr), "5027");
        Put(report, KPM_REPORT_UNIT, VariantUI2(desc.unit), "Unit");
        Put(report, KPM_REPORT_PAPER_SIZE, VariantI2(desc.paper), "PaperSize");
        Put(report, KPM_REPORT_PAPER_ORIENTATION, VariantI2(desc.orientation), "PaperOrientation");
        Put(report, KPM_REPORT_CPI, VariantUI2(desc.cpi), "CPI");
        Put(report, KPM_REPORT_CPL, VariantUI2(desc.cpl), "CPL");
        if (desc.hasTitle) Put(report, KPM_REPORT_TITLE, Str(desc.title, &owned.strings), "Title");
        // Each order put shifts the others; placing 1 to 5 in turn leaves every layer where the
        // description wants it.
        for (int z = 1; z <= 5; ++z) {
            for (int n = 1; n <= 5; ++n) {
                if (desc.zorder[n - 1] != z) continue;
                Put(LayerOf(report, n), KPM_LAYER_Z_ODER, VariantUI2(static_cast<uint16_t>(z)),
                    "ZOder");
            }
        }
        for (int n = 1; n <= 5; ++n) {
            Put(LayerOf(report, n), KPM_LAYER_VISIBLE, VariantBool(desc.visible[n - 1] != 0),
                "Visible");
        }
        for (const DescObject& o : desc.objects) {
            ScriptableObject* objects =
                AsObject(Get(LayerOf(report, o.layer), KPM_LAYER_OBJECTS, "Objects"));
            ScriptableObject* group = nullptr;
            if (!o.in.empty()) {
                try {
                    group = AsObject(Call(objects, KPM_OBJECT_COLLECTION_OBJECT,
                                          {VariantDispatch(nullptr), Str(o.in, &owned.strings)},
                                          "Object"));
                } catch (const EngineError&) {
                    throw DescError{
                        o.line, "no group \"" + o.in + "\" on layer " + std::to_string(o.layer)};
                }
            }
            Variant classId{};
            classId.vt = VT_CLSID;
            for (const Kind& kind : kKinds) {
                if (o.kind == kind.name) std::memcpy(&classId.raw, &kind.classId, 8);
            }
            ScriptableObject* item =
                AsObject(Call(objects, KPM_OBJECT_COLLECTION_CREATE_OBJECT,
                              {classId, VariantDispatch(group), VariantI4(o.rect[0]),
                               VariantI4(o.rect[1]), VariantI4(o.rect[2]), VariantI4(o.rect[3])},
                              "CreateObject"));
            try {
                Put(item, KPM_DRAWING_OBJECT_NAME, Str(o.name, &owned.strings), "Name");
            } catch (const EngineError& e) {
                throw DescError{o.line, "the name \"" + o.name + "\" cannot be given (error " +
                                            std::to_string(e.code) + ")"};
            }
            if (o.hidden) Put(item, KPM_DRAWING_OBJECT_VISIBLE, VariantBool(false), "Visible");
            SetObjectFields(AsObject(Get(item, KPM_DRAWING_OBJECT_DRAW_OBJECT, "DrawObject")), o,
                            &owned);
        }
        Call(report, KPM_REPORT_SAVE, {Str(files[1], &owned.strings), VariantBool(!keep)}, "Save");
    } catch (const DescError& e) {
        Call(report, KPM_REPORT_CLOSE_REPORT, {}, "CloseReport");
        return UsageError(files[0] + ":" + std::to_string(e.line) + ": " + e.message);
    } catch (...) {
        Call(report, KPM_REPORT_CLOSE_REPORT, {}, "CloseReport");
        throw;
    }
    Call(report, KPM_REPORT_CLOSE_REPORT, {}, "CloseReport");
    return kExitOk;
}

// ---------------------------------------------------------------------------------------------
// Showing

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string Utf8(const Variant& v) {
    std::string out;
    if (v.vt == VT_BSTR && v.bstrVal != nullptr) Utf8FromWide(BstrView(v.bstrVal), &out);
    return out;
}

std::string GetText(ScriptableObject* object, int32_t id, const char* member) {
    Variant v = Get(object, id, member);
    std::string text = Utf8(v);
    VariantClear(&v);
    return text;
}

std::string PointsText(float points) {
    const long hundredths = std::lround(points * 100.0);
    char text[32];
    if (hundredths % 100 == 0) {
        std::snprintf(text, sizeof text, "%ld", hundredths / 100);
    } else if (hundredths % 10 == 0) {
        std::snprintf(text, sizeof text, "%ld.%ld", hundredths / 100, (hundredths % 100) / 10);
    } else {
        std::snprintf(text, sizeof text, "%ld.%02ld", hundredths / 100, hundredths % 100);
    }
    return text;
}

std::vector<ScriptableObject*> ObjectList(ScriptableObject* objects, ScriptableObject* group) {
    const Variant handle = Call(objects, KPM_OBJECT_COLLECTION_GET_OBJECT_LIST,
                                {VariantDispatch(group), VariantUI2(2)}, "GetObjectList");
    std::vector<ScriptableObject*> list;
    if (handle.ulVal == 0) return list;
    auto* entries = static_cast<void**>(GlobalLock(handle.ulVal));
    for (size_t i = 0; entries != nullptr && entries[i] != nullptr; ++i) {
        list.push_back(static_cast<ScriptableObject*>(static_cast<Unknown*>(entries[i])));
    }
    GlobalUnlock(handle.ulVal);
    GlobalFree(handle.ulVal);
    return list;
}

void ShowObjects(std::string& out, ScriptableObject* objects, int layer, ScriptableObject* group,
                 const std::string& groupName) {
    for (ScriptableObject* item : ObjectList(objects, group)) {
        ScriptableObject* control =
            AsObject(Get(item, KPM_DRAWING_OBJECT_DRAW_OBJECT, "DrawObject"));
        const Kind* kind = nullptr;
        for (const Kind& k : kKinds) {
            void* found = nullptr;
            if (control->QueryInterface(&k.classId, &found) == 0) {
                static_cast<Unknown*>(found)->Release();
                kind = &k;
                break;
            }
        }
        if (kind == nullptr) throw EngineError{-2, "DrawObject"};
        const std::string name = GetText(item, KPM_DRAWING_OBJECT_NAME, "Name");
        char line[256];
        std::snprintf(line, sizeof line, "%s %s layer=%d", kind->name, name.c_str(), layer);
        out += line;
        if (group != nullptr) out += " in=" + groupName;
        std::snprintf(line, sizeof line, " rect=%d,%d,%d,%d",
                      Get(item, KPM_DRAWING_OBJECT_LEFT, "Left").lVal,
                      Get(item, KPM_DRAWING_OBJECT_TOP, "Top").lVal,
                      Get(item, KPM_DRAWING_OBJECT_RIGHT, "Right").lVal,
                      Get(item, KPM_DRAWING_OBJECT_BOTOOM, "Botoom").lVal);
        out += line;
        if (Get(item, KPM_DRAWING_OBJECT_VISIBLE, "Visible").boolVal == 0) out += " hidden";
        const std::string kindName = kind->name;
        if (kindName == "text") {
            out += " font=" + Quoted(GetText(control, KPM_TEXT_CONTROL_FONT_NAME, "FontName"));
            out +=
                " size=" + PointsText(Get(control, KPM_TEXT_CONTROL_FONT_SIZE, "FontSize").fltVal);
            const int16_t align = Get(control, KPM_TEXT_CONTROL_ALIGN, "Align").iVal;
            const int16_t valign = Get(control, KPM_TEXT_CONTROL_VALIGN, "VAlign").iVal;
            out += std::string(" align=") + kAligns[std::clamp<int16_t>(align, 0, 2)];
            out += std::string(" valign=") + kVAligns[std::clamp<int16_t>(valign, 0, 2)];
            out +=
                " color=" + ColorText(Get(control, KPM_TEXT_CONTROL_TEXT_COLOR, "TextColor").ulVal);
            out += " text=" + Quoted(GetText(control, KPM_TEXT_CONTROL_TEXT, "Text"));
        } else if (kindName == "line" || kindName == "box") {
            out += " width=" +
                   std::to_string(Get(control, KPM_SHAPE_CONTROL_LINE_WIDTH, "LineWidth").lVal);
            out += " color=" +
                   ColorText(Get(control, KPM_SHAPE_CONTROL_LINE_COLOR, "LineColor").ulVal);
            if (kindName == "box") {
                const uint32_t fill = Get(control, KPM_SHAPE_CONTROL_FILL_COLOR, "FillColor").ulVal;
                out += " fill=" + (fill == kNoFill ? std::string("none") : ColorText(fill));
            }
        }
        out += "\n";
        if (kindName == "group") {
            const std::string full = group != nullptr ? groupName + "." + name : name;
            ShowObjects(out, objects, layer, item, full);
        }
    }
}

int Show(const std::vector<std::string>& args) {
    if (args.size() != 1) return UsageError("usage: qzs-report show FILE");
    Engine& engine = Engine::Get();
    if (!engine.loaded()) return UsageError(engine.loadError());
    ScriptableObject* report = OpenReport(args[0]);
    std::string out;
    try {
        char line[256];
        const int16_t paper = Get(report, KPM_REPORT_PAPER_SIZE, "PaperSize").iVal;
        if (paper == 256) throw EngineError{-8, "PaperSize"};
        std::snprintf(line, sizeof line, "report paper=%d orientation=%d unit=%u cpi=%u cpl=%u",
                      paper, Get(report, KPM_REPORT_PAPER_ORIENTATION, "PaperOrientation").iVal,
                      Get(report, KPM_REPORT_UNIT, "Unit").uiVal,
                      Get(report, KPM_REPORT_CPI, "CPI").uiVal,
                      Get(report, KPM_REPORT_CPL, "CPL").uiVal);
        out += line;
        Variant title = Get(report, KPM_REPORT_TITLE, "Title");
        if (title.bstrVal != nullptr) out += " title=" + Quoted(Utf8(title));
        VariantClear(&title);
        out += "\n";
        for (int n = 1; n <= 5; ++n) {
            ScriptableObject* layer = LayerOf(report, n);
            std::snprintf(line, sizeof line, "layer %d visible=%d zorder=%u\n", n,
                          Get(layer, KPM_LAYER_VISIBLE, "Visible").boolVal != 0 ? 1 : 0,
                          Get(layer, KPM_LAYER_Z_ODER, "ZOder").uiVal);
            out += line;
        }
        for (int n = 1; n <= 5; ++n) {
            ScriptableObject* objects =
                AsObject(Get(LayerOf(report, n), KPM_LAYER_OBJECTS, "Objects"));
            ShowObjects(out, objects, n, nullptr, "");
        }
    } catch (...) {
        Call(report, KPM_REPORT_CLOSE_REPORT, {}, "CloseReport");
        throw;
    }
    Call(report, KPM_REPORT_CLOSE_REPORT, {}, "CloseReport");
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kExitOk;
}

// ---------------------------------------------------------------------------------------------
// Pictures

struct PictureArgs {
    std::string in, out;
    int32_t dpi = 96;
    uint32_t flags = 0;
};

std::optional<PictureArgs> ParsePictureArgs(const std::vector<std::string>& args,
                                            uint32_t defaultFlags) {
    PictureArgs p;
    p.flags = defaultFlags;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--dpi" && i + 1 < args.size()) {
            if (!ParseDpi(args[++i], &p.dpi)) return std::nullopt;
        } else if (args[i] == "--flags" && i + 1 < args.size()) {
            if (!ParseFlags(args[++i], &p.flags)) return std::nullopt;
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 2) return std::nullopt;
    p.in = files[0];
    p.out = files[1];
    return p;
}

void DrawReport(ScriptableObject* report, uint32_t drawDc, uint32_t attributeDc, int32_t across,
                int32_t down, uint32_t flags) {
    Call(report, KPM_REPORT_DRAW,
         {VariantDispatch(nullptr), VariantUI4(drawDc), VariantUI4(attributeDc), VariantI4(0),
          VariantI4(0), VariantI4(across), VariantI4(down), VariantUI4(flags)},
         "Draw");
}

bool WriteReplacing(const std::string& path, const void* data, size_t size) {
    return qzs::base::WriteFileAtomically(
               path, std::string_view(static_cast<const char*>(data), size)) == 0;
}

int Png(const std::vector<std::string>& args) {
    const auto p = ParsePictureArgs(args, 0x80000001);
    if (!p) return UsageError("usage: qzs-report png FILE OUT.png [--dpi N] [--flags HEX]");
    Engine& engine = Engine::Get();
    if (!engine.loaded()) return UsageError(engine.loadError());
    ScriptableObject* report = OpenReport(p->in);
    try {
        int32_t across = 0, down = 0;
        PagePixels(report, p->dpi, &across, &down);
        QImage image(across, down, QImage::Format_RGB32);
        if (image.isNull()) throw EngineError{-5, "Draw"};
        image.fill(Qt::white);
        {
            QPainterDc dc(&image, p->dpi);
            DrawReport(report, dc.handle(), dc.handle(), across, down, p->flags);
        }
        if (!qzs::tools::SavePngAtomically(image, p->out)) {
            Call(report, KPM_REPORT_CLOSE_REPORT, {}, "CloseReport");
            return UsageError("cannot write " + p->out);
        }
    } catch (...) {
        Call(report, KPM_REPORT_CLOSE_REPORT, {}, "CloseReport");
        throw;
    }
    Call(report, KPM_REPORT_CLOSE_REPORT, {}, "CloseReport");
    return kExitOk;
}

int Emf(const std::vector<std::string>& args) {
    const auto p = ParsePictureArgs(args, 0x2001);
    if (!p) return UsageError("usage: qzs-report emf FILE OUT.emf [--dpi N] [--flags HEX]");
    Engine& engine = Engine::Get();
    if (!engine.loaded()) return UsageError(engine.loadError());
    ScriptableObject* report = OpenReport(p->in);
    std::vector<uint8_t> bytes;
    try {
        int32_t across = 0, down = 0;
        PagePixels(report, p->dpi, &across, &down);
        // As the PDF export records a page: a reference device of the page's size, the paper as
        // the frame in hundredths of a millimetre (not the pixels turned back, which would move
        // it by up to half a pixel), isotropic one-to-one mapping and the page as clip.
        InfoDc reference(DeviceInfo::ForPixels(across, down, p->dpi, kDtRasPrinter));
        int32_t tenthsAcross = 0, tenthsDown = 0;
        PageTenths(report, &tenthsAcross, &tenthsDown);
        const RECT frame{0, 0, tenthsAcross * 10, tenthsDown * 10};
        EmfRecorder recorder(reference.device(), frame, u"KelvaprintV3.0");
        recorder.SetMapMode(kMmIsotropic);
        recorder.SetWindowOrgEx(0, 0);
        recorder.SetViewportOrgEx(0, 0);
        recorder.SetWindowExtEx(1, 1);
        recorder.SetViewportExtEx(1, 1);
        const HRGN clip = CreateRectRgn(0, 0, across, down);
        recorder.SelectClipRgn(clip);
        DeleteObject(clip);
        DrawReport(report, recorder.handle(), reference.handle(), across, down, p->flags);
        recorder.SelectClipRgn(0);
        bytes = recorder.Close();
    } catch (...) {
        Call(report, KPM_REPORT_CLOSE_REPORT, {}, "CloseReport");
        throw;
    }
    Call(report, KPM_REPORT_CLOSE_REPORT, {}, "CloseReport");
    if (!WriteReplacing(p->out, bytes.data(), bytes.size())) {
        return UsageError("cannot write " + p->out);
    }
    std::string listing, error;
    if (!ListEmfRecords(bytes, &listing, &error)) return UsageError(error);
    std::fwrite(listing.data(), 1, listing.size(), stdout);
    return kExitOk;
}

const ReportCommand kBuild("build", "build DESC OUT [--keep]", Build);
const ReportCommand kShow("show", "show FILE", Show);
const ReportCommand kPng("png", "png FILE OUT.png [--dpi N] [--flags HEX]", Png);
const ReportCommand kEmf("emf", "emf FILE OUT.emf [--dpi N] [--flags HEX]", Emf);

}  // namespace
}  // namespace qzsreport
