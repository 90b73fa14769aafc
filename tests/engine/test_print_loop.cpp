// The print loop on its own, over a bound printer, its settings and a recording document: the
// scale and the place of pages of several sizes on the sheet, the sheets of one and of two pages,
// the printer's paper made to match a page printed one to one, the spooler's failures and the
// cancel as the page answers them, and the document started, replaced and ended.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/output/print_loop.h"
#include "engine/output/printer_codes.h"
#include "engine_fakes.h"

namespace {

using namespace kp;
using namespace plat;

// The office papers; at 600 dpi an A4 sheet is 4961 x 7016 pixels with its printable corner at
// (100, 100).
PrinterCapabilities OfficeCaps() {
    PrinterCapabilities c;
    c.media = fakes::OfficeMedia();
    c.defaultMedia = "iso_a4_210x297mm";
    c.sources = {{"auto", "Automatic"}};
    c.defaultSource = "auto";
    c.resolutions = {{600, 600}};
    c.defaultResolution = {600, 600};
    c.copiesMax = 99;
    return c;
}

// What the document was asked, in order, and what it answers.
struct DocScript {
    std::vector<std::string> log;
    int32_t startDoc = 0;
    int32_t startPage = 0;
    int32_t endPage = 0;
    int32_t endDoc = 0;
    bool reset = true;
    std::function<void()> onStartPage;
    std::function<void()> onEndPage;
    std::function<bool()> abortProc;
};

class FakeDocument : public PrinterDocument {
  public:
    FakeDocument(const PageGeometry& page, DocScript& script, std::string name)
        : dc_(Info(page)), s_(script), name_(std::move(name)) {}
    DeviceContext* dc() override { return &dc_; }
    bool Reset(const PageGeometry& page, const DevMode& dm) override {
        Log("reset " + std::to_string(page.physicalWidth) + "x" +
            std::to_string(page.physicalHeight) + " paper " + std::to_string(dm.dmPaperSize));
        return s_.reset;
    }
    int32_t StartDoc(const std::string& title, int32_t* jobId) override {
        Log("startdoc " + title);
        *jobId = 41;
        return s_.startDoc;
    }
    int32_t StartPage() override {
        Log("startpage");
        if (s_.onStartPage) s_.onStartPage();
        return s_.startPage;
    }
    int32_t EndPage() override {
        Log("endpage");
        if (s_.onEndPage) s_.onEndPage();
        return s_.endPage;
    }
    int32_t EndDoc() override {
        Log("enddoc");
        return s_.endDoc;
    }
    int32_t AbortDoc() override {
        Log("abortdoc");
        return 0;
    }
    void SetAbortProc(std::function<bool()> proc) override { s_.abortProc = std::move(proc); }

  private:
    void Log(const std::string& line) { s_.log.push_back(name_ + line); }
    static DeviceInfo Info(const PageGeometry& page) {
        DeviceInfo info =
            DeviceInfo::ForPixels(page.horzRes, page.vertRes, page.dpiX, kDtRasPrinter);
        info.physicalWidth = page.physicalWidth;
        info.physicalHeight = page.physicalHeight;
        info.physicalOffsetX = page.offsetX;
        info.physicalOffsetY = page.offsetY;
        return info;
    }
    InfoDc dc_;
    DocScript& s_;
    std::string name_;
};

// A page of given paper; it may act while it draws, and notes where it was drawn.
struct FakePage : PageSource {
    int16_t code = 9;
    int32_t width = 2100, length = 2970;
    int16_t orientation = 1;
    bool report = true;
    int32_t check = 0;
    bool paperFails = false;
    int32_t drawResult = 0;
    int32_t locks = 0, unlocks = 0, draws = 0;
    std::vector<POINT> drawnAt;
    std::function<void()> whileDrawing;
    int32_t Check() override { return check; }
    void Lock() override { ++locks; }
    void Unlock() override { ++unlocks; }
    bool Paper(int16_t* c, int32_t* w, int32_t* l, int16_t* o) override {
        *c = code;
        *w = width;
        *l = length;
        *o = orientation;
        return !paperFails;
    }
    int32_t PaperError() const override { return report ? -13000 : -13001; }
    bool IsReport() const override { return report; }
    int32_t Draw(DeviceContext* dc) override {
        ++draws;
        drawnAt.push_back(dc->GetViewportOrgEx());
        if (whileDrawing) whileDrawing();
        return drawResult;
    }
};

struct Layout {
    bool scalePrint, fit, multi;
    int16_t multiLayout, align;
    uint16_t scale;
};

class PrintLoopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        PrinterModel model = CodePrinter("Office", OfficeCaps());
        const DevMode defaults = model.defaults;
        printer_.Bind(std::move(model));
        printer_.AdoptLimits();
        ASSERT_EQ(settings_.Apply(defaults), rc::kOk);
    }

    void SetLayout(const Layout& l) {
        PrinterSettingsEditor::LayoutSettings& s = settings_.Layout();
        s.scalePrint = l.scalePrint;
        s.scalePaperFit = l.fit;
        s.multiPrint = l.multi;
        s.multiPrintLayout = l.multiLayout;
        s.scalePrintLayout = l.align;
        s.scale = l.scale;
    }
    std::unique_ptr<PrinterDocument> NewDocument(const std::string& name = "") {
        PageGeometry page;
        EXPECT_TRUE(MeasurePage(printer_.Model(), *settings_.Current(), &page));
        return std::make_unique<FakeDocument>(page, doc_, name);
    }
    // A document reset to the current record and started, as the job opens one.
    void Open() {
        std::unique_ptr<PrinterDocument> doc = NewDocument();
        ASSERT_EQ(loop_.ResetDocument(doc.get()), rc::kOk);
        ASSERT_EQ(loop_.StartDocument(doc, "t"), rc::kOk);
        doc_.log.clear();
    }
    // A page as the job prints it: counted once printed.
    int32_t Print(PageSource& page) {
        const int32_t code = loop_.RunPage(page);
        if (code == rc::kOk) loop_.CountPage();
        return code;
    }
    int32_t Lines(const std::string& line) const {
        int32_t n = 0;
        for (const auto& l : doc_.log) n += l == line;
        return n;
    }

    PrinterBinding printer_;
    PrinterSettingsEditor settings_{printer_};
    std::recursive_mutex lock_;
    std::atomic<bool> cancelled_{false};
    int32_t resets_ = 0;
    DocScript doc_;
    PrintLoop loop_{{printer_, settings_, lock_, [this] { return cancelled_.load(); },
                     [this] {
                         ++resets_;
                         return loop_.ResetDocument(loop_.Document());
                     },
                     [this] { return !cancelled_.load(); }}};
};

// ---------------------------------------------------------------------------------------------
// Scale and place

TEST_F(PrintLoopTest, ScaleAndOriginOfPagesOfEachSize) {
    // clang-format off
    struct {
        Layout layout;
        int32_t w, l;
        int16_t o;
        bool secondHalf;
        int32_t scale;
        POINT origin;
        SIZE extent;
        const char* why;
    } cases[] = {
        {{false, true, false, 1, 2, 50}, 2970, 4200, 1, false, 100, {-100, -100}, {7016, 9921},
         "one to one: the page's corner on the paper's"},
        {{true, false, false, 1, 1, 50}, 1480, 2100, 1, false, 50, {-100, -100}, {3496, 4961},
         "the given scale, top left"},
        {{true, true, false, 1, 2, 100}, 1480, 2100, 1, false, 141, {-84, -90}, {3496, 4961},
         "A5 fitted to A4 by its length, centred"},
        {{true, true, false, 1, 1, 100}, 2100, 2970, 2, false, 71, {-100, -100}, {7016, 4961},
         "landscape A4 fitted by its width; the extent turns with it"},
        {{true, true, false, 1, 2, 100}, 2100, 2970, 2, false, 71, {-110, 1647}, {7016, 4961},
         "landscape centred: a page wider than the sheet by a hair"},
        {{true, true, true, 2, 3, 100}, 2970, 4200, 1, false, 35, {1152, -64}, {7016, 9921},
         "A3 two above each other: the first sits on the centre line"},
        {{true, true, true, 2, 3, 100}, 2970, 4200, 1, true, 35, {1152, 3408}, {7016, 9921},
         "the second hangs from it"},
        {{false, false, true, 1, 2, 100}, 1480, 2100, 1, true, 100, {2381, -100}, {3496, 4961},
         "two side by side unscaled: the right half's corner"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SetLayout(c.layout);
        Open();
        if (c.secondHalf) {
            FakePage first;
            ASSERT_EQ(loop_.RunPage(first), rc::kOk) << c.why;
        }
        const int32_t s = loop_.ComputePrintScale(c.w, c.l, c.o);
        EXPECT_EQ(s, c.scale) << c.why;
        loop_.Dc()->SetMapMode(kMmAnisotropic);
        loop_.Dc()->SetWindowExtEx(100, 100);
        loop_.Dc()->SetViewportExtEx(s, s);
        POINT origin{};
        ASSERT_EQ(loop_.ComputePrintOrigin(c.w, c.l, c.o, &origin), rc::kOk) << c.why;
        EXPECT_EQ(origin.x, c.origin.x) << c.why;
        EXPECT_EQ(origin.y, c.origin.y) << c.why;
        EXPECT_EQ(loop_.PageExtent().cx, c.extent.cx) << c.why;
        EXPECT_EQ(loop_.PageExtent().cy, c.extent.cy) << c.why;
        ASSERT_EQ(loop_.EndDocument(false), rc::kOk);
    }
}

TEST_F(PrintLoopTest, NoDocumentNoOrigin) {
    POINT origin{7, 7};
    EXPECT_EQ(loop_.ComputePrintOrigin(2100, 2970, 1, &origin), rc::kNotReady);
    EXPECT_EQ(origin.x, 7);
    FakePage page;
    EXPECT_EQ(loop_.RunPage(page), rc::kNotReady);
    EXPECT_EQ(page.draws, 0);
    EXPECT_EQ(page.unlocks, page.locks);
}

// ---------------------------------------------------------------------------------------------
// Sheets

TEST_F(PrintLoopTest, TwoPagesToASheet) {
    SetLayout({false, false, true, 1, 1, 100});
    Open();
    FakePage page;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(loop_.RunPage(page), rc::kOk);
    EXPECT_EQ(doc_.log, (std::vector<std::string>{"startpage", "endpage", "startpage"}));
    EXPECT_EQ(page.drawnAt[0].x, -100) << "left half";
    EXPECT_EQ(page.drawnAt[1].x, 2381) << "right half";
    EXPECT_EQ(page.drawnAt[2].x, -100) << "the next sheet's left half";

    // Settings changed under the open document end the half-full sheet: the next page starts
    // a sheet of its own, on its first half.
    ASSERT_EQ(loop_.EndSheet(), rc::kOk);
    EXPECT_EQ(doc_.log.back(), "endpage");
    ASSERT_EQ(loop_.EndSheet(), rc::kOk) << "no sheet open: nothing to end";
    EXPECT_EQ(Lines("endpage"), 2);
    ASSERT_EQ(loop_.RunPage(page), rc::kOk);
    EXPECT_EQ(page.drawnAt[3].x, -100);
    EXPECT_EQ(doc_.log.back(), "startpage");

    // The end of the document ends the half-full sheet; no blank sheet is added.
    doc_.log.clear();
    ASSERT_EQ(loop_.EndDocument(true), rc::kOk);
    EXPECT_EQ(doc_.log, (std::vector<std::string>{"endpage", "enddoc"}));
}

TEST_F(PrintLoopTest, DocumentEnds) {
    // clang-format off
    struct {
        int pages;
        bool deliver;
        int32_t endPage, endDoc;
        std::vector<std::string> log;
        int32_t code;
        const char* why;
    } cases[] = {
        {0, true, 0, 0, {"startpage", "endpage", "enddoc"}, rc::kOk, "one blank sheet"},
        {1, true, 0, 0, {"enddoc"}, rc::kOk, "the page's sheet is ended already"},
        {1, false, 0, 0, {"abortdoc"}, rc::kOk, "aborted"},
        {0, true, 0, rc::kQueueFull, {"startpage", "endpage", "enddoc"}, rc::kQueueFull,
         "the spooler refuses"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SetLayout({false, false, false, 1, 1, 100});
        Open();
        FakePage page;
        for (int i = 0; i < c.pages; ++i) ASSERT_EQ(Print(page), rc::kOk);
        doc_.log.clear();
        doc_.endPage = c.endPage;
        doc_.endDoc = c.endDoc;
        EXPECT_EQ(loop_.EndDocument(c.deliver), c.code) << c.why;
        EXPECT_EQ(doc_.log, c.log) << c.why;
        doc_ = DocScript{};
    }

    // A sheet left open whose end fails: the document still goes to the spooler, and the
    // answer is the document's failure.
    SetLayout({false, false, true, 1, 1, 100});
    Open();
    FakePage page;
    ASSERT_EQ(loop_.RunPage(page), rc::kOk);
    doc_.endPage = rc::kQueueFull;
    EXPECT_EQ(loop_.EndDocument(true), rc::kDocumentFailed);
    EXPECT_EQ(doc_.log.back(), "enddoc");
}

// ---------------------------------------------------------------------------------------------
// The spooler's failures and the cancel

TEST_F(PrintLoopTest, PageFailuresAsThePageAnswers) {
    enum Step { kNone, kCheck, kPaper, kZeroWidth, kStartPage, kEndPage, kDraw };
    // clang-format off
    struct {
        Step step;
        int32_t code;
        bool report;
        bool cancelDuring;
        int32_t answer;
        int32_t draws;
        const char* why;
    } cases[] = {
        {kCheck, -7, true, false, -7, 0, "not a report"},
        {kPaper, 0, true, false, -13000, 0, "the report cannot say its paper"},
        {kPaper, 0, false, false, -13001, 0, "a recorded page without its record"},
        {kZeroWidth, 0, true, false, -13000, 0, "a page without width"},
        {kStartPage, rc::kNoSpoolSpace, true, false, rc::kNoSpoolSpace, 0, "no sheet"},
        {kStartPage, rc::kNoSpoolSpace, true, true, rc::kJobCancelled, 0,
         "no sheet, cancelled meanwhile"},
        {kEndPage, rc::kPageFailed, true, false, rc::kPageFailed, 1, "the sheet's end fails"},
        {kEndPage, rc::kPageFailed, true, true, rc::kOk, 1, "the cancel stopped the sheet"},
        {kDraw, -7, true, false, -7, 1, "the draw's own failure"},
        {kDraw, -1, true, true, rc::kJobCancelled, 1, "a report stopped by the cancel"},
        {kDraw, -1, false, true, -1, 1, "a recorded page's -1 is its own"},
        {kNone, 0, true, true, rc::kJobCancelled, 1, "drawn, but cancelled meanwhile"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SetLayout({false, false, false, 1, 1, 100});
        cancelled_ = false;
        Open();
        FakePage page;
        page.report = c.report;
        const auto cancel = [&] { cancelled_ = c.cancelDuring; };
        switch (c.step) {
            case kCheck:
                page.check = c.code;
                break;
            case kPaper:
                page.paperFails = true;
                break;
            case kZeroWidth:
                page.width = 0;
                break;
            case kStartPage:
                doc_.startPage = c.code;
                doc_.onStartPage = cancel;
                break;
            case kEndPage:
                doc_.endPage = c.code;
                doc_.onEndPage = cancel;
                break;
            case kDraw:
                page.drawResult = c.code;
                [[fallthrough]];
            case kNone:
                page.whileDrawing = cancel;
                break;
        }
        EXPECT_EQ(loop_.RunPage(page), c.answer) << c.why;
        EXPECT_EQ(page.draws, c.draws) << c.why;
        EXPECT_EQ(page.unlocks, page.locks) << c.why;
        EXPECT_EQ(page.locks, c.step == kCheck ? 0 : 1) << c.why << ": locked only once checked";
        doc_ = DocScript{};
        ASSERT_EQ(loop_.EndDocument(false), rc::kOk);
    }
}

TEST_F(PrintLoopTest, AbortProcedureStopsTheDocument) {
    SetLayout({false, false, false, 1, 1, 100});
    Open();
    ASSERT_TRUE(doc_.abortProc) << "the job's abort procedure goes on the started document";
    FakePage page;
    page.whileDrawing = [&] {
        EXPECT_TRUE(doc_.abortProc()) << "goes on before the cancel";
        cancelled_ = true;
        EXPECT_FALSE(doc_.abortProc()) << "stops after it";
    };
    EXPECT_EQ(loop_.RunPage(page), rc::kJobCancelled);
    EXPECT_EQ(Lines("endpage"), 0) << "the stopped page's sheet is not ended";
    doc_.log.clear();
    EXPECT_EQ(loop_.EndDocument(false), rc::kOk);
    EXPECT_EQ(doc_.log, (std::vector<std::string>{"endpage", "abortdoc"}));
}

TEST_F(PrintLoopTest, StartedDocumentReplacesTheOldOne) {
    SetLayout({false, false, true, 1, 1, 100});
    Open();
    PrinterDocument* const first = loop_.Document();
    FakePage page;
    ASSERT_EQ(loop_.RunPage(page), rc::kOk);  // a half-full sheet stays open

    std::unique_ptr<PrinterDocument> refused = NewDocument("2:");
    doc_.startDoc = rc::kQueueFull;
    EXPECT_EQ(loop_.StartDocument(refused, "t"), rc::kQueueFull);
    EXPECT_TRUE(refused != nullptr) << "a document that did not start stays with the caller";
    EXPECT_EQ(loop_.Document(), first);

    doc_.startDoc = 0;
    doc_.log.clear();
    std::unique_ptr<PrinterDocument> second = NewDocument("2:");
    PrinterDocument* const started = second.get();
    ASSERT_EQ(loop_.StartDocument(second, "t"), rc::kOk);
    EXPECT_EQ(doc_.log, (std::vector<std::string>{"2:startdoc t", "endpage", "abortdoc"}))
        << "the old document's sheet and job are given up once the new one has started";
    EXPECT_EQ(loop_.Document(), started);
    EXPECT_EQ(loop_.JobNumber(), 41);
    EXPECT_EQ(loop_.PageCount(), 0u);
    ASSERT_EQ(loop_.RunPage(page), rc::kOk);
    EXPECT_EQ(page.drawnAt.back().x, -100) << "a new document starts on a first half";
}

// ---------------------------------------------------------------------------------------------
// The paper of a page printed one to one

TEST_F(PrintLoopTest, PrinterPaperFollowsThePage) {
    // clang-format off
    struct {
        int16_t code;
        int32_t w, l;
        int16_t o;
        bool resetWorks;
        int32_t answer;
        int16_t paper;  // the record's paper after the page
        int32_t resets;
        const char* why;
    } cases[] = {
        {9, 2100, 2970, 1, true, rc::kOk, 9, 0, "the record's paper: no reset"},
        {8, 2970, 4200, 1, true, rc::kOk, 8, 1, "A3 is listed"},
        {9, 2100, 2970, 2, true, rc::kOk, 9, 1, "the same paper turned"},
        {300, 1230, 2340, 1, true, rc::kOk, 258, 1, "a code above 256 by its size"},
        {256, 2101, 2969, 1, true, rc::kOk, 9, 1, "a user size found within 0.1 mm"},
        {256, 1500, 2000, 1, true, rc::kUnknownPaper, 9, 0, "no paper that size"},
        {5, 2159, 3556, 1, true, rc::kUnknownPaper, 9, 0, "a code the printer lacks"},
        {8, 2970, 4200, 1, false, rc::kResetFailed, 9, 1, "refused: the record keeps A4"},
    };
    // clang-format on
    SetLayout({false, false, false, 1, 1, 100});
    for (const auto& c : cases) {
        Open();
        ASSERT_EQ(settings_.Current()->dmPaperSize, 9);
        resets_ = 0;
        doc_.reset = c.resetWorks;
        FakePage page;
        page.code = c.code;
        page.width = c.w;
        page.length = c.l;
        page.orientation = c.o;
        EXPECT_EQ(loop_.RunPage(page), c.answer) << c.why;
        EXPECT_EQ(settings_.Current()->dmPaperSize, c.paper) << c.why;
        EXPECT_EQ(resets_, c.resets) << c.why;
        if (c.answer == rc::kOk) {
            EXPECT_EQ(settings_.Current()->dmOrientation, c.o) << c.why;
            EXPECT_EQ(loop_.Dc()->GetViewportExtEx().cx, 100) << c.why << ": one to one again";
        } else {
            EXPECT_EQ(page.draws, 0) << c.why;
        }
        // Back to A4 upright for the next page.
        doc_.reset = true;
        settings_.Current()->dmPaperSize = 9;
        settings_.Current()->dmOrientation = 1;
        ASSERT_EQ(loop_.ResetDocument(loop_.Document()), rc::kOk);
        ASSERT_EQ(loop_.EndDocument(false), rc::kOk);
    }

    // Scaled, the page needs no paper of its size.
    SetLayout({true, true, false, 1, 1, 100});
    Open();
    FakePage odd;
    odd.code = 256;
    odd.width = 1500;
    odd.length = 2000;
    EXPECT_EQ(loop_.RunPage(odd), rc::kOk);
    EXPECT_EQ(settings_.Current()->dmPaperSize, 9);
}

}  // namespace
