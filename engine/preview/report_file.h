// Saved report files (".k3v") below the report-file object: writing the document information,
// the page records with each page's own streams and the embedded fonts into the compressed
// container; and loading one back bounded: expansion into a private temporary file with a
// byte limit, the password check, the embedded fonts registered for this process only, and the
// pages handed one by one to whoever shows them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/container.h"
#include "engine/preview/file_records.h"
#include "engine/preview/viewer_logic.h"

namespace kp::preview {

// What a file from disk may plausibly hold; past it loading answers kFileDamaged (pages so far
// kept). The expansion is judged as it runs, stream header by stream header, so a file that
// claims more is refused before the bytes it claims are written anywhere.
struct ReportFileLimits {
    // The whole expansion, whatever its shape.
    uint64_t maxExpandedBytes = uint64_t{1} << 30;
    int maxPages = 100000;
    // The embedded fonts in all: subsets of the characters a report draws, a few megabytes even
    // for a Japanese face whose whole file is 8 MB.
    size_t maxFontBytes = size_t{32} << 20;
    // The document information: eight texts a host sets and four numbers.
    uint32_t maxDocumentBytes = uint32_t{1} << 20;
    // One page: its record and the streams of its report (five layers of text, line and box
    // controls, none of which holds more than 1 MiB of its own data).
    uint64_t maxPageBytes = uint64_t{16} << 20;
    // Past the first maxPageBytes, at most this many bytes out for every compressed byte read.
    // The writer deflates each stream with a flush, and its files expand 2 to 8 times; only long
    // runs of one byte, which no report holds, come near deflate's own 1032.
    uint32_t maxExpansionRatio = 128;
};

// The path a new file gets: ".k3v" is appended unless the path holds it anywhere.
std::string ReportFilePath(const std::string& path);

class ReportFileWriter {
  public:
    ReportFileWriter() = default;
    ~ReportFileWriter();
    ReportFileWriter(const ReportFileWriter&) = delete;
    ReportFileWriter& operator=(const ReportFileWriter&) = delete;

    // kFileCannotOpen when the file cannot be made (or exists and overwrite is false).
    int32_t Create(const std::string& path, bool overwrite);
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }
    int Pages() const { return pages_; }

    // The page's own streams, written into the container with its page number already set.
    using ElementWriter = std::function<int32_t(StreamFile* container)>;
    // The document information goes before the first page; info.updateDate 0 is written as now.
    int32_t AddPage(const DocumentInfo& info, const FilePageRecord& record,
                    const ElementWriter& element);

    // One subset per font index: 0 with the bytes (none: the font is not embedded), or a
    // failure, which is answered at the end while the other fonts are still written.
    using FontSubsetter = std::function<int32_t(int index, std::vector<uint8_t>* subset)>;
    // Writes "KPFILE30FONT", finishes the zlib stream and closes.
    int32_t Close(int fontCount, const FontSubsetter& subset);

  private:
    int32_t Fail(int32_t rc);

    CompressedStreamFileFactory* factory_ = nullptr;
    StreamFile* file_ = nullptr;
    std::string path_;
    int pages_ = 0;
};

class ReportFileReader {
  public:
    ReportFileReader() = default;
    ~ReportFileReader();  // removes the fonts it registered
    ReportFileReader(const ReportFileReader&) = delete;
    ReportFileReader& operator=(const ReportFileReader&) = delete;

    // Called with page n's record and the container positioned on page n; a failure stops.
    using PageSink =
        std::function<int32_t(int page, const FilePageRecord& record, StreamFile* container)>;
    // Without a port a protected file with a password stays locked (kFilePasswordRefused).
    int32_t Load(const std::string& path, const ReportFileLimits& limits, ViewerDialogPort* port,
                 DocumentInfo* info, const PageSink& page);
    // Unregisters and deletes every font file it registered, and their folder.
    void RemoveFonts();
    const std::vector<std::string>& FontFiles() const { return fonts_; }

  private:
    int32_t InstallFonts(StreamFile* container, const ReportFileLimits& limits);

    std::string fontDir_;
    std::vector<std::string> fonts_;
};

// Expands the compressed file at `from` into the existing file at `to` while judging what comes
// out against the limits: a stream header without the container's magic, a document, font or page
// stream beyond its limit, a page record out of order or past maxPages, streams of other names
// beyond one page's bytes in all, or more output than the ratio or the whole allow each answer
// kFileDamaged, with nothing past the offending header written. Damaged zlib data answers its
// own code.
int32_t ExpandBounded(const std::string& from, const std::string& to,
                      const ReportFileLimits& limits);

}  // namespace kp::preview
