#include "engine/core/byte_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace kp {

using namespace stream_code;

namespace {

// Positions and sizes are handed out as 32-bit values, so the stream never grows beyond that.
constexpr uint64_t kMaxSize = std::numeric_limits<uint32_t>::max();

}  // namespace

int32_t ByteStream::QueryInterface(const plat::InterfaceId*, void** out) {
    if (out) *out = nullptr;
    return kNotImplemented;
}

int32_t ByteStream::Read(void* buffer, uint32_t count, uint32_t* read) {
    if (read) *read = 0;
    if (!buffer && count != 0) return kBadPointer;
    Touch();
    const uint64_t available = position_ < data_.size() ? data_.size() - position_ : 0;
    const auto n = static_cast<uint32_t>(std::min<uint64_t>(count, available));
    if (n != 0) std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    if (read) *read = n;
    return n == count ? kOk : kFailure;
}

int32_t ByteStream::Write(const void* buffer, uint32_t count, uint32_t* written) {
    if (written) *written = 0;
    if (!buffer && count != 0) return kBadPointer;
    Touch();
    if (count == 0) return kOk;
    const uint64_t end = position_ + count;
    if (end > kMaxSize) return kOutOfMemory;
    try {
        if (end > data_.size()) data_.resize(end);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    std::memcpy(data_.data() + position_, buffer, count);
    position_ = end;
    if (written) *written = count;
    return kOk;
}

int32_t ByteStream::Seek(int32_t offset, int32_t origin, uint32_t* newPosition) {
    int64_t base = 0;
    switch (origin) {
        case kSeekSet:
            base = 0;
            break;
        case kSeekCur:
            base = static_cast<int64_t>(position_);
            break;
        case kSeekEnd:
            base = static_cast<int64_t>(data_.size());
            break;
        default:
            return kOutOfRange;
    }
    Touch();
    const int64_t target = base + offset;
    if (target < 0 || static_cast<uint64_t>(target) > kMaxSize) return kFailed;
    position_ = static_cast<uint64_t>(target);
    if (newPosition) *newPosition = static_cast<uint32_t>(position_);
    return kOk;
}

int32_t ByteStream::SetSize(uint32_t size) {
    Touch();
    try {
        data_.resize(size);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOk;
}

int32_t ByteStream::CopyTo(EngineStream* destination, uint32_t count, uint32_t* written) {
    if (written) *written = 0;
    if (!destination) return kBadPointer;
    Touch();
    uint8_t piece[1024];
    uint32_t total = 0;
    while (total < count) {
        uint32_t got = 0;
        Read(piece, std::min<uint32_t>(sizeof piece, count - total), &got);
        if (got == 0) break;
        uint32_t put = 0;
        const int32_t rc = destination->Write(piece, got, &put);
        total += put;
        if (written) *written = total;
        if (rc != kOk) return rc;
    }
    return kOk;
}

int32_t ByteStream::GetHGlobal(std::span<const uint8_t>* block) const {
    if (!block) return kBadPointer;
    if (!created_) {
        *block = {};
        return kFailure;
    }
    *block = std::span<const uint8_t>(data_.data(), data_.size());
    return kOk;
}

}  // namespace kp
