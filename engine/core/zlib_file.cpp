#include "engine/core/zlib_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "engine/core/container_codes.h"

namespace kp {

using namespace stream_code;

namespace {

int32_t WriteFailure(int err) {
    return err == ENOSPC || err == EDQUOT ? kDiskFull : kZlibFileIo;
}

// zlib counts its input in unsigned int; larger buffers go through in slices.
constexpr size_t kMaxSlice = UINT_MAX;

}  // namespace

// ---------------------------------------------------------------------------------------------

int32_t FileSinkStage::Write(const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return WriteFailure(errno);
        }
        if (n == 0) return kZlibFileIo;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return kOk;
}

// ---------------------------------------------------------------------------------------------

DeflateStage::~DeflateStage() {
    if (live_) deflateEnd(&z_);
}

int32_t DeflateStage::Init() {
    if (live_) return kZlibNotOpen;
    z_ = z_stream{};
    if (deflateInit2(&z_, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return kZlibInit;
    live_ = true;
    return kOk;
}

// Deflates until the input is used up and zlib has nothing more to hand out: a full output
// buffer means more may be pending, so the loop only stops on one that was left with room.
int32_t DeflateStage::Run(int flush, const uint8_t* data, size_t size) {
    z_.next_in = const_cast<Bytef*>(data);
    z_.avail_in = static_cast<uInt>(size);
    for (;;) {
        z_.next_out = out_;
        z_.avail_out = sizeof out_;
        const int rc = deflate(&z_, flush);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return kZlibData;
        const size_t produced = sizeof out_ - z_.avail_out;
        if (produced > 0) {
            const int32_t w = next_->Write(out_, produced);
            if (w != kOk) return w;
        }
        if (rc == Z_STREAM_END) return kOk;
        if (flush == Z_FINISH) {
            if (rc == Z_BUF_ERROR && produced == 0) return kZlibData;  // no way forward
            continue;
        }
        if (z_.avail_in == 0 && z_.avail_out != 0) return kOk;
        if (rc == Z_BUF_ERROR && produced == 0) return kZlibData;
    }
}

int32_t DeflateStage::Write(const uint8_t* data, size_t size) {
    if (!live_) return kZlibNotOpen;
    do {
        const size_t slice = std::min(size, kMaxSlice);
        const int32_t rc = Run(Z_SYNC_FLUSH, data, slice);
        if (rc != kOk) return rc;
        data += slice;
        size -= slice;
    } while (size > 0);
    return kOk;
}

int32_t DeflateStage::Finish() {
    if (!live_) return kOk;
    int32_t rc = Run(Z_SYNC_FLUSH, nullptr, 0);
    if (rc == kOk) rc = Run(Z_FINISH, nullptr, 0);
    const bool ended = deflateEnd(&z_) == Z_OK;
    live_ = false;
    if (rc == kOk && !ended) rc = kZlibEnd;
    if (rc == kOk) rc = next_->Finish();
    return rc;
}

// ---------------------------------------------------------------------------------------------

InflateStage::~InflateStage() {
    if (live_) inflateEnd(&z_);
}

int32_t InflateStage::Init() {
    if (live_) return kZlibNotOpen;
    z_ = z_stream{};
    if (inflateInit(&z_) != Z_OK) return kZlibInit;
    live_ = true;
    ended_ = false;
    return kOk;
}

int32_t InflateStage::Write(const uint8_t* data, size_t size) {
    if (!live_) return kZlibNotOpen;
    while (size > 0 && !ended_) {
        const size_t slice = std::min(size, kMaxSlice);
        z_.next_in = const_cast<Bytef*>(data);
        z_.avail_in = static_cast<uInt>(slice);
        for (;;) {
            z_.next_out = out_;
            z_.avail_out = sizeof out_;
            const int rc = inflate(&z_, Z_SYNC_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return kZlibData;
            const size_t produced = sizeof out_ - z_.avail_out;
            if (produced > 0 && next_) {
                const int32_t w = next_->Write(out_, produced);
                if (w != kOk) return w;
            }
            if (rc == Z_STREAM_END) {
                ended_ = true;
                break;
            }
            if (z_.avail_in == 0 && z_.avail_out != 0) break;
            if (rc == Z_BUF_ERROR && produced == 0) return kZlibData;
        }
        data += slice;
        size -= slice;
    }
    return kOk;
}

int32_t InflateStage::Finish() {
    if (!live_) return kOk;
    const bool ended = inflateEnd(&z_) == Z_OK;
    live_ = false;
    if (!ended_) return kZlibData;  // the compressed data stopped before its end
    if (!ended) return kZlibEnd;
    return next_ ? next_->Finish() : kOk;
}

// ---------------------------------------------------------------------------------------------

ZlibFile::~ZlibFile() {
    Close();
}

void ZlibFile::SetMode(int mode) {
    if (closed_ && (mode == kInflate || mode == kDeflate)) mode_ = mode;
}

int32_t ZlibFile::Open(int fd) {
    if (!closed_) return kZlibNotOpen;
    const int own = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) return kZlibFileIo;
    int32_t rc = kOk;
    if (mode_ == kDeflate) {
        sink_ = std::make_unique<FileSinkStage>(own);
        deflate_ = std::make_unique<DeflateStage>(sink_.get());
        rc = deflate_->Init();
    } else {
        inflate_ = std::make_unique<InflateStage>();
        rc = inflate_->Init();
    }
    if (rc != kOk) {
        deflate_.reset();
        inflate_.reset();
        sink_.reset();
        ::close(own);
        return kZlibInit;
    }
    fd_ = own;
    failure_ = kOk;
    closed_ = false;
    return kOk;
}

int32_t ZlibFile::Write(const void* buffer, uint32_t count, uint32_t* written) {
    if (written) *written = 0;
    if (closed_ || mode_ != kDeflate) return kZlibNotOpen;
    if (failure_ != kOk) return failure_;
    if (!buffer && count != 0) return kBadPointer;
    const int32_t rc = deflate_->Write(static_cast<const uint8_t*>(buffer), count);
    if (rc != kOk) {
        failure_ = rc;
        return rc;
    }
    if (written) *written = count;
    return kOk;
}

int32_t ZlibFile::Close() {
    if (closed_) return kOk;
    int32_t rc = failure_;
    if (deflate_) {
        // After a failed write the stream is broken; ending it only releases zlib's state.
        const int32_t finished = failure_ == kOk ? deflate_->Finish() : kOk;
        if (rc == kOk) rc = finished;
    } else if (inflate_) {
        // An expansion that was never run, or stopped early, is not an error of closing.
        inflate_->SetNext(nullptr);
        inflate_.reset();
    }
    deflate_.reset();
    sink_.reset();
    if (::close(fd_) != 0 && rc == kOk) rc = WriteFailure(errno);
    fd_ = -1;
    closed_ = true;
    return rc;
}

int32_t ZlibFile::ExpandToFile(const std::string& path) {
    if (closed_ || mode_ != kInflate) return kZlibNotOpen;
    const int target = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (target < 0) return FileOpenErrorCode(errno);
    FileSinkStage out(target);
    inflate_->SetNext(&out);
    int32_t rc = kOk;
    uint8_t in[1024];
    while (rc == kOk && !inflate_->Ended()) {
        const ssize_t n = ::read(fd_, in, sizeof in);
        if (n < 0) {
            if (errno == EINTR) continue;
            rc = errno == ENOSPC ? kDiskFull : kZlibFileIo;
            break;
        }
        if (n == 0) break;  // Finish tells whether the stream was complete
        rc = inflate_->Write(in, static_cast<size_t>(n));
    }
    const int32_t finished = inflate_->Finish();
    if (rc == kOk) rc = finished;
    inflate_->SetNext(nullptr);
    if (::close(target) != 0 && rc == kOk) rc = WriteFailure(errno);
    return rc;
}

}  // namespace kp
