// The settings editor on its own, over a bound printer: each put checked against the printer
// and the waiting replacement, the edits merged into the record at UpdateInfo with the document
// closed or open, and dropped again.
#include <gtest/gtest.h>

#include <functional>

#include "engine/output/printer_codes.h"
#include "engine/output/printer_settings_editor.h"
#include "engine_fakes.h"

namespace {

using namespace kp;
using namespace plat;
using fakes::Media;

// A4 and A3, custom sizes, two resolutions, 99 copies, colour.
PrinterModel Office() {
    PrinterCapabilities c;
    c.media = {Media("iso_a4_210x297mm", "A4", 21000, 29700),
               Media("iso_a3_297x420mm", "A3", 29700, 42000)};
    c.defaultMedia = "iso_a4_210x297mm";
    c.sources = {{"auto", "Automatic"}, {"tray-1", "Tray 1"}};
    c.defaultSource = "auto";
    c.resolutions = {{300, 300}, {600, 600}};
    c.defaultResolution = {600, 600};
    c.copiesMax = 99;
    c.color = true;
    c.customMinWidth = 10000;
    c.customMinLength = 14800;
    c.customMaxWidth = 29700;
    c.customMaxLength = 42000;
    return CodePrinter("Office", c);
}

struct Fixture {
    Fixture() {
        PrinterModel model = Office();
        const DevMode defaults = model.defaults;
        printer.Bind(std::move(model));
        printer.AdoptLimits();
        EXPECT_EQ(editor.Apply(defaults), rc::kOk);
    }
    PrinterBinding printer;
    PrinterSettingsEditor editor{printer};
};

TEST(PrinterSettingsEditor, PutsCheckedAgainstThePrinter) {
    using Put = std::function<int32_t(PrinterSettingsEditor&)>;
    struct {
        Put put;
        int32_t code;
        const char* why;
    } cases[] = {
        {[](auto& e) { return e.PutPaperSize(8, true); }, rc::kOk, "A3 is listed"},
        {[](auto& e) { return e.PutPaperSize(11, true); }, rc::kPaperNotInList, "A5 is not"},
        {[](auto& e) { return e.PutPaperWidth(1500, true); }, rc::kPaperNotInList,
         "a width needs a user-defined size"},
        {[](auto& e) {
             return e.PutPaperSize(256, true) == rc::kOk ? e.PutPaperWidth(1500, true) : -1;
         },
         rc::kOk, "after one is put"},
        {[](auto& e) { return e.PutPaperLength(20001, true); }, rc::kOutOfRange, "range first"},
        {[](auto& e) { return e.PutSource(7, true); }, rc::kOk, "automatic"},
        {[](auto& e) { return e.PutSource(4, true); }, rc::kSourceNotInList, "no manual tray"},
        {[](auto& e) { return e.PutOrientation(3, true); }, rc::kOutOfRange, "1 or 2"},
        {[](auto& e) { return e.PutCopies(0); }, rc::kOutOfRange, "0 reads as no edit"},
        {[](auto& e) { return e.PutCopies(100); }, rc::kOutOfRange, "above the limit"},
        {[](auto& e) { return e.PutCopies(99); }, rc::kOk, "the limit"},
        {[](auto& e) { return e.PutQuality(600); }, rc::kOk, "a listed resolution"},
        {[](auto& e) { return e.PutQuality(700); }, rc::kOutOfRange, "an unlisted one"},
        {[](auto& e) { return e.PutQuality(-4); }, rc::kOk, "high quality"},
        {[](auto& e) { return e.PutQuality(-5); }, rc::kOutOfRange, "no such quality"},
        {[](auto& e) { return e.PutColor(2); }, rc::kOk, "colour"},
        {[](auto& e) { return e.PutColor(0); }, rc::kOutOfRange, "1 or 2"},
    };
    for (const auto& c : cases) {
        Fixture f;
        EXPECT_EQ(c.put(f.editor), c.code) << c.why;
        EXPECT_EQ(f.editor.HasPendingEdits(), c.code == rc::kOk) << c.why;
    }
}

TEST(PrinterSettingsEditor, AWaitingReplacementRefusesEditsWhileReady) {
    Fixture f;
    f.editor.SetReplacement(*f.editor.Current());
    EXPECT_EQ(f.editor.PutPaperSize(8, true), rc::kReplacementWaiting);
    EXPECT_EQ(f.editor.PutCopies(2), rc::kReplacementWaiting);
    EXPECT_EQ(f.editor.PutColor(1), rc::kReplacementWaiting);
    EXPECT_EQ(f.editor.PutPaperSize(8, false), rc::kOk) << "the open document's edits go ahead";
    EXPECT_TRUE(f.editor.HasWaitingChanges());
    f.editor.DropEdits();
    EXPECT_FALSE(f.editor.HasWaitingChanges());

    PrinterBinding unbound;
    PrinterSettingsEditor none(unbound);
    EXPECT_EQ(none.PutPaperWidth(1, true), rc::kFieldNotSupported);
    EXPECT_EQ(none.Apply(DevMode{}), rc::kNotReady);
    EXPECT_EQ(none.UpdateReady(), rc::kNotReady);
}

TEST(PrinterSettingsEditor, UpdateWhileReadyMergesTheEdits) {
    Fixture f;
    ASSERT_EQ(f.editor.PutPaperSize(256, true), rc::kOk);
    ASSERT_EQ(f.editor.PutOrientation(kDmOrientLandscape, true), rc::kOk);
    ASSERT_EQ(f.editor.PutPaperWidth(1500, true), rc::kOk);
    ASSERT_EQ(f.editor.PutPaperLength(2000, true), rc::kOk);
    ASSERT_EQ(f.editor.PutCopies(3), rc::kOk);
    f.editor.Deferred().scale = 50;
    ASSERT_EQ(f.editor.UpdateReady(), rc::kOk);
    f.editor.CommitEdits();
    const DevMode& dm = *f.editor.Current();
    EXPECT_EQ(dm.dmPaperSize, kDmPaperUser);
    EXPECT_EQ(dm.dmOrientation, kDmOrientLandscape);
    // Turned, the width put is the page's across, the record's length.
    EXPECT_EQ(dm.dmPaperWidth, 2000);
    EXPECT_EQ(dm.dmPaperLength, 1500);
    EXPECT_EQ(dm.dmCopies, 3);
    EXPECT_FALSE(f.editor.HasPendingEdits());
    EXPECT_EQ(f.editor.Layout().scale, 50);
}

TEST(PrinterSettingsEditor, UpdateWithTheDocumentOpen) {
    struct {
        int32_t resetCode;
        int16_t paperAfter;
        bool editsStay;
    } cases[] = {{rc::kOk, 8, false}, {rc::kResetFailed, 9, true}};
    for (const auto& c : cases) {
        Fixture f;
        ASSERT_EQ(f.editor.Current()->dmPaperSize, 9);
        ASSERT_EQ(f.editor.PutPaperSize(8, false), rc::kOk);
        int resets = 0;
        const int32_t code = f.editor.UpdateOpen([&] {
            ++resets;
            return c.resetCode;
        });
        EXPECT_EQ(code, c.resetCode);
        EXPECT_EQ(resets, 1);
        if (code == rc::kOk) f.editor.CommitEdits();
        EXPECT_EQ(f.editor.Current()->dmPaperSize, c.paperAfter);
        EXPECT_EQ(f.editor.HasPendingEdits(), c.editsStay);
    }
    // Copies are no edit of the open document: nothing to reset.
    Fixture f;
    int resets = 0;
    EXPECT_EQ(f.editor.UpdateOpen([&] { return ++resets, rc::kOk; }), rc::kOk);
    EXPECT_EQ(resets, 0);
}

// The printer selection dialog shows the live layout; what is chosen there replaces the live one
// and a put still waiting in the deferred copy alike.
TEST(PrinterSettingsEditor, LayoutThroughTheSelectionDialog) {
    struct {
        int16_t align;
        int16_t taken;
    } cases[] = {{1, 1}, {2, 2}, {3, 3}, {0, 1}, {4, 1}};
    for (const auto& c : cases) {
        Fixture f;
        f.editor.Layout().scale = 70;
        f.editor.Layout().multiPrintLayout = 2;
        f.editor.Deferred().scale = 5;
        const PrinterSelectDialog::Layout shown = f.editor.SelectionLayout();
        EXPECT_EQ(shown.scale, 70);
        EXPECT_EQ(shown.multiPrintLayout, 2);
        EXPECT_EQ(shown.multiPrint, 0);
        PrinterSelectDialog::Layout chosen;
        chosen.scalePrint = chosen.scalePaperFit = chosen.multiPrint = 1;
        chosen.scale = 250;
        chosen.scalePrintLayout = c.align;
        chosen.multiPrintLayout = 1;
        f.editor.TakeChosenLayout(chosen);
        for (const auto* l : {&f.editor.Layout(), &f.editor.Deferred()}) {
            EXPECT_EQ(l->scale, 250) << c.align;
            EXPECT_EQ(l->scalePrintLayout, c.taken) << c.align;
            EXPECT_EQ(l->multiPrintLayout, 1) << c.align;
            EXPECT_TRUE(l->scalePrint && l->scalePaperFit && l->multiPrint) << c.align;
        }
    }
}

}  // namespace
