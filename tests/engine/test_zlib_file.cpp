// The compressed container and its zlib file: the bytes inflate with Python's zlib to a valid
// plain container, stream names carry the running number (long ones by one shared rule), every
// write is flushed whole, and damaged input is refused.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <set>

#include "container_fixtures.h"
#include "engine/core/container.h"
#include "engine/core/zlib_file.h"

namespace kp {
namespace {

using namespace stream_code;
using namespace kp::testing;

Bytes Noise(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(rng());
    return b;
}

class Compressed : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.ok()); }

    // Writes (stem, user value, data) streams into a compressed file and closes it.
    struct Item {
        std::u16string stem;
        int32_t userValue;
        Bytes data;
    };
    void WriteCompressed(const std::string& name, const std::vector<Item>& items) {
        CompressedStreamFileFactory factory;
        StreamFile* file = nullptr;
        ASSERT_EQ(factory.Create(dir.Wide(name), kCreateAlways, kAccessReadWrite, &file), kOk);
        ASSERT_TRUE(file->IsCompressed());
        ASSERT_EQ(file->GetZlibFile(), factory.GetZlibFile());
        for (const Item& item : items) {
            file->GetZlibFile()->SetUserValue(item.userValue);
            Stream* s = nullptr;
            ASSERT_EQ(file->CreateStream(item.stem, &s), kOk);
            // In two writes, so the buffer grows.
            const uint32_t half = static_cast<uint32_t>(item.data.size() / 2);
            uint32_t n = 0;
            ASSERT_EQ(s->Write(item.data.data(), half, &n), kOk);
            EXPECT_EQ(n, half);
            ASSERT_EQ(s->Write(item.data.data() + half,
                               static_cast<uint32_t>(item.data.size()) - half, &n),
                      kOk);
            ReleaseAll(s);
        }
        EXPECT_EQ(file->GetZlibFile()->Close(), kOk);
        ReleaseAll(file);
    }

    // Python inflates the file; the result must be complete.
    Bytes Inflate(const std::string& name) {
        const std::string out =
            RunPython(dir, kInflateScript, {dir.File(name), dir.File(name + ".plain")});
        EXPECT_EQ(out, "ok\n");
        return ReadAll(dir.File(name + ".plain"));
    }

    TempDir dir;
};

TEST(StreamNames, ComposeTable) {
    struct NameCase {
        std::u16string_view stem;
        int64_t number;
        bool ok;
        std::u16string stored;
    };
    const NameCase cases[] = {
        {u"KPFILE30", 1, true, u"KPFILE30-1"},
        {u"KPREPORT30", 5, true, u"KPREPORT30-5"},
        {u"KPOBJECTS30-5", 99, true, u"KPOBJECTS30-5-99"},             // sixteen: still decimal
        {u"KPOBJECTS30-5", 100, true, u"KPOBJECTS30-5~\u4000\u4064"},  // the 100th page
        {u"KPFILE30PAGE", 999, true, u"KPFILE30PAGE-999"},
        {u"KPFILE30PAGE", 1000, true, u"KPFILE30PAGE~\u4000\u43E8"},
        {u"KPFILE30PAGE", 1 << 20, true, u"KPFILE30PAGE~\u4020\u4000"},
        {u"KPOBJECTS30-5", (int64_t{1} << 30) - 1, true, u"KPOBJECTS30-5~\uBFFF\uBFFF"},
        {u"KPOBJECTS30-5", int64_t{1} << 30, false, u""},
        {u"KPOBJECTS30-55", 100, false, u""},  // fourteen units leave no room
        {u"", 0, true, u"-0"},
        {u"ABCDEFGHIJKLM", -1, true, u"ABCDEFGHIJKLM--1"},
        {u"ABCDEFGHIJKLM", -10, false, u""},
    };
    for (const NameCase& c : cases) {
        std::u16string stored = u"untouched";
        EXPECT_EQ(ComposeStreamName(c.stem, c.number, &stored), c.ok) << c.number;
        if (c.ok) {
            EXPECT_EQ(stored, c.stored) << c.number;
        }
        // Read back, every name of a number from 0 up gives its stem and number.
        std::u16string stem;
        int64_t number = -1;
        if (c.ok && c.number >= 0) {
            EXPECT_TRUE(ParseStreamName(c.stored, &stem, &number)) << c.number;
            EXPECT_EQ(stem, c.stem);
            EXPECT_EQ(number, c.number);
        }
    }
    // Names that no composition gives.
    for (const std::u16string_view name :
         {u"KPFILE30", u"KPFILE30-", u"KPFILE30-01", u"KPFILE30-1x", u"KP-12345678901",
          u"KPFILE30~\u4000\u4001" /* 1 is written in decimal */, u"KPFILE30PAGE~\u4000",
          u"KPFILE30PAGE~\u3FFF\u4001", u"KPOBJECTS30-55~\u4000\u4064" /* seventeen */}) {
        std::u16string stem;
        int64_t number = 0;
        EXPECT_FALSE(ParseStreamName(name, &stem, &number)) << name.size();
    }
}

// The walk over an expanding container: headers meet the judge before they or their data pass
// on, in whatever pieces the bytes come.
TEST(ContainerWalk, JudgesEachHeaderBeforeItPasses) {
    struct Sink final : StreamStage {
        Bytes bytes;
        int32_t Write(const uint8_t* d, size_t n) override {
            bytes.insert(bytes.end(), d, d + n);
            return kOk;
        }
        int32_t Finish() override { return kOk; }
    };
    auto header = [](std::u16string_view name, uint32_t length) {
        const StreamHeaderImage h = BuildStreamHeader(name, length);
        return Bytes(h.begin(), h.end());
    };
    const Bytes good = Concat({header(u"KPFILE30-1", 3),
                               {1, 2, 3},
                               header(u"KPREPORT30-1", 0),
                               header(u"KPFILE30FONT-1", 2),
                               {9, 9}});
    const Bytes badMagic = Concat({header(u"A-1", 1), {7}, Bytes(48, 'x'), {1}});
    const struct {
        const char* why;
        Bytes input;
        size_t piece;
        std::u16string_view refuse;  // the name the judge refuses
        int32_t rc;
        size_t passed;
        size_t judged;
    } cases[] = {
        {"whole", good, good.size(), u"", kOk, good.size(), 3},
        {"byte by byte", good, 1, u"", kOk, good.size(), 3},
        {"in pieces across headers", good, 50, u"", kOk, good.size(), 3},
        {"refused: nothing of it passes", good, 7, u"KPREPORT30-1", -19999, 51, 2},
        {"a later header without the magic", badMagic, 5, u"", kNotContainer, 49, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Sink sink;
        std::vector<std::pair<std::u16string, uint32_t>> judged;
        ContainerWalkStage walk(&sink, [&](std::u16string_view name, uint32_t length) {
            judged.emplace_back(name, length);
            return name == c.refuse ? -19999 : kOk;
        });
        int32_t rc = kOk;
        for (size_t at = 0; at < c.input.size() && rc == kOk; at += c.piece) {
            rc = walk.Write(c.input.data() + at, std::min(c.piece, c.input.size() - at));
        }
        EXPECT_EQ(rc, c.rc);
        EXPECT_EQ(walk.Write(c.input.data(), 1), c.rc) << "a failure stays";
        EXPECT_EQ(sink.bytes, Bytes(c.input.begin(), c.input.begin() + long(c.passed)));
        ASSERT_EQ(judged.size(), c.judged);
        EXPECT_EQ(judged[0].first, c.input == good ? u"KPFILE30-1" : u"A-1");
    }
}

// Every name that the report elements make over many pages fits a header and is distinct, so
// no page can shadow another.
TEST(StreamNames, DistinctOverManyPages) {
    const std::u16string stems[] = {u"KPFILE30",     u"KPFILE30PAGE",  u"KPFILE30FONT",
                                    u"KPREPORT30",   u"KPLAYERS30",    u"KPLAYER30-1",
                                    u"KPLAYER30-5",  u"KPOBJECTS30-1", u"KPOBJECTS30-5",
                                    u"KPOBJECT30-1", u"KPOBJECT30-5"};
    std::set<std::u16string> seen;
    size_t made = 0;
    for (const std::u16string& stem : stems) {
        for (int64_t page = 1; page <= 40000; page = page < 2000 ? page + 1 : page * 3 / 2) {
            std::u16string stored;
            ASSERT_TRUE(ComposeStreamName(stem, page, &stored)) << page;
            EXPECT_LE(stored.size(), kMaxStreamNameLength);
            seen.insert(stored);
            ++made;
        }
    }
    EXPECT_EQ(seen.size(), made);
}

TEST_F(Compressed, InflatesWithPythonToThePlainContainer) {
    const Bytes big = Noise(5000, 1);  // more than one output buffer
    WriteCompressed("doc.k3v", {{u"KPFILE30", 0, {'i', 'n', 'f', 'o'}},
                                {u"KPFILE30PAGE", 0, {1, 2, 3}},
                                {u"KPREPORT30", 0, big},
                                {u"KPFILE30PAGE", 4, {}},
                                {u"KPOBJECTS30-5", 99, {'p', '1', '0', '0'}}});
    const Bytes compressed = ReadAll(dir.File("doc.k3v"));
    ASSERT_GE(compressed.size(), 2u);
    EXPECT_EQ(compressed[0], 0x78);
    EXPECT_EQ(compressed[1], 0xDA);  // deflate, window 15, level 9

    const Bytes plain = Inflate("doc.k3v");
    EXPECT_EQ(RunPython(dir, kWalkScript, {dir.File("doc.k3v.plain")}),
              "KPFILE30-1 4\nKPFILE30PAGE-1 3\nKPREPORT30-1 5000\nKPFILE30PAGE-5 0\n"
              "KPOBJECTS30-5~\\u4000\\u4064 4\nend\n");

    // The same streams through the plain container give the same bytes.
    StreamFileFactory plainFactory;
    StreamFile* file = nullptr;
    ASSERT_EQ(plainFactory.Create(dir.Wide("same.kp"), kCreateAlways, kAccessReadWrite, &file),
              kOk);
    const std::pair<std::u16string, Bytes> streams[] = {
        {u"KPFILE30-1", {'i', 'n', 'f', 'o'}},
        {u"KPFILE30PAGE-1", {1, 2, 3}},
        {u"KPREPORT30-1", big},
        {u"KPFILE30PAGE-5", {}},
        {u"KPOBJECTS30-5~\u4000\u4064", {'p', '1', '0', '0'}},
    };
    for (const auto& [name, data] : streams) {
        Stream* s = nullptr;
        ASSERT_EQ(file->CreateStream(name, &s), kOk);
        ASSERT_EQ(s->Write(data.data(), static_cast<uint32_t>(data.size()), nullptr), kOk);
        ReleaseAll(s);
    }
    ReleaseAll(file);
    EXPECT_EQ(plain, ReadAll(dir.File("same.kp")));
}

TEST_F(Compressed, ReadsBackAfterExpanding) {
    const Bytes big = Noise(3000, 2);
    WriteCompressed("back.k3v", {{u"KPFILE30", 0, {'d', 'o', 'c'}},
                                 {u"KPREPORT30", 0, big},
                                 {u"KPREPORT30", 1, {'p', '2'}},
                                 {u"KPOBJECTS30-5", 99, {'p', '1', '0', '0'}}});

    CompressedStreamFileFactory reader;
    StreamFile* packed = nullptr;
    ASSERT_EQ(reader.Open(dir.Wide("back.k3v"), kAccessRead, &packed), kOk);
    ASSERT_EQ(reader.GetZlibFile()->ExpandToFile(dir.File("back.tmp")), kOk);
    ReleaseAll(packed);

    CompressedStreamFileFactory second;
    StreamFile* file = nullptr;
    ASSERT_EQ(second.Open(dir.Wide("back.tmp"), kAccessRead, &file), kOk);
    struct ReadCase {
        int32_t userValue;
        std::u16string stem;
        int32_t rc;
        Bytes data;
    };
    const ReadCase cases[] = {
        {0, u"KPFILE30", kOk, {'d', 'o', 'c'}},
        {0, u"KPREPORT30", kOk, big},
        {1, u"KPREPORT30", kOk, {'p', '2'}},
        {99, u"KPOBJECTS30-5", kOk, {'p', '1', '0', '0'}},
        {2, u"KPREPORT30", kNotFound, {}},
        {0, u"KPOBJECTS30-55", kNotFound, {}},      // "KPOBJECTS30-55-1" fits
        {99, u"KPOBJECTS30-55", kBadArgument, {}},  // cannot be stored, so cannot be asked for
    };
    for (const ReadCase& c : cases) {
        file->GetZlibFile()->SetUserValue(c.userValue);
        Stream* s = nullptr;
        EXPECT_EQ(file->OpenStream(c.stem, &s), c.rc) << c.userValue;
        if (c.rc != kOk) continue;
        Bytes got(c.data.size() + 10);
        uint32_t n = 0;
        EXPECT_EQ(s->Read(got.data(), static_cast<uint32_t>(got.size()), &n), kOk);
        got.resize(n);
        EXPECT_EQ(got, c.data) << c.userValue;
        EXPECT_EQ(s->CopyTo(s, 1, &n), kNotImplemented);
        ReleaseAll(s);
    }
    ReleaseAll(file);
}

TEST_F(Compressed, NamesAreUniqueAndOneStreamIsOpen) {
    CompressedStreamFileFactory factory;
    StreamFile* file = nullptr;
    ASSERT_EQ(factory.Create(dir.Wide("dup.k3v"), kCreateAlways, kAccessReadWrite, &file), kOk);
    Stream* a = nullptr;
    Stream* b = nullptr;
    ASSERT_EQ(file->CreateStream(u"KPREPORT30", &a), kOk);
    EXPECT_EQ(file->CreateStream(u"KPLAYERS30", &b), kStreamAlreadyOpen);
    ReleaseAll(a);
    EXPECT_EQ(file->CreateStream(u"KPREPORT30", &b), kExists);  // same page, same name
    file->GetZlibFile()->SetUserValue(1);
    ASSERT_EQ(file->CreateStream(u"KPREPORT30", &b), kOk);  // the next page's
    ReleaseAll(b);
    file->GetZlibFile()->SetUserValue(99);  // "KPOBJECTS30-55-100" has no room
    EXPECT_EQ(file->CreateStream(u"KPOBJECTS30-55", &b), kBadArgument);
    ReleaseAll(file);  // the factory still finishes the zlib stream
}

// A stream enters the file at its first Release; writes after that have nowhere to go.
TEST_F(Compressed, FirstReleaseCommitsTheStream) {
    CompressedStreamFileFactory factory;
    StreamFile* file = nullptr;
    ASSERT_EQ(factory.Create(dir.Wide("commit.k3v"), kCreateAlways, kAccessReadWrite, &file), kOk);
    Stream* s = nullptr;
    ASSERT_EQ(file->CreateStream(u"KPFILE30", &s), kOk);
    ASSERT_EQ(s->Write("abc", 3, nullptr), kOk);
    char buf[1];
    EXPECT_EQ(s->Read(buf, 1, nullptr), kWrongMode);
    EXPECT_EQ(s->AddRef(), 2);
    EXPECT_EQ(s->Release(), 1);  // committed here
    EXPECT_EQ(s->Write("d", 1, nullptr), kFileIo);
    // Already readable: each write is sync-flushed, so the file inflates as it stands.
    EXPECT_EQ(RunPython(dir, kInflateScript, {dir.File("commit.k3v"), dir.File("now.kp")}),
              "partial\n");
    EXPECT_EQ(RunPython(dir, kWalkScript, {dir.File("now.kp")}), "KPFILE30-1 3\nend\n");
    ReleaseAll(s);
    ReleaseAll(file);
}

// Each Write hands over everything it produced, even when that fills the output buffer many
// times: the file must inflate to all the data written so far before anything is closed.
TEST_F(Compressed, WriteDrainsAllOutput) {
    const int fd = ::open(dir.File("drain.z").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ZlibFile z;
    EXPECT_EQ(z.Mode(), ZlibFile::kDeflate);
    ASSERT_EQ(z.Open(fd), kOk);
    ::close(fd);                          // the zlib file works on a descriptor of its own
    EXPECT_EQ(z.Open(fd), kZlibNotOpen);  // already open
    z.SetMode(ZlibFile::kInflate);
    EXPECT_EQ(z.Mode(), ZlibFile::kDeflate);  // not while open

    Bytes all;
    for (uint32_t round = 0; round < 3; ++round) {
        const Bytes chunk = Noise(20000 + round, round);  // incompressible: about 20 buffers
        uint32_t taken = 0;
        ASSERT_EQ(z.Write(chunk.data(), static_cast<uint32_t>(chunk.size()), &taken), kOk);
        EXPECT_EQ(taken, chunk.size());
        all.insert(all.end(), chunk.begin(), chunk.end());
        EXPECT_EQ(RunPython(dir, kInflateScript, {dir.File("drain.z"), dir.File("drain.out")}),
                  "partial\n");
        EXPECT_EQ(ReadAll(dir.File("drain.out")), all) << "round " << round;
    }
    EXPECT_EQ(z.Close(), kOk);
    EXPECT_EQ(z.Close(), kOk);  // closing twice is harmless
    uint32_t taken = 7;
    EXPECT_EQ(z.Write("x", 1, &taken), kZlibNotOpen);
    EXPECT_EQ(taken, 0u);
    EXPECT_EQ(Inflate("drain.z"), all);
}

// A full disk fails the write, and every later write and the close answer the same, so a file
// that lost a stream never reports success.
TEST_F(Compressed, DiskFullIsKept) {
    const int fd = ::open("/dev/full", O_WRONLY);
    if (fd < 0) GTEST_SKIP() << "no /dev/full";
    ZlibFile z;
    ASSERT_EQ(z.Open(fd), kOk);
    ::close(fd);
    uint32_t taken = 0;
    EXPECT_EQ(z.Write("abc", 3, &taken), kDiskFull);
    EXPECT_EQ(taken, 0u);
    EXPECT_EQ(z.Write("abc", 3, &taken), kDiskFull);
    EXPECT_EQ(z.Close(), kDiskFull);
}

TEST_F(Compressed, ExpandRefusesDamagedInput) {
    WriteCompressed("good.k3v", {{u"KPFILE30", 0, Noise(4000, 3)}});
    const Bytes good = ReadAll(dir.File("good.k3v"));
    ASSERT_GT(good.size(), 100u);
    Bytes corrupt = good;
    corrupt[2] ^= 0xFF;  // the first block's header
    struct ExpandCase {
        Bytes input;
        int32_t rc;
        const char* why;
    };
    const ExpandCase cases[] = {
        {good, kOk, "whole"},
        {Bytes(good.begin(), good.begin() + 50), kZlibData, "cut short"},
        {{}, kZlibData, "empty"},
        {corrupt, kZlibData, "damaged"},
        {Bytes{'K', 0, 'P', 0, '3', 0, '0', 0}, kZlibData, "a plain container"},
        {Concat({good, Bytes{1, 2, 3}}), kOk, "bytes after the end are ignored"},
    };
    for (const ExpandCase& c : cases) {
        WriteAll(dir.File("in.k3v"), c.input);
        CompressedStreamFileFactory reader;
        StreamFile* file = nullptr;
        ASSERT_EQ(reader.Open(dir.Wide("in.k3v"), kAccessRead, &file), kOk) << c.why;
        EXPECT_EQ(reader.GetZlibFile()->ExpandToFile(dir.File("out.kp")), c.rc) << c.why;
        ReleaseAll(file);
    }
    ZlibFile closed;
    EXPECT_EQ(closed.ExpandToFile(dir.File("never.kp")), kZlibNotOpen);
    EXPECT_FALSE(std::filesystem::exists(dir.File("never.kp")));

    CompressedStreamFileFactory reader;
    StreamFile* file = nullptr;
    ASSERT_EQ(reader.Open(dir.Wide("good.k3v"), kAccessRead, &file), kOk);
    EXPECT_EQ(reader.GetZlibFile()->ExpandToFile(dir.File("no/such/dir.kp")), kNotFound);
    ReleaseAll(file);
}

// An expanded file whose end is missing still shows the streams that arrived whole.
TEST_F(Compressed, CutFileKeepsItsWholeStreams) {
    const StreamHeaderImage first = BuildStreamHeader(u"KPFILE30-1", 2);
    Bytes cut = Concat({Bytes(first.begin(), first.end()), Bytes{'o', 'k'}});
    const StreamHeaderImage second = BuildStreamHeader(u"KPFILE30PAGE-1", 100);
    cut.insert(cut.end(), second.begin(), second.end());
    cut.resize(cut.size() + 10, 'x');  // 10 of its 100 bytes
    const Bytes halfHeader = Concat({Bytes(first.begin(), first.end()), Bytes{'o', 'k', 'K', 0}});

    for (const Bytes& content : {cut, halfHeader}) {
        WriteAll(dir.File("cut.kp"), content);
        CompressedStreamFileFactory factory;
        StreamFile* file = nullptr;
        ASSERT_EQ(factory.Open(dir.Wide("cut.kp"), kAccessRead, &file), kOk);
        Stream* s = nullptr;
        EXPECT_EQ(file->OpenStream(u"KPFILE30", &s), kOk);
        ReleaseAll(s);
        EXPECT_EQ(file->OpenStream(u"KPFILE30PAGE", &s), kNotFound);
        EXPECT_EQ(file->OpenStream(u"KPFILE30FONT", &s), kNotFound);
        ReleaseAll(file);
    }
}

}  // namespace
}  // namespace kp
