#include "platform/fonts/eudc_settings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/strings.h"
#include "platform/automation/automation.h"

namespace plat {

namespace {

using qzs::base::Trim;

// The value named `name`, read afresh each time as the registry would be; an empty value
// counts as missing.
std::optional<std::string> ReadValue(std::string_view name) {
    std::filesystem::path file(EudcSettingsPath());
    std::ifstream in(file);
    if (!in) return std::nullopt;
    std::string line;
    while (std::getline(in, line)) {
        std::string_view l = Trim(line);
        if (l.empty() || l.front() == '#' || l.front() == ';') continue;
        size_t eq = l.find('=');
        if (eq == std::string_view::npos) continue;
        if (!qzs::base::EqualsNoCase(Trim(l.substr(0, eq)), name)) continue;
        std::string_view value = Trim(l.substr(eq + 1));
        if (value.empty()) return std::nullopt;
        std::filesystem::path p(value);
        if (p.is_relative()) p = file.parent_path() / p;
        return p.string();
    }
    return std::nullopt;
}

}  // namespace

std::string EudcSettingsPath() {
    std::filesystem::path base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home != nullptr ? home : "") / ".config";
    }
    return (base / "korva-qzs" / "eudc.conf").string();
}

std::optional<std::string> FindEudcFontFile(std::u16string_view face) {
    if (!face.empty() && face.front() == u'@') face.remove_prefix(1);
    std::string name;
    if (!face.empty() && Utf8FromWide(face, &name)) {
        if (auto path = ReadValue(name)) return path;
    }
    return ReadValue(kSystemDefaultEudcFont);
}

std::optional<std::string> SystemDefaultEudcFontFile() {
    return ReadValue(kSystemDefaultEudcFont);
}

}  // namespace plat
