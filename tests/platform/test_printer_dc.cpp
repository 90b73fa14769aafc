// The printer context's abort procedure: asked at every 64th drawing call while a page is drawn,
// and once it answers "stop", nothing more reaches the document.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QGuiApplication>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/printer_dc.h"

namespace plat {
namespace {

QGuiApplication* App() {
    static int argc = 1;
    static char name[] = "test_printer_dc";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    return app;
}

std::string PdfText(const std::string& pdf) {
    std::string out;
    if (FILE* p = ::popen(("pdftotext '" + pdf + "' - 2>/dev/null").c_str(), "r")) {
        std::array<char, 512> buf;
        size_t n;
        while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
        ::pclose(p);
    }
    return out;
}

TEST(PrinterDc, AbortProcedureEvery64DrawingCalls) {
    ASSERT_NE(App(), nullptr);
    struct Case {
        int draws;          // rectangles before the text
        int stopAt;         // the call of the procedure that answers "stop"; 0 never
        int expectedCalls;  // times the procedure was asked
        bool textPrinted;
    };
    const Case cases[] = {
        {62, 0, 0, true},   // the text is the 63rd call: no question yet
        {63, 0, 1, true},   // the text is the 64th: asked once, goes on
        {63, 1, 1, false},  // stopped at the text itself
        {130, 0, 2, true},  // asked at 64 and 128
        {70, 1, 1, false},  // stopped at 64: no more questions, nothing more drawn
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.draws);
        DeviceInfo page = DeviceInfo::ForPixels(4800, 6800, 600, kDtRasPrinter);
        page.physicalWidth = 4960;
        page.physicalHeight = 7016;
        page.physicalOffsetX = 80;
        page.physicalOffsetY = 108;
        char path[] = "/tmp/qzs-printer-dc-XXXXXX";
        const int fd = ::mkstemp(path);
        ASSERT_GE(fd, 0);
        ::close(fd);
        int calls = 0;
        {
            PrinterDc dc(page);
            ASSERT_TRUE(dc.Open(path, "abort test"));
            dc.SetAbortProc([&] { return ++calls != c.stopAt; });
            ASSERT_TRUE(dc.StartPage());
            const HBRUSH brush = CreateSolidBrush(0);
            for (int i = 0; i < c.draws; ++i) {
                dc.FillRect(RECT{10 * i, 10, 10 * i + 5, 20}, brush);
            }
            LOGFONTW lf;
            lf.lfHeight = -200;
            std::u16string face = u"IPAGothic";
            face.copy(lf.lfFaceName, face.size());
            const HFONT font = CreateFontIndirectW(lf);
            dc.SelectObject(font);
            dc.ExtTextOutW(300, 1000, 0, nullptr, u"QZSABORTCHECK");
            EXPECT_EQ(dc.Aborted(), c.stopAt != 0);
            EXPECT_TRUE(dc.EndPage());
            EXPECT_TRUE(dc.Close());
            DeleteObject(brush);
            DeleteObject(font);
        }
        EXPECT_EQ(calls, c.expectedCalls);
        EXPECT_EQ(PdfText(path).find("QZSABORTCHECK") != std::string::npos, c.textPrinted);
        std::remove(path);
    }
}

}  // namespace
}  // namespace plat
