// The records of a saved report file (".k3v"): the document information stream "KPFILE30", the
// page record "KPFILE30PAGE" before each page's report element and the embedded fonts of
// "KPFILE30FONT". Each is a run of tagged records {id, length, value}; the field tables in
// file_records.cpp are the one description both the writer and the reader walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/byte_stream.h"

namespace kp::preview {

inline constexpr char16_t kDocumentStream[] = u"KPFILE30";
inline constexpr char16_t kPageStream[] = u"KPFILE30PAGE";
inline constexpr char16_t kFontStream[] = u"KPFILE30FONT";

// Result codes of the report-file object's reading and writing.
inline constexpr int32_t kFileWrongState = -17200;
inline constexpr int32_t kFilePasswordRefused = -17310;
inline constexpr int32_t kFileNoName = -19002;
inline constexpr int32_t kFileCannotOpen = -19004;
inline constexpr int32_t kFileCopyFailed = -19005;
inline constexpr int32_t kFileDamaged = -19999;  // a record cut short, or a limit passed

struct DocumentInfo {
    std::u16string title;        // 3002
    std::u16string subTitle;     // 3008
    std::u16string keywords;     // 3009
    std::u16string creator;      // 3007
    std::u16string password;     // 3004, as typed
    int32_t protect = 0;         // 3005
    int32_t noPrint = 0;         // 3006
    std::u16string author;       // 3003
    int32_t indexVisible = 0;    // 3038
    int32_t flag = 0;            // 3044
    int32_t firstPageValue = 0;  // 3010, written and read but never applied
    double updateDate = 0;       // 3011, OLE date
};

struct FilePageRecord {
    int32_t reserved = 0;        // 3012
    int32_t outlineParent = -1;  // 3013
    std::u16string heading;      // 3036
    int16_t reserved2 = 0;       // 3014
    int16_t orientation = 1;     // 3015
    int16_t paperSize = 0;       // 3016
    int16_t paperWidth = 0;      // 3017, 0.1 mm
    int16_t paperLength = 0;     // 3018, 0.1 mm
};

struct EmbeddedFont {
    std::u16string name;        // 3100; kept for diagnostics only, never a file name
    std::vector<uint8_t> data;  // 3101
};

// Writers answer the stream's first failure.
int32_t WriteDocumentInfo(EngineStream* stream, const DocumentInfo& info);
int32_t WritePageRecord(EngineStream* stream, const FilePageRecord& record);
// Record 3100 "EmbedFont%04d" with the table index, then 3101 with the subset.
int32_t WriteEmbeddedFont(EngineStream* stream, int index, const std::vector<uint8_t>& subset);

// Readers: the stream's end at a record boundary ends it (0); an end inside a record, or a length
// beyond the rest of the stream, answers kFileDamaged before anything is allocated. Unknown ids
// are skipped; a length of 0 leaves the field at its default; a numeric record reads at most its
// field's width and skips the rest. Other stream failures pass through.
int32_t ReadDocumentInfo(EngineStream* stream, DocumentInfo* info);
int32_t ReadPageRecord(EngineStream* stream, FilePageRecord* record);
// A 3101 without a 3100 before it is kept unnamed. Fonts beyond maxBytes in all answer
// kFileDamaged with the fonts so far kept.
int32_t ReadEmbeddedFonts(EngineStream* stream, size_t maxBytes, std::vector<EmbeddedFont>* fonts);

// The heading of a page recorded without one: "%dページ".
std::u16string DefaultHeading(int page);

}  // namespace kp::preview
