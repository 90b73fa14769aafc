// Arbitrary bytes as an enhanced metafile: the enumerator's checks, the listing of every
// record (which decodes each kind it knows), playback onto an information context, and, for
// files that pass, onto a small image (qzs-emf png draws untrusted files).
#include <QImage>
#include <cstdint>
#include <string>

#include "platform/gdi/emf_listing.h"
#include "platform/gdi/emf_reader.h"
#include "platform/gdi/qpainter_dc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    std::string listing, error;
    const bool listed = plat::ListEmfRecords(file, &listing, &error);
    plat::InfoDc dc(plat::DeviceInfo::ForPixels(800, 600, 96));
    const bool played = plat::PlayEnhMetaFile(dc, file, &error);
    // Both read the same checks: a file one accepts the other must accept.
    if (listed != played) __builtin_trap();
    if (played) {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(0xFFFFFFFF);
        plat::QPainterDc painter(&image, 96);
        plat::PlayEnhMetaFile(painter, file, &error);
    }
    return 0;
}
