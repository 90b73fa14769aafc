// The records of a saved report file: the document information, page records and embedded fonts
// written and read back, their bytes, and damaged streams that must stay bounded.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "engine/core/byte_stream.h"
#include "engine/core/container.h"
#include "engine/preview/file_records.h"

namespace kp::preview {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Contents(ByteStream& s) {
    uint32_t end = 0;
    s.Seek(0, kSeekEnd, &end);
    s.Seek(0, kSeekSet, nullptr);
    Bytes b(end);
    uint32_t read = 0;
    if (end) s.Read(b.data(), end, &read);
    s.Seek(0, kSeekSet, nullptr);
    return b;
}

void Load(ByteStream& s, const Bytes& b) {
    uint32_t written = 0;
    if (!b.empty()) s.Write(b.data(), uint32_t(b.size()), &written);
    s.Seek(0, kSeekSet, nullptr);
}

void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Record(int32_t id, const Bytes& value, int64_t length = -1) {
    Bytes b;
    Put32(b, uint32_t(id));
    Put32(b, uint32_t(length < 0 ? int64_t(value.size()) : length));
    b.insert(b.end(), value.begin(), value.end());
    return b;
}

TEST(ReportFileRecords, DocumentInformationRoundTripAndOrder) {
    DocumentInfo in;
    in.title = u"月次報告";
    in.subTitle = u"サブ";
    in.keywords = u"";
    in.creator = u"qzs";
    in.password = u"pa\u00e9ss";  // é has no CP932 form: kept as typed
    in.protect = 1;
    in.noPrint = 1;
    in.author = u"作成者";
    in.indexVisible = 1;
    in.flag = 1;
    in.firstPageValue = 7;
    in.updateDate = 46000.5;
    ByteStream s;
    ASSERT_EQ(WriteDocumentInfo(&s, in), 0);
    const Bytes b = Contents(s);
    // Record ids in their written order, and an absent keyword string as length 0.
    std::vector<int32_t> ids;
    size_t at = 0;
    while (at + 8 <= b.size()) {
        int32_t id, len;
        std::memcpy(&id, &b[at], 4);
        std::memcpy(&len, &b[at + 4], 4);
        ids.push_back(id);
        if (id == 3009) {
            EXPECT_EQ(len, 0);
        }
        if (id == 3002) {
            EXPECT_EQ(len, 2 * 4 + 2);
        }
        if (id == 3011) {
            EXPECT_EQ(len, 8);
        }
        at += 8 + size_t(len);
    }
    EXPECT_EQ(at, b.size());
    EXPECT_EQ(ids, (std::vector<int32_t>{3002, 3008, 3009, 3007, 3004, 3005, 3006, 3003, 3038, 3044,
                                         3010, 3011}));
    DocumentInfo out;
    ASSERT_EQ(ReadDocumentInfo(&s, &out), 0);
    EXPECT_EQ(out.title, in.title);
    EXPECT_EQ(out.keywords, u"");
    EXPECT_EQ(out.password, in.password);
    EXPECT_EQ(out.author, in.author);
    EXPECT_EQ(out.protect, 1);
    EXPECT_EQ(out.noPrint, 1);
    EXPECT_EQ(out.flag, 1);
    EXPECT_EQ(out.firstPageValue, 7);
    EXPECT_EQ(out.updateDate, 46000.5);
}

TEST(ReportFileRecords, PageRecordRoundTripAndDefaultHeading) {
    FilePageRecord in;
    in.outlineParent = 0;
    in.heading = DefaultHeading(12);
    EXPECT_EQ(in.heading, u"12ページ");
    in.orientation = 2;
    in.paperSize = 9;
    in.paperWidth = 2100;
    in.paperLength = 2970;
    ByteStream s;
    ASSERT_EQ(WritePageRecord(&s, in), 0);
    s.Seek(0, kSeekSet, nullptr);  // readers start where the stream stands
    FilePageRecord out;
    ASSERT_EQ(ReadPageRecord(&s, &out), 0);
    EXPECT_EQ(out.outlineParent, 0);
    EXPECT_EQ(out.heading, u"12ページ");
    EXPECT_EQ(out.orientation, 2);
    EXPECT_EQ(out.paperSize, 9);
    EXPECT_EQ(out.paperWidth, 2100);
    EXPECT_EQ(out.paperLength, 2970);
}

TEST(ReportFileRecords, ReadersTolerateWhatTheFormatAllowsAndRefuseTheRest) {
    struct Case {
        const char* why;
        Bytes bytes;
        int32_t rc;
        int16_t width;   // paper width afterwards
        int32_t parent;  // outline parent afterwards
    } cases[] = {
        {"empty stream", {}, 0, 0, -1},
        {"unknown id skipped", Record(9999, {1, 2, 3}), 0, 0, -1},
        {"length 0 keeps the default", Record(3013, {}), 0, 0, -1},
        {"a longer number reads its width",
         Concat(Record(3017, {0x34, 0x08, 0xFF, 0xFF}), Record(3013, {5, 0, 0, 0})), 0, 0x0834, 5},
        {"a shorter number fills the low bytes", Record(3013, {2}), 0, 0, 2},
        {"header cut short", Bytes{0xC9, 0x0B, 0, 0, 4}, kFileDamaged, 0, -1},
        {"value cut short", Record(3013, {1, 0}, 4), kFileDamaged, 0, -1},
        {"length far past the end", Record(3036, {0x41, 0}, 0xFFFFFFF0), kFileDamaged, 0, -1},
    };
    for (const Case& c : cases) {
        ByteStream s;
        Load(s, c.bytes);
        FilePageRecord r;
        EXPECT_EQ(ReadPageRecord(&s, &r), c.rc) << c.why;
        EXPECT_EQ(r.paperWidth, c.width) << c.why;
        EXPECT_EQ(r.outlineParent, c.parent) << c.why;
    }
}

TEST(ReportFileRecords, StringsStopAtTheirTerminatorAndOddBytes) {
    ByteStream s;
    Load(s, Concat(Record(3002, {'A', 0, 0, 0, 'B', 0}), Record(3003, {'x', 0, 'y'})));
    DocumentInfo d;
    ASSERT_EQ(ReadDocumentInfo(&s, &d), 0);
    EXPECT_EQ(d.title, u"A");
    EXPECT_EQ(d.author, u"x");
}

TEST(ReportFileRecords, EmbeddedFontsWithinABudget) {
    ByteStream s;
    const Bytes f0(100, 0xAB), f1(300, 0xCD);
    ASSERT_EQ(WriteEmbeddedFont(&s, 0, f0), 0);
    ASSERT_EQ(WriteEmbeddedFont(&s, 12, f1), 0);
    s.Seek(0, kSeekSet, nullptr);
    std::vector<EmbeddedFont> fonts;
    ASSERT_EQ(ReadEmbeddedFonts(&s, 1000, &fonts), 0);
    ASSERT_EQ(fonts.size(), 2u);
    EXPECT_EQ(fonts[0].name, u"EmbedFont0000");
    EXPECT_EQ(fonts[1].name, u"EmbedFont0012");
    EXPECT_EQ(fonts[1].data, f1);
    // Over the budget: the fonts so far stay, the rest is refused.
    s.Seek(0, kSeekSet, nullptr);
    fonts.clear();
    EXPECT_EQ(ReadEmbeddedFonts(&s, 350, &fonts), kFileDamaged);
    EXPECT_EQ(fonts.size(), 1u);
}

TEST(ReportFileRecords, ThroughTheCompressedContainer) {
    char dir[] = "/tmp/kprecXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/a.k3v";
    const std::string expanded = std::string(dir) + "/x";
    const std::u16string wide(path.begin(), path.end());
    {
        CompressedStreamFileFactory factory;
        StreamFile* file = nullptr;
        ASSERT_EQ(factory.Create(wide, kCreateNew, kAccessReadWrite, &file), 0);
        Stream* st = nullptr;
        file->GetZlibFile()->SetUserValue(0);
        ASSERT_EQ(file->CreateStream(kDocumentStream, &st), 0);
        DocumentInfo d;
        d.title = u"T";
        ASSERT_EQ(WriteDocumentInfo(st, d), 0);
        st->Release();
        for (int page = 1; page <= 3; ++page) {
            file->GetZlibFile()->SetUserValue(page - 1);
            ASSERT_EQ(file->CreateStream(kPageStream, &st), 0);
            FilePageRecord r;
            r.paperWidth = int16_t(1000 + page);
            ASSERT_EQ(WritePageRecord(st, r), 0);
            st->Release();
        }
        file->Release();
        ASSERT_EQ(factory.GetZlibFile()->Close(), 0);
    }
    CompressedStreamFileFactory reader;
    StreamFile* packed = nullptr;
    ASSERT_EQ(reader.Open(wide, kAccessRead, &packed), 0);
    ASSERT_EQ(reader.GetZlibFile()->ExpandToFile(expanded), 0);
    packed->Release();
    StreamFileFactory plain;
    StreamFile* file = nullptr;
    ASSERT_EQ(plain.Open(std::u16string(expanded.begin(), expanded.end()), kAccessRead, &file), 0);
    Stream* st = nullptr;
    ASSERT_EQ(file->OpenStream(u"KPFILE30PAGE-2", &st), 0);
    FilePageRecord r;
    EXPECT_EQ(ReadPageRecord(st, &r), 0);
    EXPECT_EQ(r.paperWidth, 1002);
    st->Release();
    ASSERT_EQ(file->OpenStream(u"KPFILE30-1", &st), 0);
    DocumentInfo d;
    EXPECT_EQ(ReadDocumentInfo(st, &d), 0);
    EXPECT_EQ(d.title, u"T");
    st->Release();
    file->Release();
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kp::preview
