// Saved report files end to end below the report model: three pages with stand-in page streams
// written, checked by an independent Python reader, loaded back with their fonts; damaged and
// hostile files stay bounded and leave no temporary file or process font behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "engine/preview/report_file.h"
#include "tests/fixtures/private_tmpdir.h"

namespace kp::preview {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

Bytes Deflate(const Bytes& plain) {
    uLongf size = compressBound(uLong(plain.size()));
    Bytes out(size);
    compress2(out.data(), &size, plain.data(), uLong(plain.size()), 9);
    out.resize(size);
    return out;
}

// A zlib stream of parts, each some bytes or a run of zeros, made without ever holding the
// zeros: each part is deflated raw after a reset (so it refers to nothing before it), and a run
// repeats the deflate of one MiB of zeros. A gigabyte costs a megabyte and a moment.
struct Part {
    Bytes bytes;
    uint64_t zeros = 0;
};

Bytes DeflateRaw(const Bytes& plain, z_stream* z, int flush) {
    deflateReset(z);
    Bytes out(deflateBound(z, uLong(plain.size())) + 64);
    z->next_in = const_cast<Bytef*>(plain.data());
    z->avail_in = uInt(plain.size());
    z->next_out = out.data();
    z->avail_out = uInt(out.size());
    deflate(z, flush);
    out.resize(out.size() - z->avail_out);
    return out;
}

Bytes ZlibOfParts(const std::vector<Part>& parts) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    const Bytes mib(1u << 20, 0);
    const Bytes mibDeflated = DeflateRaw(mib, &z, Z_FULL_FLUSH);
    const uLong mibAdler = adler32(adler32(0, nullptr, 0), mib.data(), uInt(mib.size()));
    Bytes out{0x78, 0xDA};
    uLong adler = adler32(0, nullptr, 0);
    auto add = [&](const Bytes& plain) {
        const Bytes d = DeflateRaw(plain, &z, Z_FULL_FLUSH);
        out.insert(out.end(), d.begin(), d.end());
        adler = adler32(adler, plain.data(), uInt(plain.size()));
    };
    for (const Part& p : parts) {
        add(p.bytes);
        for (uint64_t runs = p.zeros >> 20; runs > 0; --runs) {
            out.insert(out.end(), mibDeflated.begin(), mibDeflated.end());
            adler = adler32_combine(adler, mibAdler, z_off_t(mib.size()));
        }
        add(Bytes(p.zeros & 0xFFFFF, 0));
    }
    const Bytes end = DeflateRaw({}, &z, Z_FINISH);
    out.insert(out.end(), end.begin(), end.end());
    deflateEnd(&z);
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(adler >> shift));
    return out;
}

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A stream header as the container writes it: "KP30", the name, the data length.
Bytes Header(std::u16string_view name, uint32_t length) {
    Bytes h(48, 0);
    const std::u16string_view magic = u"KP30";
    for (size_t i = 0; i < magic.size(); ++i) h[2 * i] = uint8_t(magic[i]);
    for (size_t i = 0; i < name.size(); ++i) {
        h[10 + 2 * i] = uint8_t(name[i] & 0xFF);
        h[11 + 2 * i] = uint8_t(name[i] >> 8);
    }
    for (int i = 0; i < 4; ++i) h[44 + size_t(i)] = uint8_t(length >> (8 * i));
    return h;
}

class NoPassword : public ViewerDialogPort {
  public:
    int AskPassword(std::u16string*) override { return 2; }
    void Warn(const std::string&, const std::string&) override {}
};

// Every test runs with TMPDIR pointing at a private folder that must be empty again at its end.
class ReportFile : public ::testing::Test {
  protected:
    void SetUp() override {
        scratch_.emplace("kpfile");
        ASSERT_TRUE(scratch_->valid());
        dir_ = scratch_->dir();
        tmp_ = scratch_->tmp();
    }
    void TearDown() override {
        EXPECT_TRUE(scratch_->TmpIsEmpty()) << "a temporary file outlived the test";
        scratch_.reset();
    }

    // A file of `pages` pages whose page streams carry "page n" and whose font records carry
    // the given fonts.
    std::string Write(int pages, const std::vector<Bytes>& fonts, const DocumentInfo& info = {}) {
        ReportFileWriter w;
        const std::string path = dir_ + "/out";
        EXPECT_EQ(w.Create(path, true), 0);
        for (int n = 1; n <= pages; ++n) {
            FilePageRecord r;
            r.outlineParent = n == 1 ? 0 : -1;
            r.heading = DefaultHeading(n);
            r.paperWidth = 2100;
            r.paperLength = 2970;
            r.paperSize = 9;
            const int32_t rc = w.AddPage(info, r, [n](StreamFile* c) {
                Stream* s = nullptr;
                if (const int32_t rc = c->CreateStream(u"KPREPORT30", &s); rc != 0) return rc;
                const std::string text = "page " + std::to_string(n);
                uint32_t written = 0;
                const int32_t rc = s->Write(text.data(), uint32_t(text.size()), &written);
                s->Release();
                return rc;
            });
            EXPECT_EQ(rc, 0) << n;
        }
        EXPECT_EQ(w.Pages(), pages);
        const int32_t closed = w.Close(int(fonts.size()), [&](int i, Bytes* out) {
            *out = fonts[size_t(i)];
            return int32_t(0);
        });
        EXPECT_EQ(closed, 0);
        return path + ".k3v";
    }

    // Loads a file; the page texts read from each page's own stream.
    int32_t Load(const std::string& path, ReportFileReader& reader, std::vector<std::string>* texts,
                 const ReportFileLimits& limits = {}, DocumentInfo* info = nullptr) {
        DocumentInfo local;
        NoPassword port;
        return reader.Load(path, limits, &port, info ? info : &local,
                           [&](int n, const FilePageRecord& r, StreamFile* c) {
                               EXPECT_EQ(r.paperWidth, 2100);
                               EXPECT_EQ(r.heading, DefaultHeading(n));
                               Stream* s = nullptr;
                               if (const int32_t rc = c->OpenStream(u"KPREPORT30", &s); rc != 0)
                                   return rc;
                               char buf[32] = {};
                               uint32_t got = 0;
                               s->Read(buf, sizeof buf - 1, &got);
                               s->Release();
                               texts->push_back(std::string(buf, got));
                               return int32_t(0);
                           });
    }

    std::optional<qzs_test::PrivateTmpDir> scratch_;
    std::string dir_, tmp_;
};

std::string FixtureFont() {
    return std::string(QZS_SOURCE_DIR) + "/tests/fixtures/fonts/qzs-fixture-composite.ttf";
}

TEST_F(ReportFile, PathGetsItsExtensionUnlessItHoldsOne) {
    EXPECT_EQ(ReportFilePath("/a/b"), "/a/b.k3v");
    EXPECT_EQ(ReportFilePath("/a/b.k3v"), "/a/b.k3v");
    EXPECT_EQ(ReportFilePath("/a/b.k3v.bak"), "/a/b.k3v.bak");
    ReportFileWriter w;
    ASSERT_EQ(w.Create(dir_ + "/x", false), 0);
    EXPECT_EQ(w.Close(0, nullptr), 0);
    ReportFileWriter again;
    EXPECT_EQ(again.Create(dir_ + "/x", false), kFileCannotOpen);
    EXPECT_FALSE(again.IsOpen());
    EXPECT_EQ(again.Create(dir_ + "/x", true), 0);
    EXPECT_EQ(again.Close(0, nullptr), 0);
    EXPECT_EQ(ReportFileWriter().Create("", true), kFileNoName);
}

TEST_F(ReportFile, ThreePagesReadByAnIndependentReader) {
    const Bytes font = ReadFile(FixtureFont());
    ASSERT_FALSE(font.empty());
    DocumentInfo info;
    info.title = u"題名";
    const std::string path = Write(3, {font, {}}, info);
    const std::string script = std::string(QZS_SOURCE_DIR) + "/tests/engine/read_k3v.py";
    const std::string cmd = "/usr/bin/python3 " + script + " " + path + " > " + dir_ + "/dump";
    ASSERT_EQ(system(cmd.c_str()), 0);
    std::ifstream dump(dir_ + "/dump");
    const std::string text((std::istreambuf_iterator<char>(dump)), {});
    // Stream order, the suffixes, and the records of each.
    EXPECT_EQ(
        text,
        "KPFILE30-1 3002:題名 3008: 3009: 3007: 3004: 3005:0 3006:0 3003: 3038:0 3044:0 "
        "3010:0 3011:date\n"
        "KPFILE30PAGE-1 3012:0 3013:0 3036:1ページ 3014:0 3015:1 3016:9 3017:2100 3018:2970\n"
        "KPREPORT30-1 raw:page 1\n"
        "KPFILE30PAGE-2 3012:0 3013:-1 3036:2ページ 3014:0 3015:1 3016:9 3017:2100 3018:2970\n"
        "KPREPORT30-2 raw:page 2\n"
        "KPFILE30PAGE-3 3012:0 3013:-1 3036:3ページ 3014:0 3015:1 3016:9 3017:2100 3018:2970\n"
        "KPREPORT30-3 raw:page 3\n"
        "KPFILE30FONT-1 3100:EmbedFont0000 3101:" +
            std::to_string(font.size()) + " bytes\n");

    ReportFileReader reader;
    std::vector<std::string> pages;
    DocumentInfo back;
    ASSERT_EQ(Load(path, reader, &pages, {}, &back), 0);
    EXPECT_EQ(pages, (std::vector<std::string>{"page 1", "page 2", "page 3"}));
    EXPECT_EQ(back.title, u"題名");
    EXPECT_NE(back.updateDate, 0);  // written as the time of the first page
    ASSERT_EQ(reader.FontFiles().size(), 1u);
    EXPECT_EQ(ReadFile(reader.FontFiles()[0]), font);
    reader.RemoveFonts();
    EXPECT_TRUE(reader.FontFiles().empty());
}

TEST_F(ReportFile, HostileFilesStayBounded) {
    // Font names are the file's own text and never become paths.
    {
        const Bytes font = ReadFile(FixtureFont());
        const std::string path = Write(1, {font});
        ReportFileReader reader;
        std::vector<std::string> pages;
        ASSERT_EQ(Load(path, reader, &pages), 0);
        ASSERT_EQ(reader.FontFiles().size(), 1u);
        EXPECT_EQ(fs::path(reader.FontFiles()[0]).parent_path().parent_path(), tmp_);
    }
    // A font that does not install leaves no file; the pages still load.
    {
        const std::string path = Write(2, {Bytes(64, 0x55)});
        ReportFileReader reader;
        std::vector<std::string> pages;
        EXPECT_EQ(Load(path, reader, &pages), 0);
        EXPECT_EQ(pages.size(), 2u);
        EXPECT_TRUE(reader.FontFiles().empty());
    }
    // Pages past a lowered limit: refused, the pages so far kept.
    {
        const std::string path = Write(5, {});
        ReportFileReader reader;
        std::vector<std::string> pages;
        ReportFileLimits limits;
        limits.maxPages = 3;
        EXPECT_EQ(Load(path, reader, &pages, limits), kFileDamaged);
        EXPECT_EQ(pages.size(), 3u);
    }
    // A zip bomb: 64 MiB of zeros expanded against a 1 MiB limit.
    {
        const std::string bomb = dir_ + "/bomb.k3v";
        WriteFile(bomb, Deflate(Bytes(64u << 20, 0)));
        ReportFileReader reader;
        std::vector<std::string> pages;
        ReportFileLimits limits;
        limits.maxExpandedBytes = 1u << 20;
        EXPECT_EQ(Load(bomb, reader, &pages, limits), kFileDamaged);
        EXPECT_TRUE(pages.empty());
    }
    // Not zlib, cut short, missing.
    {
        const std::string good = Write(2, {});
        Bytes cut = ReadFile(good);
        cut.resize(cut.size() / 2);
        const std::string half = dir_ + "/half.k3v";
        WriteFile(half, cut);
        const std::string junk = dir_ + "/junk.k3v";
        WriteFile(junk, Bytes(100, 'x'));
        for (const std::string& p : {half, junk, dir_ + "/none.k3v"}) {
            ReportFileReader reader;
            std::vector<std::string> pages;
            EXPECT_NE(Load(p, reader, &pages), 0) << p;
        }
    }
}

// Gigabyte bombs of every shape a saved report file can take, opened in a child process that
// may write no file past 64 MiB (SIGXFSZ ignored, so a write past it fails with EFBIG): each is
// refused by the engine's own bound (kFileDamaged), not by the write failing (kFileCannotOpen),
// with the pages expanded whole before the refusal kept. The last row lifts the bounds to show
// that the 64 MiB limit would otherwise have stopped the expansion.
TEST_F(ReportFile, GigabyteBombsRefusedWithinMegabytes) {
    constexpr uint64_t kGiB = uint64_t{1} << 30;
    constexpr uint32_t kClaim = uint32_t{1} << 30;
    std::vector<Part> manyPages;
    for (int n = 1; n <= 64; ++n) {
        const std::string suffix = "-" + std::to_string(n);
        const std::u16string wide(suffix.begin(), suffix.end());
        manyPages.push_back({.bytes = Cat(Header(u"KPFILE30PAGE" + wide, 0),
                                          Header(u"KPREPORT30" + wide, (16u << 20) - 96)),
                             .zeros = (16u << 20) - 96});
    }
    ReportFileLimits lifted;
    lifted.maxPageBytes = 4 * kGiB;
    lifted.maxExpansionRatio = 1u << 20;
    lifted.maxExpandedBytes = 4 * kGiB;
    const struct {
        const char* why;
        std::vector<Part> parts;
        ReportFileLimits limits;
        int32_t rc;
        int pages;
    } cases[] = {
        {.why = "zeros, no container at all",
         .parts = {{.bytes = {}, .zeros = kGiB}},
         .limits = {},
         .rc = kFileDamaged,
         .pages = 0},
        {.why = "document information that claims a gigabyte",
         .parts = {{.bytes = Header(u"KPFILE30-1", kClaim), .zeros = kGiB}},
         .limits = {},
         .rc = kFileDamaged,
         .pages = 0},
        {.why = "fonts that claim a gigabyte",
         .parts = {{.bytes = Header(u"KPFILE30FONT-1", kClaim), .zeros = kGiB}},
         .limits = {},
         .rc = kFileDamaged,
         .pages = 0},
        {.why = "a stream of no known name that claims a gigabyte",
         .parts = {{.bytes = Header(u"KPOTHER-7", kClaim), .zeros = kGiB}},
         .limits = {},
         .rc = kFileDamaged,
         .pages = 0},
        {.why = "a page whose report claims a gigabyte",
         .parts = {{.bytes = Cat(Header(u"KPFILE30PAGE-1", 0), Header(u"KPREPORT30-1", kClaim)),
                    .zeros = kGiB}},
         .limits = {},
         .rc = kFileDamaged,
         .pages = 1},
        // The ratio stops the second page's report; its record had arrived whole.
        {.why = "pages of zeros, each within the page limit",
         .parts = manyPages,
         .limits = {},
         .rc = kFileDamaged,
         .pages = 2},
        {.why = "the same with the bounds lifted: the write fails",
         .parts = {{.bytes = Cat(Header(u"KPFILE30PAGE-1", 0), Header(u"KPREPORT30-1", kClaim)),
                    .zeros = kGiB}},
         .limits = lifted,
         .rc = kFileCannotOpen,
         .pages = 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string bomb = dir_ + "/bomb.k3v";
        WriteFile(bomb, ZlibOfParts(c.parts));
        ASSERT_LT(ReadFile(bomb).size(), 8u << 20);
        int result[2] = {};
        ASSERT_EQ(pipe(result), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{64u << 20, 64u << 20};
            setrlimit(RLIMIT_FSIZE, &limit);
            int32_t answer[2] = {};
            {
                ReportFileReader reader;
                DocumentInfo info;
                NoPassword port;
                answer[0] = reader.Load(bomb, c.limits, &port, &info,
                                        [&](int, const FilePageRecord&, StreamFile*) {
                                            ++answer[1];
                                            return int32_t(0);
                                        });
            }
            const ssize_t sent = write(result[1], answer, sizeof answer);
            _exit(sent == ssize_t(sizeof answer) ? 0 : 1);
        }
        close(result[1]);
        int32_t answer[2] = {1, -1};
        EXPECT_EQ(read(result[0], answer, sizeof answer), ssize_t(sizeof answer));
        close(result[0]);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(answer[0], c.rc);
        EXPECT_EQ(answer[1], c.pages);
    }
}

TEST_F(ReportFile, ProtectedFiles) {
    DocumentInfo info;
    info.protect = 1;
    // An empty stored password opens without asking.
    {
        const std::string path = Write(1, {}, info);
        ReportFileReader reader;
        std::vector<std::string> pages;
        EXPECT_EQ(Load(path, reader, &pages), 0);
    }
    info.password = u"secret";
    const std::string path = Write(1, {}, info);
    ReportFileReader reader;
    std::vector<std::string> pages;
    EXPECT_EQ(Load(path, reader, &pages), kFilePasswordRefused);  // the port cancels
    EXPECT_TRUE(pages.empty());
    DocumentInfo out;
    EXPECT_EQ(reader.Load(path, {}, nullptr, &out, nullptr), kFilePasswordRefused);
}

TEST_F(ReportFile, AFontThatCannotBeSubsetCostsTheOthersNothing) {
    ReportFileWriter w;
    ASSERT_EQ(w.Create(dir_ + "/f", true), 0);
    ASSERT_EQ(w.AddPage({}, {}, [](StreamFile*) { return int32_t(0); }), 0);
    const Bytes font = ReadFile(FixtureFont());
    EXPECT_EQ(w.Close(3,
                      [&](int i, Bytes* out) {
                          if (i == 1) return int32_t(-16222);
                          *out = font;
                          return int32_t(0);
                      }),
              -16222);
    ReportFileReader reader;
    DocumentInfo info;
    int pages = 0;
    ASSERT_EQ(reader.Load(dir_ + "/f.k3v", {}, nullptr, &info,
                          [&](int, const FilePageRecord&, StreamFile*) {
                              ++pages;
                              return int32_t(0);
                          }),
              0);
    EXPECT_EQ(pages, 1);
    EXPECT_EQ(reader.FontFiles().size(), 2u);
}

}  // namespace
}  // namespace kp::preview
