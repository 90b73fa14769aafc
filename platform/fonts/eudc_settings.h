// Where the end-user-defined-character (EUDC) font of a face is. On Windows the per-user
// registry key "EUDC\932" names one font file per face and a system default; here a small
// settings file under the user's configuration directory stands in for that key:
//
//   $XDG_CONFIG_HOME/korva-qzs/eudc.conf   (XDG_CONFIG_HOME defaults to ~/.config)
//
//   # face name = font file; a relative path counts from the folder of this file
//   SystemDefaultEUDCFont = /usr/local/share/fonts/eudc.tte
//   ＭＳ 明朝 = mincho-eudc.tte
//
// One "name = value" per line, UTF-8; lines starting with '#' or ';' are comments; names compare
// without regard to ASCII case, as registry value names do. Nothing is configured by default.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plat {

inline constexpr std::string_view kSystemDefaultEudcFont = "SystemDefaultEUDCFont";

// The settings file's path (it need not exist).
std::string EudcSettingsPath();

// The EUDC font file of a face (a leading '@' ignored), or the system default one when the face
// has none; nothing when the settings file is missing or names neither.
std::optional<std::string> FindEudcFontFile(std::u16string_view face);

// The system default EUDC font file alone; nothing when not configured.
std::optional<std::string> SystemDefaultEudcFontFile();

}  // namespace plat
