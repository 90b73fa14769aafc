// Compressed files: zlib streams written and read through small stages, each with one job
// (deflate, inflate, write to a file), and the ZlibFile that a compressed report-file container
// writes through and expands with.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kp {

// One stage of a write chain. A stage passes its output to the next stage it was given (which it
// does not own) and answers 0 or an engine result code; a failure of the next stage is passed on
// unchanged.
class StreamStage {
  public:
    virtual ~StreamStage() = default;
    virtual int32_t Write(const uint8_t* data, size_t size) = 0;
    virtual int32_t Finish() = 0;
};

// Writes everything it gets to a file descriptor at its current position. A full disk answers
// -17226, any other failure -17225. It never closes the descriptor.
class FileSinkStage final : public StreamStage {
  public:
    explicit FileSinkStage(int fd) : fd_(fd) {}
    int32_t Write(const uint8_t* data, size_t size) override;
    int32_t Finish() override { return 0; }

  private:
    int fd_;
};

// Deflates at level 9 (window 15, memory level 8, default strategy, zlib header). Every Write ends
// with a sync flush, so the bytes written so far can be inflated as they stand; Finish flushes
// once more, ends the stream and releases zlib's state. Output goes on in pieces of at most 1024
// bytes.
class DeflateStage final : public StreamStage {
  public:
    explicit DeflateStage(StreamStage* next) : next_(next) {}
    ~DeflateStage() override;
    DeflateStage(const DeflateStage&) = delete;
    DeflateStage& operator=(const DeflateStage&) = delete;

    int32_t Init();  // -17221 when zlib cannot start
    int32_t Write(const uint8_t* data, size_t size) override;
    int32_t Finish() override;

  private:
    int32_t Run(int flush, const uint8_t* data, size_t size);

    StreamStage* next_;
    z_stream z_{};
    bool live_ = false;
    uint8_t out_[1024];
};

// Inflates a zlib stream given in any pieces and passes the expanded bytes on in pieces of at most
// 1024 bytes. Bytes after the end of the zlib stream are ignored.
class InflateStage final : public StreamStage {
  public:
    explicit InflateStage(StreamStage* next = nullptr) : next_(next) {}
    ~InflateStage() override;
    InflateStage(const InflateStage&) = delete;
    InflateStage& operator=(const InflateStage&) = delete;

    int32_t Init();  // -17221 when zlib cannot start
    void SetNext(StreamStage* next) { next_ = next; }
    // -17223 for data that is not a valid zlib stream.
    int32_t Write(const uint8_t* data, size_t size) override;
    // Ends zlib's state; -17223 when the stream had not ended, -17222 when zlib cannot end it.
    int32_t Finish() override;
    bool Ended() const { return ended_; }

  private:
    StreamStage* next_;
    z_stream z_{};
    bool live_ = false;
    bool ended_ = false;
    uint8_t out_[1024];
};

// The compressed side of a report-file container: in mode 1 it deflates what the container hands
// it into the file, in mode 0 it expands the file into a plain container. It works on its own
// duplicate of the descriptor it is opened on, so it may outlive the container that opened it.
class ZlibFile {
  public:
    static constexpr int kInflate = 0;
    static constexpr int kDeflate = 1;

    ZlibFile() = default;
    ~ZlibFile();  // closes (finishing the zlib stream) when still open
    ZlibFile(const ZlibFile&) = delete;
    ZlibFile& operator=(const ZlibFile&) = delete;

    // Ignored while open and for values other than kInflate and kDeflate.
    void SetMode(int mode);
    int Mode() const { return mode_; }
    bool IsOpen() const { return !closed_; }
    // -17220 when already open, -17221 when zlib cannot start, -17225 when the descriptor cannot
    // be taken.
    int32_t Open(int fd);
    // Deflates count bytes and writes them out, flushed; *written is the input taken (count, or 0
    // on failure). After a failure every later Write and Close answers that failure, so a lost
    // stream cannot end in a file that looks complete.
    int32_t Write(const void* buffer, uint32_t count, uint32_t* written);
    // Finishes the zlib stream (mode 1) and releases everything; 0 when already closed.
    int32_t Close();
    void SetUserValue(int32_t value) { userValue_ = value; }
    int32_t UserValue() const { return userValue_; }
    // Expands the whole compressed file into a new (or truncated) file at path, UTF-8.
    int32_t ExpandToFile(const std::string& path);

  private:
    int32_t userValue_ = 0;
    bool closed_ = true;
    int mode_ = kDeflate;
    int fd_ = -1;
    int32_t failure_ = 0;
    std::unique_ptr<FileSinkStage> sink_;
    std::unique_ptr<DeflateStage> deflate_;
    std::unique_ptr<InflateStage> inflate_;
};

}  // namespace kp
