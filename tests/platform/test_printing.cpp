// The printer list behind its interface: the scripted fake that the engine's tests use, the
// process-wide choice of printer system, the CUPS back end on a machine whose scheduler cannot
// be reached, the job status word and the bytes of the settings record.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/printing/devmode.h"
#include "platform/printing/printers.h"

namespace {

using namespace plat;

TEST(FakePrinters, ScriptedListDefaultAndFailure) {
    FakePrinterSystem fake;
    std::vector<PrinterInfo> list{{"stale", "", "", false}};
    EXPECT_TRUE(fake.ListPrinters(&list));
    EXPECT_TRUE(list.empty());
    std::string name = "untouched";
    EXPECT_FALSE(fake.DefaultPrinter(&name));
    EXPECT_EQ(name, "untouched");

    fake.SetPrinters({{"A", "Model A", "ipp://a", false}, {"B", "Model B", "usb://b", true}});
    ASSERT_TRUE(fake.ListPrinters(&list));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].makeAndModel, "Model B");
    EXPECT_EQ(list[1].deviceUri, "usb://b");
    ASSERT_TRUE(fake.DefaultPrinter(&name));
    EXPECT_EQ(name, "B");

    fake.SetListFails(true);
    EXPECT_FALSE(fake.ListPrinters(&list));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(fake.ListCalls(), 3);
}

TEST(PrinterSystemChoice, ReplacedAndRestored) {
    auto fake = std::make_shared<FakePrinterSystem>();
    SetPrinterSystem(fake);
    EXPECT_EQ(GetPrinterSystem(), fake);
    SetPrinterSystem(nullptr);
    auto cups = GetPrinterSystem();
    ASSERT_NE(cups, nullptr);
    EXPECT_NE(cups, fake);
    EXPECT_EQ(GetPrinterSystem(), cups) << "one CUPS system per process";
}

TEST(CupsPrinters, UnreachableSchedulerMeansNoPrinters) {
    // A socket that cannot exist: CUPS answers no destinations, which is a machine without
    // printers rather than a failure.
    setenv("CUPS_SERVER", "/nonexistent/qzs-cups.sock", 1);
    auto cups = MakeCupsPrinterSystem();
    std::vector<PrinterInfo> list{{"stale", "", "", false}};
    EXPECT_TRUE(cups->ListPrinters(&list));
    EXPECT_TRUE(list.empty());
    std::string name;
    EXPECT_FALSE(cups->DefaultPrinter(&name));
    unsetenv("CUPS_SERVER");
}

TEST(MediaNames, SizesAndTheNamesPeopleUse) {
    const struct {
        const char* media;
        bool sized;
        int32_t width, length;  // 0.01 mm
        const char* shown;
    } cases[] = {
        {"iso_a3_297x420mm", true, 29700, 42000, "A3"},
        {"jis_b4_257x364mm", true, 25700, 36400, "B4"},
        {"na_letter_8.5x11in", true, 21590, 27940, "Letter"},
        {"jpn_hagaki_100x148mm", true, 10000, 14800, "Postcard"},
        {"oe_odd_123x234mm", true, 12300, 23400, "123x234mm"},
        {"Custom.210x297mm", false, 0, 0, "Custom.210x297mm"},
        {"", false, 0, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.media);
        int32_t w = 0, l = 0;
        EXPECT_EQ(PwgMediaSize(c.media, &w, &l), c.sized);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(l, c.length);
        EXPECT_EQ(PaperDisplayName(c.media), c.shown);
    }
}

TEST(JobStatus, WordForEachCupsState) {
    struct Case {
        JobState state;
        uint32_t word;
        const char* why;
    } cases[] = {
        {{kJobHeld, {"job-incoming"}}, 0x8, "held while our document is written: spooling"},
        {{kJobPending, {"job-incoming"}}, 0x8, "incoming wins over the state"},
        {{kJobHeld, {"job-hold-until-specified"}}, 0x1, "held by the user: paused"},
        {{kJobPending, {}}, 0x0, "waiting to print"},
        {{kJobProcessing, {"job-printing"}}, 0x10, "printing"},
        {{kJobStopped, {}}, 0x2, "stopped: error"},
        {{kJobCanceled, {"job-canceled-by-user"}}, 0x100, "deleted"},
        {{kJobAborted, {"aborted-by-system"}}, 0x102, "deleted with an error"},
        {{kJobCompleted, {"job-completed-successfully"}}, 0x1080, "printed and complete"},
        {{kJobCompleted, {"job-completed-with-warnings"}}, 0x1080, "the reasons do not count"},
    };
    for (const auto& c : cases) EXPECT_EQ(JobStatusWord(c.state), c.word) << c.why;
}

TEST(FakePrinters, JobsMoveAsScriptedAndKeepTheirDocument) {
    FakePrinterSystem fake;
    PrinterCapabilities caps;
    caps.media.push_back({"iso_a4_210x297mm", "A4", 21000, 29700, 423, 423, 423, 423});
    fake.SetCapabilities("P", caps);
    caps.accepting = false;
    fake.SetCapabilities("Refusing", caps);

    PrinterCapabilities read;
    EXPECT_FALSE(fake.ReadCapabilities("nobody", &read));
    ASSERT_TRUE(fake.ReadCapabilities("P", &read));
    EXPECT_EQ(read.media, caps.media);

    int32_t id = 0;
    EXPECT_EQ(fake.CreateJob("Refusing", "t", {}, &id), PrintError::kQueueFull);
    EXPECT_EQ(fake.CreateJob("nobody", "t", {}, &id), PrintError::kNoPrinter);
    fake.FailNextCreate(PrintError::kNoSpace);
    EXPECT_EQ(fake.CreateJob("P", "t", {}, &id), PrintError::kNoSpace);
    ASSERT_EQ(fake.CreateJob("P", "title", {{"copies", "2"}}, &id), PrintError::kOk);
    JobState s;
    ASSERT_EQ(fake.GetJobState("P", id, &s), PrintError::kOk);
    EXPECT_EQ(JobStatusWord(s), 0x8u);
    EXPECT_EQ(fake.GetJobState("Refusing", id, &s), PrintError::kNoSuchJob);

    const auto path = std::filesystem::temp_directory_path() / "qzs-fake-doc.pdf";
    std::ofstream(path, std::ios::binary) << "%PDF-1.4 body";
    ASSERT_EQ(fake.SubmitDocument("P", id, path.string()), PrintError::kOk);
    EXPECT_NE(fake.SubmitDocument("P", id, path.string()), PrintError::kOk) << "one document";
    std::filesystem::remove(path);
    FakePrinterSystem::Job job;
    ASSERT_TRUE(fake.GetJob(id, &job));
    EXPECT_EQ(job.document, "%PDF-1.4 body");
    EXPECT_EQ(job.options, (JobOptions{{"copies", "2"}}));

    EXPECT_EQ(fake.ControlJob("P", id, JobControl::kHold), PrintError::kOk);
    ASSERT_EQ(fake.GetJobState("P", id, &s), PrintError::kOk);
    EXPECT_EQ(JobStatusWord(s), 0x1u);
    EXPECT_EQ(fake.ControlJob("P", id, JobControl::kRestart), PrintError::kFailed)
        << "only an ended job restarts";
    EXPECT_EQ(fake.ControlJob("P", id, JobControl::kRelease), PrintError::kOk);
    EXPECT_EQ(fake.CancelJob("P", id), PrintError::kOk);
    EXPECT_EQ(fake.CancelJob("P", id), PrintError::kFailed) << "cancelled once";
    EXPECT_EQ(fake.ControlJob("P", id, JobControl::kRestart), PrintError::kOk);
    EXPECT_EQ(fake.ControlJob("P", 77, JobControl::kCancel), PrintError::kNoSuchJob);
}

// The settings record against the same record packed by Python's struct from the published
// field list, so that a mistake in our struct cannot hide in a test that reuses it.
TEST(DevModeRecord, BytesMatchAnIndependentPacking) {
    DevMode dm = MakeDevMode(std::string_view("QZS-Printer-with-a-name-longer-than-31"));
    dm.dmFields = kDmOrientation | kDmPaperSize | kDmCopies | kDmColor;
    dm.dmOrientation = kDmOrientLandscape;
    dm.dmPaperSize = 9;
    dm.dmPaperLength = 2970;
    dm.dmPaperWidth = 2100;
    dm.dmScale = 100;
    dm.dmCopies = 3;
    dm.dmDefaultSource = kDmBinAuto;
    dm.dmPrintQuality = 600;
    dm.dmColor = kDmColorColor;
    dm.dmYResolution = 600;
    dm.dmLogPixels = 0x1234;
    dm.dmPanningHeight = 0xA1B2C3D4;
    const auto bytes = DevModeBytes(dm);

    const auto script = std::filesystem::temp_directory_path() / "qzs-devmode.py";
    const auto out = std::filesystem::temp_directory_path() / "qzs-devmode.bin";
    std::ofstream(script) << R"(import struct, sys
fmt = '<32sHHHHIhhhhhhhhhhhhh32sHIIIIIIIIIIIII'
rec = struct.pack(fmt, b'QZS-Printer-with-a-name-longer-', 0x0401, 0, 156, 0,
                  0x1 | 0x2 | 0x100 | 0x800, 2, 9, 2970, 2100, 100, 3, 7, 600, 2, 0, 600, 0, 0,
                  b'', 0x1234, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xA1B2C3D4)
assert len(rec) == 156, len(rec)
open(sys.argv[1], 'wb').write(rec)
)";
    const std::string command = "/usr/bin/python3 " + script.string() + " " + out.string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(out, std::ios::binary);
    std::array<uint8_t, kDevModeSize> expected{};
    in.read(reinterpret_cast<char*>(expected.data()), expected.size());
    ASSERT_EQ(in.gcount(), static_cast<std::streamsize>(kDevModeSize));
    std::filesystem::remove(script);
    std::filesystem::remove(out);
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(dm.dmDeviceName[31], '\0') << "the name is cut to leave its terminator";
}

}  // namespace
