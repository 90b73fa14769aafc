// The text listing of a metafile's records that qzs-emf prints: one line per record,
// "INDEX TYPE NAME SIZE" and then key=value fields for the records worth reading.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/gdi/emf_reader.h"

namespace plat {

// One record's line, without the line end.
std::string DescribeEmfRecord(const EmfRecord& record);

// Every record's line, each ended by "\n"; false with the reason for a file that fails the
// enumerator's checks.
bool ListEmfRecords(std::span<const uint8_t> file, std::string* listing, std::string* error);

}  // namespace plat
