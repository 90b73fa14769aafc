#include "engine/preview/report_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "engine/core/container_codes.h"
#include "engine/core/ole_date.h"
#include "engine/core/result_codes.h"
#include "engine/core/zlib_file.h"
#include "platform/automation/automation.h"
#include "platform/fonts/font_resolver.h"

namespace kp::preview {
namespace {

// A stream already open or a bad argument from the container means the file is not usable.
int32_t ContainerCode(int32_t rc) {
    return rc == stream_code::kStreamAlreadyOpen || rc == stream_code::kBadArgument ? rc::kNotReady
                                                                                    : rc;
}

double NowAsOleDate() {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    double date = 0;
    MakeOleDate(uint16_t(local.tm_year + 1900), uint16_t(local.tm_mon + 1), uint16_t(local.tm_mday),
                uint16_t(local.tm_hour), uint16_t(local.tm_min),
                uint16_t(std::min(local.tm_sec, 59)), &date);
    return date;
}

std::string TempDirectory() {
    const char* tmp = getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

// Writes what the inflater hands on to a descriptor while the whole stays within the limit and
// within the ratio to the compressed bytes read so far (counted by the reader). The inflater
// hands on a stream header or a few records at a time: they go to the file in large pieces, the
// rest when the expansion ends (Flush), whatever ended it.
class BoundedFileStage final : public StreamStage {
  public:
    BoundedFileStage(int fd, const ReportFileLimits& limits, const uint64_t* compressedRead)
        : sink_(fd), limits_(limits), compressedRead_(compressedRead) {}
    int32_t Write(const uint8_t* data, size_t size) override {
        const uint64_t total = written_ + size;
        const uint64_t byRatio =
            limits_.maxPageBytes + *compressedRead_ * uint64_t{limits_.maxExpansionRatio};
        if (total > limits_.maxExpandedBytes || total > byRatio) return kFileDamaged;
        written_ = total;
        if (piece_.size() + size > kPiece) {
            if (const int32_t rc = Flush(); rc != 0) return rc;
            if (size >= kPiece) return sink_.Write(data, size);
        }
        piece_.insert(piece_.end(), data, data + size);
        return 0;
    }
    int32_t Finish() override { return 0; }
    int32_t Flush() {
        if (piece_.empty()) return 0;
        const int32_t rc = sink_.Write(piece_.data(), piece_.size());
        piece_.clear();
        return rc;
    }

  private:
    static constexpr size_t kPiece = 64 * 1024;
    FileSinkStage sink_;
    const ReportFileLimits& limits_;
    const uint64_t* compressedRead_;
    uint64_t written_ = 0;
    std::vector<uint8_t> piece_;
};

// Judges each stream header of the expansion by what a saved report file holds: the document
// information and the fonts once under the number 1; then for each page n, in order, its record
// "KPFILE30PAGE" and the streams of its report, all under n. Streams of any other name (a file
// with a stream renamed or added) are let be but share one page's worth of bytes between them.
class PlausibleStreams {
  public:
    explicit PlausibleStreams(const ReportFileLimits& limits) : limits_(limits) {}

    int32_t operator()(std::u16string_view name, uint32_t length) {
        std::u16string stem;
        int64_t number = 0;
        const bool composed = ParseStreamName(name, &stem, &number);
        if (composed && stem == kDocumentStream) {
            // Written with the first page, before its record.
            return number == 1 && page_ == 0 && length <= limits_.maxDocumentBytes ? 0
                                                                                   : kFileDamaged;
        }
        if (composed && stem == kFontStream) {
            // The records around each font: its name and two record headers.
            constexpr uint64_t kRecordsAround = uint64_t{64} << 10;
            return number == 1 && length <= limits_.maxFontBytes + kRecordsAround ? 0
                                                                                  : kFileDamaged;
        }
        if (composed && stem == kPageStream) {
            if (number != page_ + 1 || number > limits_.maxPages) return kFileDamaged;
            page_ = number;
            pageBytes_ = 0;
        }
        uint64_t& bytes = composed && page_ > 0 && number == page_ ? pageBytes_ : strayBytes_;
        bytes += length;
        return bytes <= limits_.maxPageBytes ? 0 : kFileDamaged;
    }

  private:
    const ReportFileLimits& limits_;
    int64_t page_ = 0;
    uint64_t pageBytes_ = 0;
    uint64_t strayBytes_ = 0;
};

// Removes a file when it goes out of scope, on every path.
struct FileRemover {
    std::string path;
    ~FileRemover() {
        if (!path.empty()) unlink(path.c_str());
    }
};

template <class F>
int32_t WithStream(StreamFile* file, std::u16string_view name, bool create, F&& use) {
    Stream* stream = nullptr;
    const int32_t rc = create ? file->CreateStream(name, &stream) : file->OpenStream(name, &stream);
    if (rc != 0) return rc;
    const int32_t result = use(stream);
    stream->Release();
    return result;
}

}  // namespace

std::string ReportFilePath(const std::string& path) {
    return path.find(".k3v") == std::string::npos ? path + ".k3v" : path;
}

ReportFileWriter::~ReportFileWriter() {
    if (file_) file_->Release();
    delete factory_;
}

int32_t ReportFileWriter::Create(const std::string& path, bool overwrite) {
    if (file_) return kFileWrongState;
    if (path.empty()) return kFileNoName;
    path_ = ReportFilePath(path);
    struct stat existing {};
    if (!overwrite && lstat(path_.c_str(), &existing) == 0) return kFileCannotOpen;
    // An existing file stays as it was until the new one is whole: a write that fails half-way
    // (a full disk) must not cost the file the user had.
    atomic_ = std::make_unique<qzs::base::AtomicFile>(
        path_, overwrite ? qzs::base::AtomicFile::Replace::kAlways
                         : qzs::base::AtomicFile::Replace::kNever);
    factory_ = new CompressedStreamFileFactory;
    bool ok = atomic_->Open();
    const std::u16string wide = plat::WideFromUtf8(atomic_->temporary(), &ok);
    if (!ok || factory_->Create(wide, kCreateAlways, kAccessReadWrite, &file_) != 0) {
        file_ = nullptr;
        delete factory_;
        factory_ = nullptr;
        atomic_.reset();
        return kFileCannotOpen;
    }
    pages_ = 0;
    return 0;
}

int32_t ReportFileWriter::AddPage(const DocumentInfo& info, const FilePageRecord& record,
                                  const ElementWriter& element) {
    if (!file_) return kFileWrongState;
    ZlibFile* zlib = file_->GetZlibFile();
    if (pages_ == 0) {
        DocumentInfo stored = info;
        if (stored.updateDate == 0) stored.updateDate = NowAsOleDate();
        zlib->SetUserValue(0);
        const int32_t rc = WithStream(file_, kDocumentStream, true,
                                      [&](Stream* s) { return WriteDocumentInfo(s, stored); });
        if (rc != 0) return ContainerCode(rc);
    }
    zlib->SetUserValue(pages_);
    int32_t rc =
        WithStream(file_, kPageStream, true, [&](Stream* s) { return WritePageRecord(s, record); });
    if (rc == 0) rc = element(file_);
    if (rc != 0) return ContainerCode(rc);
    ++pages_;
    return 0;
}

int32_t ReportFileWriter::Close(int fontCount, const FontSubsetter& subset) {
    if (!file_) return kFileWrongState;
    int32_t written = 0;
    int32_t firstSubsetFailure = 0;
    file_->GetZlibFile()->SetUserValue(0);
    if (fontCount > 0) {
        written = ContainerCode(WithStream(file_, kFontStream, true, [&](Stream* s) {
            for (int i = 0; i < fontCount; ++i) {
                std::vector<uint8_t> bytes;
                // A font that cannot be subset is reported but does not cost the others theirs.
                if (const int32_t sub = subset(i, &bytes); sub != 0) {
                    if (firstSubsetFailure == 0) firstSubsetFailure = sub;
                    continue;
                }
                if (bytes.empty()) continue;
                if (const int32_t w = WriteEmbeddedFont(s, i, bytes); w != 0) return w;
            }
            return int32_t(0);
        }));
    }
    file_->Release();
    file_ = nullptr;
    const int32_t closed = factory_->GetZlibFile() ? factory_->GetZlibFile()->Close() : 0;
    delete factory_;
    factory_ = nullptr;
    pages_ = 0;
    // Only a file written whole is put in place (a font left out is not a fault of the file);
    // otherwise the one under its name stays as it was.
    const std::unique_ptr<qzs::base::AtomicFile> atomic = std::move(atomic_);
    int32_t committed = 0;
    if (written == 0 && closed == 0 && !atomic->Commit()) {
        committed =
            qzs::base::IsDiskFull(atomic->error()) ? stream_code::kDiskFull : kFileCannotOpen;
    }
    if (written != 0) return written;
    if (firstSubsetFailure != 0) return firstSubsetFailure;
    return closed != 0 ? closed : committed;
}

int32_t ExpandBounded(const std::string& from, const std::string& to,
                      const ReportFileLimits& limits) {
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return stream_code::FileOpenErrorCode(errno);
    const int out = open(to.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (out < 0) {
        close(in);
        return stream_code::FileOpenErrorCode(errno);
    }
    uint64_t compressedRead = 0;
    BoundedFileStage sink(out, limits, &compressedRead);
    ContainerWalkStage walk(&sink, PlausibleStreams(limits));
    InflateStage inflate(&walk);
    int32_t rc = inflate.Init();
    uint8_t buffer[16384];
    while (rc == 0 && !inflate.Ended()) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            rc = stream_code::kZlibFileIo;
        } else if (n == 0) {
            break;  // Finish tells a stream cut short
        } else {
            compressedRead += uint64_t(n);
            rc = inflate.Write(buffer, size_t(n));
        }
    }
    const int32_t finished = inflate.Finish();
    if (rc == 0) rc = finished;
    // What came out before a failure or a passed limit is kept, as the pages it holds are.
    const int32_t flushed = sink.Flush();
    if (rc == 0) rc = flushed;
    // Bytes that are no container are a damaged file, as a limit passed is.
    if (rc == stream_code::kNotContainer) rc = kFileDamaged;
    close(in);
    if (close(out) != 0 && rc == 0) rc = stream_code::kZlibFileIo;
    return rc;
}

ReportFileReader::~ReportFileReader() {
    RemoveFonts();
}

void ReportFileReader::RemoveFonts() {
    for (const std::string& f : fonts_) {
        plat::UnregisterProcessFont(f);
        unlink(f.c_str());
    }
    fonts_.clear();
    if (!fontDir_.empty()) rmdir(fontDir_.c_str());
    fontDir_.clear();
}

int32_t ReportFileReader::InstallFonts(StreamFile* container, const ReportFileLimits& limits) {
    std::vector<EmbeddedFont> fonts;
    container->GetZlibFile()->SetUserValue(0);
    const int32_t rc = WithStream(container, kFontStream, false, [&](Stream* s) {
        return ReadEmbeddedFonts(s, limits.maxFontBytes, &fonts);
    });
    if (rc == stream_code::kNotFound) return 0;  // a file without fonts
    if (fontDir_.empty() && !fonts.empty()) {
        // The stored names are the file's own text: they never name a file here.
        std::string pattern = TempDirectory() + "/kpfontsXXXXXX";
        if (!mkdtemp(pattern.data())) return rc;
        fontDir_ = pattern;
    }
    for (const EmbeddedFont& font : fonts) {
        char name[32];
        std::snprintf(name, sizeof name, "/font%04zu.ttf", fonts_.size() + 1);
        const std::string path = fontDir_ + name;
        const std::string_view bytes(reinterpret_cast<const char*>(font.data.data()),
                                     font.data.size());
        // The font folder failed: the pages still show with other fonts.
        if (qzs::base::WriteScratchFile(path, bytes) != 0) break;
        if (!plat::RegisterProcessFont(path)) {
            unlink(path.c_str());  // a font that does not install keeps no file
            continue;
        }
        fonts_.push_back(path);
    }
    return rc;
}

int32_t ReportFileReader::Load(const std::string& path, const ReportFileLimits& limits,
                               ViewerDialogPort* port, DocumentInfo* info, const PageSink& page) {
    FileRemover expanded;
    expanded.path = TempDirectory() + "/KPXXXXXX";
    const int fd = mkstemp(expanded.path.data());
    if (fd < 0) {
        expanded.path.clear();
        return rc::kStringConversion;  // no temporary name
    }
    close(fd);
    // A limit passed keeps what came before it: the pages expanded whole still show, and the
    // load answers the refusal after them.
    const int32_t expandedRc = ExpandBounded(path, expanded.path, limits);
    if (expandedRc != 0 && expandedRc != kFileDamaged) return kFileCannotOpen;

    CompressedStreamFileFactory factory;
    StreamFile* container = nullptr;
    if (factory.Open(plat::WideFromUtf8(expanded.path), kAccessRead, &container) != 0)
        return kFileCannotOpen;
    struct Releaser {
        StreamFile* file;
        ~Releaser() { file->Release(); }
    } releaser{container};
    ZlibFile* zlib = container->GetZlibFile();

    // A file closed without pages has no document information: the defaults stand.
    zlib->SetUserValue(0);
    int32_t rc = WithStream(container, kDocumentStream, false,
                            [&](Stream* s) { return ReadDocumentInfo(s, info); });
    if (rc != 0 && rc != stream_code::kNotFound) return ContainerCode(rc);

    if (info->protect) {
        const PasswordOutcome outcome =
            info->password.empty()
                ? PasswordOutcome::kUnlocked
                : (port ? CheckPassword(info->password, *port) : PasswordOutcome::kLocked);
        // A password dialog that cannot be shown is the dialog's failure, not a refusal.
        if (outcome == PasswordOutcome::kDialogFailed) return rc::kFailed;
        if (outcome != PasswordOutcome::kUnlocked) return kFilePasswordRefused;
    }

    if ((rc = InstallFonts(container, limits)) != 0) return ContainerCode(rc);

    for (int n = 1;; ++n) {
        if (n > limits.maxPages) return kFileDamaged;
        zlib->SetUserValue(n - 1);
        FilePageRecord record;
        rc = WithStream(container, kPageStream, false,
                        [&](Stream* s) { return ReadPageRecord(s, &record); });
        if (rc == stream_code::kNotFound) return expandedRc;
        if (rc != 0) return ContainerCode(rc);
        if ((rc = page(n, record, container)) != 0) return rc;
    }
}

}  // namespace kp::preview
