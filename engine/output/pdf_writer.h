// The PDF 1.3 file of one exported document: the writer numbers and places every object, keeps
// the cross-reference offsets, compresses page content and images through deflate stages, and
// at the end writes the fonts, the pages tree, the outlines, the document information, the
// cross-reference table and the trailer. The file is written front to back under a temporary
// name beside the target and takes the target's name only when it is finished, so a failed
// export never leaves a partial PDF behind.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/atomic_file.h"
#include "engine/core/zlib_file.h"
#include "engine/output/pdf_objects.h"
#include "platform/gdi/gdi_types.h"

namespace kp {

namespace pdf_code {
inline constexpr int kTables = -15001;
inline constexpr int kPosition = -15010;     // no position (also: closing a file never opened)
inline constexpr int kObjectLimit = -15011;  // the next number would pass 199,999
inline constexpr int kWrite = -15012;
inline constexpr int kPageLimit = -15015;  // 9,999 pages
inline constexpr int kStartXref = -15016;
inline constexpr int kFileExists = -15017;
inline constexpr int kCreateFailed = -15018;
inline constexpr int kBuffer = -15180;
inline constexpr int kDeflateBegun = -15220;
inline constexpr int kDeflateInit = -15221;
inline constexpr int kDeflateEnd = -15222;
inline constexpr int kDeflateData = -15223;
inline constexpr int kDeflateWrite = -15225;  // also a deflate error while finishing
inline constexpr int kDiskFull = -15226;
}  // namespace pdf_code

inline constexpr uint32_t kPdfMaxObject = 199999;
inline constexpr int kPdfMaxPages = 9999;
inline constexpr int kPdfMaxPageImages = 2000;

// A growable memory buffer that receives bytes as they are, or deflated at level 9 with a sync
// flush on every write (Begin .. Finish). It grows in steps of 131,071 bytes.
class DeflateBuffer {
  public:
    static constexpr size_t kStep = 131071;

    DeflateBuffer();
    ~DeflateBuffer();
    DeflateBuffer(const DeflateBuffer&) = delete;
    DeflateBuffer& operator=(const DeflateBuffer&) = delete;

    int Begin();  // -15220 already begun, -15221 zlib cannot start
    int Write(std::string_view text) { return Write(text.data(), text.size()); }
    int Write(const void* data, size_t size);  // -15223 deflate error, -15180 no memory
    int Finish();  // -15225 deflate error, -15222 zlib cannot end; 0 when not compressing
    bool compressing() const { return deflate_ != nullptr; }
    std::span<const uint8_t> data() const { return {data_.get(), size_}; }
    size_t size() const { return size_; }
    void Empty();

  private:
    class Sink;
    int Append(const uint8_t* data, size_t size);

    std::unique_ptr<uint8_t[]> data_;
    size_t capacity_ = 0;
    size_t size_ = 0;
    std::unique_ptr<Sink> sink_;
    std::unique_ptr<DeflateStage> deflate_;
};

class PdfFileWriter;

// Deflates straight into the writer's file and counts the bytes it wrote there.
class DeflateFileStream {
  public:
    explicit DeflateFileStream(PdfFileWriter& writer);
    ~DeflateFileStream();
    DeflateFileStream(const DeflateFileStream&) = delete;
    DeflateFileStream& operator=(const DeflateFileStream&) = delete;

    int Begin();
    int Write(const void* data, size_t size);  // -15223; -15226 disk full, -15225 write failed
    int Finish();                              // -15222
    uint64_t written() const;

  private:
    class Sink;
    std::unique_ptr<Sink> sink_;
    std::unique_ptr<DeflateStage> deflate_;
};

// A DIB as the translator hands it over: its header, colour table and rows (padded to 32 bits).
struct PdfImage {
    plat::BITMAPINFOHEADER header;
    std::span<const plat::RGBQUAD> colors;
    std::span<const uint8_t> bits;
};

class PdfFileWriter {
  public:
    PdfFileWriter();
    ~PdfFileWriter();  // an unfinished file is closed and its temporary removed
    PdfFileWriter(const PdfFileWriter&) = delete;
    PdfFileWriter& operator=(const PdfFileWriter&) = delete;

    // Tables and buffers; -15001, -15180.
    int AllocateTables();
    void FreeTables();
    bool HasTables() const { return !offsets_.empty(); }

    // Decides -15017 (the target exists and overwrite is off) now; -15018 when the temporary
    // cannot be made. Writes the header and the catalog.
    int CreateFile(const std::string& path, bool overwrite);
    bool IsOpen() const { return fd_ >= 0; }

    int Write(std::string_view text);
    int Write(std::span<const uint8_t> bytes);
    // The next object number, with the current offset recorded for it.
    int Tell(uint32_t& number);
    int BeginObject(uint32_t& number);
    int EndObject();
    // Records the current offset for a number taken earlier.
    int RecordOffset(uint32_t number);
    int WriteFlateStream();
    // Objects handed over as data (a font's): numbered in list order where they bring no number
    // of their own, their references resolved, their streams deflated.
    int WriteObjects(std::span<const PdfObject> objects);

    // Page content and the path under construction.
    DeflateBuffer& content() { return content_; }
    DeflateBuffer& path() { return path_; }
    // Page content as the translator makes it, a few operators at a time. Every deflate call
    // ends in a sync flush, so the pieces are gathered here and handed on in large ones: the
    // content inflates to the same bytes, only the compressed stream has fewer flush points.
    // A deflate error surfaces on the write that hands a piece on, or when the page finishes.
    int WriteContent(std::string_view text);

    // Starts a page: -15015 at the page limit; the previous page's images join the running
    // count and the content buffer starts compressing.
    int BeginPage();
    // Writes an image of 1, 4, 8 or 24 bits per pixel and registers it in the page's image list
    // (-15153 past 2,000); its document-wide number is answered for "/im%d Do".
    int WriteImage(const PdfImage& image, int& number);
    // Contents, font resources (every font of the document so far), procedure set, images and
    // the page object of a page of width x height in 0.01 mm.
    int FinishPage(int32_t widthHmm, int32_t heightHmm, const PdfFontObjects& fonts);
    int pageCount() const { return int(pages_.size()); }

    // The end of the file: the document's fonts, pages tree, outlines, information, xref and
    // trailer, then the file takes its name. Texts are UTF-16; empty ones are left out.
    int FinishFile(const std::u16string* texts[5], PdfFontObjects& fonts);
    // Closes and removes an unfinished file.
    void Abandon();

    // The UTC time written as the creation date; tests fix it.
    void SetClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }

  private:
    friend class DeflateFileStream;
    int RawWrite(const uint8_t* data, size_t size);  // -15226 disk full, -15225 otherwise
    int Flush();
    int WriteStreamObject(uint32_t number, std::string_view dictionary,
                          std::span<const uint8_t> data);
    int WriteImageData(const PdfImage& image, uint32_t& number);
    int WriteColorLookup(const PdfImage& image, uint32_t number, int entries);
    int FlushContent();
    void ClearOffsets();
    void CloseFile();

    std::unique_ptr<qzs::base::AtomicFile> file_;  // the document's file until it is closed
    int fd_ = -1;                                  // the file's descriptor while open
    uint64_t position_ = 0;
    std::vector<uint8_t> out_;  // written out in pieces of 64 KiB

    uint32_t nextObject_ = 1;
    std::vector<uint64_t> offsets_;
    // Entries of offsets_ below this may hold an offset: a new file clears only those, not the
    // whole table of 200,000 (a document rarely numbers more than a few thousand objects).
    uint32_t offsetsUsed_ = 0;
    std::vector<uint32_t> pages_;
    std::vector<uint32_t> pageImages_;
    int imageTotal_ = 0;
    DeflateBuffer content_;
    std::string contentPiece_;  // page content not yet handed to content_
    DeflateBuffer path_;
    std::function<std::time_t()> clock_;
};

}  // namespace kp
