#include "engine/preview/page_player.h"

#include "engine/core/application.h"
#include "engine/core/report.h"
#include "engine/core/units.h"
#include "platform/automation/automation.h"

namespace kp::preview {
namespace {

// A new report of the application, or null.
ReportObject* NewReport(ApplicationObject* app) {
    plat::Variant result{};
    if (!app || app->Invoke(ApplicationObject::kCreateReport, kInvokeMethod, nullptr, &result) != 0)
        return nullptr;
    return AsReport(static_cast<ScriptableObject*>(result.pdispVal));
}

// The report's file members take a Bstr: its length travels in front of the text.
int32_t SaveTo(ReportObject* report, const std::string& path) {
    plat::Bstr name = plat::BstrAllocView(plat::WideFromUtf8(path));
    if (!name) return rc::kOutOfMemory;
    const int32_t rc = report->Save(name, true);
    plat::BstrFree(name);
    return rc;
}

// A loaded page's file is a scratch file that the list deletes itself, made empty under a new
// name by the list: written in place (opened, not truncated, which would make the file system
// write it out on close), every write checked, nothing synced. The report keeps no name.
int32_t SaveScratch(ReportObject* report, const std::string& path) {
    StreamFileFactory factory;
    StreamFile* container = nullptr;
    int32_t rc = factory.Open(plat::WideFromUtf8(path), kAccessReadWrite, &container);
    if (rc != 0) return rc;
    rc = report->SaveToContainer(container, 0, nullptr);
    // The streams reach the file here at the latest, and a failure to write them is answered.
    const int32_t unwritten = container->Flush();
    container->Release();
    return rc != 0 ? rc : unwritten;
}

int32_t LoadFrom(ReportObject* report, const std::string& path) {
    plat::Bstr name = plat::BstrAllocView(plat::WideFromUtf8(path));
    if (!name) return rc::kOutOfMemory;
    const int32_t rc = report->LoadReportFile(name);
    plat::BstrFree(name);
    return rc;
}

struct ReportUse {
    explicit ReportUse(ReportObject* r) : report(r) { LockReportUse(report); }
    ~ReportUse() { UnlockReportUse(report); }
    ReportObject* report;
};

// Moves every top-level object of the report's drawn layers by the offsets, converted from
// millimetres into the report's own unit (the collection keeps rectangles in it).
void MoveObjects(ReportObject* report, const PlayOptions& options) {
    if (options.offsetX == 0 && options.offsetY == 0) return;
    for (int layer = 0; layer < 5; ++layer) {
        if (!options.layers[size_t(layer)]) continue;
        ObjectCollection& objects = report->layers().layer(layer).objects();
        const LengthUnitKind unit = LengthUnitKind(objects.unit());
        // The per-axis values of unit 3: lines per inch down, characters per inch across.
        const int32_t dx = OffsetInReportUnits(options.offsetX, unit, kAxisHorizontal,
                                               objects.cpl(), objects.cpi());
        const int32_t dy =
            OffsetInReportUnits(options.offsetY, unit, kAxisVertical, objects.cpl(), objects.cpi());
        for (ItemObject* object : objects.LevelOf(nullptr).zOrder) {
            RectL r{};
            if (object->GetRect(&r) != 0) continue;
            // An object that a move would carry past the limits stays where it is.
            object->SetRectChecked({r.left + dx, r.top + dy, r.right + dx, r.bottom + dy});
        }
    }
}

}  // namespace

int32_t ReadPaper(ReportObject* report, PreviewPageRecord* paper) {
    if (!report) return kPaperUnreadable;
    paper->paperSize = GetPaperSizeCode(report);
    paper->orientation = GetPaperOrientation(report);
    paper->paperWidth = GetPaperWidth(report);
    paper->paperLength = GetPaperLength(report);
    return 0;
}

int32_t RecordPreviewPage(PreviewPageList& list, ReportObject* report, int32_t outlineParent,
                          const std::u16string* heading, int* count) {
    if (!report) return rc::kBadArgument;
    ReportUse use(report);
    PreviewPageRecord paper;
    if (const int32_t rc = ReadPaper(report, &paper); rc != 0) return rc;
    return list.Record([report](const std::string& path) { return SaveTo(report, path); }, paper,
                       outlineParent, heading, count);
}

int32_t PlayRecordedPage(ApplicationObject* app, const PreviewPageList& list, int n, uint32_t dc,
                         const PlayOptions& options) {
    PreviewPageRecord record;
    if (const int32_t rc = list.Get(n, &record); rc != 0) return rc;
    ReportObject* report = NewReport(app);
    if (!report) return rc::kOutOfMemory;
    int32_t rc = LoadFrom(report, record.file);
    if (rc == stream_code::kNotFound) rc = kPageFileMissing;
    if (rc == 0) {
        for (int layer = 0; layer < 5; ++layer)
            report->layers().layer(layer).SetVisible(options.layers[size_t(layer)] ? 1 : 0);
        MoveObjects(report, options);
        ReportUse use(report);
        rc = report->Draw(nullptr, dc, dc, 0, 0, 0, 0, drawflag::kLayers);
    }
    DestroyReportObject(report);
    return rc;
}

int32_t LoadRecordedPage(ApplicationObject* app, const PreviewPageList& list, int n,
                         ReportObject** out, PreviewPageRecord* record) {
    *out = nullptr;
    if (const int32_t rc = list.Get(n, record); rc != 0) return rc;
    ReportObject* report = NewReport(app);
    if (!report) return rc::kOutOfMemory;
    int32_t rc = LoadFrom(report, record->file);
    if (rc == stream_code::kNotFound) rc = kPageFileMissing;
    if (rc != 0) {
        DestroyReportObject(report);
        return rc;
    }
    *out = report;
    return 0;
}

int32_t AddReportPage(ReportFileWriter& writer, ReportObject* report, const DocumentInfo& info,
                      int32_t outlineParent, const std::u16string* heading, FontUsageTable* fonts) {
    if (!report) return rc::kBadArgument;
    ReportUse use(report);
    PreviewPageRecord paper;
    if (ReadPaper(report, &paper) != 0) return kPaperUnreadable;
    FilePageRecord record;
    record.outlineParent = outlineParent;
    record.heading = heading && !heading->empty() ? *heading : DefaultHeading(writer.Pages() + 1);
    record.orientation = paper.orientation;
    record.paperSize = paper.paperSize;
    record.paperWidth = paper.paperWidth;
    record.paperLength = paper.paperLength;
    return writer.AddPage(info, record, [&](StreamFile* container) {
        return report->SaveToContainer(container, 1, fonts);
    });
}

int32_t LoadReportFilePages(ApplicationObject* app, ReportFileReader& reader,
                            const std::string& path, const ReportFileLimits& limits,
                            ViewerDialogPort* port, DocumentInfo* info, PreviewPageList& list,
                            const PageLoaded& loaded) {
    ReportObject* report = NewReport(app);
    if (!report) return rc::kOutOfMemory;
    const int32_t rc = reader.Load(
        path, limits, port, info,
        [&](int, const FilePageRecord& record, StreamFile* container) -> int32_t {
            if (const int32_t loaded = report->LoadFromContainer(container, 1); loaded != 0)
                return loaded;
            PreviewPageRecord paper;
            paper.orientation = record.orientation;
            paper.paperSize = record.paperSize;
            paper.paperWidth = record.paperWidth;
            paper.paperLength = record.paperLength;
            const std::u16string* heading = record.outlineParent != -1 ? &record.heading : nullptr;
            int count = 0;
            {
                ReportUse use(report);
                if (const int32_t rc = list.Record(
                        [report](const std::string& file) { return SaveScratch(report, file); },
                        paper, record.outlineParent, heading, &count);
                    rc != 0) {
                    return rc;
                }
            }
            if (!loaded) return int32_t(0);
            PreviewPageRecord recorded;
            if (const int32_t rc = list.Get(count, &recorded); rc != 0) return rc;
            return loaded(count, recorded);
        });
    DestroyReportObject(report);
    return rc;
}

}  // namespace kp::preview
