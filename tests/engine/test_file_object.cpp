// The report-file object as a host drives it through Invoke: files created where and how the
// path says, three real pages read back by an independent Python reader, the outline of the
// pages written, the document members in every state (also from a sink inside FileAddPage, where
// closing and releasing are refused), SaveCopyAs after FileCreate and FileOpen, and the stream
// names of a 1,001-page file that the reader finds again.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "engine/core/ole_date.h"
#include "engine/preview/file_object.h"
#include "engine/preview/page_player.h"
#include "tests/engine/report_model_fixture.h"

namespace kp::preview {
namespace {

using namespace reportfix;
namespace fs = std::filesystem;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

double OleNow() {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    double date = 0;
    MakeOleDate(uint16_t(local.tm_year + 1900), uint16_t(local.tm_mon + 1), uint16_t(local.tm_mday),
                uint16_t(local.tm_hour), uint16_t(local.tm_min),
                uint16_t(std::min(local.tm_sec, 59)), &date);
    return date;
}

// Strings handed to Invoke live as long as the call.
struct Text {
    explicit Text(std::u16string_view text) : bstr(text.empty() ? nullptr : BstrAllocView(text)) {}
    explicit Text(const std::string& utf8) : Text(WideFromUtf8(utf8)) {}
    ~Text() { BstrFree(bstr); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    Variant v() const { return VariantBstr(bstr); }
    Bstr bstr;
};

Variant Date(double value) {
    Variant v{};
    v.vt = VT_DATE;
    v.date = value;
    return v;
}

class FileObjectTest : public ReportTest {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/kpfobjXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        tmp_ = dir_ + "/tmp";
        fs::create_directory(tmp_);
        const char* old = getenv("TMPDIR");
        hadTmp_ = old != nullptr;
        if (old) oldTmp_ = old;
        setenv("TMPDIR", tmp_.c_str(), 1);
        ReportTest::SetUp();
        BindFileObjectFactory();
        file_ = NewFile();
    }
    void TearDown() override {
        if (file_) {
            EXPECT_EQ(Call(FileObject::kFileRelease), 0);
        }
        ReportTest::TearDown();
        EXPECT_TRUE(fs::is_empty(tmp_)) << "a temporary file outlived the test";
        if (hadTmp_) {
            setenv("TMPDIR", oldTmp_.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
        fs::remove_all(dir_);
    }

    FileObject* NewFile() {
        Variant result{};
        EXPECT_EQ(app_->Invoke(ApplicationObject::kCreateFile, kInvokeMethod, nullptr, &result), 0);
        return static_cast<FileObject*>(static_cast<ScriptableObject*>(result.pdispVal));
    }

    int32_t Call(int32_t id, std::vector<Variant> args = {}) {
        InvokeArgs a{args.data(), uint32_t(args.size())};
        Variant result{};
        const int32_t rc = file_->Invoke(id, kInvokeMethod, &a, &result);
        if (id == FileObject::kFileRelease && rc == 0) file_ = nullptr;
        return rc;
    }
    int32_t Create(const std::string& path, bool overwrite) {
        Text p(path);
        return Call(FileObject::kFileCreate, {p.v(), VariantBool(overwrite)});
    }
    int32_t Open(const std::string& path) {
        Text p(path);
        return Call(FileObject::kFileOpen, {p.v()});
    }
    int32_t CopyAs(const std::string& path) {
        Text p(path);
        return Call(FileObject::kSaveCopyAs, {p.v()});
    }
    int32_t AddPage(ReportObject* report) {
        return Call(FileObject::kFileAddPage, {VariantDispatch(report)});
    }
    uint16_t Status() {
        Variant v{};
        EXPECT_EQ(GetValue(file_, FileObject::kStatus, &v), 0);
        return v.uiVal;
    }
    std::u16string GetText(int32_t id) {
        Variant v{};
        EXPECT_EQ(GetValue(file_, id, &v), 0);
        std::u16string text(BstrView(v.bstrVal));
        BstrFree(v.bstrVal);
        return text;
    }

    // A real page: a black box, a text in "ＭＳ ゴシック" and a thin box for a line, on A4.
    ReportObject* Sample(std::u16string_view caption) {
        ReportObject* report = NewReport();
        EXPECT_EQ(Put(report, ReportObject::kPaperSize, VariantI2(9)), 0);
        EXPECT_EQ(Put(report, ReportObject::kPaperOrientation, VariantI2(1)), 0);
        ItemObject* box = Add(report, 1, ctrlclass::kBox, u"B", {2000, 2000, 6000, 4000});
        EXPECT_EQ(Put(box->mainInterface(), 10103, VariantUI4(0x000000)), 0);
        ItemObject* text = Add(report, 2, ctrlclass::kText, u"T", {2000, 6000, 12000, 8000});
        Text face(u"ＭＳ ゴシック"), t(caption);
        EXPECT_EQ(Put(text->mainInterface(), 10016, face.v()), 0);
        EXPECT_EQ(Put(text->mainInterface(), 10019, t.v()), 0);
        ItemObject* line = Add(report, 3, ctrlclass::kBox, u"L", {2000, 10000, 19000, 10050});
        EXPECT_EQ(Put(line->mainInterface(), 10103, VariantUI4(0x000000)), 0);
        return report;
    }

    // The Python reader's lines for a file.
    std::vector<std::string> Dump(const std::string& path) {
        const std::string script = std::string(QZS_SOURCE_DIR) + "/tests/engine/read_k3v.py";
        const std::string out = dir_ + "/dump";
        const std::string cmd = "/usr/bin/python3 " + script + " " + path + " > " + out;
        EXPECT_EQ(system(cmd.c_str()), 0);
        std::istringstream text(ReadText(out));
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }

    // The document information a reader finds, and the number of pages; a protected file stays
    // locked (no dialog here) after its information was read.
    int Load(const std::string& path, DocumentInfo* info, int32_t expected = 0) {
        ReportFileReader reader;
        int pages = 0;
        EXPECT_EQ(reader.Load(path, {}, nullptr, info,
                              [&](int, const FilePageRecord&, StreamFile*) {
                                  ++pages;
                                  return int32_t(0);
                              }),
                  expected);
        reader.RemoveFonts();
        return pages;
    }

    FileObject* file_ = nullptr;
    std::string dir_, tmp_, oldTmp_;
    bool hadTmp_ = false;
};

TEST_F(FileObjectTest, CreateTakesThePathAsGivenOrWithTheExtension) {
    std::ofstream(dir_ + "/kept.k3v") << "old";
    std::ofstream(dir_ + "/replaced.k3v") << "old";
    struct Case {
        std::string path;
        bool overwrite;
        int32_t rc;
        std::string made;  // the file that exists afterwards, empty: none new
    } cases[] = {
        {dir_ + "/plain", false, 0, dir_ + "/plain.k3v"},
        {dir_ + "/dotted.k3v.bak", false, 0, dir_ + "/dotted.k3v.bak"},
        {dir_ + "/kept", false, kFileCannotOpen, ""},
        {dir_ + "/replaced", true, 0, dir_ + "/replaced.k3v"},
        {dir_ + "/missing/x", true, kFileCannotOpen, ""},
        {"", true, kFileNoName, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(Create(c.path, c.overwrite), c.rc);
        EXPECT_EQ(Status(), c.rc == 0 ? FileObject::kOpen : FileObject::kIdle);
        if (c.rc != 0) continue;
        EXPECT_EQ(Create(dir_ + "/second", true), kFileWrongState) << "a file is already open";
        EXPECT_EQ(Open(c.made), kFileWrongState);
        EXPECT_EQ(Call(FileObject::kFileCloseFile), 0);
        EXPECT_EQ(Status(), FileObject::kIdle);
        EXPECT_NE(ReadText(c.made), "old");
    }
    EXPECT_EQ(ReadText(dir_ + "/kept.k3v"), "old") << "refused without overwrite, left alone";
    EXPECT_FALSE(fs::exists(dir_ + "/dotted.k3v.bak.k3v"));
    EXPECT_FALSE(fs::exists(dir_ + "/second.k3v"));
}

TEST_F(FileObjectTest, ThreePagesReadBackByAnIndependentReader) {
    Text title(u"題名"), author(u"著者"), password(u"pw");
    ASSERT_EQ(Put(file_, FileObject::kDocTitle, title.v()), 0);
    ASSERT_EQ(Put(file_, FileObject::kDocAuthor, author.v()), 0);
    ASSERT_EQ(Put(file_, FileObject::kDocPassword, password.v()), 0);
    ASSERT_EQ(Put(file_, FileObject::kDocFlag, VariantBool(true)), 0);
    ASSERT_EQ(Put(file_, FileObject::kIndexVisible, VariantBool(true)), 0);
    EXPECT_EQ(Put(file_, FileObject::kReportIndexLevel, VariantUI4(0)), kFileWrongState);

    const double before = OleNow();
    ASSERT_EQ(Create(dir_ + "/three", false), 0);
    EXPECT_EQ(Put(file_, FileObject::kReportIndexLevel, VariantUI4(1)), rc::kOutOfRange)
        << "no page written yet";
    ReportObject* first = Sample(u"ページ1");
    ASSERT_EQ(Put(first, ReportObject::kValue5022, VariantUI4(7)), 0);
    ASSERT_EQ(AddPage(first), 0);  // level -1: no outline entry
    EXPECT_EQ(Put(file_, FileObject::kReportIndexLevel, VariantUI4(1)), kFileNoOutlineLevel);
    EXPECT_EQ(Put(file_, FileObject::kReportIndexLevel, VariantUI4(2)), rc::kOutOfRange);

    ASSERT_EQ(Put(file_, FileObject::kReportIndexLevel, VariantUI4(0)), 0);
    Text chapter(u"第二章");
    ASSERT_EQ(Put(file_, FileObject::kReportIndexTitle, chapter.v()), 0);
    ReportObject* second = Sample(u"ページ2");
    ASSERT_EQ(AddPage(second), 0);

    ASSERT_EQ(Put(file_, FileObject::kReportIndexLevel, VariantUI4(2)), 0);
    Text none(u"");
    ASSERT_EQ(Put(file_, FileObject::kReportIndexTitle, none.v()), 0);
    ReportObject* third = Sample(u"ページ3");
    ASSERT_EQ(AddPage(third), 0);
    EXPECT_EQ(GetText(FileObject::kReportIndexTitle), u"") << "the default heading is not kept";
    ASSERT_EQ(Call(FileObject::kFileCloseFile), 0);
    const double after = OleNow();

    const std::vector<std::string> lines = Dump(dir_ + "/three.k3v");
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[0],
              "KPFILE30-1 3002:題名 3008: 3009: 3007: 3004:pw 3005:0 3006:0 3003:著者 3038:-1 "
              "3044:-1 3010:7 3011:date");
    const std::string paper = " 3014:0 3015:1 3016:9 3017:2100 3018:2970";
    const std::string pageRecords[] = {
        "KPFILE30PAGE-1 3012:0 3013:-1 3036:1ページ" + paper,
        "KPFILE30PAGE-2 3012:0 3013:0 3036:第二章" + paper,
        "KPFILE30PAGE-3 3012:0 3013:2 3036:3ページ" + paper,
    };
    // Each page record is followed by that page's report element and its other streams, all
    // with the page's suffix; the fonts come last.
    size_t at = 1;
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        ASSERT_LT(at + 1, lines.size());
        EXPECT_EQ(lines[at++], pageRecords[n - 1]);
        EXPECT_EQ(lines[at].rfind("KPREPORT30-" + std::to_string(n) + " bytes:", 0), 0u)
            << lines[at];
        const std::string suffix = "-" + std::to_string(n) + " ";
        int streams = 0;
        for (; at < lines.size() && lines[at].find(suffix) != std::string::npos &&
               lines[at].rfind("KPFILE30", 0) != 0;
             ++at) {
            ++streams;
        }
        EXPECT_GE(streams, 4) << "the report, its layers and objects";
    }
    ASSERT_EQ(at + 1, lines.size());
    EXPECT_EQ(lines[at].rfind("KPFILE30FONT-1 3100:EmbedFont0000 3101:", 0), 0u) << lines[at];

    DocumentInfo info;
    EXPECT_EQ(Load(dir_ + "/three.k3v", &info), 3);
    EXPECT_EQ(info.title, u"題名");
    EXPECT_EQ(info.firstPageValue, 7);
    EXPECT_GE(info.updateDate, before - 1.0 / 86400) << "DocUpdateDate 0 is the time of writing";
    EXPECT_LE(info.updateDate, after + 1.0 / 86400);
    Variant date{};
    EXPECT_EQ(GetValue(file_, FileObject::kDocUpdateDate, &date), 0);
    EXPECT_EQ(date.date, 0) << "the property itself stays unset";
    for (ReportObject* r : {first, second, third}) DestroyReportObject(r);
}

TEST_F(FileObjectTest, DocumentMembersByState) {
    struct Member {
        int32_t id;
        Variant value;
    };
    Text text(u"値");
    const Member members[] = {
        {FileObject::kDocTitle, text.v()},
        {FileObject::kDocAuthor, text.v()},
        {FileObject::kDocPassword, text.v()},
        {FileObject::kDocProtect, VariantBool(true)},
        {FileObject::kDocNoPrint, VariantBool(true)},
        {FileObject::kDocCreator, text.v()},
        {FileObject::kDocSubTitle, text.v()},
        {FileObject::kDocKeywords, text.v()},
        {FileObject::kDocUpdateDate, Date(45000.5)},
        {FileObject::kDocFlag, VariantBool(true)},
    };
    // The value a get answers equals the one put: strings by text, the rest by their bits.
    auto same = [](const Variant& got, const Variant& put) {
        if (put.vt == VT_BSTR) return BstrView(got.bstrVal) == BstrView(put.bstrVal);
        return got.vt == put.vt &&
               (put.vt == VT_DATE ? got.date == put.date : got.boolVal == put.boolVal);
    };
    auto check = [&](const char* state, int32_t putRc, bool setBefore) {
        SCOPED_TRACE(state);
        for (const Member& m : members) {
            SCOPED_TRACE(m.id);
            EXPECT_EQ(Put(file_, m.id, m.value), putRc);
            Variant got{};
            EXPECT_EQ(GetValue(file_, m.id, &got), 0) << "gets work in every state";
            EXPECT_EQ(same(got, m.value), putRc == 0 || setBefore);
            if (got.vt == VT_BSTR) BstrFree(got.bstrVal);
        }
    };
    check("idle", 0, false);
    // An empty string clears only its own member.
    Text empty(u"");
    ASSERT_EQ(Put(file_, FileObject::kDocTitle, empty.v()), 0);
    EXPECT_EQ(GetText(FileObject::kDocTitle), u"");
    EXPECT_EQ(GetText(FileObject::kDocAuthor), u"値");
    ASSERT_EQ(Put(file_, FileObject::kDocTitle, text.v()), 0);

    ASSERT_EQ(Create(dir_ + "/states", true), 0);
    check("open", 0, true);

    // From a sink inside FileAddPage: the object is recording, busy for puts, closing and
    // releasing; the page still goes in and the file closes afterwards.
    UseFakes() = true;
    ReportObject* report = NewReport();
    Add(report, 1, kFakePlain, u"A", {0, 0, 100, 100});
    int calls = 0;
    Script().onDraw = [&] {
        if (calls++ != 0) return;
        EXPECT_EQ(Status(), FileObject::kRecording);
        check("recording", kFileNotIdle, true);
        EXPECT_EQ(Call(FileObject::kFileCloseFile), kFileInUse);
        EXPECT_EQ(Call(FileObject::kFileRelease), kFileInUse);
        EXPECT_EQ(AddPage(report), kFileWrongState);
    };
    EXPECT_EQ(AddPage(report), 0);
    Script().onDraw = nullptr;
    EXPECT_GT(calls, 0);
    EXPECT_EQ(Status(), FileObject::kOpen);
    EXPECT_EQ(Call(FileObject::kFileCloseFile), 0);
    DocumentInfo info;
    EXPECT_EQ(Load(dir_ + "/states.k3v", &info, kFilePasswordRefused), 0);
    EXPECT_EQ(info.updateDate, 45000.5);
    EXPECT_EQ(info.protect, -1);
    EXPECT_EQ(info.password, u"値");
    DestroyReportObject(report);
}

TEST_F(FileObjectTest, ArgumentsAndStatesOfThePageMembers) {
    UseFakes() = true;
    ReportObject* report = NewReport();
    EXPECT_EQ(AddPage(report), kFileWrongState) << "no file open";
    ASSERT_EQ(Create(dir_ + "/args", true), 0);
    EXPECT_EQ(Call(FileObject::kFileAddPage, {VariantDispatch(file_)}), rc::kBadArgument)
        << "not a report";
    EXPECT_EQ(Call(FileObject::kFileAddPage, {VariantDispatch(nullptr)}), rc::kBadArgument);
    EXPECT_EQ(Call(FileObject::kFileAddPage, {VariantUI4(1)}), rc::kBadArgument);
    EXPECT_EQ(Call(FileObject::kFileCreate, {VariantBool(true)}), rc::kBadArgument);
    Variant ignored{};
    EXPECT_EQ(file_->Reserved(nullptr, nullptr), -1);
    ClassInfo* classInfo = nullptr;
    EXPECT_EQ(file_->GetTypeInfo(&classInfo), 0);
    if (classInfo) classInfo->Release();
    EXPECT_EQ(file_->Invoke(FileObject::kStatus, kInvokePut, nullptr, &ignored), rc::kBadArgument);
    EXPECT_EQ(AddPage(report), 0);
    DestroyReportObject(report);
    // Released while open: the file is finished, not left half written.
    EXPECT_EQ(Call(FileObject::kFileRelease), 0);
    DocumentInfo info;
    EXPECT_EQ(Load(dir_ + "/args.k3v", &info), 1);
    EXPECT_EQ(app_->ChildCount(ChildKind::kFileObject), 0u);
}

TEST_F(FileObjectTest, SaveCopyAsCopiesTheOpenedFileOnce) {
    ASSERT_EQ(Create(dir_ + "/source", true), 0);
    ASSERT_EQ(CopyAs(dir_ + "/from-created.k3v"), 0);
    EXPECT_FALSE(fs::exists(dir_ + "/from-created.k3v")) << "a file being written copies nothing";
    ASSERT_EQ(Call(FileObject::kFileCloseFile), 0);
    EXPECT_EQ(CopyAs(dir_ + "/idle.k3v"), kFileWrongState);

    EXPECT_EQ(Open(dir_ + "/absent.k3v"), kFileCannotOpen);
    EXPECT_EQ(Open(dir_), kFileCannotOpen) << "a folder is no file";
    EXPECT_EQ(Open(""), kFileNoName);
    EXPECT_EQ(Status(), FileObject::kIdle);

    const std::string source = dir_ + "/source.k3v";
    ASSERT_EQ(Open(source), 0);
    EXPECT_EQ(Status(), FileObject::kOpen);
    EXPECT_EQ(file_->OpenedPath(), source);
    EXPECT_EQ(CopyAs(""), kFileNoName);
    std::ofstream(dir_ + "/copy.k3v") << "older";
    ASSERT_EQ(CopyAs(dir_ + "/copy.k3v"), 0);
    EXPECT_EQ(ReadText(dir_ + "/copy.k3v"), ReadText(source)) << "copied over the older file";
    EXPECT_EQ(CopyAs(dir_ + "/again.k3v"), 0);
    EXPECT_FALSE(fs::exists(dir_ + "/again.k3v")) << "only the first call copies";
    ASSERT_EQ(Call(FileObject::kFileCloseFile), 0);
    EXPECT_EQ(file_->OpenedPath(), "");

    ASSERT_EQ(Open(source), 0);
    EXPECT_EQ(CopyAs(dir_ + "/missing/copy.k3v"), kFileCopyFailed) << "a failed copy is told";
    ASSERT_EQ(Call(FileObject::kFileCloseFile), 0);
}

TEST_F(FileObjectTest, PageNumbersPastTheHeaderWidthKeepTheirStreams) {
    UseFakes() = true;
    ReportObject* report = NewReport();
    Add(report, 1, kFakePlain, u"A", {0, 0, 100, 100});
    ASSERT_EQ(Create(dir_ + "/long", true), 0);
    constexpr int kPages = 1001;
    for (int n = 1; n <= kPages; ++n) ASSERT_EQ(AddPage(report), 0) << n;
    ASSERT_EQ(Call(FileObject::kFileCloseFile), 0);

    // The kinds of stream per page, with the names the reader decoded.
    std::map<int, std::vector<std::string>> byPage;
    for (const std::string& line : Dump(dir_ + "/long.k3v")) {
        const std::string name = line.substr(0, line.find(' '));
        const size_t dash = name.rfind('-');
        ASSERT_NE(dash, std::string::npos) << name;
        const bool compact = name.back() == '*';
        const std::string digits =
            name.substr(dash + 1, name.size() - dash - 1 - (compact ? 1 : 0));
        // A stored name is decimal as long as "STEM-N" fits 16 units, else compact.
        EXPECT_EQ(compact, dash + 1 + digits.size() > 16) << name;
        byPage[std::stoi(digits)].push_back(name.substr(0, dash));
    }
    ASSERT_EQ(byPage.size(), size_t(kPages));
    // Page 1's streams without the document information (and fonts, none here).
    std::vector<std::string> expected;
    for (const std::string& stem : byPage[1])
        if (stem != "KPFILE30" && stem != "KPFILE30FONT") expected.push_back(stem);
    EXPECT_EQ(byPage[1].front(), "KPFILE30");
    EXPECT_GE(expected.size(), 4u);
    for (int n : {99, 100, 101, 999, 1000, 1001}) EXPECT_EQ(byPage[n], expected) << n;
    EXPECT_EQ(byPage[1000].front(), "KPFILE30PAGE");

    // The viewer's loading finds every page and its objects again.
    PreviewPageList list;
    ASSERT_EQ(list.Open(""), 0);
    ReportFileReader reader;
    DocumentInfo info;
    ASSERT_EQ(LoadReportFilePages(app_, reader, dir_ + "/long.k3v", {}, nullptr, &info, list), 0);
    EXPECT_EQ(list.Count(), kPages);
    list.Clear();
    DestroyReportObject(report);
}

}  // namespace
}  // namespace kp::preview
