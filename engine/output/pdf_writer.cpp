#include "engine/output/pdf_writer.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>

#include "engine/core/container_codes.h"
#include "engine/output/pdf_format.h"

namespace kp {

using namespace pdf_code;

namespace {

// The deflate stage answers the codes of the report-file streams; the PDF writer's own codes
// for the same failures lie 2000 above them.
int FromStageCode(int rc, bool finishing) {
    if (rc == stream_code::kZlibData && finishing) return kDeflateWrite;
    if (rc <= stream_code::kZlibNotOpen && rc >= stream_code::kDiskFull) return rc + 2000;
    return rc;
}

constexpr size_t kFileBuffer = 64 * 1024;
// Page content is deflated in pieces of about this size (a page of a data sheet is one or two).
constexpr size_t kContentPiece = 64 * 1024;
// A cross-reference entry has ten digits.
constexpr uint64_t kMaxOffset = 9999999999ull;

constexpr char kProducer[] = "Tessaryn Corp. Kelvaprint Version 3.0";

}  // namespace

// ---------------------------------------------------------------------------------------------

class DeflateBuffer::Sink final : public StreamStage {
  public:
    explicit Sink(DeflateBuffer& buffer) : buffer_(buffer) {}
    int32_t Write(const uint8_t* data, size_t size) override { return buffer_.Append(data, size); }
    int32_t Finish() override { return 0; }

  private:
    DeflateBuffer& buffer_;
};

DeflateBuffer::DeflateBuffer() : sink_(std::make_unique<Sink>(*this)) {}
DeflateBuffer::~DeflateBuffer() = default;

int DeflateBuffer::Append(const uint8_t* data, size_t size) {
    if (size == 0) return kOk;
    if (size > SIZE_MAX - size_) return kBuffer;
    const size_t need = size_ + size;
    if (need > capacity_) {
        // Grown without blanking: only the bytes up to size_ are ever read.
        if (need / kStep + 1 > SIZE_MAX / kStep) return kBuffer;
        const size_t capacity = (need / kStep + 1) * kStep;
        std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[capacity]);
        if (grown == nullptr) return kBuffer;
        if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
        data_ = std::move(grown);
        capacity_ = capacity;
    }
    std::memcpy(data_.get() + size_, data, size);
    size_ = need;
    return kOk;
}

int DeflateBuffer::Begin() {
    if (deflate_ != nullptr) return kDeflateBegun;
    auto stage = std::make_unique<DeflateStage>(sink_.get());
    if (stage->Init() != 0) return kDeflateInit;
    deflate_ = std::move(stage);
    return kOk;
}

int DeflateBuffer::Write(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (deflate_ == nullptr) return Append(bytes, size);
    if (size == 0) return kOk;
    const int rc = deflate_->Write(bytes, size);
    return rc == 0 ? kOk : FromStageCode(rc, false);
}

int DeflateBuffer::Finish() {
    if (deflate_ == nullptr) return kOk;
    const int rc = deflate_->Finish();
    deflate_.reset();
    return rc == 0 ? kOk : FromStageCode(rc, true);
}

void DeflateBuffer::Empty() {
    deflate_.reset();
    data_.reset();
    capacity_ = 0;
    size_ = 0;
}

// ---------------------------------------------------------------------------------------------

class DeflateFileStream::Sink final : public StreamStage {
  public:
    explicit Sink(PdfFileWriter& writer) : writer_(writer) {}
    int32_t Write(const uint8_t* data, size_t size) override {
        const int rc = writer_.RawWrite(data, size);
        if (rc == kOk) written_ += size;
        return rc;
    }
    int32_t Finish() override { return 0; }
    uint64_t written_ = 0;

  private:
    PdfFileWriter& writer_;
};

DeflateFileStream::DeflateFileStream(PdfFileWriter& writer)
    : sink_(std::make_unique<Sink>(writer)) {}
DeflateFileStream::~DeflateFileStream() = default;

int DeflateFileStream::Begin() {
    if (deflate_ != nullptr) return kDeflateBegun;
    auto stage = std::make_unique<DeflateStage>(sink_.get());
    if (stage->Init() != 0) return kDeflateInit;
    deflate_ = std::move(stage);
    return kOk;
}

int DeflateFileStream::Write(const void* data, size_t size) {
    if (deflate_ == nullptr) return kDeflateData;
    if (size == 0) return kOk;
    const int rc = deflate_->Write(static_cast<const uint8_t*>(data), size);
    return rc == 0 ? kOk : FromStageCode(rc, false);
}

int DeflateFileStream::Finish() {
    if (deflate_ == nullptr) return kOk;
    const int rc = deflate_->Finish();
    deflate_.reset();
    if (rc == stream_code::kZlibData) return kDeflateEnd;
    return rc == 0 ? kOk : FromStageCode(rc, true);
}

uint64_t DeflateFileStream::written() const {
    return sink_->written_;
}

// ---------------------------------------------------------------------------------------------

PdfFileWriter::PdfFileWriter() : clock_([] { return std::time(nullptr); }) {}

PdfFileWriter::~PdfFileWriter() {
    Abandon();
}

int PdfFileWriter::AllocateTables() {
    try {
        if (offsets_.size() == size_t(kPdfMaxObject) + 2) {
            ClearOffsets();
        } else {
            offsets_.assign(kPdfMaxObject + 2, 0);
            offsetsUsed_ = 0;
        }
        pages_.clear();
        pages_.reserve(64);
        pageImages_.clear();
    } catch (const std::bad_alloc&) {
        FreeTables();
        return kTables;
    }
    content_.Empty();
    contentPiece_.clear();
    path_.Empty();
    return kOk;
}

void PdfFileWriter::FreeTables() {
    std::vector<uint64_t>().swap(offsets_);
    offsetsUsed_ = 0;
    std::vector<uint32_t>().swap(pages_);
    std::vector<uint32_t>().swap(pageImages_);
    content_.Empty();
    std::string().swap(contentPiece_);
    path_.Empty();
}

int PdfFileWriter::CreateFile(const std::string& path, bool overwrite) {
    if (!HasTables()) return kTables;
    if (IsOpen()) return kCreateFailed;
    struct stat st {};
    if (!overwrite && ::lstat(path.c_str(), &st) == 0) return kFileExists;
    // Written beside the target and put in place whole when the document closes; without
    // overwrite the target must still be missing then.
    file_ = std::make_unique<qzs::base::AtomicFile>(
        path, overwrite ? qzs::base::AtomicFile::Replace::kAlways
                        : qzs::base::AtomicFile::Replace::kNever);
    if (!file_->Open()) {
        file_.reset();
        return kCreateFailed;
    }
    fd_ = file_->fd();
    position_ = 0;
    out_.clear();
    out_.reserve(kFileBuffer);
    nextObject_ = 1;
    pages_.clear();
    pageImages_.clear();
    imageTotal_ = 0;
    ClearOffsets();

    static const uint8_t kBinaryLine[] = {0x25, 0xE2, 0xE3, 0xCF, 0xD3, 0x0D, 0x0A};
    int rc = Write("%PDF-1.3\r");
    if (rc == kOk) rc = Write(std::span<const uint8_t>(kBinaryLine));
    uint32_t catalog = 0;
    if (rc == kOk) rc = Tell(catalog);
    if (rc == kOk) {
        // Objects 2 and 3 (pages tree and outlines) are written at the end.
        nextObject_ = 4;
        rc =
            Write(PdfFormat("%d 0 obj\r<<\r/Type /Catalog\r/Pages %d 0 R\r/Outlines %d 0 R\r>>"
                            "\rendobj\r",
                            1, 2, 3));
    }
    if (rc != kOk) CloseFile();
    return rc;
}

void PdfFileWriter::ClearOffsets() {
    std::fill(offsets_.begin(), offsets_.begin() + offsetsUsed_, 0);
    offsetsUsed_ = 0;
}

int PdfFileWriter::Flush() {
    size_t done = 0;
    while (done < out_.size()) {
        const ssize_t n = ::write(fd_, out_.data() + done, out_.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            out_.clear();
            return errno == ENOSPC || errno == EDQUOT ? kDiskFull : kDeflateWrite;
        }
        if (n == 0) {
            out_.clear();
            return kDeflateWrite;
        }
        done += size_t(n);
    }
    out_.clear();
    return kOk;
}

int PdfFileWriter::RawWrite(const uint8_t* data, size_t size) {
    if (!IsOpen()) return kDeflateWrite;
    while (size > 0) {
        const size_t n = std::min(size, kFileBuffer - out_.size());
        out_.insert(out_.end(), data, data + n);
        data += n;
        size -= n;
        position_ += n;
        if (out_.size() == kFileBuffer) {
            if (int rc = Flush(); rc != kOk) return rc;
        }
    }
    return kOk;
}

int PdfFileWriter::Write(std::string_view text) {
    return Write(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

int PdfFileWriter::Write(std::span<const uint8_t> bytes) {
    return RawWrite(bytes.data(), bytes.size()) == kOk ? kOk : kWrite;
}

int PdfFileWriter::Tell(uint32_t& number) {
    if (!IsOpen() || !HasTables()) return kPosition;
    if (nextObject_ > kPdfMaxObject) return kObjectLimit;
    if (position_ > kMaxOffset) return kPosition;
    number = nextObject_++;
    offsets_[number] = position_;
    offsetsUsed_ = std::max(offsetsUsed_, number + 1);
    return kOk;
}

int PdfFileWriter::BeginObject(uint32_t& number) {
    if (int rc = Tell(number); rc != kOk) return rc;
    return Write(PdfFormat("%d 0 obj\r", number));
}

int PdfFileWriter::EndObject() {
    return Write("endobj\r");
}

int PdfFileWriter::RecordOffset(uint32_t number) {
    if (!IsOpen() || number == 0 || number >= nextObject_) return kPosition;
    if (position_ > kMaxOffset) return kPosition;
    offsets_[number] = position_;
    offsetsUsed_ = std::max(offsetsUsed_, number + 1);
    return kOk;
}

int PdfFileWriter::WriteObjects(std::span<const PdfObject> objects) {
    // Every number first, so that an object can name one written after it.
    std::vector<uint32_t> numbers(objects.size());
    uint32_t next = nextObject_;
    for (size_t i = 0; i < objects.size(); ++i) numbers[i] = objects[i].numbered.value_or(next++);
    for (size_t i = 0; i < objects.size(); ++i) {
        const PdfObject& o = objects[i];
        uint32_t number = 0;
        int rc = o.numbered ? RecordOffset(*o.numbered) : Tell(number);
        if (rc != kOk) return rc;
        std::string text = PdfFormat("%d 0 obj\r", numbers[i]);
        if (o.stream) {
            DeflateBuffer data;
            rc = data.Begin();
            if (rc == kOk) rc = data.Write(o.data);
            if (rc == kOk) rc = data.Finish();
            if (rc != kOk) return rc;
            text += o.length1 ? PdfFormat("<< /Filter /FlateDecode /Length %d /Length1 %d >>",
                                          data.size(), o.data.size())
                              : PdfFormat("<< /Filter /FlateDecode /Length %d >>", data.size());
            rc = Write(text + "\rstream\r\n");
            if (rc == kOk) rc = Write(data.data());
            if (rc == kOk) rc = Write("\rendstream\rendobj\r");
        } else {
            for (const PdfObject::Part& part : o.dictionary) {
                text += part.text;
                if (part.ref >= 0 && size_t(part.ref) < numbers.size()) {
                    text += PdfFormat("%d 0 R", numbers[size_t(part.ref)]);
                }
            }
            rc = Write(text + "\rendobj\r");
        }
        if (rc != kOk) return rc;
    }
    return kOk;
}

int PdfFileWriter::WriteContent(std::string_view text) {
    if (!content_.compressing()) return content_.Write(text);
    if (contentPiece_.size() + text.size() > kContentPiece) {
        if (int rc = FlushContent(); rc != kOk) return rc;
        if (text.size() >= kContentPiece) return content_.Write(text);
    }
    try {
        if (contentPiece_.capacity() < kContentPiece) contentPiece_.reserve(kContentPiece);
        contentPiece_ += text;
    } catch (const std::bad_alloc&) {
        return kBuffer;
    }
    return kOk;
}

int PdfFileWriter::FlushContent() {
    if (contentPiece_.empty()) return kOk;
    const int rc = content_.Write(contentPiece_);
    contentPiece_.clear();
    return rc;
}

int PdfFileWriter::WriteFlateStream() {
    if (int rc = FlushContent(); rc != kOk) {
        content_.Empty();
        return rc;
    }
    if (int rc = content_.Finish(); rc != kOk) return rc;
    int rc = Write(PdfFormat("<< /Length %d /Filter /FlateDecode >>\rstream\r\n", content_.size()));
    if (rc == kOk) rc = Write(content_.data());
    if (rc == kOk) rc = Write("\rendstream\r");
    content_.Empty();
    return rc;
}

int PdfFileWriter::BeginPage() {
    if (!IsOpen()) return kPosition;
    if (int(pages_.size()) >= kPdfMaxPages) return kPageLimit;
    imageTotal_ += int(pageImages_.size());
    pageImages_.clear();
    content_.Empty();
    contentPiece_.clear();
    path_.Empty();
    return content_.Begin();
}

int PdfFileWriter::FinishPage(int32_t widthHmm, int32_t heightHmm, const PdfFontObjects& fonts) {
    if (int(pages_.size()) >= kPdfMaxPages) return kPageLimit;
    uint32_t contents = 0;
    int rc = BeginObject(contents);
    if (rc == kOk) rc = WriteFlateStream();
    if (rc == kOk) rc = EndObject();
    uint32_t fontResources = 0;
    if (rc == kOk) rc = BeginObject(fontResources);
    if (rc == kOk) rc = Write("<<\r");
    for (int i = 0; rc == kOk && i < fonts.count(); ++i) {
        rc = Write(PdfFormat("/F%04d %d 0 R\r", i, fonts.object(i)));
    }
    if (rc == kOk) rc = Write(">>\rendobj\r");
    uint32_t procSet = 0;
    if (rc == kOk) rc = Tell(procSet);
    if (rc == kOk) {
        rc =
            Write(PdfFormat("%d 0 obj\r[ /PDF /Text /ImageB /ImageC /ImageI ]\rendobj\r", procSet));
    }
    uint32_t images = 0;
    if (rc == kOk && !pageImages_.empty()) {
        rc = BeginObject(images);
        if (rc == kOk) rc = Write("<<\r");
        for (size_t i = 0; rc == kOk && i < pageImages_.size(); ++i) {
            rc = Write(PdfFormat("/im%d %d 0 R\r", imageTotal_ + int(i) + 1, pageImages_[i]));
        }
        if (rc == kOk) rc = Write(">>\rendobj\r");
    }
    uint32_t page = 0;
    if (rc == kOk) rc = Tell(page);
    if (rc == kOk) {
        std::string text =
            PdfFormat("%d 0 obj\r<<\r/Type /Page\r/Parent %d 0 R\r/MediaBox [ 0 0 %.2f %.2f ]\r",
                      page, 2, widthHmm * 72.0 / 2540.0, heightHmm * 72.0 / 2540.0);
        text += "/Resources <<\r";
        if (images != 0) text += PdfFormat("/XObject %d 0 R\r", images);
        text += PdfFormat("/ProcSet %d 0 R\r/Font %d 0 R\r>>\r/Contents %d 0 R\r>>\rendobj\r",
                          procSet, fontResources, contents);
        rc = Write(text);
    }
    if (rc == kOk) pages_.push_back(page);
    return rc;
}

// ---------------------------------------------------------------------------------------------
// Images

int PdfFileWriter::WriteImage(const PdfImage& image, int& number) {
    if (pageImages_.size() >= size_t(kPdfMaxPageImages)) return -15153;
    uint32_t object = 0;
    if (int rc = WriteImageData(image, object); rc != kOk) return rc;
    pageImages_.push_back(object);
    number = imageTotal_ + int(pageImages_.size());
    return kOk;
}

int PdfFileWriter::WriteImageData(const PdfImage& image, uint32_t& number) {
    const auto& h = image.header;
    const int bits = h.biBitCount;
    const uint32_t width = uint32_t(std::max(h.biWidth, 0));
    // A top-down DIB (negative height) is written bottom-up like the others.
    const uint32_t height = h.biHeight < 0 ? uint32_t(-int64_t(h.biHeight)) : uint32_t(h.biHeight);
    const uint64_t stride = (uint64_t(width) * uint64_t(bits) + 31) / 32 * 4;
    const uint64_t rowBytes = bits == 24 ? uint64_t(width) * 3 : (uint64_t(width) * bits + 7) / 8;
    const int entries = bits == 8 ? 256 : bits == 4 ? 16 : bits == 1 ? 2 : 0;
    const uint32_t nextName = uint32_t(imageTotal_) + uint32_t(pageImages_.size()) + 1;

    // A 1-bit image is grey when its palette is black and white in that order; any other pair
    // of colours is honoured with a two-entry palette written into the image itself.
    bool gray = false;
    std::string inlinePalette;
    auto color = [&](int i) {
        return size_t(i) < image.colors.size() ? image.colors[size_t(i)] : plat::RGBQUAD{};
    };
    if (bits == 1) {
        const auto c0 = color(0);
        const auto c1 = color(1);
        gray = c0.rgbRed == 0 && c0.rgbGreen == 0 && c0.rgbBlue == 0 && c1.rgbRed == 255 &&
               c1.rgbGreen == 255 && c1.rgbBlue == 255;
        if (!gray) {
            inlinePalette = PdfFormat("<%02X%02X%02X%02X%02X%02X>", c0.rgbRed, c0.rgbGreen,
                                      c0.rgbBlue, c1.rgbRed, c1.rgbGreen, c1.rgbBlue);
        }
    }

    int rc = BeginObject(number);
    if (rc != kOk) return rc;
    std::string head = PdfFormat(
        "<<\r/Type /XObject\r/Subtype /Image\r/Name /im%d\r/Filter /FlateDecode\r", nextName);
    if (bits == 24) {
        head += PdfFormat("/Width %d\r/Height %d\r/BitsPerComponent 8\r", width, height);
        head += PdfFormat("/ColorSpace /DeviceRGB\r/Length %d 0 R\r>>\rstream\r\n", number + 1);
    } else {
        head += PdfFormat("/Width %d\r/Height %d\r/BitsPerComponent %d\r", width, height, bits);
        if (gray) {
            head +=
                PdfFormat("/ColorSpace /DeviceGray\r/Length %d 0 R\r>>\rstream\r\n", number + 1);
        } else if (bits == 1) {
            head += "/ColorSpace [ /Indexed /DeviceRGB 1 " + inlinePalette + " ]\r";
            head += PdfFormat("/Length %d 0 R\r>>\rstream\r\n", number + 1);
        } else {
            head += PdfFormat(
                "/ColorSpace [ /Indexed /DeviceRGB %d %d 0 R ]\r/Length %d 0 R\r>>"
                "\rstream\r\n",
                entries - 1, number + 2, number + 1);
        }
    }
    rc = Write(head);
    DeflateFileStream stream(*this);
    if (rc == kOk) rc = stream.Begin();
    std::vector<uint8_t> row;
    try {
        // A bitmap without rows needs no row buffer, however wide it claims to be.
        if (height > 0) row.resize(size_t(rowBytes));
    } catch (const std::bad_alloc&) {
        rc = kBuffer;
    }
    for (uint32_t y = 0; rc == kOk && y < height; ++y) {
        const uint32_t stored = h.biHeight < 0 ? height - 1 - y : y;
        const uint64_t at = uint64_t(stored) * stride;
        // Rows the bits do not hold (a short record) are left blank: never read past them.
        std::fill(row.begin(), row.end(), 0);
        if (at < image.bits.size()) {
            const size_t have = size_t(std::min<uint64_t>(stride, image.bits.size() - at));
            if (bits == 24) {
                for (uint32_t x = 0; x < width && uint64_t(x) * 3 + 3 <= have; ++x) {
                    const uint8_t* p = image.bits.data() + at + uint64_t(x) * 3;
                    row[size_t(x) * 3] = p[2];
                    row[size_t(x) * 3 + 1] = p[1];
                    row[size_t(x) * 3 + 2] = p[0];
                }
            } else {
                std::memcpy(row.data(), image.bits.data() + at,
                            size_t(std::min<uint64_t>(rowBytes, have)));
            }
        }
        rc = stream.Write(row.data(), row.size());
    }
    if (rc == kOk) rc = stream.Finish();
    if (rc == kOk) rc = Write("\rendstream\rendobj\r");
    uint32_t length = 0;
    if (rc == kOk) rc = Tell(length);
    if (rc == kOk) rc = Write(PdfFormat("%d 0 obj\r%d\rendobj\r", length, stream.written()));
    if (rc == kOk && !gray && bits != 24 && bits != 1) rc = WriteColorLookup(image, 0, entries);
    return rc;
}

int PdfFileWriter::WriteColorLookup(const PdfImage& image, uint32_t, int entries) {
    uint32_t lookup = 0;
    int rc = Tell(lookup);
    if (rc != kOk) return rc;
    rc = Write(PdfFormat("%d 0 obj\r<<\r/Length %d 0 R\r/Filter /FlateDecode\r>>\rstream\r\n",
                         lookup, lookup + 1));
    DeflateFileStream stream(*this);
    if (rc == kOk) rc = stream.Begin();
    // A short colour table is padded with black.
    std::vector<uint8_t> rgb(size_t(entries) * 3, 0);
    for (int i = 0; i < entries && size_t(i) < image.colors.size(); ++i) {
        rgb[size_t(i) * 3] = image.colors[size_t(i)].rgbRed;
        rgb[size_t(i) * 3 + 1] = image.colors[size_t(i)].rgbGreen;
        rgb[size_t(i) * 3 + 2] = image.colors[size_t(i)].rgbBlue;
    }
    if (rc == kOk) rc = stream.Write(rgb.data(), rgb.size());
    if (rc == kOk) rc = stream.Finish();
    if (rc == kOk) rc = Write("\rendstream\rendobj\r");
    uint32_t length = 0;
    if (rc == kOk) rc = Tell(length);
    if (rc == kOk) rc = Write(PdfFormat("%d 0 obj\r%d\rendobj\r", length, stream.written()));
    return rc;
}

// ---------------------------------------------------------------------------------------------
// The end of the file

int PdfFileWriter::FinishFile(const std::u16string* texts[5], PdfFontObjects& fonts) {
    if (!IsOpen()) return kPosition;
    int rc = kOk;
    std::vector<PdfObject> objects;
    for (int i = 0; rc == kOk && i < fonts.count(); ++i) {
        rc = fonts.Plan(i, objects);
        if (rc == kOk) rc = WriteObjects(objects);
    }

    if (rc == kOk) rc = RecordOffset(2);
    if (rc == kOk) {
        std::string kids = PdfFormat("%d 0 obj\r<<\r/Kids [\r", 2);
        for (size_t i = 0; i < pages_.size(); ++i) {
            kids += PdfFormat("%d 0 R ", pages_[i]);
            if (i % 10 == 8) kids += '\r';
        }
        kids += PdfFormat(" ]\r/Count %d\r/Type /Pages\r>>\rendobj\r", pages_.size());
        rc = Write(kids);
    }
    if (rc == kOk) rc = RecordOffset(3);
    if (rc == kOk)
        rc = Write(PdfFormat("%d 0 obj\r<<\r/Type /Outlines\r/Count 0\r>>\rendobj\r", 3));

    uint32_t info = 0;
    if (rc == kOk) rc = BeginObject(info);
    if (rc == kOk) {
        static const char* const kKeys[5] = {"/Creator <FEFF", "/Title <FEFF", "/Subject <FEFF",
                                             "/Author <FEFF", "/Keywords <FEFF"};
        std::string text = "<<\r";
        for (int i = 0; i < 5; ++i) {
            if (texts == nullptr || texts[i] == nullptr || texts[i]->empty()) continue;
            text += kKeys[i];
            for (char16_t c : *texts[i]) text += PdfFormat("%04X", unsigned(c));
            text += ">\r";
        }
        text += "/Producer <FEFF";
        for (const char* p = kProducer; *p != '\0'; ++p) text += PdfFormat("%04X", unsigned(*p));
        text += ">\r";
        const std::time_t now = clock_();
        std::tm utc{};
        gmtime_r(&now, &utc);
        text += PdfFormat("/CreationDate (D:%04d%02d%02d%02d%02d%02d)\r", utc.tm_year + 1900,
                          utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
        text += ">>\rendobj\r";
        rc = Write(text);
    }
    uint64_t startxref = position_;
    if (rc == kOk && startxref > kMaxOffset) rc = kStartXref;
    uint32_t size = 0;
    if (rc == kOk) rc = Tell(size);
    if (rc == kOk) {
        std::string xref = PdfFormat("xref\r0 %d\r", size);
        xref += "0000000000 65535 f\r\n";
        for (uint32_t n = 1; n < size; ++n) xref += PdfFormat("%010d 00000 n\r\n", offsets_[n]);
        xref += PdfFormat("trailer\r<<\r/Size %d\r/Root 1 0 R\r/Info %d 0 R\r>>\rstartxref\r%d\r",
                          size, info, startxref);
        xref += "%%EOF";
        rc = Write(xref);
    }
    if (rc == kOk) rc = Flush() == kOk ? kOk : kWrite;
    if (rc == kOk && !file_->Commit()) {
        const int error = file_->error();
        rc = error == EEXIST                ? kFileExists
             : qzs::base::IsDiskFull(error) ? kDiskFull
                                            : kCreateFailed;
    }
    CloseFile();
    nextObject_ = 1;
    pages_.clear();
    return rc;
}

void PdfFileWriter::CloseFile() {
    // A file not committed is given up: the temporary goes and the target stays as it was.
    file_.reset();
    fd_ = -1;
    out_.clear();
}

void PdfFileWriter::Abandon() {
    CloseFile();
}

}  // namespace kp
