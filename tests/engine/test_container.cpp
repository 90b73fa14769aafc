// The plain report-file container: its bytes against fixtures built outside it, the error codes
// of damaged and misused files, stream growth, reading and copying.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "container_fixtures.h"
#include "engine/core/container.h"
#include "tests/fixtures/file_size_limit.h"

namespace kp {
namespace {

using namespace stream_code;
using namespace kp::testing;

Bytes U16(const std::u16string& s) {
    Bytes b;
    for (char16_t c : s) {
        b.push_back(static_cast<uint8_t>(c & 0xFF));
        b.push_back(static_cast<uint8_t>(c >> 8));
    }
    return b;
}

Bytes Le32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

// A header assembled from its three fields, for the damaged files below.
Bytes Header(const std::u16string& name, uint32_t length) {
    Bytes name34 = U16(name);
    name34.resize(34, 0);
    return Concat({U16(u"KP30"), Bytes{0, 0}, name34, Le32(length)});
}

class Container : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.ok()); }

    StreamFile* CreateFile(const std::string& name, uint16_t mode = kCreateAlways) {
        StreamFile* file = nullptr;
        EXPECT_EQ(factory.Create(dir.Wide(name), mode, kAccessReadWrite, &file), kOk);
        return file;
    }
    StreamFile* OpenFile(const std::string& name, uint32_t access = kAccessReadWrite) {
        StreamFile* file = nullptr;
        EXPECT_EQ(factory.Open(dir.Wide(name), access, &file), kOk);
        return file;
    }

    TempDir dir;
    StreamFileFactory factory;
};

TEST_F(Container, OneStreamByteForByte) {
    StreamFile* file = CreateFile("one.kp");
    ASSERT_NE(file, nullptr);
    Stream* s = nullptr;
    ASSERT_EQ(file->CreateStream(u"AB", &s), kOk);
    uint32_t n = 0;
    ASSERT_EQ(s->Write("xyz", 3, &n), kOk);
    ReleaseAll(s);
    ReleaseAll(file);

    // clang-format off
    const Bytes expected = {
        'K', 0, 'P', 0, '3', 0, '0', 0, 0, 0,           // magic and its terminator
        'A', 0, 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   // name, then zeros to byte 44
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0,
        3, 0, 0, 0,                                     // data length
        'x', 'y', 'z',
    };
    // clang-format on
    EXPECT_EQ(ReadAll(dir.File("one.kp")), expected);
}

// The same streams written by the container and by Python's struct module.
TEST_F(Container, SeveralStreamsMatchPythonStruct) {
    StreamFile* file = CreateFile("report.kp");
    ASSERT_NE(file, nullptr);
    Stream* s = nullptr;
    ASSERT_EQ(file->CreateStream(u"KPREPORT30", &s), kOk);
    const int32_t unit = 0x12345678;
    const std::u16string title = u"帳票";
    ASSERT_EQ(WriteTaggedRecord(s, {5001, 4}, &unit), kOk);
    ASSERT_EQ(WriteTaggedRecord(s, {5002, 6}, title.c_str()), kOk);  // two units and the zero
    ASSERT_EQ(WriteTaggedRecord(s, {5003, 0}, nullptr), kOk);
    ASSERT_EQ(WriteTaggedRecord(s, {5004, 4}, nullptr), kOk);  // no value: the header alone
    ReleaseAll(s);
    ASSERT_EQ(file->CreateStream(u"KPLAYERS30", &s), kOk);
    const int32_t five = 5;
    ASSERT_EQ(WriteTaggedRecord(s, {6001, 4}, &five), kOk);
    ReleaseAll(s);
    ASSERT_EQ(file->CreateStream(u"ABCDEFGHIJKLMNOP", &s), kOk);  // sixteen units
    ASSERT_EQ(s->Write("\x01\x02\x03", 3, nullptr), kOk);
    ReleaseAll(s);
    ASSERT_EQ(file->CreateStream(u"E", &s), kOk);  // empty
    ReleaseAll(s);
    ReleaseAll(file);

    const std::string script = R"(
import sys, struct
def stream(name, data):
    return struct.pack('<10s34sI', 'KP30\0'.encode('utf-16-le'), name.encode('utf-16-le'), len(data)) + data
def record(rid, value, length=None):
    return struct.pack('<ii', rid, len(value) if length is None else length) + value
report = (record(5001, struct.pack('<i', 0x12345678)) +
          record(5002, '帳票\0'.encode('utf-16-le')) +
          record(5003, b'') + record(5004, b'', 4))
data = (stream('KPREPORT30', report) + stream('KPLAYERS30', record(6001, struct.pack('<i', 5))) +
        stream('ABCDEFGHIJKLMNOP', b'\x01\x02\x03') + stream('E', b''))
open(sys.argv[1], 'wb').write(data)
)";
    RunPython(dir, script, {dir.File("python.kp")});
    const Bytes python = ReadAll(dir.File("python.kp"));
    ASSERT_FALSE(python.empty());
    EXPECT_EQ(ReadAll(dir.File("report.kp")), python);
}

// A file that Python built is read back through the container.
TEST_F(Container, ReadsAFileBuiltByPython) {
    const std::string script = R"(
import sys, struct
def stream(name, data):
    return struct.pack('<10s34sI', 'KP30\0'.encode('utf-16-le'), name.encode('utf-16-le'), len(data)) + data
data = (stream('first', struct.pack('<ii', 7, 3) + b'abc') + stream('頁', b'0123456789') +
        stream('last', b'LAST'))
open(sys.argv[1], 'wb').write(data)
)";
    RunPython(dir, script, {dir.File("py.kp")});
    StreamFile* file = OpenFile("py.kp", kAccessRead);
    ASSERT_NE(file, nullptr);

    Stream* s = nullptr;
    ASSERT_EQ(file->OpenStream(u"first", &s), kOk);
    TaggedRecordHeader h{};
    ASSERT_EQ(ReadExact(s, &h, sizeof h), kOk);
    EXPECT_EQ(h.id, 7);
    EXPECT_EQ(h.length, 3);
    char value[3];
    ASSERT_EQ(ReadExact(s, value, 3), kOk);
    EXPECT_EQ(std::string(value, 3), "abc");
    EXPECT_EQ(ReadExact(s, &h, sizeof h), kEndOfStream);
    ReleaseAll(s);

    ASSERT_EQ(file->OpenStream(u"頁", &s), kOk);
    char buf[8];
    uint32_t got = 0;
    ASSERT_EQ(s->Seek(6, kSeekSet, nullptr), kOk);
    EXPECT_EQ(s->Read(buf, 8, &got), kOk);  // cut to the 4 bytes left
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(std::string(buf, got), "6789");
    EXPECT_EQ(s->Read(buf, 1, &got), kEndOfStream);
    ASSERT_EQ(s->Seek(6, kSeekSet, nullptr), kOk);
    EXPECT_EQ(ReadExact(s, buf, 8), kNotContainer);  // a short record read
    ReleaseAll(s);

    EXPECT_EQ(file->OpenStream(u"LAST", &s), kNotFound);  // names are case-sensitive
    EXPECT_EQ(file->OpenStream(u"las", &s), kNotFound);
    EXPECT_EQ(s, nullptr);
    ReleaseAll(file);
}

// CopyTo stops at the end of its own stream, never in the next stream's header.
TEST_F(Container, CopyToStaysInsideTheStream) {
    WriteAll(dir.File("copy.kp"),
             Concat({Header(u"a", 10), Bytes{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'},
                     Header(u"b", 2), Bytes{'b', 'b'}}));
    struct CopyCase {
        int32_t start;
        uint32_t count;
        std::string copied;
        const char* why;
    };
    const CopyCase cases[] = {
        {0, 4, "0123", "part of the stream"},
        {3, 100, "3456789", "asked for more than is left"},
        {0, 0xFFFFFFFFu, "0123456789", "an enormous count allocates nothing"},
        {10, 5, "", "at the end"},
        {20, 5, "", "beyond the end"},
    };
    for (const CopyCase& c : cases) {
        StreamFile* file = OpenFile("copy.kp", kAccessRead);
        ASSERT_NE(file, nullptr);
        Stream* s = nullptr;
        ASSERT_EQ(file->OpenStream(u"a", &s), kOk);
        ASSERT_EQ(s->Seek(c.start, kSeekSet, nullptr), kOk);
        ByteStream sink;
        uint32_t written = 99;
        EXPECT_EQ(s->CopyTo(&sink, c.count, &written), kOk) << c.why;
        EXPECT_EQ(written, c.copied.size()) << c.why;
        std::span<const uint8_t> block;
        sink.GetHGlobal(&block);
        EXPECT_EQ(std::string(block.begin(), block.end()), c.copied) << c.why;
        uint32_t pos = 0;
        s->Seek(0, kSeekCur, &pos);
        EXPECT_EQ(pos, static_cast<uint32_t>(c.start) + c.copied.size()) << c.why;
        ReleaseAll(s);
        ReleaseAll(file);
    }
}

// Error codes of damaged files and misuse. Each row starts from its own file.
TEST_F(Container, ErrorCodeTable) {
    const Bytes good = Concat({Header(u"one", 3), Bytes{1, 2, 3}});
    Bytes badMagic = good;
    badMagic[0] = 'X';
    Bytes badSecondMagic = Concat({good, Header(u"two", 0)});
    badSecondMagic[good.size() + 2] = 'Q';
    Bytes noTerminator = Header(u"ABCDEFGHIJKLMNOP", 0);
    noTerminator[10 + 32] = 'Q';  // a 17th unit where the terminator belongs
    const std::u16string seventeen = u"ABCDEFGHIJKLMNOPQ";

    struct ErrorCase {
        Bytes content;
        bool create;  // CreateStream, else OpenStream
        std::u16string name;
        int32_t rc;
        const char* why;
    };
    const ErrorCase cases[] = {
        {{}, false, u"one", kNotFound, "empty file"},
        {Bytes(20, 0), false, u"one", kNotContainer, "20 bytes: shorter than a header"},
        {Bytes(20, 0), true, u"one", kNotContainer, "20 bytes, creating"},
        {Bytes(47, 0), false, u"one", kNotContainer, "47 bytes"},
        {badMagic, false, u"one", kFileIo, "bad magic in the first header"},
        {badMagic, true, u"new", kFileIo, "bad magic, creating"},
        {badSecondMagic, false, u"two", kNotContainer, "bad magic after the first header"},
        {Concat({Header(u"one", 100), Bytes(10, 0)}), false, u"other", kNotContainer,
         "truncated stream"},
        {Concat({Header(u"one", 100), Bytes(10, 0)}), false, u"one", kNotContainer,
         "the stream asked for is truncated"},
        {Concat({good, Bytes(20, 'K')}), false, u"two", kNotContainer,
         "a short header after the last stream"},
        {Concat({good, Header(u"two", 0xFFFFFFFFu)}), false, u"three", kNotContainer,
         "a length far beyond the file"},
        {good, false, u"two", kNotFound, "missing stream"},
        {good, false, u"ONE", kNotFound, "case counts"},
        {good, false, seventeen, kBadArgument, "long name, opening"},
        {good, true, seventeen, kBadArgument, "long name, creating"},
        {good, true, std::u16string(u"a\0b", 3), kBadArgument, "a zero inside a name"},
        {good, true, u"one", kExists, "duplicate"},
        {noTerminator, false, u"ABCDEFGHIJKLMNOP", kNotFound, "a stored name with no end"},
    };
    for (const ErrorCase& c : cases) {
        WriteAll(dir.File("bad.kp"), c.content);
        StreamFile* file = OpenFile("bad.kp");
        ASSERT_NE(file, nullptr) << c.why;
        Stream* s = nullptr;
        const int32_t rc = c.create ? file->CreateStream(c.name, &s) : file->OpenStream(c.name, &s);
        EXPECT_EQ(rc, c.rc) << c.why;
        EXPECT_EQ(s, nullptr) << c.why;
        ReleaseAll(s);
        ReleaseAll(file);
        EXPECT_EQ(ReadAll(dir.File("bad.kp")), c.content) << c.why << ": the file changed";
    }
}

TEST_F(Container, EmptyFileTakesItsFirstHeaderAtZero) {
    WriteAll(dir.File("empty.kp"), {});
    StreamFile* file = OpenFile("empty.kp");
    ASSERT_NE(file, nullptr);
    Stream* s = nullptr;
    ASSERT_EQ(file->CreateStream(u"first", &s), kOk);
    ReleaseAll(s);
    ReleaseAll(file);
    EXPECT_EQ(ReadAll(dir.File("empty.kp")), Header(u"first", 0));
}

TEST_F(Container, OneOpenStreamAtATime) {
    StreamFile* file = CreateFile("open.kp");
    ASSERT_NE(file, nullptr);
    Stream* a = nullptr;
    Stream* b = nullptr;
    ASSERT_EQ(file->CreateStream(u"a", &a), kOk);
    EXPECT_EQ(file->CreateStream(u"b", &b), kStreamAlreadyOpen);
    EXPECT_EQ(file->OpenStream(u"a", &b), kStreamAlreadyOpen);
    EXPECT_EQ(a->AddRef(), 2);
    EXPECT_EQ(a->Release(), 1);
    EXPECT_EQ(file->CreateStream(u"b", &b), kStreamAlreadyOpen);  // still referenced
    EXPECT_EQ(a->Release(), 0);
    ASSERT_EQ(file->CreateStream(u"b", &b), kOk);
    ReleaseAll(b);
    ASSERT_EQ(file->OpenStream(u"a", &a), kOk);
    ReleaseAll(a);
    ReleaseAll(file);
}

// New streams collect in memory and reach the file in large pieces; a header in the file never
// counts more data than the file holds, so a writer stopped at any point leaves whole streams.
TEST_F(Container, StreamGrowthReachesTheFileWhole) {
    StreamFile* file = CreateFile("grow.kp");
    ASSERT_NE(file, nullptr);
    Stream* s = nullptr;
    ASSERT_EQ(file->CreateStream(u"g", &s), kOk);
    auto lengthOnDisk = [&] {
        const Bytes b = ReadAll(dir.File("grow.kp"));
        return b.size() < 48 ? 0xFFFFFFFFu : b[44] | b[45] << 8 | b[46] << 16 | b[47] << 24u;
    };
    uint32_t n = 0;
    ASSERT_EQ(s->Write("0123456789", 10, &n), kOk);
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(lengthOnDisk(), 0xFFFFFFFFu) << "collected, not yet in the file";
    ASSERT_EQ(s->Seek(4, kSeekSet, nullptr), kOk);
    ASSERT_EQ(s->Write("ab", 2, &n), kOk);
    EXPECT_EQ(lengthOnDisk(), 10u) << "a write elsewhere sends what came before";
    ASSERT_EQ(s->Seek(9, kSeekSet, nullptr), kOk);
    ASSERT_EQ(s->Write("XYZ", 3, &n), kOk);
    EXPECT_EQ(lengthOnDisk(), 10u) << "the header counts only data in the file";
    uint32_t pos = 0;
    ASSERT_EQ(s->Seek(0, kSeekCur, &pos), kOk);
    EXPECT_EQ(pos, 12u);
    ASSERT_EQ(s->Seek(0, kSeekEnd, &pos), kOk);
    EXPECT_EQ(pos, 12u);
    char buf[4];
    EXPECT_EQ(s->Read(buf, 1, &n), kWrongMode);
    EXPECT_EQ(s->CopyTo(s, 1, &n), kWrongMode);
    ReleaseAll(s);
    EXPECT_EQ(lengthOnDisk(), 12u) << "closed: its last piece and its length";

    ASSERT_EQ(file->CreateStream(u"h", &s), kOk);
    ASSERT_EQ(s->Write("h", 1, &n), kOk);
    ReleaseAll(s);
    EXPECT_EQ(ReadAll(dir.File("grow.kp")).size(), 60u) << "the next stream is still collected";
    EXPECT_EQ(file->Flush(), kOk);
    const Bytes expected =
        Concat({Header(u"g", 12), Bytes{'0', '1', '2', '3', 'a', 'b', '6', '7', '8', 'X', 'Y', 'Z'},
                Header(u"h", 1), Bytes{'h'}});
    EXPECT_EQ(ReadAll(dir.File("grow.kp")), expected);
    // Reading a stream back sees every stream written before it.
    ASSERT_EQ(file->OpenStream(u"h", &s), kOk);
    ASSERT_EQ(s->Read(buf, 1, &n), kOk);
    EXPECT_EQ(buf[0], 'h');
    ReleaseAll(s);
    ReleaseAll(file);
    EXPECT_EQ(ReadAll(dir.File("grow.kp")), expected);
}

// A stream far larger than a piece, written in pieces of every size: at every step the file is a
// container whose last header counts no byte it does not hold.
TEST_F(Container, LargeStreamNeverOutrunsItsData) {
    StreamFile* file = CreateFile("large.kp");
    ASSERT_NE(file, nullptr);
    Stream* s = nullptr;
    ASSERT_EQ(file->CreateStream(u"first", &s), kOk);
    ASSERT_EQ(s->Write("abc", 3, nullptr), kOk);
    ReleaseAll(s);
    ASSERT_EQ(file->CreateStream(u"large", &s), kOk);
    Bytes data;
    for (uint32_t size : {1000u, 70000u, 1u, 65536u, 30000u, 200000u, 7u}) {
        Bytes piece(size);
        for (uint32_t i = 0; i < size; ++i) piece[i] = uint8_t((data.size() + i) * 7 + size);
        uint32_t n = 0;
        ASSERT_EQ(s->Write(piece.data(), size, &n), kOk);
        ASSERT_EQ(n, size);
        data.insert(data.end(), piece.begin(), piece.end());
        const Bytes disk = ReadAll(dir.File("large.kp"));
        SCOPED_TRACE("after " + std::to_string(data.size()) + " bytes");
        if (disk.size() <= 51 + 48) continue;  // the second header not yet in
        const size_t at = 51;
        const uint32_t counted = disk[at + 44] | disk[at + 45] << 8 | disk[at + 46] << 16 |
                                 uint32_t(disk[at + 47]) << 24;
        ASSERT_LE(size_t(counted), disk.size() - at - 48);
        EXPECT_TRUE(
            std::equal(disk.begin() + at + 48, disk.begin() + at + 48 + counted, data.begin()));
    }
    ReleaseAll(s);
    EXPECT_EQ(file->Flush(), kOk);
    EXPECT_EQ(ReadAll(dir.File("large.kp")),
              Concat({Header(u"first", 3), Bytes{'a', 'b', 'c'},
                      Header(u"large", uint32_t(data.size())), data}));
    ReleaseAll(file);
}

// Streams that cannot all reach the file (a full disk): the writer learns it from the write that
// sent them or from Flush, never from nothing, and the file keeps only whole streams.
TEST_F(Container, FullDiskIsAnsweredAndLeavesWholeStreams) {
    const std::string path = dir.File("full.kp");
    const int answer = qzs_test::RunWithFileSizeLimit(4096, [&] {
        StreamFile* file = CreateFile("full.kp");
        if (file == nullptr) return 1;
        Stream* s = nullptr;
        const Bytes small(1000, 's');
        for (int i = 0; i < 3; ++i) {  // 3 x 1,048 bytes: collected, then in the file
            const std::u16string name = u"s" + std::u16string(1, char16_t(u'0' + i));
            if (file->CreateStream(name, &s) != kOk) return 2;
            if (s->Write(small.data(), uint32_t(small.size()), nullptr) != kOk) return 3;
            ReleaseAll(s);
        }
        if (file->Flush() != kOk) return 4;
        if (file->CreateStream(u"big", &s) != kOk) return 5;
        const Bytes big(2000, 'b');  // past the limit once it goes out
        if (s->Write(big.data(), uint32_t(big.size()), nullptr) != kOk) return 6;
        ReleaseAll(s);
        const int32_t flushed = file->Flush();
        ReleaseAll(file);
        return flushed == kFileIo ? 0 : 7;
    });
    EXPECT_EQ(answer, 0);
    Bytes expected;
    for (int i = 0; i < 3; ++i) {
        expected = Concat({expected, Header(u"s" + std::u16string(1, char16_t(u'0' + i)), 1000),
                           Bytes(1000, 's')});
    }
    EXPECT_EQ(ReadAll(path), expected) << "the stream that did not fit is not left half-way";
}

// Every way a writer fills streams (records of a few bytes, a seek back over written bytes, a
// seek past the end, pieces larger than the writer keeps, an empty stream, a stream released
// while a second reference holds it) gives the bytes that the container wrote when every write
// went straight to the file: tests/fixtures/container/mixed_writes.kp was made by that writer.
TEST_F(Container, MixedWritesGiveTheBytesOfTheDirectWriter) {
    StreamFile* file = CreateFile("mixed.kp");
    ASSERT_NE(file, nullptr);
    Stream* s = nullptr;
    ASSERT_EQ(file->CreateStream(u"KPREPORT30", &s), kOk);
    for (int32_t id = 5001; id < 5040; ++id) {
        const int32_t value = id * 3;
        ASSERT_EQ(WriteTaggedRecord(s, {id, 4}, &value), kOk);
    }
    ReleaseAll(s);
    ASSERT_EQ(file->CreateStream(u"EMPTY", &s), kOk);
    ReleaseAll(s);
    ASSERT_EQ(file->CreateStream(u"SEEKS", &s), kOk);
    ASSERT_EQ(s->Write("0123456789", 10, nullptr), kOk);
    ASSERT_EQ(s->Seek(2, kSeekSet, nullptr), kOk);
    ASSERT_EQ(s->Write("ab", 2, nullptr), kOk);
    ASSERT_EQ(s->Seek(20, kSeekSet, nullptr), kOk);  // a hole of zeros
    ASSERT_EQ(s->Write("end", 3, nullptr), kOk);
    ASSERT_EQ(s->Seek(-1, kSeekEnd, nullptr), kOk);
    ASSERT_EQ(s->Write("D!", 2, nullptr), kOk);
    ReleaseAll(s);
    ASSERT_EQ(file->CreateStream(u"LARGE", &s), kOk);
    Bytes piece(70000);
    for (size_t i = 0; i < piece.size(); ++i) piece[i] = uint8_t(i * 31 + i / 251);
    ASSERT_EQ(s->Write(piece.data(), 1000, nullptr), kOk);
    ASSERT_EQ(s->Write(piece.data(), uint32_t(piece.size()), nullptr), kOk);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(s->Write(piece.data() + i * 700, 700, nullptr), kOk);
    ASSERT_EQ(s->Seek(100, kSeekSet, nullptr), kOk);
    ASSERT_EQ(s->Write("back", 4, nullptr), kOk);
    ReleaseAll(s);
    ASSERT_EQ(file->CreateStream(u"HELD", &s), kOk);
    ASSERT_EQ(s->Write("held", 4, nullptr), kOk);
    s->AddRef();
    EXPECT_EQ(s->Release(), 1);
    ASSERT_EQ(s->Write("!", 1, nullptr), kOk);
    ReleaseAll(s);
    ASSERT_EQ(file->CreateStream(u"ABCDEFGHIJKLMNOP", &s), kOk);
    ASSERT_EQ(s->Write("last", 4, nullptr), kOk);
    ReleaseAll(s);
    ReleaseAll(file);

    const Bytes golden =
        ReadAll(std::string(QZS_SOURCE_DIR) + "/tests/fixtures/container/mixed_writes.kp");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(ReadAll(dir.File("mixed.kp")), golden);
}

TEST_F(Container, SeekTable) {
    WriteAll(dir.File("seek.kp"), Concat({Header(u"s", 10), Bytes(10, 's')}));
    StreamFile* file = OpenFile("seek.kp", kAccessRead);
    ASSERT_NE(file, nullptr);
    Stream* s = nullptr;
    ASSERT_EQ(file->OpenStream(u"s", &s), kOk);
    struct SeekCase {
        int32_t offset, origin, rc;
        uint32_t position;
    };
    // Each row starts where the previous one left the position.
    const SeekCase cases[] = {
        {4, kSeekSet, kOk, 4},
        {3, kSeekCur, kOk, 7},
        {-2, kSeekEnd, kOk, 8},
        {5, kSeekEnd, kOk, 15},
        {-100, kSeekCur, kOk, 0},
        {-1, kSeekSet, kOk, 0},
        {7, kSeekSet, kOk, 7},
        {1, 3, kBadArgument, 7},
        {1, -1, kBadArgument, 7},
        {INT32_MAX, kSeekSet, kOk, 0x7FFFFFFF},
        {INT32_MAX, kSeekCur, kOk, 0xFFFFFFFE},
        {INT32_MAX, kSeekCur, kOk, 0xFFFFFFFF},  // stops at the largest position
    };
    for (const SeekCase& c : cases) {
        uint32_t pos = 12345;
        EXPECT_EQ(s->Seek(c.offset, c.origin, &pos), c.rc) << c.offset << "/" << c.origin;
        EXPECT_EQ(pos, c.position) << c.offset << "/" << c.origin;
    }
    char buf[2];
    uint32_t got = 0;
    EXPECT_EQ(s->Read(buf, 2, &got), kEndOfStream);
    EXPECT_EQ(s->SetSize(5), kNotImplemented);
    void* iface = s;
    EXPECT_EQ(s->QueryInterface(nullptr, &iface), kNotImplemented);
    EXPECT_EQ(iface, nullptr);
    ReleaseAll(s);
    ReleaseAll(file);
}

// A stream keeps its file open, so the order of the last two Releases does not matter.
TEST_F(Container, StreamOutlivesTheReleasedFile) {
    StreamFile* file = CreateFile("late.kp");
    ASSERT_NE(file, nullptr);
    Stream* s = nullptr;
    ASSERT_EQ(file->CreateStream(u"late", &s), kOk);
    EXPECT_EQ(file->Release(), 1);  // the stream's reference is left
    uint32_t n = 0;
    ASSERT_EQ(s->Write("still here", 10, &n), kOk);
    EXPECT_EQ(s->Release(), 0);
    EXPECT_EQ(
        ReadAll(dir.File("late.kp")),
        Concat({Header(u"late", 10), Bytes{'s', 't', 'i', 'l', 'l', ' ', 'h', 'e', 'r', 'e'}}));
}

TEST_F(Container, FactoryCodes) {
    WriteAll(dir.File("exists.kp"), {});
    std::filesystem::create_directory(dir.File("folder"));
    struct FactoryCase {
        bool create;
        std::u16string path;
        uint16_t mode;
        uint32_t access;
        int32_t rc;
        const char* why;
    };
    const FactoryCase cases[] = {
        {true, dir.Wide("new.kp"), kCreateNew, kAccessReadWrite, kOk, "new file"},
        {true, dir.Wide("exists.kp"), kCreateNew, kAccessReadWrite, kExists, "mode 1, exists"},
        {true, dir.Wide("exists.kp"), kCreateAlways, kAccessReadWrite, kOk, "mode 3 truncates"},
        {true, dir.Wide("x.kp"), 2, kAccessReadWrite, kBadArgument, "creation mode 2"},
        {true, dir.Wide("x.kp"), 0, kAccessReadWrite, kBadArgument, "creation mode 0"},
        {true, dir.Wide("x.kp"), kCreateAlways, 0, kBadArgument, "no access"},
        {true, dir.Wide("none/x.kp"), kCreateAlways, kAccessReadWrite, kFileOther,
         "missing folder"},
        {true, dir.Wide("folder"), kCreateAlways, kAccessReadWrite, kFileOther, "a folder"},
        {true, u"/tmp/\xD800.kp", kCreateAlways, kAccessReadWrite, kPathConversion,
         "a lone surrogate"},
        {false, dir.Wide("exists.kp"), 0, kAccessRead, kOk, "existing file"},
        {false, dir.Wide("missing.kp"), 0, kAccessRead, kNotFound, "missing file"},
        {false, dir.Wide("none/x.kp"), 0, kAccessRead, kNotFound, "missing folder"},
        {false, dir.Wide("folder"), 0, kAccessRead, kFileOther, "a folder is not a container"},
        {false, dir.Wide("exists.kp"), 0, 4, kBadArgument, "access 4"},
        {false, std::u16string(u"/tmp\0x", 6), 0, kAccessRead, kPathConversion, "a zero inside"},
    };
    for (const FactoryCase& c : cases) {
        StreamFile* file = reinterpret_cast<StreamFile*>(1);
        const int32_t rc = c.create ? factory.Create(c.path, c.mode, c.access, &file)
                                    : factory.Open(c.path, c.access, &file);
        EXPECT_EQ(rc, c.rc) << c.why;
        EXPECT_EQ(file != nullptr, rc == kOk) << c.why;
        if (rc == kOk) ReleaseAll(file);
    }
    EXPECT_EQ(factory.AddRef(), 1);
    EXPECT_EQ(factory.Release(), 0);
}

TEST_F(Container, FileNamesAreUtf8OnDisk) {
    StreamFile* file = CreateFile("帳票.kp");
    ASSERT_NE(file, nullptr);
    ReleaseAll(file);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(dir.File("帳票.kp"))));
}

// Root reads every file through its capabilities, and CI runs as root: the open runs in a child
// that has dropped them all, so the mode bits bind it as they bind an installer's own account.
TEST_F(Container, UnreadableFileIsAccessDenied) {
    WriteAll(dir.File("locked.kp"), {});
    ASSERT_EQ(chmod(dir.File("locked.kp").c_str(), 0), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
        if (syscall(SYS_capset, &header, none) != 0) _exit(2);
        StreamFile* file = nullptr;
        _exit(factory.Open(dir.Wide("locked.kp"), kAccessRead, &file) == kAccessDenied ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: opened, or failed with another code; 2: capset failed";
}

TEST_F(Container, TaggedRecordEdges) {
    StreamFile* file = CreateFile("rec.kp");
    ASSERT_NE(file, nullptr);
    Stream* s = nullptr;
    ASSERT_EQ(file->CreateStream(u"r", &s), kOk);
    const char value[4] = {'v', 'v', 'v', 'v'};
    EXPECT_EQ(WriteTaggedRecord(s, {1, -4}, value), kBadArgument);  // would read before value
    EXPECT_EQ(WriteTaggedRecord(s, {2, -4}, nullptr), kOk);         // header only
    EXPECT_EQ(WriteTaggedRecord(nullptr, {3, 0}, nullptr), kBadPointer);
    ReleaseAll(s);
    ASSERT_EQ(file->OpenStream(u"r", &s), kOk);
    EXPECT_EQ(WriteTaggedRecord(s, {4, 0}, nullptr), kWrongMode);  // the stream's failure
    ReleaseAll(s);
    ReleaseAll(file);
    EXPECT_EQ(ReadAll(dir.File("rec.kp")),
              Concat({Header(u"r", 8), Le32(2), Le32(static_cast<uint32_t>(-4))}));
}

}  // namespace
}  // namespace kp
