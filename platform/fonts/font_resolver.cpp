#include "platform/fonts/font_resolver.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "platform/automation/automation.h"

namespace plat {

namespace {

// The Windows names of the Japanese system fonts, in their Japanese and English forms, and the
// IPA fonts (Debian fonts-ipafont-gothic, fonts-ipafont-mincho) that take their place.
struct FaceSubstitution {
    std::u16string_view windowsName;
    std::u16string_view family;
};
constexpr FaceSubstitution kFaceSubstitutions[] = {
    {u"ＭＳ ゴシック", u"IPAGothic"},
    {u"ＭＳ Ｐゴシック", u"IPAPGothic"},
    {u"ＭＳ ＵＩ Ｇｏｔｈｉｃ", u"IPAPGothic"},
    {u"ＭＳ 明朝", u"IPAMincho"},
    {u"ＭＳ Ｐ明朝", u"IPAPMincho"},
    {u"MS Gothic", u"IPAGothic"},
    {u"MS PGothic", u"IPAPGothic"},
    {u"MS UI Gothic", u"IPAPGothic"},
    {u"MS Mincho", u"IPAMincho"},
    {u"MS PMincho", u"IPAPMincho"},
};

const char* LangOfCharset(uint8_t charSet) {
    switch (charSet) {
        case kShiftJisCharset:
            return "ja";
        case kHangulCharset:
            return "ko";
        case kGb2312Charset:
            return "zh-cn";
        case kChineseBig5Charset:
            return "zh-tw";
        default:
            return nullptr;
    }
}

// All fontconfig calls of the font layer, and its caches, go through this one lock: application
// fonts change the configuration that every match reads.
struct Registry {
    std::mutex mutex;
    // The font layer's own configuration, not fontconfig's current one: fonts registered here
    // stay private to this layer, and the configuration can be freed at exit (fontconfig keeps
    // the current one past the end of the process).
    FcConfig* config = nullptr;
    bool closed = false;  // freed at exit, never made again
    std::vector<std::string> processFonts;
    std::map<std::string, ResolvedFont> resolved;
    std::map<std::pair<std::string, uint32_t>, std::weak_ptr<FontFace>> faces;
    // The faces used last stay open: a page selects and drops its fonts object by object, and
    // opening a large face again for each of them costs far more than the drawing.
    static constexpr size_t kKeptFaces = 8;
    std::deque<std::shared_ptr<FontFace>> recent;
};

Registry& TheRegistry() {
    static Registry* r = new Registry;  // outlives every static user
    return *r;
}

void CloseConfig() {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    if (r.config != nullptr) FcConfigDestroy(r.config);
    r.config = nullptr;
    r.closed = true;
    r.resolved.clear();
    r.recent.clear();
}

// The configuration, loaded on first use; null when fontconfig cannot load one.
FcConfig* Config(Registry& r) {
    if (r.config == nullptr && !r.closed) {
        r.config = FcInitLoadConfigAndFonts();
        if (r.config != nullptr) std::atexit(CloseConfig);
        r.closed = r.config == nullptr;
    }
    return r.config;
}

std::optional<ResolvedFont> Match(FcConfig* config, const std::string& family, int weight,
                                  bool italic, const char* lang) {
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return std::nullopt;
    if (!family.empty()) {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    }
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    if (lang != nullptr) {
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(lang));
    }
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) return std::nullopt;

    std::optional<ResolvedFont> out;
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        ResolvedFont rf;
        rf.path = reinterpret_cast<const char*>(file);
        // The upper bits of a fontconfig index name an instance of a variable font.
        rf.faceIndex = uint32_t(index) & 0xFFFF;
        FcChar8* name = nullptr;
        for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
            if (i == 0) rf.family = reinterpret_cast<const char*>(name);
            if (!family.empty() &&
                FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family.c_str())) == 0) {
                rf.familyMatched = true;
                rf.family = reinterpret_cast<const char*>(name);
            }
        }
        out = rf;
    }
    FcPatternDestroy(match);
    return out;
}

}  // namespace

std::u16string SubstituteFaceName(std::u16string_view face) {
    bool vertical = !face.empty() && face.front() == u'@';
    std::u16string_view name = vertical ? face.substr(1) : face;
    for (const auto& s : kFaceSubstitutions) {
        if (s.windowsName == name) return (vertical ? u"@" : u"") + std::u16string(s.family);
    }
    return std::u16string(face);
}

std::optional<ResolvedFont> ResolveFont(const LogicalFont& font) {
    std::u16string face = SubstituteFaceName(font.faceName);
    bool vertical = !face.empty() && face.front() == u'@';
    if (vertical) face.erase(0, 1);
    std::string family;
    // A name that is not text (a lone surrogate) asks for no family in particular.
    if (!Utf8FromWide(face, &family)) family.clear();
    int weight = font.weight <= 0 ? 400 : std::min(font.weight, 1000);
    const char* lang = LangOfCharset(font.charSet);
    std::string key = family + '\n' + std::to_string(weight) + (font.italic ? "i" : "r") +
                      (lang != nullptr ? lang : "");

    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.resolved.find(key);
    std::optional<ResolvedFont> rf;
    if (it != r.resolved.end()) {
        rf = it->second;
    } else {
        FcConfig* config = Config(r);
        if (config == nullptr) return std::nullopt;
        rf = Match(config, family, weight, font.italic, lang);
        if (!rf) return std::nullopt;
        r.resolved.emplace(key, *rf);
    }
    rf->vertical = vertical;
    return rf;
}

std::shared_ptr<FontFace> OpenLogicalFont(const LogicalFont& font) {
    auto rf = ResolveFont(font);
    if (!rf) return nullptr;
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    auto key = std::make_pair(rf->path, rf->faceIndex);
    const auto keep = [&r](const std::shared_ptr<FontFace>& face) {
        std::erase(r.recent, face);
        r.recent.push_front(face);
        if (r.recent.size() > Registry::kKeptFaces) r.recent.pop_back();
    };
    if (auto it = r.faces.find(key); it != r.faces.end()) {
        if (auto face = it->second.lock()) {
            keep(face);
            return face;
        }
    }
    auto face = FontFace::Open(rf->path, rf->faceIndex);
    if (!face) return nullptr;
    // Drop entries whose faces are gone so that the map does not grow without end.
    std::erase_if(r.faces, [](const auto& e) { return e.second.expired(); });
    r.faces[key] = face;
    keep(face);
    return face;
}

bool RegisterProcessFont(const std::string& path) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    if (std::find(r.processFonts.begin(), r.processFonts.end(), path) != r.processFonts.end()) {
        return true;
    }
    FcConfig* config = Config(r);
    if (config == nullptr) return false;
    if (FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(path.c_str())) != FcTrue) {
        return false;
    }
    r.processFonts.push_back(path);
    r.resolved.clear();
    return true;
}

bool UnregisterProcessFont(const std::string& path) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    auto it = std::find(r.processFonts.begin(), r.processFonts.end(), path);
    if (it == r.processFonts.end()) return false;
    r.processFonts.erase(it);
    FcConfig* config = Config(r);
    if (config == nullptr) return true;
    // fontconfig cannot drop one application font: clear them all and add back the others.
    FcConfigAppFontClear(config);
    std::vector<std::string> kept;
    for (const auto& p : r.processFonts) {
        if (FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(p.c_str())) == FcTrue) {
            kept.push_back(p);
        }
    }
    r.processFonts = std::move(kept);
    r.resolved.clear();
    return true;
}

}  // namespace plat
