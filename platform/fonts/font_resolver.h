// From a logical font to a font file and face through fontconfig, with the Japanese Windows face
// names the reports use mapped onto the installed IPA fonts, and fonts registered for this
// process only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/fonts/font_face.h"
#include "platform/fonts/logical_font.h"

namespace plat {

// The installed family that stands in for a Windows face name ("ＭＳ ゴシック" -> "IPAGothic");
// other names come back unchanged. A leading '@' is kept.
std::u16string SubstituteFaceName(std::u16string_view face);

struct ResolvedFont {
    std::string path;
    uint32_t faceIndex = 0;
    std::string family;          // the family fontconfig chose (UTF-8)
    bool vertical = false;       // the face name began with '@'
    bool familyMatched = false;  // the chosen family is the one asked for (after substitution)
};

// Always finds some installed face when any font is installed, as the Windows font mapper does;
// familyMatched tells whether it is the family that was asked for.
std::optional<ResolvedFont> ResolveFont(const LogicalFont& font);

// ResolveFont and open the face; faces are shared while anyone holds them.
std::shared_ptr<FontFace> OpenLogicalFont(const LogicalFont& font);

// Makes a font file known to this font layer only (an application font of its own fontconfig
// configuration); nothing is installed for other programs, nor for other fontconfig users of
// this process. False when fontconfig cannot read the file.
bool RegisterProcessFont(const std::string& path);
// Forgets a font registered above; false when it was not registered.
bool UnregisterProcessFont(const std::string& path);

}  // namespace plat
