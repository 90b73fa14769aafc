// The report-file object as a host drives it through Invoke: files created where and how the
// path says, three real pages read back by an independent Python reader, the outline of the
// pages written, the document members in every state (also from a sink inside FileAddPage, where
// closing and releasing are refused), SaveCopyAs after FileCreate and FileOpen, and the stream
// names of a 1,001-page file that the reader finds again.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QImage>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <numeric>
#include <optional>
#include <sstream>

#include "engine/core/ole_date.h"
#include "engine/output/printer_document.h"
#include "engine/output/printer_job.h"
#include "engine/preview/file_object.h"
#include "engine/preview/page_player.h"
#include "platform/fonts/font_resolver.h"
#include "platform/gdi/qpainter_dc.h"
#include "tests/engine/event_sink.h"
#include "tests/engine/image_document.h"
#include "tests/engine/report_model_fixture.h"
#include "tests/fixtures/private_tmpdir.h"

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
        scratch_.emplace("kpfobj");
        ASSERT_TRUE(scratch_->valid());
        dir_ = scratch_->dir();
        tmp_ = scratch_->tmp();
        ReportTest::SetUp();
        file_ = NewFile();
    }
    void AddServices(EngineServices& services) override {
        ReportTest::AddServices(services);
        AddFileObjectServices(services);
    }
    void TearDown() override {
        if (file_) {
            EXPECT_EQ(Call(FileObject::kFileRelease), 0);
        }
        ReportTest::TearDown();
        EXPECT_TRUE(scratch_->TmpIsEmpty()) << "a temporary file outlived the test";
        scratch_.reset();
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
        EXPECT_EQ(Put(box->mainInterface(), KPM_SHAPE_CONTROL_FILL_COLOR, VariantUI4(0x000000)), 0);
        ItemObject* text = Add(report, 2, ctrlclass::kText, u"T", {2000, 6000, 12000, 8000});
        Text face(u"ＭＳ ゴシック"), t(caption);
        EXPECT_EQ(Put(text->mainInterface(), KPM_TEXT_CONTROL_FONT_NAME, face.v()), 0);
        EXPECT_EQ(Put(text->mainInterface(), KPM_TEXT_CONTROL_TEXT, t.v()), 0);
        ItemObject* line = Add(report, 3, ctrlclass::kBox, u"L", {2000, 10000, 19000, 10050});
        EXPECT_EQ(Put(line->mainInterface(), KPM_SHAPE_CONTROL_FILL_COLOR, VariantUI4(0x000000)),
                  0);
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
    std::optional<qzs_test::PrivateTmpDir> scratch_;
    std::string dir_, tmp_;
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

// ---------------------------------------------------------------------------------------------
// The viewer

// Answers the viewer's dialogs from a script and remembers what it was asked.
class ScriptedPort final : public ViewerDialogPort {
  public:
    std::vector<std::u16string> passwords;  // one per try; past the end: cancel
    bool fails = false;
    std::vector<std::string> warnings;
    int asked = 0;
    std::optional<LayerPrintSettings> layerAnswer;  // none: cancel
    DocumentInfo shown;
    int infoShown = 0;

    int AskPassword(std::u16string* typed) override {
        if (fails) return -1;
        if (size_t(asked) >= passwords.size()) return 2;
        *typed = passwords[size_t(asked++)];
        return 1;
    }
    void Warn(const std::string& text, const std::string& caption) override {
        EXPECT_EQ(caption, text == kNoPrinterText ? kNoPrinterCaption : kPasswordCaption);
        warnings.push_back(text);
    }
    int ShowDocumentInfo(const DocumentInfo& info) override {
        if (fails) return -1;
        shown = info;
        ++infoShown;
        return 0;
    }
    int AskLayerPrint(LayerPrintSettings* settings) override {
        if (fails) return -1;
        if (!layerAnswer) return 2;
        *settings = *layerAnswer;
        return 1;
    }
    std::optional<std::pair<int, int>> range;  // none: cancel
    int rangeAsked = 0;
    int AskPrintRange(int current, int count, int* start, int* end) override {
        EXPECT_EQ(current, 1);
        EXPECT_EQ(count, 2);
        ++rangeAsked;
        if (fails) return -1;
        if (!range) return 2;
        *start = range->first;
        *end = range->second;
        return 1;
    }
};

using EventLog = TestEventSink;

class ViewerTest : public FileObjectTest {
  protected:
    void SetUp() override {
        FileObjectTest::SetUp();
        ASSERT_EQ(app_->Sinks().AdviseSink(&log_, &cookie_), 0);
    }
    // Printer jobs whose documents are images.
    void AddServices(EngineServices& services) override {
        FileObjectTest::AddServices(services);
        AddPrinterJobServices(services);
        services.printerDocument = &MakeImageDocument;
    }
    void TearDown() override {
        app_->Sinks().UnadviseSink(cookie_);
        FileObjectTest::TearDown();
    }

    // A file of n sample pages written through the object, closed again.
    std::string WriteSamples(const std::string& name, int n, const std::u16string& password = {}) {
        if (!password.empty()) {
            Text p(password);
            EXPECT_EQ(Put(file_, FileObject::kDocPassword, p.v()), 0);
            EXPECT_EQ(Put(file_, FileObject::kDocProtect, VariantBool(true)), 0);
        }
        const std::string path = dir_ + "/" + name + ".k3v";
        EXPECT_EQ(Create(path, true), 0);
        for (int k = 1; k <= n; ++k) {
            std::u16string caption = u"ページ";
            caption.push_back(char16_t(u'0' + k));
            ReportObject* report = Sample(caption);
            EXPECT_EQ(AddPage(report), 0);
            DestroyReportObject(report);
        }
        EXPECT_EQ(Call(FileObject::kFileCloseFile), 0);
        Text none(u"");
        EXPECT_EQ(Put(file_, FileObject::kDocPassword, none.v()), 0);
        EXPECT_EQ(Put(file_, FileObject::kDocProtect, VariantBool(false)), 0);
        return path;
    }

    int32_t Get(int32_t id, Variant* v) { return GetValue(file_, id, v); }
    uint32_t PageCount() {
        Variant v{};
        EXPECT_EQ(Get(FileObject::kPageCount, &v), 0);
        return v.ulVal;
    }
    // Files below the temporary folder, folders included.
    size_t TempEntries() {
        size_t n = 0;
        for (auto it = fs::recursive_directory_iterator(tmp_);
             it != fs::recursive_directory_iterator(); ++it)
            ++n;
        return n;
    }
    int Count(int32_t event) const {
        return int(std::count(log_.events.begin(), log_.events.end(), event));
    }

    static QImage Blank() {
        QImage image(794, 1123, QImage::Format_RGB32);
        image.fill(Qt::white);
        return image;
    }
    QImage Played(int page, int32_t* rc = nullptr) {
        QImage image = Blank();
        {
            QPainterDc dc(&image, 96, kDtRasPrinter);
            const int32_t code = file_->ViewerPlayPage(dc.handle(), page);
            if (rc) *rc = code;
        }
        return image;
    }
    // Leftmost and topmost dark pixel; -1 when the page is blank.
    static std::pair<int, int> DarkCorner(const QImage& image) {
        int left = -1, top = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                if (qGray(image.pixel(x, y)) >= 128) continue;
                if (left < 0 || x < left) left = x;
                if (top < 0) top = y;
            }
        return {left, top};
    }
    // The report drawn directly onto a blank page, as a printer would.
    static QImage Drawn(ReportObject* report) {
        QImage image = Blank();
        {
            QPainterDc dc(&image, 96, kDtRasPrinter);
            LockReportUse(report);
            EXPECT_EQ(
                report->Draw(nullptr, dc.handle(), dc.handle(), 0, 0, 0, 0, drawflag::kLayers), 0);
            UnlockReportUse(report);
        }
        return image;
    }
    // The share of the ink that differs cell by cell between two pages; the ink of a in *ink.
    static double CellDifference(const QImage& a, const QImage& b, int* ink) {
        const std::vector<int> ca = Cells(a), cb = Cells(b);
        int total = 0, diff = 0;
        for (size_t i = 0; i < ca.size(); ++i) {
            total += ca[i];
            diff += std::abs(ca[i] - cb[i]);
        }
        *ink = total;
        return double(diff) / std::max(total, 1);
    }
    // Dark pixels per 8x8 cell.
    static std::vector<int> Cells(const QImage& image) {
        std::vector<int> cells;
        for (int cy = 0; cy + 8 <= image.height(); cy += 8)
            for (int cx = 0; cx + 8 <= image.width(); cx += 8) {
                int n = 0;
                for (int y = cy; y < cy + 8; ++y)
                    for (int x = cx; x < cx + 8; ++x) n += qGray(image.pixel(x, y)) < 128;
                cells.push_back(n);
            }
        return cells;
    }

    // The one printer "Office", A4 at dpi with equal margins (0.01 mm), as the application reads
    // its printers again.
    void UseOnePrinter(int32_t dpi, int32_t margin) {
        printers_->SetPrinters({{"Office", "", "", true}});
        PrinterCapabilities caps;
        caps.media = {{"iso_a4_210x297mm", "A4", 21000, 29700, margin, margin, margin, margin}};
        caps.defaultMedia = "iso_a4_210x297mm";
        caps.sources = {{"auto", "Automatic"}};
        caps.defaultSource = "auto";
        caps.resolutions = {{dpi, dpi}};
        caps.defaultResolution = {dpi, dpi};
        caps.copiesMax = 99;
        printers_->SetCapabilities("Office", caps);
        ASSERT_EQ(app_->Initialize(), 0);
    }

    EventLog log_;
    uint32_t cookie_ = 0;
};

TEST_F(ViewerTest, WindowMembersFollowTheFileState) {
    Text title(u"表題");
    struct Row {
        int32_t id;
        Variant value;
        int32_t idle, open, recording;
    } rows[] = {
        {FileObject::kTitle, title.v(), 0, kFileNotIdle, kFileNotIdle},
        {FileObject::kTools, VariantUI4(0x3ff), 0, 0, kFileNotIdle},
        {FileObject::kZoom, VariantUI2(150), 0, 0, kFileInUse},
        {FileObject::kLayerPrint1 + 2, VariantBool(false), 0, 0, kFileNotIdle},
        {FileObject::kLayerDisplay1, VariantBool(false), 0, 0, kFileNotIdle},
        {FileObject::kPage, VariantUI4(1), kFileNotIdle, rc::kOutOfRange, kFileInUse},
        {FileObject::kIndexVisible, VariantBool(true), 0, 0, kFileNotIdle},
        {FileObject::kStatusBarVisible, VariantBool(false), 0, 0, kFileNotIdle},
    };
    auto check = [&](const char* state, int32_t Row::*expected) {
        SCOPED_TRACE(state);
        for (const Row& r : rows) {
            SCOPED_TRACE(r.id);
            EXPECT_EQ(Put(file_, r.id, r.value), r.*expected);
        }
    };
    check("idle", &Row::idle);
    ASSERT_EQ(Create(dir_ + "/states", true), 0);
    check("open for writing", &Row::open);
    UseFakes() = true;
    ReportObject* report = NewReport();
    Add(report, 1, kFakePlain, u"A", {0, 0, 100, 100});
    int calls = 0;
    Script().onDraw = [&] {
        if (calls++ == 0) check("recording", &Row::recording);
    };
    EXPECT_EQ(AddPage(report), 0);
    Script().onDraw = nullptr;
    EXPECT_GT(calls, 0);
    Variant v{};
    EXPECT_EQ(Get(FileObject::kHwnd, &v), code::kNoFrame);
    ASSERT_EQ(Call(FileObject::kFileCloseFile), 0);
    check("idle again", &Row::idle);
    DestroyReportObject(report);
}

TEST_F(ViewerTest, OpensHeadlessOnlyOnAReadFileAndClosesWithoutLeftovers) {
    EXPECT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(1)}), kFileWrongState) << "no file";
    EXPECT_EQ(Call(FileObject::kFileCloseViewer), kFileNotIdle);
    ASSERT_EQ(Create(dir_ + "/writing", true), 0);
    EXPECT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(1)}), kFileWrongState)
        << "a file being written has no pages to show";
    ASSERT_EQ(Call(FileObject::kFileCloseFile), 0);

    const std::string path = WriteSamples("three", 3);
    ASSERT_EQ(Open(path), 0);
    const size_t before = TempEntries();
    EXPECT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(0)}), rc::kBadArgument)
        << "neither top-level nor child";
    EXPECT_EQ(TempEntries(), before) << "a refused style loads nothing";

    // No widgets application: no frame, but the pages load and play.
    ASSERT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(1)}), 0);
    EXPECT_EQ(PageCount(), 3u);
    Variant v{};
    EXPECT_EQ(Get(FileObject::kHwnd, &v), code::kNoFrame);
    EXPECT_EQ(Get(FileObject::kPage, &v), 0);
    EXPECT_EQ(v.ulVal, 1u) << "page 1 shows once loaded";
    EXPECT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(1)}), kFileNotIdle);
    EXPECT_GT(TempEntries(), before + 3) << "three page files and the embedded font";
    int32_t rc = 0;
    EXPECT_NE(DarkCorner(Played(2, &rc)).first, -1);
    EXPECT_EQ(rc, 0);
    Played(4, &rc);
    EXPECT_EQ(rc, kPageOutOfRange);
    EXPECT_EQ(Call(FileObject::kShowDocumentInfo), rc::kFailed) << "no dialog can be shown";

    // Closing from a sink of the close event is refused while the object is in use.
    log_.onEvent = [&](int32_t id, const InvokeArgs*) {
        if (id == kEvViewerClose) {
            EXPECT_EQ(Call(FileObject::kFileRelease), kFileInUse);
        }
    };
    ASSERT_EQ(Call(FileObject::kFileCloseViewer), 0);
    log_.onEvent = nullptr;
    EXPECT_EQ(Count(kEvViewerClose), 1);
    EXPECT_EQ(Count(kEvOnPrint) + Count(kEvPrintButton) + Count(kEvClose), 0);
    EXPECT_EQ(TempEntries(), before) << "page files and font files removed";
    EXPECT_EQ(Status(), FileObject::kOpen) << "the file stays open";
    EXPECT_EQ(PageCount(), 0u);

    // Opened again, then the file closed under it: all goes, no second event.
    ASSERT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(1)}), 0);
    EXPECT_EQ(PageCount(), 3u);
    ASSERT_EQ(Call(FileObject::kFileCloseFile), 0);
    EXPECT_EQ(TempEntries(), before);
    EXPECT_EQ(Count(kEvViewerClose), 1);

    // Released with the viewer open: no font or page file outlives the object.
    ASSERT_EQ(Open(path), 0);
    ASSERT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(1)}), 0);
    ASSERT_EQ(Call(FileObject::kFileRelease), 0);
    EXPECT_EQ(TempEntries(), before);
}

TEST_F(ViewerTest, PasswordDialogThroughThePort) {
    const std::u16string longPassword(200, u'密');
    struct Case {
        const char* name;
        std::u16string stored;
        std::vector<std::u16string> typed;
        bool fails;
        int32_t rc;
        int retries;  // retry warnings
        bool final;   // the last warning
    } cases[] = {
        {"right at once", u"pw", {u"pw"}, false, 0, 0, false},
        {"five wrong, then right",
         u"pw",
         {u"a", u"b", u"c", u"d", u"e", u"pw"},
         false,
         0,
         5,
         false},
        {"six wrong",
         u"pw",
         {u"a", u"b", u"c", u"d", u"e", u"f"},
         false,
         kFilePasswordRefused,
         5,
         true},
        {"cancelled", u"pw", {}, false, kFilePasswordRefused, 0, false},
        {"dialog fails", u"pw", {}, true, rc::kFailed, 0, false},
        {"200 characters",
         longPassword,
         {longPassword.substr(0, 127), longPassword},
         false,
         0,
         1,
         false},
        {"outside CP932", u"😀Ωü", {u"??ü", u"😀Ωü"}, false, 0, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = WriteSamples("locked", 2, c.stored);
        const size_t before = TempEntries();
        ScriptedPort port;
        port.passwords = c.typed;
        port.fails = c.fails;
        file_->SetDialogPort(&port);
        ASSERT_EQ(Open(path), 0);
        EXPECT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(1)}), c.rc);
        EXPECT_EQ(PageCount(), c.rc == 0 ? 2u : 0u) << "a locked file shows no page";
        EXPECT_EQ(int(std::count(port.warnings.begin(), port.warnings.end(), kPasswordRetry)),
                  c.retries);
        EXPECT_EQ(std::count(port.warnings.begin(), port.warnings.end(), kPasswordFinal),
                  c.final ? 1 : 0);
        EXPECT_EQ(GetText(FileObject::kDocPassword), c.stored) << "the file's information applied";
        ASSERT_EQ(Call(FileObject::kFileCloseViewer), 0);
        EXPECT_EQ(TempEntries(), before);
        ASSERT_EQ(Call(FileObject::kFileCloseFile), 0);
        file_->SetDialogPort(nullptr);
    }
    // Without any port (no widgets application) the dialog cannot be shown.
    const std::string path = WriteSamples("locked", 1, u"pw");
    ASSERT_EQ(Open(path), 0);
    EXPECT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(1)}), rc::kFailed);
    ASSERT_EQ(Call(FileObject::kFileCloseFile), 0);
}

TEST_F(ViewerTest, LayerPrintSettingsMovePrintedPagesOnly) {
    Text title(u"題名");
    ASSERT_EQ(Put(file_, FileObject::kDocTitle, title.v()), 0);
    const std::string path = WriteSamples("offsets", 1);
    Text other(u"別");
    ASSERT_EQ(Put(file_, FileObject::kDocTitle, other.v()), 0);
    ASSERT_EQ(Open(path), 0);
    ScriptedPort port;
    file_->SetDialogPort(&port);
    ASSERT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(1)}), 0);
    EXPECT_EQ(GetText(FileObject::kDocTitle), u"題名");
    ASSERT_EQ(Call(FileObject::kShowDocumentInfo), 0);
    EXPECT_EQ(port.shown.title, u"題名");

    const QImage plain = Played(1);
    const auto [x0, y0] = DarkCorner(plain);
    ASSERT_GE(x0, 0);

    // Cancel keeps everything; OK stores the layers and the offsets typed ("10.00" mm).
    EXPECT_EQ(Call(FileObject::kShowLayerPrintSettings), 0);
    EXPECT_EQ(file_->offsetX(), 0);
    LayerPrintDialog typed(LayerPrintSettings{});
    typed.SetXText("10.00");
    typed.SetYText("-5");
    port.layerAnswer = typed.Accept();
    EXPECT_EQ(Call(FileObject::kShowLayerPrintSettings), 0);
    EXPECT_EQ(file_->offsetX(), 10.0);
    const QImage moved = Played(1);
    const auto [x1, y1] = DarkCorner(moved);
    const double mm = 96 / 25.4;
    EXPECT_NEAR(x1 - x0, 10 * mm, 1.0) << "10 mm to the right on paper";
    EXPECT_NEAR(y1 - y0, -5 * mm, 1.0);
    EXPECT_EQ(Cells(moved) != Cells(plain), true);

    // Layers 2 and 3 left out of printing: only the box of layer 1 stays.
    LayerPrintSettings onlyFirst;
    onlyFirst.layers = {true, false, false, false, false};
    port.layerAnswer = onlyFirst;
    ASSERT_EQ(Call(FileObject::kShowLayerPrintSettings), 0);
    Variant v{};
    ASSERT_EQ(Get(FileObject::kLayerPrint1 + 1, &v), 0);
    EXPECT_EQ(v.boolVal, 0);
    const QImage boxOnly = Played(1);
    const std::vector<int> all = Cells(plain), box = Cells(boxOnly);
    EXPECT_LT(std::accumulate(box.begin(), box.end(), 0),
              std::accumulate(all.begin(), all.end(), 0));
    EXPECT_EQ(DarkCorner(boxOnly), DarkCorner(plain)) << "offsets back to 0";

    port.fails = true;
    EXPECT_EQ(Call(FileObject::kShowLayerPrintSettings), rc::kFailed);
    EXPECT_EQ(Call(FileObject::kShowDocumentInfo), rc::kFailed);
    ASSERT_EQ(Call(FileObject::kFileCloseViewer), 0);
    file_->SetDialogPort(nullptr);
}

TEST_F(ViewerTest, PrintWithRangeDialogAsksThenGoesToAPrinterJob) {
    UseOnePrinter(600, 423);
    ScriptedPort port;
    file_->SetDialogPort(&port);
    ASSERT_EQ(Open(WriteSamples("print", 2)), 0);
    EXPECT_EQ(Call(FileObject::kPrintWithRangeDialog), 0) << "no pages: nothing happens";
    EXPECT_EQ(port.rangeAsked, 0);
    ASSERT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(1)}), 0);
    struct Case {
        const char* name;
        bool fails;
        std::optional<std::pair<int, int>> range;
        int32_t rc;
    } cases[] = {
        {"cancelled", false, std::nullopt, 0},
        {"dialog fails", true, std::nullopt, rc::kFailed},
        {"past the last page", false, std::pair{1, 3}, rc::kOutOfRange},
        {"backwards", false, std::pair{2, 1}, rc::kOutOfRange},
        // Without a widgets application the printer selection cannot be shown.
        {"to the printer", false, std::pair{1, 2}, kp::rc::kSelectFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        port.fails = c.fails;
        port.range = c.range;
        EXPECT_EQ(Call(FileObject::kPrintWithRangeDialog), c.rc);
        EXPECT_EQ(app_->ChildCount(ChildKind::kPrinter), 0u) << "the job is closed again";
    }
    EXPECT_EQ(port.rangeAsked, 5);
    ASSERT_EQ(Call(FileObject::kFileCloseViewer), 0);
    file_->SetDialogPort(nullptr);
}

TEST_F(ViewerTest, PrintingWithoutAPrinterSaysSo) {
    printers_->SetPrinters({});
    ASSERT_EQ(app_->Initialize(), 0);
    ScriptedPort port;
    port.range = std::pair{1, 2};
    file_->SetDialogPort(&port);
    ASSERT_EQ(Open(WriteSamples("noprinter", 2)), 0);
    ASSERT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(1)}), 0);
    EXPECT_EQ(Call(FileObject::kPrintWithRangeDialog), kp::rc::kNoDefaultPrinter);
    EXPECT_EQ(port.warnings, std::vector<std::string>{kNoPrinterText});
    EXPECT_EQ(app_->ChildCount(ChildKind::kPrinter), 0u);
    // Cancelled before a printer is looked for: nothing to say.
    port.range.reset();
    EXPECT_EQ(Call(FileObject::kPrintWithRangeDialog), 0);
    EXPECT_EQ(port.warnings.size(), 1u);
    ASSERT_EQ(Call(FileObject::kFileCloseViewer), 0);
    file_->SetDialogPort(nullptr);
}

// The viewer's pages on a printer: its print layers and offsets, the paper of the page's record.
TEST_F(ViewerTest, FilePrintPlaysPagesWithThePrintSettings) {
    UseOnePrinter(100, 0);
    ASSERT_EQ(Open(WriteSamples("printed", 2)), 0);
    ASSERT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(1)}), 0);

    Text name(u"Office");
    Variant made{};
    Variant arg = name.v();
    InvokeArgs args{&arg, 1};
    ASSERT_EQ(app_->Invoke(ApplicationObject::kCreatePrinter, kInvokeMethod, &args, &made), 0);
    auto* job = static_cast<ScriptableObject*>(made.pdispVal);
    auto call = [&](int32_t id, std::vector<Variant> a) {
        Variant result{};
        InvokeArgs block{a.data(), static_cast<uint32_t>(a.size())};
        return job->Invoke(id, kInvokeMethod, &block, &result);
    };
    ASSERT_EQ(Put(job, KPM_PRINTER_JOB_CANCEL_DLG, VariantBool(false)), 0);
    ASSERT_EQ(call(KPM_PRINTER_JOB_OPEN_PRINTER, {VariantUI4(0)}), 0);
    auto* self = static_cast<ScriptableObject*>(file_);
    // Layers 2 and 3 left out: the box alone.
    ASSERT_EQ(Put(file_, KPM_FILE_OBJECT_LAYER_PRINT2, VariantBool(false)), 0);
    ASSERT_EQ(Put(file_, KPM_FILE_OBJECT_LAYER_PRINT3, VariantBool(false)), 0);
    ASSERT_EQ(call(KPM_PRINTER_JOB_FILE_PRINT, {VariantDispatch(self), VariantUI4(1)}), 0);
    const int boxOnly = ImageDocument::last->Dark();
    EXPECT_GT(boxOnly, 100);
    EXPECT_EQ(call(KPM_PRINTER_JOB_FILE_PRINT, {VariantDispatch(self), VariantUI4(3)}), -13001);
    EXPECT_EQ(call(KPM_PRINTER_JOB_FILE_PRINT, {VariantDispatch(job), VariantUI4(1)}),
              rc::kBadArgument);
    ASSERT_EQ(Put(file_, KPM_FILE_OBJECT_LAYER_PRINT2, VariantBool(true)), 0);
    ASSERT_EQ(Put(file_, KPM_FILE_OBJECT_LAYER_PRINT3, VariantBool(true)), 0);
    ASSERT_EQ(call(KPM_PRINTER_JOB_FILE_PRINT, {VariantDispatch(self), VariantUI4(2)}), 0);
    EXPECT_GT(ImageDocument::last->Dark(), boxOnly + 50) << "text and line on the second page";
    EXPECT_EQ(ImageDocument::last->pages, 2);
    ASSERT_EQ(call(KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(true)}), 0);
    EXPECT_EQ(call(KPM_PRINTER_JOB_CLOSE, {}), 0);
    ASSERT_EQ(Call(FileObject::kFileCloseViewer), 0);
}

TEST_F(ViewerTest, PlayedPagesLookAsTheReportDrew) {
    ReportObject* report = Sample(u"ページ1");
    const QImage direct = Drawn(report);
    ASSERT_EQ(Create(dir_ + "/round", true), 0);
    ASSERT_EQ(AddPage(report), 0);
    ASSERT_EQ(Call(FileObject::kFileCloseFile), 0);
    DestroyReportObject(report);
    ASSERT_EQ(Open(dir_ + "/round.k3v"), 0);
    ASSERT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(1)}), 0);
    int ink = 0;
    EXPECT_LE(CellDifference(direct, Played(1), &ink), 0.005);  // within 0.5 %
    EXPECT_GT(ink, 1000);
    ASSERT_EQ(Call(FileObject::kFileCloseViewer), 0);
}

// A face only this process knew when the file was written: its subset in the file stands in for
// it once it is gone, and without the file's fonts the page looks different.
TEST_F(ViewerTest, EmbeddedSubsetStandsInForAFaceThatIsGone) {
    const std::string fixture =
        std::string(QZS_SOURCE_DIR) + "/tests/fixtures/fonts/qzs-fixture-composite.ttf";
    ASSERT_TRUE(plat::RegisterProcessFont(fixture));
    ReportObject* report = NewReport();
    EXPECT_EQ(Put(report, ReportObject::kPaperSize, VariantI2(9)), 0);
    EXPECT_EQ(Put(report, ReportObject::kPaperOrientation, VariantI2(1)), 0);
    ItemObject* text = Add(report, 1, ctrlclass::kText, u"T", {2000, 2000, 19000, 8000});
    Text face(u"QzsFixtureComposite"), letters(u"ABCDE abc ST");
    EXPECT_EQ(Put(text->mainInterface(), KPM_TEXT_CONTROL_FONT_NAME, face.v()), 0);
    Variant size{};
    size.vt = VT_R4;
    size.fltVal = 60.0f;
    EXPECT_EQ(Put(text->mainInterface(), KPM_TEXT_CONTROL_FONT_SIZE, size), 0);
    EXPECT_EQ(Put(text->mainInterface(), KPM_TEXT_CONTROL_TEXT, letters.v()), 0);
    const QImage direct = Drawn(report);
    const std::string path = dir_ + "/fixture.k3v";
    ASSERT_EQ(Create(path, true), 0);
    ASSERT_EQ(AddPage(report), 0);
    ASSERT_EQ(Call(FileObject::kFileCloseFile), 0);
    DestroyReportObject(report);
    ASSERT_TRUE(plat::UnregisterProcessFont(fixture));

    // The same file with its font stream renamed out of reach.
    const std::string cut = dir_ + "/cut.k3v";
    const std::string rename =
        "/usr/bin/python3 -c \"import zlib,sys; d=zlib.decompress(open(sys.argv[1],'rb').read()); "
        "f=lambda t: t.encode('utf-16-le'); assert f('KPFILE30FONT') in d; "
        "open(sys.argv[2],'wb').write(zlib.compress(d.replace(f('KPFILE30FONT'), "
        "f('KPFILE30FONX'))))\" '" +
        path + "' '" + cut + "'";
    ASSERT_EQ(system(rename.c_str()), 0);

    auto differing = [&](const std::string& file) {
        EXPECT_EQ(Open(file), 0);
        EXPECT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(1)}), 0);
        int ink = 0;
        const double difference = CellDifference(direct, Played(1), &ink);
        EXPECT_EQ(Call(FileObject::kFileCloseViewer), 0);
        EXPECT_EQ(Call(FileObject::kFileCloseFile), 0);
        EXPECT_GT(ink, 1000);
        return difference;
    };
    EXPECT_LE(differing(path), 0.005) << "the embedded subset draws the page";
    EXPECT_GT(differing(cut), 0.05) << "another face draws it without the file's fonts";
}

TEST_F(ViewerTest, HostileFilesStayBoundedAndLeaveNothing) {
    const std::string path = WriteSamples("many", 3);
    const size_t before = TempEntries();
    ReportFileLimits limits;
    limits.maxPages = 2;
    file_->SetLoadLimits(limits);
    ASSERT_EQ(Open(path), 0);
    EXPECT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(1)}), kFileDamaged);
    EXPECT_EQ(PageCount(), 2u) << "the pages before the limit stay shown";
    ASSERT_EQ(Call(FileObject::kFileCloseViewer), 0);
    EXPECT_EQ(TempEntries(), before);
    ASSERT_EQ(Call(FileObject::kFileCloseFile), 0);

    // A zip bomb: 64 MiB of zeros against a 1 MiB limit.
    const std::string bomb = dir_ + "/bomb.k3v";
    const std::string cmd =
        "/usr/bin/python3 -c \"import zlib,sys; "
        "open(sys.argv[1],'wb').write(zlib.compress(bytes(64<<20)))\" " +
        bomb;
    ASSERT_EQ(system(cmd.c_str()), 0);
    limits = {};
    limits.maxExpandedBytes = 1u << 20;
    file_->SetLoadLimits(limits);
    ASSERT_EQ(Open(bomb), 0);
    EXPECT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(1)}), kFileDamaged);
    EXPECT_EQ(PageCount(), 0u);
    EXPECT_EQ(TempEntries(), before) << "the expanded part is gone at once";
    ASSERT_EQ(Call(FileObject::kFileCloseFile), 0);
}

TEST_F(ViewerTest, CloseFromASinkWhileLoadingStopsTheLoading) {
    // A sink inside the loading (here the password dialog's) closes the viewer and tries to
    // close the file.
    const std::string locked = WriteSamples("stopped", 3, u"pw");
    const size_t before = TempEntries();
    ASSERT_EQ(Open(locked), 0);
    struct Closing : ViewerDialogPort {
        std::function<void()> inside;
        int AskPassword(std::u16string* typed) override {
            inside();
            *typed = u"pw";
            return 1;
        }
        void Warn(const std::string&, const std::string&) override {}
    } closing;
    int32_t insideRc = 1;
    closing.inside = [&] {
        insideRc = Call(FileObject::kFileCloseViewer);
        EXPECT_EQ(Call(FileObject::kFileCloseFile), kFileInUse);
    };
    file_->SetDialogPort(&closing);
    EXPECT_EQ(Call(FileObject::kFileOpenViewer, {VariantUI4(1)}), 0);
    EXPECT_EQ(insideRc, 0) << "taken, run after the member";
    EXPECT_EQ(Count(kEvViewerClose), 1);
    EXPECT_EQ(PageCount(), 0u);
    EXPECT_EQ(TempEntries(), before) << "fonts and pages of the stopped load removed";
    EXPECT_EQ(Status(), FileObject::kOpen);
    ASSERT_EQ(Call(FileObject::kFileCloseFile), 0);
    file_->SetDialogPort(nullptr);
}

}  // namespace
}  // namespace kp::preview
