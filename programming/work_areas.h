// The three work blocks that start-up and the clear entry (*007) empty.
#pragma once

#include "programming/data_image.h"

namespace qzs {

// Zeroes the two runs of 129 two-byte entries of block 164 (bytes 0-257 and 260-517) and the
// whole of blocks 165 and 166. Bytes 258-259 and 518-519 of block 164 are not work entries and
// keep their values.
void ClearWorkAreas(DataImage& image);

}  // namespace qzs
