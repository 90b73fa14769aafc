// The engine's stream interface and its in-memory implementation. Controls save themselves into
// and load themselves from any EngineStream, so a drawing object's data can go to a report-file
// container stream or to memory through the same calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/core/container_codes.h"
#include "platform/automation/automation.h"

namespace kp {

// Seek origins shared by every engine stream.
inline constexpr int32_t kSeekSet = 0;
inline constexpr int32_t kSeekCur = 1;
inline constexpr int32_t kSeekEnd = 2;

// Operation order: QueryInterface, AddRef, Release, Read, Write, Seek, SetSize, CopyTo. Every out
// pointer may be null when the caller does not want the value.
class EngineStream : public plat::Unknown {
  public:
    virtual int32_t Read(void* buffer, uint32_t count, uint32_t* read) = 0;
    virtual int32_t Write(const void* buffer, uint32_t count, uint32_t* written) = 0;
    virtual int32_t Seek(int32_t offset, int32_t origin, uint32_t* newPosition) = 0;
    virtual int32_t SetSize(uint32_t size) = 0;
    virtual int32_t CopyTo(EngineStream* destination, uint32_t count, uint32_t* written) = 0;

  protected:
    ~EngineStream() = default;
};

// A growable memory stream. Whoever constructs it owns it; AddRef and Release do not manage its
// life. The memory block exists from the first operation that touches the stream.
class ByteStream final : public EngineStream {
  public:
    ByteStream() = default;
    ByteStream(const ByteStream&) = delete;
    ByteStream& operator=(const ByteStream&) = delete;
    ~ByteStream() = default;

    int32_t QueryInterface(const plat::InterfaceId* iid, void** out) override;
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 0; }

    // A read that ends early at the end of the stream answers kFailure with the bytes it got.
    int32_t Read(void* buffer, uint32_t count, uint32_t* read) override;
    // Writing past the end grows the stream; a gap left by a seek beyond the end reads as zeros.
    int32_t Write(const void* buffer, uint32_t count, uint32_t* written) override;
    // Origins other than the three answer kOutOfRange; a position before 0 or beyond 32 bits
    // answers kFailed and leaves the position as it was.
    int32_t Seek(int32_t offset, int32_t origin, uint32_t* newPosition) override;
    int32_t SetSize(uint32_t size) override;
    // Copies from the current position in pieces of at most 1024 bytes; stops after count bytes,
    // at the end of this stream or at the destination's first failure, whose code it answers.
    int32_t CopyTo(EngineStream* destination, uint32_t count, uint32_t* written) override;

    // The memory behind the stream: kOk, or kFailure while nothing has created it yet.
    int32_t GetHGlobal(std::span<const uint8_t>* block) const;

  private:
    void Touch() { created_ = true; }

    bool created_ = false;
    std::vector<uint8_t> data_;
    uint64_t position_ = 0;
};

}  // namespace kp
