// The PDF file writer: the exact bytes of small documents against text built here, every
// cross-reference entry landing on its object, the deflate stages, images of every depth, the
// temporary name that only a finished file leaves, and qpdf's opinion of the result.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/output/pdf_format.h"
#include "engine/output/pdf_writer.h"
#include "pdf_test_support.h"

namespace kp {
namespace {

using namespace pdftest;
using namespace pdf_code;

// 2026-12-10 17:09:13 UTC.
constexpr std::time_t kClock = 1796922553;

// The fonts of a document as the writer sees them: numbers the pages name, objects planned at
// the end, and a planning failure where a test puts one.
class FakeFonts final : public PdfFontObjects {
  public:
    struct Font {
        uint32_t object = 0;
        std::vector<PdfObject> plan;
        int planResult = kOk;
    };
    std::vector<Font> fonts;
    std::vector<int> asked;

    int count() const override { return int(fonts.size()); }
    uint32_t object(int index) const override { return fonts[size_t(index)].object; }
    int Plan(int index, std::vector<PdfObject>& objects) override {
        asked.push_back(index);
        objects = fonts[size_t(index)].plan;
        return fonts[size_t(index)].planResult;
    }
};

class PdfWriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(writer.AllocateTables(), kOk);
        writer.SetClock([] { return kClock; });
        path = dir.File("out.pdf");
    }

    int Finish(const std::u16string* texts[5] = nullptr) {
        const std::u16string* none[5] = {};
        return writer.FinishFile(texts != nullptr ? texts : none, fonts);
    }
    // An empty page of A4.
    int AddPage() {
        int rc = writer.BeginPage();
        if (rc == kOk) rc = writer.FinishPage(21000, 29700, fonts);
        return rc;
    }

    TempDir dir;
    PdfFileWriter writer;
    FakeFonts fonts;
    std::string path;
};

TEST(PdfFormat, ConversionsAreLocaleFreeAndPadded) {
    struct Case {
        std::string got, want;
    } cases[] = {
        {PdfFormat("%d 0 obj\r", 12), "12 0 obj\r"},
        {PdfFormat("%010d 00000 n\r\n", 1234), "0000001234 00000 n\r\n"},
        {PdfFormat("%04X|%04x|%02X", 0xA5, 0xbeef, 7), "00A5|beef|07"},
        {PdfFormat("%.2f %.3f", 595.2755905, -0.0004), "595.28 -0.000"},
        {PdfFormat("/F%04d %.3f Tf", 3, 10.5), "/F0003 10.500 Tf"},
        {PdfFormat("%s-%d%%", "a", -5), "a--5%"},
        {PdfFormat("%04d", -7), "-007"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(DeflateBufferTest, CompressesWithSyncFlushesAndGrowsInSteps) {
    DeflateBuffer b;
    EXPECT_EQ(b.Write("plain "), kOk);  // not compressing: as it is
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data().data()), b.size()), "plain ");
    b.Empty();
    ASSERT_EQ(b.Begin(), kOk);
    EXPECT_EQ(b.Begin(), kDeflateBegun);
    std::string text;
    for (int i = 0; i < 20000; ++i) text += PdfFormat("%d %d m\r", i, i * 7);
    ASSERT_EQ(b.Write(text.substr(0, 100)), kOk);
    // Every write is flushed: what is there so far inflates to what was written.
    z_stream z{};
    ASSERT_EQ(inflateInit(&z), Z_OK);
    std::string got(100, '\0');
    z.next_in = const_cast<Bytef*>(b.data().data());
    z.avail_in = uInt(b.size());
    z.next_out = reinterpret_cast<Bytef*>(got.data());
    z.avail_out = 100;
    EXPECT_EQ(inflate(&z, Z_SYNC_FLUSH), Z_OK);
    inflateEnd(&z);
    EXPECT_EQ(got, text.substr(0, 100));
    ASSERT_EQ(b.Write(text.substr(100)), kOk);
    ASSERT_EQ(b.Finish(), kOk);
    EXPECT_FALSE(b.compressing());
    EXPECT_EQ(Inflate(std::string(reinterpret_cast<const char*>(b.data().data()), b.size())), text);
}

// The whole file of an empty document, byte for byte.
TEST_F(PdfWriterTest, EmptyDocumentBytes) {
    ASSERT_EQ(writer.CreateFile(path, false), kOk);
    ASSERT_EQ(Finish(), kOk);
    const std::string head = std::string("%PDF-1.3\r") + "\x25\xE2\xE3\xCF\xD3\r\n";
    const std::string catalog =
        "1 0 obj\r<<\r/Type /Catalog\r/Pages 2 0 R\r/Outlines 3 0 R\r>>\rendobj\r";
    const std::string pages = "2 0 obj\r<<\r/Kids [\r ]\r/Count 0\r/Type /Pages\r>>\rendobj\r";
    const std::string outlines = "3 0 obj\r<<\r/Type /Outlines\r/Count 0\r>>\rendobj\r";
    std::string producer;
    for (char c : std::string("Tessaryn Corp. Kelvaprint Version 3.0")) {
        producer += PdfFormat("%04X", unsigned(c));
    }
    const std::string info = "4 0 obj\r<<\r/Producer <FEFF" + producer +
                             ">\r/CreationDate (D:20261210170913)\r>>\rendobj\r";
    const size_t o1 = head.size(), o2 = o1 + catalog.size(), o3 = o2 + pages.size(),
                 o4 = o3 + outlines.size(), xref = o4 + info.size();
    const std::string want =
        head + catalog + pages + outlines + info + "xref\r0 5\r" + "0000000000 65535 f\r\n" +
        PdfFormat("%010d 00000 n\r\n", o1) + PdfFormat("%010d 00000 n\r\n", o2) +
        PdfFormat("%010d 00000 n\r\n", o3) + PdfFormat("%010d 00000 n\r\n", o4) +
        "trailer\r<<\r/Size 5\r/Root 1 0 R\r/Info 4 0 R\r>>\rstartxref\r" + std::to_string(xref) +
        "\r%%EOF";
    EXPECT_EQ(ReadFile(path), want);
    EXPECT_EQ(dir.Count(), 1u);  // no temporary left
}

TEST_F(PdfWriterTest, PagesTreeBreaksAfterEveryTenthReferenceFromTheNinth) {
    struct Case {
        int pages;
        std::vector<int> breaksAfter;  // page numbers followed by a CR
    } cases[] = {{9, {9}}, {10, {9}}, {20, {9, 19}}, {1, {}}};
    for (const auto& c : cases) {
        PdfFileWriter w;
        FakeFonts pageFonts;
        ASSERT_EQ(w.AllocateTables(), kOk);
        const std::string file = dir.File("pages" + std::to_string(c.pages) + ".pdf");
        ASSERT_EQ(w.CreateFile(file, false), kOk);
        std::vector<uint32_t> pageObjects;
        for (int i = 0; i < c.pages; ++i) {
            ASSERT_EQ(w.BeginPage(), kOk);
            ASSERT_EQ(w.FinishPage(21000, 29700, pageFonts), kOk);
        }
        const std::u16string* none[5] = {};
        ASSERT_EQ(w.FinishFile(none, pageFonts), kOk);
        const std::string pdf = ReadFile(file);
        const std::string kids = Object(pdf, 2);
        // Each page is contents, fonts, procedure set and page: page i is object 4 + 4i + 3.
        std::string want = "2 0 obj\r<<\r/Kids [\r";
        for (int i = 1; i <= c.pages; ++i) {
            want += std::to_string(4 + 4 * (i - 1) + 3) + " 0 R ";
            if (std::find(c.breaksAfter.begin(), c.breaksAfter.end(), i) != c.breaksAfter.end()) {
                want += "\r";
            }
        }
        want += " ]\r/Count " + std::to_string(c.pages) + "\r/Type /Pages\r>>\rendobj";
        EXPECT_EQ(kids, want) << c.pages;
    }
}

TEST_F(PdfWriterTest, PageObjectsAndEveryXrefEntryHitsItsObject) {
    ASSERT_EQ(writer.CreateFile(path, false), kOk);
    ASSERT_EQ(writer.BeginPage(), kOk);
    ASSERT_EQ(writer.content().Write("0 0 m\r10 10 l\rS\r"), kOk);
    // A landscape A4 page.
    ASSERT_EQ(writer.FinishPage(29700, 21000, fonts), kOk);
    ASSERT_EQ(Finish(), kOk);
    const std::string pdf = ReadFile(path);
    const auto offsets = XrefOffsets(pdf);
    ASSERT_EQ(offsets.size(), 9u);  // contents, fonts, procedure set, page, information
    for (uint32_t n = 1; n < offsets.size(); ++n) {
        EXPECT_EQ(
            pdf.compare(offsets[n], std::to_string(n).size() + 6, std::to_string(n) + " 0 obj"), 0)
            << n;
    }
    const std::string contents = Object(pdf, 4);
    EXPECT_EQ(contents.substr(0, contents.find("stream\r\n") + 8),
              "4 0 obj\r<< /Length " + std::to_string(StreamData(contents).size()) +
                  " /Filter /FlateDecode >>\rstream\r\n");
    EXPECT_EQ(Inflate(StreamData(Object(pdf, 4))), "0 0 m\r10 10 l\rS\r");
    EXPECT_EQ(Object(pdf, 5), "5 0 obj\r<<\r>>\rendobj");
    EXPECT_EQ(Object(pdf, 6), "6 0 obj\r[ /PDF /Text /ImageB /ImageC /ImageI ]\rendobj");
    EXPECT_EQ(Object(pdf, 7),
              "7 0 obj\r<<\r/Type /Page\r/Parent 2 0 R\r/MediaBox [ 0 0 841.89 595.28 ]\r"
              "/Resources <<\r/ProcSet 6 0 R\r/Font 5 0 R\r>>\r/Contents 4 0 R\r>>\rendobj");
    int status = -1;
    RunCommand("qpdf --check " + path + " 2>&1", &status);
    EXPECT_EQ(status, 0);
}

// Page content is gathered into large pieces before deflate: small writes, one larger than a
// piece and one that ends exactly where a piece fills come out whole and in order.
TEST_F(PdfWriterTest, PageContentWrittenInPiecesInflatesToWhatWasWritten) {
    ASSERT_EQ(writer.CreateFile(path, false), kOk);
    std::string want;
    auto put = [&](const std::string& text) {
        want += text;
        return writer.WriteContent(text);
    };
    ASSERT_EQ(writer.BeginPage(), kOk);
    for (int i = 0; i < 9000; ++i) ASSERT_EQ(put(PdfFormat("%d %d m\r", i, i * 3)), kOk);
    ASSERT_EQ(put(std::string(200000, 'x') + "\r"), kOk);
    ASSERT_EQ(put("q\r"), kOk);
    ASSERT_EQ(put(std::string(65536 - 2, 'y')), kOk);
    ASSERT_EQ(put("Q\r"), kOk);
    ASSERT_EQ(writer.FinishPage(21000, 29700, fonts), kOk);
    ASSERT_EQ(writer.BeginPage(), kOk);  // a second page starts empty
    ASSERT_EQ(writer.WriteContent("S\r"), kOk);
    ASSERT_EQ(writer.FinishPage(21000, 29700, fonts), kOk);
    ASSERT_EQ(Finish(), kOk);
    const std::string pdf = ReadFile(path);
    EXPECT_TRUE(Inflate(StreamData(Object(pdf, 4))) == want);
    EXPECT_EQ(Inflate(StreamData(Object(pdf, 8))), "S\r");
}

TEST_F(PdfWriterTest, InformationTextsInTheirOrder) {
    ASSERT_EQ(writer.CreateFile(path, false), kOk);
    const std::u16string creator = u"c", title = u"abc", author = u"日本";
    const std::u16string* texts[5] = {&creator, &title, nullptr, &author, nullptr};
    ASSERT_EQ(Finish(texts), kOk);
    const std::string info = Object(ReadFile(path), 4);
    EXPECT_EQ(
        info.substr(0, 80),
        "4 0 obj\r<<\r/Creator <FEFF0063>\r/Title <FEFF006100620063>\r/Author <FEFF65E5672C>\r");
    EXPECT_NE(info.find("/Producer <FEFF"), std::string::npos);
    EXPECT_EQ(info.find("/Subject"), std::string::npos);
}

TEST_F(PdfWriterTest, ExistingFileIsRefusedOrReplacedOnlyWhenFinished) {
    WriteFile(path, "old");
    EXPECT_EQ(writer.CreateFile(path, false), kFileExists);
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(dir.Count(), 1u);

    ASSERT_EQ(writer.CreateFile(path, true), kOk);
    ASSERT_EQ(AddPage(), kOk);
    EXPECT_EQ(ReadFile(path), "old");  // still the old file while the new one is written
    ASSERT_EQ(Finish(), kOk);
    EXPECT_EQ(ReadFile(path).substr(0, 8), "%PDF-1.3");
    EXPECT_EQ(dir.Count(), 1u);

    // An export given up leaves nothing, and a missing folder cannot be created in.
    const std::string other = dir.File("given-up.pdf");
    ASSERT_EQ(writer.CreateFile(other, false), kOk);
    ASSERT_EQ(AddPage(), kOk);
    writer.Abandon();
    EXPECT_FALSE(std::filesystem::exists(other));
    EXPECT_EQ(dir.Count(), 1u);
    EXPECT_EQ(writer.CreateFile(dir.File("no/such.pdf"), true), kCreateFailed);
    // Closing a file that was never opened.
    EXPECT_EQ(Finish(), kPosition);
}

TEST_F(PdfWriterTest, LimitsOfObjectsAndPages) {
    ASSERT_EQ(writer.CreateFile(path, false), kOk);
    uint32_t n = 0;
    int rc = kOk;
    while (rc == kOk) rc = writer.Tell(n);
    EXPECT_EQ(rc, kObjectLimit);
    EXPECT_EQ(n, kPdfMaxObject);
    writer.Abandon();
    // The same tables serve the next file, numbered afresh from the catalog on.
    const std::string again = dir.File("again.pdf");
    ASSERT_EQ(writer.CreateFile(again, false), kOk);
    ASSERT_EQ(writer.Tell(n), kOk);
    EXPECT_EQ(n, 4u);
    ASSERT_EQ(writer.Write(PdfFormat("%d 0 obj\r<< >>\rendobj\r", n)), kOk);
    ASSERT_EQ(AddPage(), kOk);
    ASSERT_EQ(Finish(), kOk);
    int status = -1;
    RunCommand("qpdf --check " + again + " 2>&1", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(XrefOffsets(ReadFile(again)).size(), 10u);

    // Each page starts and ends a level-9 deflate state of about 270 KB; glibc gives that back
    // to the system at the heap's top and takes it again for the next page, and on a virtual
    // machine the page faults of 9,999 such rounds took a minute. A heap top that stays put keeps
    // the page limit, which is what is tested here, to about a second.
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_TOP_PAD, 64 << 20);
    PdfFileWriter w;
    FakeFonts pageFonts;
    ASSERT_EQ(w.AllocateTables(), kOk);
    ASSERT_EQ(w.CreateFile(dir.File("pages.pdf"), false), kOk);
    for (int i = 0; i < kPdfMaxPages; ++i) {
        ASSERT_EQ(w.BeginPage(), kOk);
        ASSERT_EQ(w.FinishPage(100, 100, pageFonts), kOk);
    }
    EXPECT_EQ(w.BeginPage(), kPageLimit);
}

// A font hands its objects over as data: the writer numbers them after what it has written,
// resolves references forwards and backwards, keeps the number a page already named, and
// deflates the streams with their lengths.
TEST_F(PdfWriterTest, ObjectsHandedOverAsData) {
    ASSERT_EQ(writer.CreateFile(path, true), kOk);
    uint32_t named = 0;
    ASSERT_EQ(writer.Tell(named), kOk);  // as a page names a font before it is written
    ASSERT_EQ(writer.Write("% placeholder\r"), kOk);

    std::vector<PdfObject> objects(4);
    objects[0].Text("<< /Next ").Ref(1).Text(" /Last ").Ref(3).Text(" >>");
    objects[1].stream = true;
    objects[1].length1 = true;
    objects[1].data = std::string(3000, 'x') + "end";
    objects[2].stream = true;
    objects[2].data = "abc";
    objects[3].numbered = named;
    objects[3].Text("<< /First ").Ref(0).Text(" /Map ").Ref(2).Text(" >>");
    ASSERT_EQ(writer.WriteObjects(objects), kOk);
    ASSERT_EQ(Finish(), kOk);

    const std::string pdf = ReadFile(path);
    const uint32_t first = named + 1;
    const std::string head =
        PdfFormat("%d 0 obj\r<< /Next %d 0 R /Last %d 0 R >>\rendobj\r", first, first + 1, named);
    EXPECT_EQ(Object(pdf, first) + "\r", head);
    const std::string file = Object(pdf, first + 1);
    EXPECT_EQ(Inflate(StreamData(file)), objects[1].data);
    EXPECT_NE(file.find(PdfFormat("<< /Filter /FlateDecode /Length %d /Length1 3003 >>\rstream\r\n",
                                  StreamData(file).size())),
              std::string::npos)
        << file;
    const std::string map = Object(pdf, first + 2);
    EXPECT_EQ(Inflate(StreamData(map)), "abc");
    EXPECT_EQ(map.find("/Length1"), std::string::npos);
    EXPECT_EQ(Object(pdf, named), PdfFormat("%d 0 obj\r<< /First %d 0 R /Map %d 0 R >>\rendobj",
                                            named, first, first + 2));
    int status = -1;
    RunCommand("qpdf --check '" + path + "' 2>&1", &status);
    EXPECT_EQ(status, 0);
}

// Pages name every font the document has so far; at the end each font's planned objects are
// written in font order under the numbers the pages name, and a font that cannot be planned
// fails the file, which then never takes its name.
TEST_F(PdfWriterTest, FontsComeThroughTheDocumentsFontObjects) {
    ASSERT_EQ(writer.CreateFile(path, true), kOk);
    for (int i = 0; i < 2; ++i) {
        FakeFonts::Font font;
        ASSERT_EQ(writer.Tell(font.object), kOk);
        font.plan.resize(2);
        font.plan[0].Text(PdfFormat("<< /Descriptor %d >>", i));
        font.plan[1].numbered = font.object;
        font.plan[1].Text("<< /Type /Font /FontDescriptor ").Ref(0).Text(" >>");
        fonts.fonts.push_back(font);
        ASSERT_EQ(writer.BeginPage(), kOk);
        ASSERT_EQ(writer.FinishPage(21000, 29700, fonts), kOk);
    }
    ASSERT_EQ(Finish(), kOk);
    EXPECT_EQ(fonts.asked, (std::vector<int>{0, 1}));

    const std::string pdf = ReadFile(path);
    const std::vector<uint32_t> pages = PageObjects(pdf);
    ASSERT_EQ(pages.size(), 2u);
    const std::string one = PdfFormat("/F0000 %d 0 R\r", fonts.fonts[0].object);
    const std::string two = PdfFormat("/F0001 %d 0 R\r", fonts.fonts[1].object);
    const std::string first = Object(pdf, Ref(Object(pdf, pages[0]), "/Font"));
    const std::string second = Object(pdf, Ref(Object(pdf, pages[1]), "/Font"));
    EXPECT_NE(first.find(one), std::string::npos) << first;
    EXPECT_EQ(first.find("/F0001"), std::string::npos) << first;
    EXPECT_NE(second.find(one + two), std::string::npos) << second;
    for (int i = 0; i < 2; ++i) {
        const std::string font = Object(pdf, fonts.fonts[size_t(i)].object);
        const uint32_t descriptor = Ref(font, "/FontDescriptor");
        EXPECT_EQ(Object(pdf, descriptor),
                  PdfFormat("%d 0 obj\r<< /Descriptor %d >>\rendobj", descriptor, i));
    }
    int status = -1;
    RunCommand("qpdf --check '" + path + "' 2>&1", &status);
    EXPECT_EQ(status, 0);

    PdfFileWriter failing;
    ASSERT_EQ(failing.AllocateTables(), kOk);
    const std::string other = dir.File("failing.pdf");
    ASSERT_EQ(failing.CreateFile(other, true), kOk);
    FakeFonts broken;
    broken.fonts.resize(1);
    ASSERT_EQ(failing.Tell(broken.fonts[0].object), kOk);
    constexpr int kUnplanned = -15014;  // a font that cannot be made for writing
    broken.fonts[0].planResult = kUnplanned;
    ASSERT_EQ(failing.BeginPage(), kOk);
    ASSERT_EQ(failing.FinishPage(21000, 29700, broken), kOk);
    const std::u16string* none[5] = {};
    EXPECT_EQ(failing.FinishFile(none, broken), kUnplanned);
    EXPECT_FALSE(std::filesystem::exists(other));
}

TEST_F(PdfWriterTest, ObjectsHandedOverNeedAnOpenFileAndANumberTaken) {
    std::vector<PdfObject> objects(1);
    objects[0].Text("<< >>");
    EXPECT_EQ(writer.WriteObjects(objects), kPosition) << "no file";
    ASSERT_EQ(writer.CreateFile(path, true), kOk);
    objects[0].numbered = 7;  // never taken
    EXPECT_EQ(writer.WriteObjects(objects), kPosition);
    objects[0].numbered = 0;
    EXPECT_EQ(writer.WriteObjects(objects), kPosition);
}

// ---------------------------------------------------------------------------------------------
// Images

struct ImageCase {
    const char* name;
    uint16_t bits;
    int32_t width, height;
    std::vector<plat::RGBQUAD> colors;
    std::vector<uint8_t> rows;  // as stored, padded to 32 bits
    int objects;                // objects written for the image
    std::string colorSpace;
    std::string data;    // the image stream inflated
    std::string lookup;  // the lookup stream inflated, when there is one
};

TEST_F(PdfWriterTest, ImagesOfEveryDepth) {
    const plat::RGBQUAD black{0, 0, 0, 0}, white{255, 255, 255, 0}, red{0, 0, 255, 0},
        blue{255, 0, 0, 0};
    std::vector<plat::RGBQUAD> palette8(256);
    for (int i = 0; i < 256; ++i) palette8[size_t(i)] = {uint8_t(i), uint8_t(255 - i), 7, 0};
    std::string lookup8;
    for (int i = 0; i < 256; ++i) lookup8 += {char(7), char(255 - i), char(i)};
    const ImageCase cases[] = {
        {"24-bit rows reordered to RGB",
         24,
         2,
         2,
         {},
         {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0},
         2,
         "/ColorSpace /DeviceRGB",
         std::string("\3\2\1\6\5\4\x9\x8\x7\xC\xB\xA", 12),
         ""},
        {"24-bit top-down flipped",
         24,
         1,
         -2,
         {},
         {1, 2, 3, 0, 4, 5, 6, 0},
         2,
         "/ColorSpace /DeviceRGB",
         std::string("\6\5\4\3\2\1", 6),
         ""},
        {"1-bit black and white is grey",
         1,
         8,
         1,
         {black, white},
         {0xA5, 0, 0, 0},
         2,
         "/ColorSpace /DeviceGray",
         "\xA5",
         ""},
        {"1-bit other colours keep their palette",
         1,
         8,
         1,
         {red, blue},
         {0x0F, 0, 0, 0},
         2,
         "/ColorSpace [ /Indexed /DeviceRGB 1 <FF00000000FF> ]",
         "\x0F",
         ""},
        {"4-bit short table padded with black",
         4,
         2,
         1,
         {red, blue},
         {0x10, 0, 0, 0},
         4,
         "/ColorSpace [ /Indexed /DeviceRGB 15 ",
         "\x10",
         std::string("\xFF\0\0\0\0\xFF", 6) + std::string(14 * 3, '\0')},
        {"8-bit",
         8,
         3,
         1,
         palette8,
         {0, 1, 255, 0},
         4,
         "/ColorSpace [ /Indexed /DeviceRGB 255 ",
         std::string("\0\1\xFF", 3),
         lookup8},
        {"rows the record lacks are blank",
         8,
         1,
         3,
         palette8,
         {9, 0, 0, 0},
         4,
         "/ColorSpace [ /Indexed /DeviceRGB 255 ",
         std::string("\x9\0\0", 3),
         lookup8},
    };
    ASSERT_EQ(writer.CreateFile(path, false), kOk);
    ASSERT_EQ(writer.BeginPage(), kOk);
    int number = 0;
    for (const auto& c : cases) {
        plat::BITMAPINFOHEADER h;
        h.biBitCount = c.bits;
        h.biWidth = c.width;
        h.biHeight = c.height;
        ASSERT_EQ(writer.WriteImage({h, c.colors, c.rows}, number), kOk) << c.name;
    }
    ASSERT_EQ(number, int(std::size(cases)));
    ASSERT_EQ(writer.FinishPage(1000, 1000, fonts), kOk);
    ASSERT_EQ(Finish(), kOk);
    const std::string pdf = ReadFile(path);
    uint32_t object = 4;
    int image = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string obj = Object(pdf, object);
        EXPECT_NE(obj.find(PdfFormat("/Name /im%d\r", image)), std::string::npos);
        EXPECT_NE(obj.find(c.colorSpace), std::string::npos) << obj;
        EXPECT_NE(obj.find(PdfFormat("/Length %d 0 R", object + 1)), std::string::npos);
        EXPECT_EQ(Inflate(StreamData(obj)), c.data);
        EXPECT_EQ(Object(pdf, object + 1),
                  PdfFormat("%d 0 obj\r%d\rendobj", object + 1, StreamData(obj).size()));
        if (c.objects == 4) {
            EXPECT_NE(obj.find(PdfFormat("%d 0 R ]", object + 2)), std::string::npos);
            EXPECT_EQ(Inflate(StreamData(Object(pdf, object + 2))), c.lookup);
        }
        object += uint32_t(c.objects);
        ++image;
    }
    // The page's image resources name every image.
    const std::string resources = Object(pdf, object + 3);
    EXPECT_NE(resources.find("/im1 4 0 R\r"), std::string::npos) << resources;
    EXPECT_NE(Object(pdf, object + 4).find(PdfFormat("/XObject %d 0 R", object + 3)),
              std::string::npos);
    int status = -1;
    RunCommand("qpdf --check " + path + " >/dev/null 2>&1", &status);
    EXPECT_EQ(status, 0);
}

TEST_F(PdfWriterTest, ImagesAreNumberedAcrossPagesAndLimitedPerPage) {
    ASSERT_EQ(writer.CreateFile(path, false), kOk);
    plat::BITMAPINFOHEADER h;
    h.biBitCount = 24;
    h.biWidth = 1;
    h.biHeight = 1;
    const std::vector<uint8_t> rows = {1, 2, 3, 0};
    int number = 0;
    ASSERT_EQ(writer.BeginPage(), kOk);
    ASSERT_EQ(writer.WriteImage({h, {}, rows}, number), kOk);
    ASSERT_EQ(writer.WriteImage({h, {}, rows}, number), kOk);
    ASSERT_EQ(writer.FinishPage(100, 100, fonts), kOk);
    ASSERT_EQ(writer.BeginPage(), kOk);
    ASSERT_EQ(writer.WriteImage({h, {}, rows}, number), kOk);
    EXPECT_EQ(number, 3);
    for (int i = 1; i < kPdfMaxPageImages; ++i)
        ASSERT_EQ(writer.WriteImage({h, {}, rows}, number), kOk);
    EXPECT_EQ(writer.WriteImage({h, {}, rows}, number), -15153);
}

}  // namespace
}  // namespace kp
