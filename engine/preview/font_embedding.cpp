#include "engine/preview/font_embedding.h"

#include <set>
#include <string>

#include "engine/core/font_usage.h"
#include "engine/output/ttf_subset.h"
#include "platform/automation/automation.h"
#include "platform/fonts/logical_font.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"

namespace kp::preview {
namespace {

std::u16string Face(const FontUsageTable* table, int index, bool* wide) {
    plat::Bstr face = nullptr;
    bool w = false;
    if (FontUsageGetFont(table, index, w, face) != 0) return {};
    std::u16string text(plat::BstrView(face));
    plat::BstrFree(face);
    if (wide) *wide = w;
    return text;
}

std::u16string WithoutVertical(const std::u16string& face) {
    return face.starts_with(u"@") ? face.substr(1) : face;
}

void AddCodes(const FontUsageTable* table, int index, std::set<char16_t>* codes) {
    std::u16string buffer(0x10000, u'\0');
    const int n = FontUsageListCodes(table, index, buffer.data(), buffer.size());
    codes->insert(buffer.begin(), buffer.begin() + std::max(0, n));
}

}  // namespace

int32_t SubsetForFile(const FontUsageTable* table, int index, std::vector<uint8_t>* subset) {
    subset->clear();
    if (!table || index < 0 || index >= table->count()) return 0;
    bool wide = false;
    const std::u16string face = Face(table, index, &wide);
    std::set<char16_t> own;
    AddCodes(table, index, &own);
    if (own.empty()) return 0;
    // The wide and the ANSI entry of a face each embed every code of both: whichever of the two
    // a page's text reaches, its characters are all there.
    const std::u16string family = WithoutVertical(face);
    std::set<char16_t> codes;
    for (int j = 0; j < table->count(); ++j)
        if (WithoutVertical(Face(table, j, nullptr)) == family) AddCodes(table, j, &codes);
    const std::u16string used(codes.begin(), codes.end());

    plat::LogicalFont font;
    font.height = 100;
    font.weight = 400;  // bold would pick a bold file the regular text never uses
    font.charSet = 128;
    font.faceName = family;
    plat::InfoDc dc;
    plat::GdiObject handle(plat::CreateFontIndirectW(plat::ToLogFontW(font)));
    dc.SelectObject(handle.get());
    return SubsetTrueTypeFontWithoutEudc(dc, family, wide, used, *subset);
}

}  // namespace kp::preview
