#include "platform/gdi/device_context.h"

#include "platform/fonts/font_resolver.h"

namespace plat {

std::optional<LogicalFont> DeviceContext::SelectFont(const LogicalFont& font) {
    std::optional<LogicalFont> previous = std::move(font_);
    if (!previous || !(*previous == font)) {
        face_.reset();
        faceLooked_ = false;
    }
    font_ = font;
    return previous;
}

std::shared_ptr<const FontFace> DeviceContext::SelectedFace() {
    if (!font_) return nullptr;
    if (!faceLooked_) {
        face_ = OpenLogicalFont(*font_);
        faceLooked_ = true;
    }
    return face_;
}

std::optional<size_t> DeviceContext::GetFontData(uint32_t tag, uint32_t offset,
                                                 std::span<uint8_t> out) {
    auto face = SelectedFace();
    if (!face) return std::nullopt;
    return face->GetFontData(tag, offset, out);
}

}  // namespace plat
