// The memory byte stream: growth, seeking, short reads, copying and its memory block.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "engine/core/byte_stream.h"

namespace kp {
namespace {

using namespace stream_code;

std::vector<uint8_t> Block(const ByteStream& s) {
    std::span<const uint8_t> block;
    EXPECT_EQ(s.GetHGlobal(&block), kOk);
    return {block.begin(), block.end()};
}

TEST(ByteStream, BlockExistsFromTheFirstOperation) {
    ByteStream s;
    std::span<const uint8_t> block;
    EXPECT_EQ(s.GetHGlobal(&block), kFailure);
    EXPECT_EQ(s.AddRef(), 1);
    EXPECT_EQ(s.Release(), 0);
    void* iface = &s;
    EXPECT_EQ(s.QueryInterface(nullptr, &iface), kNotImplemented);
    EXPECT_EQ(iface, nullptr);
    uint32_t pos = 99;
    EXPECT_EQ(s.Seek(0, kSeekEnd, &pos), kOk);
    EXPECT_EQ(pos, 0u);
    EXPECT_EQ(s.GetHGlobal(&block), kOk);
    EXPECT_TRUE(block.empty());
}

TEST(ByteStream, WritesGrowAndOverwrite) {
    ByteStream s;
    uint32_t n = 0;
    ASSERT_EQ(s.Write("abcdef", 6, &n), kOk);
    EXPECT_EQ(n, 6u);
    ASSERT_EQ(s.Seek(2, kSeekSet, nullptr), kOk);  // a null position pointer is allowed
    ASSERT_EQ(s.Write("XY", 2, &n), kOk);
    ASSERT_EQ(s.Seek(3, kSeekEnd, nullptr), kOk);  // beyond the end: the gap reads as zeros
    ASSERT_EQ(s.Write("!", 1, &n), kOk);
    EXPECT_EQ(Block(s), (std::vector<uint8_t>{'a', 'b', 'X', 'Y', 'e', 'f', 0, 0, 0, '!'}));
}

TEST(ByteStream, ReadsEndShortAtTheEnd) {
    ByteStream s;
    ASSERT_EQ(s.Write("0123456789", 10, nullptr), kOk);
    ASSERT_EQ(s.Seek(6, kSeekSet, nullptr), kOk);
    char buf[8] = {};
    uint32_t got = 0;
    EXPECT_EQ(s.Read(buf, 8, &got), kFailure);  // short read: -1 with what was there
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(std::string(buf, got), "6789");
    EXPECT_EQ(s.Read(buf, 1, &got), kFailure);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(s.Read(buf, 0, &got), kOk);
    EXPECT_EQ(s.Read(nullptr, 1, &got), kBadPointer);
}

TEST(ByteStream, SeekOrigins) {
    ByteStream s;
    ASSERT_EQ(s.Write("0123456789", 10, nullptr), kOk);
    struct SeekCase {
        int32_t offset, origin, rc;
        uint32_t position;
    };
    // Each row starts where the previous one left the position.
    const SeekCase cases[] = {
        {4, kSeekSet, kOk, 4},     {3, kSeekCur, kOk, 7},        {-2, kSeekCur, kOk, 5},
        {-1, kSeekEnd, kOk, 9},    {5, kSeekEnd, kOk, 15},       {3, 3, kOutOfRange, 15},
        {-1, -1, kOutOfRange, 15}, {-16, kSeekCur, kFailed, 15}, {-1, kSeekSet, kFailed, 15},
    };
    for (const SeekCase& c : cases) {
        uint32_t pos = 12345;
        EXPECT_EQ(s.Seek(c.offset, c.origin, &pos), c.rc) << c.offset << "/" << c.origin;
        uint32_t now = 0;
        ASSERT_EQ(s.Seek(0, kSeekCur, &now), kOk);
        EXPECT_EQ(now, c.position) << c.offset << "/" << c.origin;
    }
}

TEST(ByteStream, SetSizeCutsAndExtends) {
    ByteStream s;
    ASSERT_EQ(s.Write("abcdef", 6, nullptr), kOk);
    ASSERT_EQ(s.SetSize(3), kOk);
    EXPECT_EQ(Block(s), (std::vector<uint8_t>{'a', 'b', 'c'}));
    ASSERT_EQ(s.SetSize(5), kOk);
    EXPECT_EQ(Block(s), (std::vector<uint8_t>{'a', 'b', 'c', 0, 0}));
}

// Takes what it is given until its limit, then fails with a code of its own.
class LimitedSink final : public EngineStream {
  public:
    explicit LimitedSink(uint32_t limit) : limit_(limit) {}
    int32_t QueryInterface(const plat::InterfaceId*, void**) override { return kNotImplemented; }
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 0; }
    int32_t Read(void*, uint32_t, uint32_t*) override { return kNotImplemented; }
    int32_t Write(const void* buffer, uint32_t count, uint32_t* written) override {
        pieces.push_back(count);
        if (data.size() + count > limit_) {
            *written = 0;
            return kFileIo;
        }
        const auto* p = static_cast<const uint8_t*>(buffer);
        data.insert(data.end(), p, p + count);
        *written = count;
        return kOk;
    }
    int32_t Seek(int32_t, int32_t, uint32_t*) override { return kNotImplemented; }
    int32_t SetSize(uint32_t) override { return kNotImplemented; }
    int32_t CopyTo(EngineStream*, uint32_t, uint32_t*) override { return kNotImplemented; }

    std::vector<uint8_t> data;
    std::vector<uint32_t> pieces;

  private:
    uint32_t limit_;
};

TEST(ByteStream, CopyToGoesInPiecesAndStops) {
    std::vector<uint8_t> bytes(3000);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    struct CopyCase {
        uint32_t start, count, limit;
        int32_t rc;
        uint32_t written;
        std::vector<uint32_t> pieces;
        const char* why;
    };
    const CopyCase cases[] = {
        {0, 3000, 100000, kOk, 3000, {1024, 1024, 952}, "whole stream in 1024-byte pieces"},
        {100, 1500, 100000, kOk, 1500, {1024, 476}, "count bytes from the position"},
        {2500, 1000, 100000, kOk, 500, {500}, "stops at the end of the stream"},
        {3000, 10, 100000, kOk, 0, {}, "nothing left"},
        {0, 3000, 2000, kFileIo, 1024, {1024, 1024}, "the destination's failure is the result"},
    };
    for (const CopyCase& c : cases) {
        ByteStream s;
        ASSERT_EQ(s.Write(bytes.data(), 3000, nullptr), kOk);
        ASSERT_EQ(s.Seek(static_cast<int32_t>(c.start), kSeekSet, nullptr), kOk);
        LimitedSink sink(c.limit);
        uint32_t written = 99;
        EXPECT_EQ(s.CopyTo(&sink, c.count, &written), c.rc) << c.why;
        EXPECT_EQ(written, c.written) << c.why;
        EXPECT_EQ(sink.pieces, c.pieces) << c.why;
        ASSERT_GE(sink.data.size(), c.written) << c.why;
        EXPECT_TRUE(
            std::equal(sink.data.begin(), sink.data.begin() + c.written, bytes.begin() + c.start))
            << c.why;
    }
    ByteStream s;
    EXPECT_EQ(s.CopyTo(nullptr, 1, nullptr), kBadPointer);
}

}  // namespace
}  // namespace kp
