// qzs-emf records FILE.emf
// qzs-emf png FILE.emf OUT.png
//
// records: one line per record, "INDEX TYPE NAME SIZE" and the fields worth reading (see
// platform/gdi/emf_listing.h). png: plays the metafile onto a white image of the header's
// device size, at the resolution its pixels and millimetres give, and writes it as PNG.
// Exit status 0, or 1 with the error on standard error; a file that fails the checks is not
// played at all.
#include <QImage>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/gdi/emf_listing.h"
#include "platform/gdi/emf_reader.h"
#include "platform/gdi/qpainter_dc.h"
#include "tools/png_output.h"

namespace {

// The largest picture drawn: a metafile's device size is untrusted.
constexpr int32_t kMaxSide = 20000;

bool ReadFile(const char* path, std::vector<uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "qzs-emf: %s\n", message.c_str());
    return 1;
}

int Records(const std::vector<uint8_t>& file) {
    std::string listing, error;
    if (!plat::ListEmfRecords(file, &listing, &error)) return Fail(error);
    std::fwrite(listing.data(), 1, listing.size(), stdout);
    return 0;
}

int Png(const std::vector<uint8_t>& file, const std::string& outPath) {
    plat::EmfHeader header;
    std::string error;
    if (!plat::ReadEmfHeader(file, &header, &error)) return Fail(error);
    const plat::SIZE size = header.device;
    if (size.cx <= 0 || size.cy <= 0 || size.cx > kMaxSide || size.cy > kMaxSide) {
        return Fail("device size " + std::to_string(size.cx) + "x" + std::to_string(size.cy) +
                    " cannot be drawn");
    }
    int32_t dpi = 96;
    if (header.millimeters.cx > 0) {
        dpi = static_cast<int32_t>(std::lround(size.cx * 25.4 / header.millimeters.cx));
    }
    if (dpi <= 0) dpi = 96;
    QImage image(size.cx, size.cy, QImage::Format_RGB32);
    if (image.isNull()) return Fail("no memory for the image");
    image.fill(Qt::white);
    {
        plat::QPainterDc dc(&image, dpi);
        if (!plat::PlayEnhMetaFile(dc, file, &error)) return Fail(error);
    }
    if (!qzs::tools::SavePngAtomically(image, outPath)) return Fail("cannot write " + outPath);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (!((mode == "records" && argc == 3) || (mode == "png" && argc == 4))) {
        std::fprintf(stderr, "usage: qzs-emf records FILE.emf | png FILE.emf OUT.png\n");
        return 1;
    }
    std::vector<uint8_t> file;
    if (!ReadFile(argv[2], file)) return Fail(std::string("cannot read ") + argv[2]);
    return mode == "records" ? Records(file) : Png(file, argv[3]);
}
