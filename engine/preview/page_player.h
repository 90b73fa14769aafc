// Where the page list and the saved report files meet the report model: a report's current page
// recorded as a temporary report file, a recorded page played onto a drawing context, a page
// added to a file being written, and a file's pages loaded into a page list.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/preview/page_list.h"
#include "engine/preview/report_file.h"

namespace kp {
class ApplicationObject;
class ReportObject;
class FontUsageTable;
}  // namespace kp

namespace kp::preview {

inline constexpr int32_t kPaperUnreadable = -14008;

// The paper of a report as a page record carries it; kPaperUnreadable when it cannot be read.
int32_t ReadPaper(ReportObject* report, PreviewPageRecord* paper);

// Saves the report's current state as the next page of the list.
int32_t RecordPreviewPage(PreviewPageList& list, ReportObject* report, int32_t outlineParent,
                          const std::u16string* heading, int* count);

struct PlayOptions {
    std::array<bool, 5> layers{true, true, true, true, true};
    // Print offsets in millimetres; every object of a drawn layer moves by them.
    double offsetX = 0;
    double offsetY = 0;
};

// Plays page n onto the drawing context dc (a libqzsgdi handle) through a fresh report of the
// application: the page file loaded, the layer flags applied, the offsets moved, drawn with draw
// flags 1. kPageFileMissing when the page's file is gone.
int32_t PlayRecordedPage(ApplicationObject* app, const PreviewPageList& list, int n, uint32_t dc,
                         const PlayOptions& options);

// Loads page n's file into a new report of the application (the caller destroys it).
// kPageFileMissing when the page's file is gone.
int32_t LoadRecordedPage(ApplicationObject* app, const PreviewPageList& list, int n,
                         ReportObject** out, PreviewPageRecord* record);

// Appends the report's current page to a file being written; characters drawn with each font
// are counted into fonts.
int32_t AddReportPage(ReportFileWriter& writer, ReportObject* report, const DocumentInfo& info,
                      int32_t outlineParent, const std::u16string* heading, FontUsageTable* fonts);

// Told after each page went into the list: its number and record. An answer other than 0
// stops the loading with that answer (the pages so far kept).
using PageLoaded = std::function<int32_t(int count, const PreviewPageRecord& record)>;

// Loads a saved report file's pages into the list through one report of the application.
int32_t LoadReportFilePages(ApplicationObject* app, ReportFileReader& reader,
                            const std::string& path, const ReportFileLimits& limits,
                            ViewerDialogPort* port, DocumentInfo* info, PreviewPageList& list,
                            const PageLoaded& loaded = {});

}  // namespace kp::preview
