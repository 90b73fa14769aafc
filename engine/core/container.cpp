#include "engine/core/container.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "engine/core/engine_util.h"

namespace kp {

using namespace stream_code;

static_assert(std::endian::native == std::endian::little,
              "stream headers and records are read and written as little-endian");

namespace {

constexpr size_t kNameOffset = 10;
constexpr size_t kNameUnits = 17;  // 16 characters and the terminator
constexpr size_t kLengthOffset = 44;
constexpr char16_t kMagic[] = u"KP30";
constexpr uint64_t kMaxLength = std::numeric_limits<uint32_t>::max();
// How much of a plain file's new streams collects before it goes to the file.
constexpr size_t kPendingLimit = 64 * 1024;
// How much a read fetches at once: the records of a report are a few bytes each, and the streams
// of a page lie one after the other.
constexpr size_t kReadAhead = 64 * 1024;

// Compact stream numbers: "~" and two units of 15 bits each, offset so that no unit is a digit,
// a surrogate or zero.
constexpr char16_t kCompactMark = u'~';
constexpr char16_t kCompactBase = 0x4000;
constexpr int64_t kCompactLimit = int64_t{1} << 30;

void PutU16(uint8_t* p, char16_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetU32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool HasMagic(const uint8_t* h) {
    for (size_t i = 0; i < 5; ++i) {
        const char16_t unit = static_cast<char16_t>(h[2 * i] | h[2 * i + 1] << 8);
        if (unit != kMagic[i]) return false;
    }
    return true;
}

// The stored name runs to its terminator or the end of the field; a name that fills all 17
// units has no terminator and so matches no name a caller can give.
std::u16string HeaderName(const uint8_t* h) {
    std::u16string name;
    for (size_t i = 0; i < kNameUnits; ++i) {
        const char16_t unit =
            static_cast<char16_t>(h[kNameOffset + 2 * i] | h[kNameOffset + 2 * i + 1] << 8);
        if (unit == 0) break;
        name.push_back(unit);
    }
    return name;
}

bool ValidName(std::u16string_view name) {
    return name.size() <= kMaxStreamNameLength && name.find(u'\0') == std::u16string_view::npos;
}

// Reads until count bytes or the end of the file; -1 on an error.
int64_t ReadAt(int fd, void* buffer, size_t count, uint64_t offset) {
    auto* p = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, p + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

// Writes all bytes; *done tells how many got out before a failure.
bool WriteAt(int fd, const void* buffer, size_t count, uint64_t offset, size_t* done) {
    const auto* p = static_cast<const uint8_t*>(buffer);
    *done = 0;
    while (*done < count) {
        const ssize_t n =
            ::pwrite(fd, p + *done, count - *done, static_cast<off_t>(offset + *done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        *done += static_cast<size_t>(n);
    }
    return true;
}

int32_t OpenFlags(uint32_t access, int* flags) {
    switch (access) {
        case kAccessRead:
            *flags = O_RDONLY;
            return kOk;
        case kAccessWrite:
            *flags = O_WRONLY;
            return kOk;
        case kAccessReadWrite:
            *flags = O_RDWR;
            return kOk;
        default:
            return kBadArgument;
    }
}

int32_t PathFromWide(std::u16string_view path, std::string* narrow) {
    if (path.find(u'\0') != std::u16string_view::npos) return kPathConversion;
    if (!plat::Utf8FromWide(path, narrow)) return kPathConversion;
    return kOk;
}

// Opens without blocking on a FIFO and refuses anything but a regular file: a container is only
// ever a file on disk.
int OpenRegular(const std::string& path, int flags, int* err) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) {
        *err = errno;
        return -1;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *err = EINVAL;
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int32_t CreateFile(std::u16string_view path, uint16_t creationMode, uint32_t access, int* fd) {
    int flags = 0;
    if (creationMode == kCreateNew) {
        flags = O_CREAT | O_EXCL;
    } else if (creationMode == kCreateAlways) {
        flags = O_CREAT | O_TRUNC;
    } else {
        return kBadArgument;
    }
    int accessFlags = 0;
    if (const int32_t rc = OpenFlags(access, &accessFlags); rc != kOk) return rc;
    std::string narrow;
    if (const int32_t rc = PathFromWide(path, &narrow); rc != kOk) return rc;
    int err = 0;
    *fd = OpenRegular(narrow, flags | accessFlags, &err);
    if (*fd < 0) return err == EEXIST ? kExists : kFileOther;
    return kOk;
}

int32_t OpenFile(std::u16string_view path, uint32_t access, int* fd) {
    int accessFlags = 0;
    if (const int32_t rc = OpenFlags(access, &accessFlags); rc != kOk) return rc;
    std::string narrow;
    if (const int32_t rc = PathFromWide(path, &narrow); rc != kOk) return rc;
    int err = 0;
    *fd = OpenRegular(narrow, accessFlags, &err);
    if (*fd >= 0) return kOk;
    return FileOpenErrorCode(err);
}

}  // namespace

StreamHeaderImage BuildStreamHeader(std::u16string_view name, uint32_t length) {
    StreamHeaderImage h{};
    for (size_t i = 0; i < 4; ++i) PutU16(&h[2 * i], kMagic[i]);
    const size_t n = std::min(name.size(), kMaxStreamNameLength);
    for (size_t i = 0; i < n; ++i) PutU16(&h[kNameOffset + 2 * i], name[i]);
    PutU32(&h[kLengthOffset], length);
    return h;
}

bool ComposeStreamName(std::u16string_view stem, int64_t number, std::u16string* out) {
    std::u16string name(stem);
    name.push_back(u'-');
    for (char c : std::to_string(number)) name.push_back(static_cast<char16_t>(c));
    if (name.size() <= kMaxStreamNameLength) {
        *out = std::move(name);
        return true;
    }
    if (number < 1 || number >= kCompactLimit || stem.size() + 3 > kMaxStreamNameLength) {
        return false;
    }
    name.assign(stem);
    name.push_back(kCompactMark);
    name.push_back(static_cast<char16_t>(kCompactBase + (number >> 15)));
    name.push_back(static_cast<char16_t>(kCompactBase + (number & 0x7FFF)));
    *out = std::move(name);
    return true;
}

bool ParseStreamName(std::u16string_view stored, std::u16string* stem, int64_t* number) {
    if (stored.size() > kMaxStreamNameLength) return false;
    const size_t n = stored.size();
    if (n >= 4 && stored[n - 3] == kCompactMark && stored[n - 2] >= kCompactBase &&
        stored[n - 1] >= kCompactBase && stored[n - 2] < kCompactBase + 0x8000 &&
        stored[n - 1] < kCompactBase + 0x8000) {
        const int64_t value =
            int64_t{stored[n - 2] - kCompactBase} << 15 | int64_t{stored[n - 1] - kCompactBase};
        std::u16string decimal;
        // A number whose decimal name fits is never stored in the compact form.
        if (value < 1 || !ComposeStreamName(stored.substr(0, n - 3), value, &decimal) ||
            decimal != stored) {
            return false;
        }
        stem->assign(stored.substr(0, n - 3));
        *number = value;
        return true;
    }
    const size_t dash = stored.rfind(u'-');
    if (dash == std::u16string_view::npos || dash + 1 == n || n - dash - 1 > 10) return false;
    int64_t value = 0;
    for (size_t i = dash + 1; i < n; ++i) {
        if (stored[i] < u'0' || stored[i] > u'9') return false;
        value = value * 10 + (stored[i] - u'0');
    }
    // "%d" never writes a leading zero.
    if (stored[dash + 1] == u'0' && n - dash - 1 > 1) return false;
    stem->assign(stored.substr(0, dash));
    *number = value;
    return true;
}

int32_t ContainerWalkStage::Write(const uint8_t* data, size_t size) {
    if (failure_ != 0) return failure_;
    while (size > 0) {
        if (dataLeft_ > 0) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(dataLeft_, size));
            if (const int32_t rc = next_->Write(data, n); rc != kOk) return failure_ = rc;
            dataLeft_ -= n;
            data += n;
            size -= n;
            continue;
        }
        const size_t n = std::min(header_.size() - headerFill_, size);
        std::memcpy(header_.data() + headerFill_, data, n);
        headerFill_ += n;
        data += n;
        size -= n;
        if (headerFill_ < header_.size()) break;
        headerFill_ = 0;
        if (!HasMagic(header_.data())) return failure_ = kNotContainer;
        const uint32_t length = GetU32(&header_[kLengthOffset]);
        if (const int32_t rc = judge_(HeaderName(header_.data()), length); rc != kOk) {
            return failure_ = rc;
        }
        if (const int32_t rc = next_->Write(header_.data(), header_.size()); rc != kOk) {
            return failure_ = rc;
        }
        dataLeft_ = length;
    }
    return kOk;
}

// ---------------------------------------------------------------------------------------------
// StreamFile

StreamFile::StreamFile(int fd, bool compressed, bool writable)
    : fd_(fd), compressed_(compressed), writable_(!compressed && writable) {}

StreamFile::~StreamFile() {
    // A writer that wants to know asks Flush first; here the bytes go out all the same.
    if (writable_) FlushPending();
    ::close(fd_);
}

int32_t StreamFile::AddRef() {
    std::lock_guard guard(lock_);
    return ++refs_;
}

int32_t StreamFile::Release() {
    int32_t left = 0;
    {
        std::lock_guard guard(lock_);
        left = --refs_;
    }
    if (left == 0) delete this;
    return left;
}

int32_t StreamFile::StoredName(std::u16string_view name, std::u16string* stored) const {
    if (!compressed_) {
        if (!ValidName(name)) return kBadArgument;
        stored->assign(name);
        return kOk;
    }
    if (name.find(u'\0') != std::u16string_view::npos) return kBadArgument;
    const int64_t number = int64_t{zlib_ ? zlib_->UserValue() : 0} + 1;
    return ComposeStreamName(name, number, stored) ? kOk : kBadArgument;
}

// Walks the headers from the start of the file. Every step moves forward by at least one header,
// and no byte is trusted before the file size says it is there.
int32_t StreamFile::BuildIndex() {
    struct stat st {};
    if (fstat(fd_, &st) != 0) return kFileIo;
    const auto size = static_cast<uint64_t>(st.st_size);
    indexed_ = true;
    index_.clear();
    // The same walk as below, run to its end once; a name's first header wins, as in the walk.
    auto finish = [&](int32_t end) {
        indexEnd_ = end;
        return kOk;
    };
    indexedSize_ = size;
    diskEnd_ = size;
    if (size == 0) return finish(kNotFound);
    if (size < kStreamHeaderSize) return finish(kNotContainer);
    const int32_t truncated = compressed_ ? kNotFound : kNotContainer;
    uint64_t offset = 0;
    for (;;) {
        if (size - offset < kStreamHeaderSize) return finish(truncated);
        StreamHeaderImage h;
        const int64_t got = ReadCached(h.data(), uint32_t(h.size()), offset);
        if (got < 0) {
            indexed_ = false;  // a read failure is not a property of the file: walk again later
            return kFileIo;
        }
        if (static_cast<size_t>(got) < h.size()) return finish(truncated);
        if (!HasMagic(h.data())) return finish(offset == 0 ? kFileIo : kNotContainer);
        const uint32_t dataLength = GetU32(&h[kLengthOffset]);
        const uint64_t end = offset + kStreamHeaderSize + dataLength;
        if (end > size) return finish(truncated);
        index_.try_emplace(std::u16string(HeaderName(h.data())), IndexEntry{offset, dataLength});
        if (end == size) return finish(kNotFound);
        offset = end;
    }
}

int32_t StreamFile::FindStream(std::u16string_view name, uint64_t* headerOffset, uint32_t* length) {
    if (writable_ || (compressed_ && zlib_ && zlib_->Mode() == ZlibFile::kInflate)) {
        if (!indexed_) {
            if (const int32_t rc = BuildIndex(); rc != kOk) return rc;
        }
        const auto it = index_.find(std::u16string(name));
        if (it == index_.end()) return indexEnd_;
        *headerOffset = it->second.offset;
        *length = it->second.length;
        return kOk;
    }
    struct stat st {};
    if (fstat(fd_, &st) != 0) return kFileIo;
    const auto size = static_cast<uint64_t>(st.st_size);
    if (size == 0) return kNotFound;
    if (size < kStreamHeaderSize) return kNotContainer;
    // A compressed file that was cut short (a program stopped before it finished writing)
    // still shows the streams that arrived whole: what runs past the end counts as absent.
    const int32_t truncated = compressed_ ? kNotFound : kNotContainer;
    uint64_t offset = 0;
    for (;;) {
        if (size - offset < kStreamHeaderSize) return truncated;
        StreamHeaderImage h;
        const int64_t got = ReadCached(h.data(), uint32_t(h.size()), offset);
        if (got < 0) return kFileIo;
        if (static_cast<size_t>(got) < h.size()) return truncated;
        if (!HasMagic(h.data())) return offset == 0 ? kFileIo : kNotContainer;
        const uint32_t dataLength = GetU32(&h[kLengthOffset]);
        const uint64_t end = offset + kStreamHeaderSize + dataLength;
        if (CompareWideOrdinal(HeaderName(h.data()), name) == 0) {
            if (end > size) return truncated;
            *headerOffset = offset;
            *length = dataLength;
            return kOk;
        }
        if (end == size) return kNotFound;
        if (end > size) return truncated;
        offset = end;
    }
}

int32_t StreamFile::CreateStream(std::u16string_view name, Stream** out) {
    if (!out) return kBadPointer;
    *out = nullptr;
    std::u16string stored;
    if (const int32_t rc = StoredName(name, &stored); rc != kOk) return rc;

    std::lock_guard guard(lock_);
    if (open_) return kStreamAlreadyOpen;
    const StreamHeaderImage header = BuildStreamHeader(stored, 0);

    if (compressed_) {
        // The compressed file cannot be searched while it is written, so the names written so
        // far are kept here.
        if (written_.count(stored)) return kExists;
        std::unique_ptr<ByteStream> buffer(new (std::nothrow) ByteStream);
        if (!buffer) return kOutOfMemory;
        uint32_t at = 0;
        if (buffer->Seek(0, kSeekEnd, &at) != kOk) return kFileIo;
        uint32_t put = 0;
        if (buffer->Write(header.data(), kStreamHeaderSize, &put) != kOk) return kFileIo;
        try {
            written_.insert(stored);
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
        Stream* stream = new (std::nothrow) Stream(this, kStreamHeaderSize);
        if (!stream) {
            written_.erase(stored);
            return kOutOfMemory;
        }
        buffer_ = std::move(buffer);
        headerOffset_ = at;
        *out = stream;
    } else {
        uint64_t found = 0;
        uint32_t foundLength = 0;
        const int32_t rc = FindStream(stored, &found, &foundLength);
        if (rc == kOk) return kExists;
        if (rc != kNotFound) return rc;
        // A file opened for reading only takes no stream; after a stream that did not reach the
        // file, none follows it.
        if (!writable_) return kFileIo;
        if (writeFailure_ != kOk) return writeFailure_;
        const uint64_t end = indexedSize_;
        // The new stream's header joins the streams still collected when it follows them.
        if (!pending_.empty() &&
            (end != pendingAt_ + pending_.size() || pending_.size() >= kPendingLimit)) {
            if (const int32_t rc = FlushPending(); rc != kOk) return rc;
        }
        Stream* stream = new (std::nothrow) Stream(this, 0);
        if (!stream) return kOutOfMemory;
        const size_t before = pending_.size();
        try {
            pending_.insert(pending_.end(), header.begin(), header.end());
            openEntry_ = &index_.try_emplace(stored, IndexEntry{end, 0}).first->second;
        } catch (const std::bad_alloc&) {
            pending_.resize(before);
            delete stream;
            return kOutOfMemory;
        }
        if (before == 0) pendingAt_ = end;
        headerOnDisk_ = false;
        openLost_ = false;
        lengthOnDisk_ = 0;
        indexedSize_ = end + kStreamHeaderSize;
        headerOffset_ = end;
        *out = stream;
    }
    header_ = header;
    position_ = 0;
    length_ = 0;
    mode_ = kStreamWrite;
    open_ = *out;
    return kOk;
}

int32_t StreamFile::OpenStream(std::u16string_view name, Stream** out) {
    if (!out) return kBadPointer;
    *out = nullptr;
    std::u16string stored;
    if (const int32_t rc = StoredName(name, &stored); rc != kOk) return rc;

    std::lock_guard guard(lock_);
    if (open_) return kStreamAlreadyOpen;
    // What is read must be in the file.
    if (writable_) {
        if (const int32_t rc = FlushPending(); rc != kOk) return rc;
    }
    // Only an expansion is known never to change under the reader; any other file is read
    // afresh for each stream.
    if (!compressed_ || !zlib_ || zlib_->Mode() != ZlibFile::kInflate) readCacheLength_ = 0;
    uint64_t offset = 0;
    uint32_t length = 0;
    if (const int32_t rc = FindStream(stored, &offset, &length); rc != kOk) return rc;
    Stream* stream = new (std::nothrow) Stream(this, 0);
    if (!stream) return kOutOfMemory;
    headerOffset_ = offset;
    header_ = BuildStreamHeader(stored, length);
    position_ = 0;
    length_ = length;
    mode_ = kStreamRead;
    open_ = stream;
    *out = stream;
    return kOk;
}

// Puts the buffered stream, header first and with its final length, through the zlib file.
int32_t StreamFile::FlushBuffered(uint32_t writtenCount) {
    std::lock_guard guard(lock_);
    if (!buffer_) return kOk;
    std::unique_ptr<ByteStream> buffer = std::move(buffer_);
    const uint32_t dataLength =
        writtenCount >= kStreamHeaderSize ? writtenCount - kStreamHeaderSize : 0;
    PutU32(&header_[kLengthOffset], dataLength);
    uint32_t put = 0;
    if (buffer->Seek(0, kSeekSet, nullptr) != kOk ||
        buffer->Write(header_.data(), kStreamHeaderSize, &put) != kOk) {
        return kFileIo;
    }
    std::span<const uint8_t> block;
    if (buffer->GetHGlobal(&block) != kOk) return kFileIo;
    if (!zlib_) return kZlibNotOpen;
    const auto count = static_cast<uint32_t>(std::min<size_t>(writtenCount, block.size()));
    uint32_t taken = 0;
    return zlib_->Write(block.data(), count, &taken);
}

bool StreamFile::WritingOpenStream() const {
    return open_ != nullptr && mode_ == kStreamWrite;
}

int32_t StreamFile::FlushPending() {
    const bool headerPending = WritingOpenStream() && !headerOnDisk_ && !openLost_;
    if (pending_.empty()) return RewriteOpenHeader();
    if (headerPending) {
        // The open stream's header goes out with the length so far.
        std::memcpy(pending_.data() + (headerOffset_ - pendingAt_), header_.data(),
                    kStreamHeaderSize);
    }
    readCacheLength_ = 0;
    size_t done = 0;
    if (!WriteAt(fd_, pending_.data(), pending_.size(), pendingAt_, &done)) {
        // Leave the file as it was rather than with half a stream at its end.
        if (done != 0 && pendingAt_ >= diskEnd_ &&
            ftruncate(fd_, static_cast<off_t>(diskEnd_)) != 0) {
            // Nothing more can be done; the caller learns of the failure.
        }
        if (WritingOpenStream() && !headerOnDisk_) openLost_ = true;
        pending_.clear();
        indexed_ = false;  // walk the file as it is
        return kFileIo;
    }
    diskEnd_ = std::max(diskEnd_, pendingAt_ + pending_.size());
    pending_.clear();
    if (headerPending) {
        headerOnDisk_ = true;
        lengthOnDisk_ = length_;
        return kOk;
    }
    return RewriteOpenHeader();
}

int32_t StreamFile::RewriteOpenHeader() {
    if (!WritingOpenStream() || !headerOnDisk_ || lengthOnDisk_ == length_) return kOk;
    // The data is in before the header counts it.
    readCacheLength_ = 0;
    size_t done = 0;
    if (!WriteAt(fd_, header_.data(), header_.size(), headerOffset_, &done)) {
        indexed_ = false;
        return kFileIo;
    }
    lengthOnDisk_ = length_;
    return kOk;
}

int32_t StreamFile::WritePlain(const void* buffer, uint32_t count) {
    if (openLost_) return kFileIo;
    // The length is a 32-bit field: a stream cannot run past it.
    if (uint64_t{position_} + count > kMaxLength) return kFileIo;
    const uint64_t at = headerOffset_ + kStreamHeaderSize + position_;
    const bool follows = at == pendingAt_ + pending_.size();
    // A write elsewhere (after a seek) or past the piece's room sends what is collected first.
    if (!pending_.empty() && (!follows || pending_.size() + count > kPendingLimit)) {
        if (const int32_t rc = FlushPending(); rc != kOk) return rc;
    }
    // The length grows only with bytes that are in the file or collected.
    const uint32_t end = position_ + count;
    auto grown = [&] {
        position_ = end;
        if (end > length_) {
            length_ = end;
            PutU32(&header_[kLengthOffset], end);
        }
    };
    if (count >= kPendingLimit) {
        // A piece this large goes straight to the file (its header is there already), and the
        // header's length after it.
        readCacheLength_ = 0;
        size_t done = 0;
        if (!WriteAt(fd_, buffer, count, at, &done)) {
            indexed_ = false;
            return kFileIo;
        }
        diskEnd_ = std::max(diskEnd_, at + count);
        grown();
        return RewriteOpenHeader();
    }
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    pending_.insert(pending_.end(), bytes, bytes + count);  // may throw: nothing changed yet
    if (pending_.size() == count) pendingAt_ = at;
    grown();
    return kOk;
}

int64_t StreamFile::ReadCached(void* buffer, uint32_t count, uint64_t offset) {
    if (offset >= readCacheAt_ && offset + count <= readCacheAt_ + readCacheLength_) {
        std::memcpy(buffer, readCache_.data() + (offset - readCacheAt_), count);
        return count;
    }
    if (count >= kReadAhead) return ReadAt(fd_, buffer, count, offset);
    try {
        readCache_.resize(kReadAhead);
    } catch (const std::bad_alloc&) {
        return ReadAt(fd_, buffer, count, offset);
    }
    const int64_t got = ReadAt(fd_, readCache_.data(), kReadAhead, offset);
    if (got < 0) {
        readCacheLength_ = 0;
        return got;
    }
    readCacheAt_ = offset;
    readCacheLength_ = static_cast<size_t>(got);
    const size_t n = std::min<size_t>(count, readCacheLength_);
    std::memcpy(buffer, readCache_.data(), n);
    return static_cast<int64_t>(n);
}

int32_t StreamFile::Flush() {
    std::lock_guard guard(lock_);
    const int32_t rc = writable_ ? FlushPending() : kOk;
    const int32_t failure = writeFailure_ != kOk ? writeFailure_ : rc;
    writeFailure_ = kOk;
    return failure;
}

void StreamFile::Closed(Stream* stream) {
    {
        std::lock_guard guard(lock_);
        if (open_ == stream && writable_ && mode_ == kStreamWrite) {
            int32_t rc = kOk;
            if (openLost_) {
                rc = kFileIo;
            } else if (!headerOnDisk_) {
                // Still whole in the collected bytes: its header takes the final length there.
                std::memcpy(pending_.data() + (headerOffset_ - pendingAt_), header_.data(),
                            kStreamHeaderSize);
                headerOnDisk_ = true;  // nothing of it is left to patch
                lengthOnDisk_ = length_;
            } else {
                rc = FlushPending();
            }
            if (rc != kOk && writeFailure_ == kOk) writeFailure_ = rc;
            if (rc == kOk && indexed_) openEntry_->length = length_;
            indexedSize_ = std::max(indexedSize_, headerOffset_ + kStreamHeaderSize + length_);
        }
        if (open_ == stream) {
            open_ = nullptr;
            mode_ = 0;
        }
    }
    Release();
}

// ---------------------------------------------------------------------------------------------
// Stream

Stream::Stream(StreamFile* file, uint32_t writtenCount) : file_(file), writtenCount_(writtenCount) {
    file_->AddRef();
}

Stream::~Stream() {
    file_->Closed(this);
}

int32_t Stream::QueryInterface(const plat::InterfaceId*, void** out) {
    if (out) *out = nullptr;
    return kNotImplemented;
}

int32_t Stream::AddRef() {
    std::lock_guard guard(lock_);
    return ++refs_;
}

int32_t Stream::Release() {
    int32_t left = 0;
    {
        std::lock_guard guard(lock_);
        // A failure here has nowhere to go but the zlib file, which keeps it and answers it
        // from every later write and from its Close.
        if (file_->compressed_) file_->FlushBuffered(writtenCount_);
        left = --refs_;
    }
    if (left == 0) delete this;
    return left;
}

int32_t Stream::Read(void* buffer, uint32_t count, uint32_t* read) {
    if (read) *read = 0;
    if (!buffer && count != 0) return kBadPointer;
    std::lock_guard guard(lock_);
    StreamFile& f = *file_;
    if (!(f.mode_ & kStreamRead)) return kWrongMode;
    if (uint64_t{f.position_} + count > f.length_) {
        if (f.position_ >= f.length_) return kEndOfStream;
        count = f.length_ - f.position_;
    }
    const int64_t got =
        f.ReadCached(buffer, count, f.headerOffset_ + kStreamHeaderSize + f.position_);
    if (got < 0) return kFileIo;
    f.position_ += static_cast<uint32_t>(got);
    if (read) *read = static_cast<uint32_t>(got);
    return kOk;
}

int32_t Stream::Write(const void* buffer, uint32_t count, uint32_t* written) {
    if (written) *written = 0;
    if (!buffer && count != 0) return kBadPointer;
    std::lock_guard guard(lock_);
    StreamFile& f = *file_;
    if (!(f.mode_ & kStreamWrite)) return kWrongMode;

    if (f.compressed_) {
        if (!f.buffer_) return kFileIo;
        if (uint64_t{writtenCount_} + count > kMaxLength) return kFileIo;
        uint32_t put = 0;
        if (f.buffer_->Write(buffer, count, &put) != kOk) return kFileIo;
        writtenCount_ += count;
        if (written) *written = count;
        return kOk;
    }

    std::lock_guard fileGuard(f.lock_);
    try {
        if (const int32_t rc = f.WritePlain(buffer, count); rc != kOk) return rc;
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    if (written) *written = count;
    return kOk;
}

int32_t Stream::Seek(int32_t offset, int32_t origin, uint32_t* newPosition) {
    std::lock_guard guard(lock_);
    StreamFile& f = *file_;
    int64_t base = 0;
    switch (origin) {
        case kSeekSet:
            base = 0;
            break;
        case kSeekCur:
            base = f.position_;
            break;
        case kSeekEnd:
            base = f.length_;
            break;
        default:
            if (newPosition) *newPosition = f.position_;
            return kBadArgument;
    }
    const int64_t target = std::clamp<int64_t>(base + offset, 0, kMaxLength);
    f.position_ = static_cast<uint32_t>(target);
    if (newPosition) *newPosition = f.position_;
    return kOk;
}

int32_t Stream::SetSize(uint32_t) {
    return kNotImplemented;
}

int32_t Stream::CopyTo(EngineStream* destination, uint32_t count, uint32_t* written) {
    if (written) *written = 0;
    std::lock_guard guard(lock_);
    StreamFile& f = *file_;
    if (f.compressed_) return kNotImplemented;
    if (!destination) return kBadPointer;
    if (!(f.mode_ & kStreamRead)) return kWrongMode;
    // Never past the stream's own end: beyond it lies the next stream's header.
    count = f.position_ < f.length_ ? std::min(count, f.length_ - f.position_) : 0;
    std::vector<uint8_t> piece;
    try {
        piece.resize(std::min<uint32_t>(count, 64 * 1024));
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    uint32_t total = 0;
    while (total < count) {
        const uint32_t want =
            std::min<uint32_t>(count - total, static_cast<uint32_t>(piece.size()));
        const int64_t got =
            ReadAt(f.fd_, piece.data(), want, f.headerOffset_ + kStreamHeaderSize + f.position_);
        if (got != want) return kFileIo;
        uint32_t put = 0;
        const int32_t rc = destination->Write(piece.data(), want, &put);
        f.position_ += put;
        total += put;
        if (written) *written = total;
        if (rc != kOk) return rc;
        if (put < want) break;  // the destination took less; what it took is counted
    }
    return kOk;
}

// ---------------------------------------------------------------------------------------------
// Factories

int32_t StreamFileFactory::Create(std::u16string_view path, uint16_t creationMode, uint32_t access,
                                  StreamFile** out) {
    if (!out) return kBadPointer;
    *out = nullptr;
    int fd = -1;
    if (const int32_t rc = CreateFile(path, creationMode, access, &fd); rc != kOk) return rc;
    *out = new (std::nothrow) StreamFile(fd, false, (access & kAccessWrite) != 0);
    if (!*out) {
        ::close(fd);
        return kOutOfMemory;
    }
    return kOk;
}

int32_t StreamFileFactory::Open(std::u16string_view path, uint32_t access, StreamFile** out) {
    if (!out) return kBadPointer;
    *out = nullptr;
    int fd = -1;
    if (const int32_t rc = OpenFile(path, access, &fd); rc != kOk) return rc;
    *out = new (std::nothrow) StreamFile(fd, false, (access & kAccessWrite) != 0);
    if (!*out) {
        ::close(fd);
        return kOutOfMemory;
    }
    return kOk;
}

CompressedStreamFileFactory::~CompressedStreamFileFactory() {
    if (zlib_) zlib_->Close();
}

int32_t CompressedStreamFileFactory::Create(std::u16string_view path, uint16_t creationMode,
                                            uint32_t access, StreamFile** out) {
    if (!out) return kBadPointer;
    *out = nullptr;
    int fd = -1;
    if (const int32_t rc = CreateFile(path, creationMode, access, &fd); rc != kOk) return rc;
    StreamFile* file = new (std::nothrow) StreamFile(fd, true);
    if (!file) {
        ::close(fd);
        return kOutOfMemory;
    }
    try {
        zlib_ = std::make_shared<ZlibFile>();
    } catch (const std::bad_alloc&) {
        file->Release();
        return kOutOfMemory;
    }
    zlib_->SetMode(ZlibFile::kDeflate);
    if (const int32_t rc = zlib_->Open(fd); rc != kOk) {
        file->Release();
        return rc;
    }
    file->zlib_ = zlib_;
    *out = file;
    return kOk;
}

int32_t CompressedStreamFileFactory::Open(std::u16string_view path, uint32_t access,
                                          StreamFile** out) {
    if (!out) return kBadPointer;
    *out = nullptr;
    int fd = -1;
    if (const int32_t rc = OpenFile(path, access, &fd); rc != kOk) return rc;
    StreamFile* file = new (std::nothrow) StreamFile(fd, true);
    if (!file) {
        ::close(fd);
        return kOutOfMemory;
    }
    if (!zlib_) {
        try {
            zlib_ = std::make_shared<ZlibFile>();
        } catch (const std::bad_alloc&) {
            file->Release();
            return kOutOfMemory;
        }
    }
    zlib_->SetMode(ZlibFile::kInflate);
    if (const int32_t rc = zlib_->Open(fd); rc != kOk) {
        file->Release();
        return rc;
    }
    file->zlib_ = zlib_;
    *out = file;
    return kOk;
}

// ---------------------------------------------------------------------------------------------
// Records

int32_t WriteTaggedRecord(EngineStream* stream, const TaggedRecordHeader& header,
                          const void* value) {
    if (!stream) return kBadPointer;
    const bool withValue = header.length != 0 && value != nullptr;
    if (withValue && header.length < 0) return kBadArgument;
    uint8_t bytes[8];
    PutU32(bytes, static_cast<uint32_t>(header.id));
    PutU32(bytes + 4, static_cast<uint32_t>(header.length));
    uint32_t put = 0;
    if (const int32_t rc = stream->Write(bytes, sizeof bytes, &put); rc != kOk) return rc;
    if (put != sizeof bytes) return kFileIo;
    if (!withValue) return kOk;
    const auto length = static_cast<uint32_t>(header.length);
    if (const int32_t rc = stream->Write(value, length, &put); rc != kOk) return rc;
    return put == length ? kOk : kFileIo;
}

int32_t ReadExact(EngineStream* stream, void* buffer, uint32_t count) {
    if (!stream) return kBadPointer;
    uint32_t got = 0;
    if (const int32_t rc = stream->Read(buffer, count, &got); rc != kOk) return rc;
    return got == count ? kOk : kNotContainer;
}

}  // namespace kp
