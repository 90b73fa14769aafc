// A device context. So far it holds what the font code needs: the logical font selected into it
// and the face realised for that font, from which GetFontData reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "platform/fonts/font_face.h"
#include "platform/fonts/logical_font.h"

namespace plat {

class DeviceContext {
  public:
    DeviceContext() = default;
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    // Selects a logical font and answers the one selected before (nothing for a new context,
    // which, like a device's stock bitmap font, has no sfnt data to give).
    std::optional<LogicalFont> SelectFont(const LogicalFont& font);
    const std::optional<LogicalFont>& selectedFont() const { return font_; }

    // The face of the selected font, found when first asked; nullptr when no font is selected
    // or no face can be found.
    std::shared_ptr<const FontFace> SelectedFace();

    // GetFontData on the selected font (see FontFace::GetFontData); nothing without a face.
    std::optional<size_t> GetFontData(uint32_t tag, uint32_t offset, std::span<uint8_t> out);

  private:
    std::optional<LogicalFont> font_;
    std::shared_ptr<const FontFace> face_;
    bool faceLooked_ = false;
};

}  // namespace plat
