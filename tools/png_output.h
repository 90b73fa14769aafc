// A picture the tools write: encoded in memory, then put in place whole through the atomic
// writer, so that a failed write keeps the older picture and leaves no temporary behind.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <string>
#include <string_view>

#include "base/atomic_file.h"

namespace qzs::tools {

inline bool SavePngAtomically(const QImage& image, const std::string& path) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return false;
    return base::WriteFileAtomically(
               path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))) ==
           0;
}

}  // namespace qzs::tools
