// The public member table that hosts compile against, checked against the classes' member tables
// as the engine's documentation gives them: every documented member is there under its id, name,
// access and type, and nothing in the table lies outside its class's id blocks. The expected rows
// are written out here from the documentation, not taken from the table.
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/include/kpengn_members.h"

extern "C" int MemberRowsSeenFromC(void);
extern "C" int EventsSeenFromC(void);

namespace {

struct Row {
    std::string cls;
    int id;
    std::string name;    // empty: the documentation gives the member no name
    std::string access;  // GET, PUT, GETPUT or METHOD
    std::string type;    // the property's or the result's type; empty: not stated
};

#define QZS_ROW_(CLASS, NAME, ID, ACCESS, VT, ARGC, ARGS) \
    Row{#CLASS, ID, #NAME, std::string(#ACCESS).substr(4), #VT},

std::vector<Row> PublicRows() {
    return {KPM_APPLICATION(QZS_ROW_) KPM_PRINTER_JOB(QZS_ROW_) KPM_PREVIEW(QZS_ROW_)
                KPM_FILE_OBJECT(QZS_ROW_) KPM_REPORT(QZS_ROW_) KPM_LAYER_COLLECTION(QZS_ROW_)
                    KPM_LAYER(QZS_ROW_) KPM_OBJECT_COLLECTION(QZS_ROW_) KPM_DRAWING_OBJECT(QZS_ROW_)
                        KPM_PDF_DOCUMENT(QZS_ROW_)};
}

TEST(PublicMemberTable, HoldsEveryDocumentedMemberAsDocumented) {
    // Names as the documentation spells them, in capitals with words apart; the two
    // GetPaperExtent methods are told apart by what they measure.
    // clang-format off
    const Row documented[] = {
        {.cls = "APPLICATION", .id = 1, .name = "CURRENT_PATH", .access = "GETPUT", .type = "BSTR"},
        {.cls = "APPLICATION", .id = 2, .name = "TEMP_PATH", .access = "GETPUT", .type = "BSTR"},
        {.cls = "APPLICATION", .id = 3, .name = "PRINTER_DEVICES", .access = "GET", .type = "UI4"},
        {.cls = "APPLICATION", .id = 4, .name = "DEFAULT_USER_ID", .access = "GETPUT", .type = "BSTR"},
        {.cls = "APPLICATION", .id = 5, .name = "DEFAULT_USER_PASSWORD", .access = "GETPUT", .type = "BSTR"},
        {.cls = "APPLICATION", .id = 6, .name = "KEEP_LAYER_ORDER", .access = "GETPUT", .type = "BOOL"},
        {.cls = "APPLICATION", .id = 7, .name = "CONTROL_LIBRARY_NAME", .access = "GET", .type = "BSTR"},
        {.cls = "APPLICATION", .id = 10001, .name = "CREATE_PREVIEW", .access = "METHOD", .type = "DISPATCH"},
        {.cls = "APPLICATION", .id = 10002, .name = "CREATE_PRINTER", .access = "METHOD", .type = "DISPATCH"},
        {.cls = "APPLICATION", .id = 10003, .name = "CREATE_PRINTER_FOR_REPORT", .access = "METHOD", .type = "DISPATCH"},
        {.cls = "APPLICATION", .id = 10004, .name = "CREATE_FILE", .access = "METHOD", .type = "DISPATCH"},
        {.cls = "APPLICATION", .id = 10005, .name = "CREATE_REPORT", .access = "METHOD", .type = "DISPATCH"},
        {.cls = "APPLICATION", .id = 10006, .name = "PRINTER_DEVICE_NAME", .access = "METHOD", .type = "BSTR"},
        {.cls = "APPLICATION", .id = 10007, .name = "PRINTER_NAME", .access = "METHOD", .type = "BSTR"},
        {.cls = "APPLICATION", .id = 10008, .name = "PRINTER_PORT_NAME", .access = "METHOD", .type = "BSTR"},
        {.cls = "APPLICATION", .id = 10009, .name = "", .access = "METHOD", .type = "DISPATCH"},
        {.cls = "APPLICATION", .id = 10010, .name = "OPEN_REPORT", .access = "METHOD", .type = "DISPATCH"},
        {.cls = "APPLICATION", .id = 10011, .name = "CREATE_PDF_DOCUMENT", .access = "METHOD", .type = "DISPATCH"},
        {.cls = "DRAWING_OBJECT", .id = 9001, .name = "DRAW_OBJECT", .access = "GET", .type = "DISPATCH"},
        {.cls = "DRAWING_OBJECT", .id = 9002, .name = "NAME", .access = "GETPUT", .type = "BSTR"},
        {.cls = "DRAWING_OBJECT", .id = 9003, .name = "VISIBLE", .access = "GETPUT", .type = "BOOL"},
        {.cls = "DRAWING_OBJECT", .id = 9004, .name = "TOP", .access = "GETPUT", .type = "DECIMAL"},
        {.cls = "DRAWING_OBJECT", .id = 9005, .name = "LEFT", .access = "GETPUT", .type = "DECIMAL"},
        {.cls = "DRAWING_OBJECT", .id = 9006, .name = "BOTOOM", .access = "GETPUT", .type = "DECIMAL"},
        {.cls = "DRAWING_OBJECT", .id = 9007, .name = "RIGHT", .access = "GETPUT", .type = "DECIMAL"},
        {.cls = "DRAWING_OBJECT", .id = 9008, .name = "", .access = "GETPUT", .type = "BOOL"},
        {.cls = "DRAWING_OBJECT", .id = 9009, .name = "", .access = "GETPUT", .type = "I4"},
        {.cls = "DRAWING_OBJECT", .id = 19001, .name = "CLOSE", .access = "METHOD", .type = "NULL"},
        {.cls = "DRAWING_OBJECT", .id = 19002, .name = "CLEAR_DATA", .access = "METHOD", .type = "NULL"},
        {.cls = "DRAWING_OBJECT", .id = 19003, .name = "CHANGE_Z_ORDER", .access = "METHOD", .type = "NULL"},
        {.cls = "DRAWING_OBJECT", .id = 19004, .name = "IS_INSIDE_CONTAINER", .access = "METHOD", .type = "BOOL"},
        {.cls = "DRAWING_OBJECT", .id = 19005, .name = "REDRAW", .access = "METHOD", .type = "NULL"},
        {.cls = "FILE_OBJECT", .id = 3002, .name = "DOC_TITLE", .access = "GETPUT", .type = "BSTR"},
        {.cls = "FILE_OBJECT", .id = 3003, .name = "DOC_AUTHOR", .access = "GETPUT", .type = "BSTR"},
        {.cls = "FILE_OBJECT", .id = 3004, .name = "DOC_PASSWORD", .access = "GETPUT", .type = "BSTR"},
        {.cls = "FILE_OBJECT", .id = 3005, .name = "DOC_PROTECT", .access = "GETPUT", .type = "BOOL"},
        {.cls = "FILE_OBJECT", .id = 3006, .name = "DOC_NO_PRINT", .access = "GETPUT", .type = "BOOL"},
        {.cls = "FILE_OBJECT", .id = 3007, .name = "DOC_CREATOR", .access = "GETPUT", .type = "BSTR"},
        {.cls = "FILE_OBJECT", .id = 3008, .name = "DOC_SUB_TITLE", .access = "GETPUT", .type = "BSTR"},
        {.cls = "FILE_OBJECT", .id = 3009, .name = "DOC_KEYWORDS", .access = "GETPUT", .type = "BSTR"},
        {.cls = "FILE_OBJECT", .id = 3011, .name = "DOC_UPDATE_DATE", .access = "GETPUT", .type = "DATE"},
        {.cls = "FILE_OBJECT", .id = 3019, .name = "WINDOW_TOP", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3020, .name = "WINDOW_LEFT", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3021, .name = "WINDOW_RIGHT", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3022, .name = "WINDOW_BOTTOM", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3025, .name = "PARENT_WINDOW", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3026, .name = "STATUS", .access = "GET", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3027, .name = "PAGE_COUNT", .access = "GET", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3028, .name = "PAGE", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3029, .name = "TOOLS", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3030, .name = "ZOOM", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3031, .name = "TITLE", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3032, .name = "CANCEL_BUTTON", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3033, .name = "CANCEL_MESSAGE", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3034, .name = "CANCEL_DLG_TITLE", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3035, .name = "REPORT_INDEX_LEVEL", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3036, .name = "REPORT_INDEX_TITLE", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3037, .name = "FIT_TO_WINDOW", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3038, .name = "INDEX_VISIBLE", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3039, .name = "STATUS_BAR_VISIBLE", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3040, .name = "TOOL_BAR_VISIBLE", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3041, .name = "TWO_PAGES", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3042, .name = "TWO_PAGES_VERTICAL", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3043, .name = "CLICK_ZOOM", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3044, .name = "DOC_FLAG", .access = "GETPUT", .type = "BOOL"},
        {.cls = "FILE_OBJECT", .id = 3045, .name = "LAYER_DISPLAY1", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3046, .name = "LAYER_DISPLAY2", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3047, .name = "LAYER_DISPLAY3", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3048, .name = "LAYER_DISPLAY4", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3049, .name = "LAYER_DISPLAY5", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3050, .name = "LAYER_PRINT1", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3051, .name = "LAYER_PRINT2", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3052, .name = "LAYER_PRINT3", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3053, .name = "LAYER_PRINT4", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3054, .name = "LAYER_PRINT5", .access = "GETPUT", .type = ""},
        {.cls = "FILE_OBJECT", .id = 3061, .name = "HWND", .access = "GET", .type = ""},
        {.cls = "FILE_OBJECT", .id = 13001, .name = "FILE_CREATE", .access = "METHOD", .type = ""},
        {.cls = "FILE_OBJECT", .id = 13002, .name = "FILE_OPEN", .access = "METHOD", .type = ""},
        {.cls = "FILE_OBJECT", .id = 13003, .name = "FILE_CLOSE_FILE", .access = "METHOD", .type = ""},
        {.cls = "FILE_OBJECT", .id = 13006, .name = "FILE_RELEASE", .access = "METHOD", .type = ""},
        {.cls = "FILE_OBJECT", .id = 13007, .name = "FILE_ADD_PAGE", .access = "METHOD", .type = ""},
        {.cls = "FILE_OBJECT", .id = 13016, .name = "SAVE_COPY_AS", .access = "METHOD", .type = ""},
        {.cls = "LAYER", .id = 7001, .name = "OBJECTS", .access = "GET", .type = "DISPATCH"},
        {.cls = "LAYER", .id = 7002, .name = "Z_ODER", .access = "GETPUT", .type = "UI2"},
        {.cls = "LAYER", .id = 7003, .name = "VISIBLE", .access = "GETPUT", .type = "BOOL"},
        {.cls = "LAYER_COLLECTION", .id = 6001, .name = "COUNT", .access = "GET", .type = "UI2"},
        {.cls = "LAYER_COLLECTION", .id = 16001, .name = "LAYER", .access = "METHOD", .type = "DISPATCH"},
        {.cls = "OBJECT_COLLECTION", .id = 18001, .name = "OBJECT", .access = "METHOD", .type = "DISPATCH"},
        {.cls = "OBJECT_COLLECTION", .id = 18002, .name = "CREATE_OBJECT", .access = "METHOD", .type = "DISPATCH"},
        {.cls = "OBJECT_COLLECTION", .id = 18003, .name = "COPY_OBJECT", .access = "METHOD", .type = "DISPATCH"},
        {.cls = "OBJECT_COLLECTION", .id = 18004, .name = "MOVE_OBJECT", .access = "METHOD", .type = "DISPATCH"},
        {.cls = "OBJECT_COLLECTION", .id = 18005, .name = "GET_OBJECT_LIST", .access = "METHOD", .type = "UI4"},
        {.cls = "OBJECT_COLLECTION", .id = 18006, .name = "DESELECT_ALL", .access = "METHOD", .type = "NULL"},
        {.cls = "OBJECT_COLLECTION", .id = 18007, .name = "COUNT", .access = "METHOD", .type = "UI2"},
        {.cls = "OBJECT_COLLECTION", .id = 18008, .name = "SELECTED_COUNT", .access = "METHOD", .type = "UI2"},
        {.cls = "OBJECT_COLLECTION", .id = 18009, .name = "HIT_TEST", .access = "METHOD", .type = "DISPATCH"},
        {.cls = "OBJECT_COLLECTION", .id = 18010, .name = "GET_SELECTED_LIST", .access = "METHOD", .type = "UI4"},
        {.cls = "OBJECT_COLLECTION", .id = 18011, .name = "CLEAR_DATA", .access = "METHOD", .type = "NULL"},
        {.cls = "OBJECT_COLLECTION", .id = 18012, .name = "LAST_SELECTED", .access = "METHOD", .type = "DISPATCH"},
        {.cls = "OBJECT_COLLECTION", .id = 18013, .name = "SELECT_ALL", .access = "METHOD", .type = "NULL"},
        {.cls = "OBJECT_COLLECTION", .id = 18014, .name = "SELECT_IN_RECT", .access = "METHOD", .type = "NULL"},
        {.cls = "OBJECT_COLLECTION", .id = 18015, .name = "OBJECT_AT", .access = "METHOD", .type = "DISPATCH"},
        {.cls = "OBJECT_COLLECTION", .id = 18016, .name = "SELECTION_BOUNDS", .access = "METHOD", .type = "NULL"},
        {.cls = "OBJECT_COLLECTION", .id = 18017, .name = "ACTIVE_CONTROL", .access = "METHOD", .type = "DISPATCH"},
        {.cls = "PDF_DOCUMENT", .id = 500, .name = "STATE", .access = "GET", .type = "I2"},
        {.cls = "PDF_DOCUMENT", .id = 501, .name = "CREATOR", .access = "GETPUT", .type = "BSTR"},
        {.cls = "PDF_DOCUMENT", .id = 502, .name = "TITLE", .access = "GETPUT", .type = "BSTR"},
        {.cls = "PDF_DOCUMENT", .id = 503, .name = "SUBJECT", .access = "GETPUT", .type = "BSTR"},
        {.cls = "PDF_DOCUMENT", .id = 504, .name = "AUTHOR", .access = "GETPUT", .type = "BSTR"},
        {.cls = "PDF_DOCUMENT", .id = 505, .name = "KEYWORDS", .access = "GETPUT", .type = "BSTR"},
        {.cls = "PDF_DOCUMENT", .id = 600, .name = "PDF_OPEN", .access = "METHOD", .type = "NULL"},
        {.cls = "PDF_DOCUMENT", .id = 601, .name = "PDF_CLOSE", .access = "METHOD", .type = "NULL"},
        {.cls = "PDF_DOCUMENT", .id = 602, .name = "PDF_ADD_PAGE", .access = "METHOD", .type = "NULL"},
        {.cls = "PDF_DOCUMENT", .id = 603, .name = "PDF_RELEASE", .access = "METHOD", .type = "NULL"},
        {.cls = "PREVIEW", .id = 2001, .name = "WINDOW_TOP", .access = "GETPUT", .type = "I4"},
        {.cls = "PREVIEW", .id = 2002, .name = "WINDOW_LEFT", .access = "GETPUT", .type = "I4"},
        {.cls = "PREVIEW", .id = 2003, .name = "WINDOW_RIGHT", .access = "GETPUT", .type = "I4"},
        {.cls = "PREVIEW", .id = 2004, .name = "WINDOW_BOTTOM", .access = "GETPUT", .type = "I4"},
        {.cls = "PREVIEW", .id = 2005, .name = "WINDOW_MAX", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2006, .name = "WINDOW_MIN", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2007, .name = "PARENT_WINDOW", .access = "GETPUT", .type = "UI4"},
        {.cls = "PREVIEW", .id = 2008, .name = "STATUS", .access = "GET", .type = "UI2"},
        {.cls = "PREVIEW", .id = 2009, .name = "PAGE_COUNT", .access = "GET", .type = "UI4"},
        {.cls = "PREVIEW", .id = 2010, .name = "PAGE", .access = "GETPUT", .type = "UI4"},
        {.cls = "PREVIEW", .id = 2011, .name = "TOOLS", .access = "GETPUT", .type = "UI4"},
        {.cls = "PREVIEW", .id = 2012, .name = "ZOOM", .access = "GETPUT", .type = "UI2"},
        {.cls = "PREVIEW", .id = 2013, .name = "TITLE", .access = "GETPUT", .type = "BSTR"},
        {.cls = "PREVIEW", .id = 2014, .name = "CANCEL_BUTTON", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2015, .name = "CANCEL_MESSAGE", .access = "GETPUT", .type = "BSTR"},
        {.cls = "PREVIEW", .id = 2016, .name = "CANCEL_DLG_TITLE", .access = "GETPUT", .type = "BSTR"},
        {.cls = "PREVIEW", .id = 2017, .name = "REPORT_INDEX_LEVEL", .access = "GETPUT", .type = "UI4"},
        {.cls = "PREVIEW", .id = 2018, .name = "REPORT_INDEX_TITLE", .access = "GETPUT", .type = "BSTR"},
        {.cls = "PREVIEW", .id = 2019, .name = "FIT_TO_WINDOW", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2020, .name = "INDEX_VISIBLE", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2021, .name = "STATUS_BAR_VISIBLE", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2022, .name = "TOOL_BAR_VISIBLE", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2023, .name = "TWO_PAGES", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2024, .name = "TWO_PAGES_VERTICAL", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2025, .name = "CLICK_ZOOM", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2026, .name = "LAYER_DISPLAY1", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2027, .name = "LAYER_DISPLAY2", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2028, .name = "LAYER_DISPLAY3", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2029, .name = "LAYER_DISPLAY4", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2030, .name = "LAYER_DISPLAY5", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2031, .name = "LAYER_PRINT1", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2032, .name = "LAYER_PRINT2", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2033, .name = "LAYER_PRINT3", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2034, .name = "LAYER_PRINT4", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2035, .name = "LAYER_PRINT5", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PREVIEW", .id = 2036, .name = "HWND", .access = "GET", .type = "UI4"},
        {.cls = "PREVIEW", .id = 12001, .name = "OPEN_PREVIEW", .access = "METHOD", .type = ""},
        {.cls = "PREVIEW", .id = 12002, .name = "CLOSE_PREVIEW", .access = "METHOD", .type = ""},
        {.cls = "PREVIEW", .id = 12003, .name = "CLOSE", .access = "METHOD", .type = ""},
        {.cls = "PREVIEW", .id = 12004, .name = "PRINT", .access = "METHOD", .type = ""},
        {.cls = "PREVIEW", .id = 12005, .name = "SHOW_PRINTING_DIALOG", .access = "METHOD", .type = ""},
        {.cls = "PREVIEW", .id = 12006, .name = "HIDE_PRINTING_DIALOG", .access = "METHOD", .type = ""},
        {.cls = "PREVIEW", .id = 12007, .name = "FIT_TO_PARENT", .access = "METHOD", .type = ""},
        {.cls = "PREVIEW", .id = 12008, .name = "REFRESH", .access = "METHOD", .type = ""},
        {.cls = "PREVIEW", .id = 12009, .name = "PREPARE_REPORT", .access = "METHOD", .type = ""},
        {.cls = "PRINTER_JOB", .id = 1001, .name = "SUPPORT_PAPERS", .access = "GET", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 1002, .name = "SUPPORT_SOURCES", .access = "GET", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 1003, .name = "INFO_SIZE", .access = "GET", .type = "UI2"},
        {.cls = "PRINTER_JOB", .id = 1004, .name = "PRINTER_NAME", .access = "GET", .type = "BSTR"},
        {.cls = "PRINTER_JOB", .id = 1005, .name = "DEVICE_NAME", .access = "GET", .type = "BSTR"},
        {.cls = "PRINTER_JOB", .id = 1006, .name = "CANCEL_DLG_CAPTION", .access = "GETPUT", .type = "BSTR"},
        {.cls = "PRINTER_JOB", .id = 1007, .name = "CANCEL_DLG", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PRINTER_JOB", .id = 1008, .name = "CANCEL_DLG_MESSAGE", .access = "GETPUT", .type = "BSTR"},
        {.cls = "PRINTER_JOB", .id = 1009, .name = "CANCEL_BUTTON", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PRINTER_JOB", .id = 1011, .name = "STATUS", .access = "GET", .type = "UI2"},
        {.cls = "PRINTER_JOB", .id = 1012, .name = "MIN_PAPER_WIDTH", .access = "GET", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 1013, .name = "MIN_PAPER_LENGTH", .access = "GET", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 1014, .name = "MAX_PAPER_WIDTH", .access = "GET", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 1015, .name = "MAX_PAPER_LENGTH", .access = "GET", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 1016, .name = "PAPER_SIZE", .access = "GETPUT", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 1017, .name = "PAPER_WIDTH", .access = "GETPUT", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 1018, .name = "PAPER_LENGTH", .access = "GETPUT", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 1019, .name = "SOURCE", .access = "GETPUT", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 1020, .name = "ORIENTATION", .access = "GETPUT", .type = "UI2"},
        {.cls = "PRINTER_JOB", .id = 1021, .name = "COPIES", .access = "GETPUT", .type = "UI2"},
        {.cls = "PRINTER_JOB", .id = 1022, .name = "QUALITY", .access = "GETPUT", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 1023, .name = "COLOR", .access = "GETPUT", .type = "UI2"},
        {.cls = "PRINTER_JOB", .id = 1024, .name = "ASYNC_MODE", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PRINTER_JOB", .id = 1025, .name = "PAGE_COUNT", .access = "GET", .type = "UI4"},
        {.cls = "PRINTER_JOB", .id = 1026, .name = "MULTI_PRINT", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PRINTER_JOB", .id = 1027, .name = "MULTI_PRINT_LAYOUT", .access = "GETPUT", .type = "UI2"},
        {.cls = "PRINTER_JOB", .id = 1028, .name = "SCALE", .access = "GETPUT", .type = "UI2"},
        {.cls = "PRINTER_JOB", .id = 1029, .name = "JOB_NAME", .access = "GETPUT", .type = "BSTR"},
        {.cls = "PRINTER_JOB", .id = 1030, .name = "JOB_NUMBER", .access = "GET", .type = "UI4"},
        {.cls = "PRINTER_JOB", .id = 1031, .name = "MIN_TOP_MARGIN", .access = "GET", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 1032, .name = "MIN_LEFT_MARGIN", .access = "GET", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 1033, .name = "MIN_BOTTOM_MARGIN", .access = "GET", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 1034, .name = "MIN_RIGHT_MARGIN", .access = "GET", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 1035, .name = "HDC", .access = "GET", .type = "UI4"},
        {.cls = "PRINTER_JOB", .id = 1036, .name = "SCALE_PRINT", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PRINTER_JOB", .id = 1037, .name = "SCALE_PAPER_FIT", .access = "GETPUT", .type = "BOOL"},
        {.cls = "PRINTER_JOB", .id = 1038, .name = "SCALE_PRINT_LAYOUT", .access = "GETPUT", .type = "UI2"},
        {.cls = "PRINTER_JOB", .id = 1039, .name = "PAPER_SIZE_SUPPORTED", .access = "GET", .type = "BOOL"},
        {.cls = "PRINTER_JOB", .id = 1040, .name = "PAPER_WIDTH_SUPPORTED", .access = "GET", .type = "BOOL"},
        {.cls = "PRINTER_JOB", .id = 1041, .name = "PAPER_LENGTH_SUPPORTED", .access = "GET", .type = "BOOL"},
        {.cls = "PRINTER_JOB", .id = 1042, .name = "SOURCE_SUPPORTED", .access = "GET", .type = "BOOL"},
        {.cls = "PRINTER_JOB", .id = 1043, .name = "ORIENTATION_SUPPORTED", .access = "GET", .type = "BOOL"},
        {.cls = "PRINTER_JOB", .id = 1044, .name = "COPIES_SUPPORTED", .access = "GET", .type = "BOOL"},
        {.cls = "PRINTER_JOB", .id = 1045, .name = "QUALITY_SUPPORTED", .access = "GET", .type = "BOOL"},
        {.cls = "PRINTER_JOB", .id = 1046, .name = "COLOR_SUPPORTED", .access = "GET", .type = "BOOL"},
        {.cls = "PRINTER_JOB", .id = 1047, .name = "SUPPORTED_FIELDS", .access = "GET", .type = "UI4"},
        {.cls = "PRINTER_JOB", .id = 1048, .name = "DEV_MODE_PAPER_WIDTH", .access = "PUT", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 1049, .name = "DEV_MODE_PAPER_LENGTH", .access = "PUT", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 11001, .name = "OPEN_PRINTER", .access = "METHOD", .type = "EMPTY"},
        {.cls = "PRINTER_JOB", .id = 11002, .name = "CLOSE_PRINTER", .access = "METHOD", .type = "EMPTY"},
        {.cls = "PRINTER_JOB", .id = 11003, .name = "CLOSE", .access = "METHOD", .type = "EMPTY"},
        {.cls = "PRINTER_JOB", .id = 11004, .name = "GET_PAPER", .access = "METHOD", .type = "UI2"},
        {.cls = "PRINTER_JOB", .id = 11005, .name = "GET_PAPER_NAME", .access = "METHOD", .type = "BSTR"},
        {.cls = "PRINTER_JOB", .id = 11006, .name = "GET_SOURCE", .access = "METHOD", .type = "UI2"},
        {.cls = "PRINTER_JOB", .id = 11007, .name = "GET_SOURCE_NAME", .access = "METHOD", .type = "BSTR"},
        {.cls = "PRINTER_JOB", .id = 11008, .name = "GET_JOB_STATUS", .access = "METHOD", .type = "UI4"},
        {.cls = "PRINTER_JOB", .id = 11009, .name = "SET_JOB_STATUS", .access = "METHOD", .type = "EMPTY"},
        {.cls = "PRINTER_JOB", .id = 11010, .name = "PRINT", .access = "METHOD", .type = "EMPTY"},
        {.cls = "PRINTER_JOB", .id = 11011, .name = "FILE_PRINT", .access = "METHOD", .type = "EMPTY"},
        {.cls = "PRINTER_JOB", .id = 11012, .name = "PREVIEW_PRINT", .access = "METHOD", .type = "EMPTY"},
        {.cls = "PRINTER_JOB", .id = 11013, .name = "SHOW_PRT_SELECT_DLG", .access = "METHOD", .type = "BOOL"},
        {.cls = "PRINTER_JOB", .id = 11014, .name = "UPDATE_INFO", .access = "METHOD", .type = "EMPTY"},
        {.cls = "PRINTER_JOB", .id = 11015, .name = "RESET_PENDING_SETTINGS", .access = "METHOD", .type = "EMPTY"},
        {.cls = "PRINTER_JOB", .id = 11016, .name = "GET_DEV_MODE", .access = "METHOD", .type = "EMPTY"},
        {.cls = "PRINTER_JOB", .id = 11017, .name = "SET_DEV_MODE", .access = "METHOD", .type = "EMPTY"},
        {.cls = "PRINTER_JOB", .id = 11018, .name = "FIND_PAPER_BY_SIZE", .access = "METHOD", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 11019, .name = "DRAW_REPORT_ON_PRINTER", .access = "METHOD", .type = "EMPTY"},
        {.cls = "PRINTER_JOB", .id = 11020, .name = "GET_PAPER_LENGTH", .access = "METHOD", .type = "I2"},
        {.cls = "PRINTER_JOB", .id = 11021, .name = "GET_PAPER_WIDTH", .access = "METHOD", .type = "I2"},
        {.cls = "REPORT", .id = 5001, .name = "FILE_NAME", .access = "GET", .type = "BSTR"},
        {.cls = "REPORT", .id = 5002, .name = "TITLE", .access = "GETPUT", .type = "BSTR"},
        {.cls = "REPORT", .id = 5003, .name = "UNIT", .access = "GETPUT", .type = "UI2"},
        {.cls = "REPORT", .id = 5004, .name = "ON_GRID", .access = "GETPUT", .type = "BOOL"},
        {.cls = "REPORT", .id = 5005, .name = "GRID_VIEW", .access = "GETPUT", .type = "BOOL"},
        {.cls = "REPORT", .id = 5006, .name = "GRID_INTERVAL", .access = "GETPUT", .type = "UI4"},
        {.cls = "REPORT", .id = 5007, .name = "GRID_PITCH", .access = "GETPUT", .type = "UI4"},
        {.cls = "REPORT", .id = 5008, .name = "CPI", .access = "GETPUT", .type = "UI2"},
        {.cls = "REPORT", .id = 5009, .name = "CPL", .access = "GETPUT", .type = "UI2"},
        {.cls = "REPORT", .id = 5010, .name = "PRINTER_SELECT_MODE", .access = "GETPUT", .type = "UI2"},
        {.cls = "REPORT", .id = 5011, .name = "PAPER_SIZE", .access = "GETPUT", .type = "I2"},
        {.cls = "REPORT", .id = 5012, .name = "PAPER_LENGTH", .access = "GETPUT", .type = "I4"},
        {.cls = "REPORT", .id = 5013, .name = "PAPER_WIDTH", .access = "GETPUT", .type = "I4"},
        {.cls = "REPORT", .id = 5014, .name = "PAPER_ORIENTATION", .access = "GETPUT", .type = "I2"},
        {.cls = "REPORT", .id = 5015, .name = "MEMO", .access = "GETPUT", .type = "BSTR"},
        {.cls = "REPORT", .id = 5016, .name = "LAYERS", .access = "GET", .type = "DISPATCH"},
        {.cls = "REPORT", .id = 5018, .name = "HWND", .access = "GETPUT", .type = "UI4"},
        {.cls = "REPORT", .id = 5019, .name = "", .access = "GETPUT", .type = "BSTR"},
        {.cls = "REPORT", .id = 5020, .name = "", .access = "GETPUT", .type = "BOOL"},
        {.cls = "REPORT", .id = 5021, .name = "", .access = "GETPUT", .type = "BSTR"},
        {.cls = "REPORT", .id = 5022, .name = "", .access = "GETPUT", .type = "UI4"},
        {.cls = "REPORT", .id = 5023, .name = "", .access = "GETPUT", .type = "DATE"},
        {.cls = "REPORT", .id = 5027, .name = "", .access = "GETPUT", .type = "BSTR"},
        {.cls = "REPORT", .id = 5029, .name = "", .access = "GETPUT", .type = "UI2"},
        {.cls = "REPORT", .id = 5030, .name = "", .access = "GETPUT", .type = "UI2"},
        {.cls = "REPORT", .id = 5031, .name = "", .access = "GETPUT", .type = "UI2"},
        {.cls = "REPORT", .id = 5032, .name = "", .access = "GETPUT", .type = "BOOL"},
        {.cls = "REPORT", .id = 15001, .name = "DRAW", .access = "METHOD", .type = ""},
        {.cls = "REPORT", .id = 15002, .name = "SAVE", .access = "METHOD", .type = ""},
        {.cls = "REPORT", .id = 15003, .name = "IS_DIRTY", .access = "METHOD", .type = ""},
        {.cls = "REPORT", .id = 15004, .name = "CLEAR_DATA", .access = "METHOD", .type = ""},
        {.cls = "REPORT", .id = 15005, .name = "CLOSE_REPORT", .access = "METHOD", .type = ""},
        {.cls = "REPORT", .id = 15006, .name = "LOAD_REPORT_FILE", .access = "METHOD", .type = ""},

    };
    // clang-format on
    std::map<std::pair<std::string, int>, Row> table;
    for (const Row& row : PublicRows()) table.emplace(std::make_pair(row.cls, row.id), row);
    for (const Row& want : documented) {
        const auto it = table.find({want.cls, want.id});
        if (it == table.end()) {
            ADD_FAILURE() << want.cls << " " << want.id << " is missing";
            continue;
        }
        const Row& got = it->second;
        if (!want.name.empty()) {
            EXPECT_EQ(got.name, want.name) << want.cls << " " << want.id;
        }
        EXPECT_EQ(got.access, want.access) << want.cls << " " << want.id;
        if (!want.type.empty()) {
            EXPECT_EQ(got.type, want.type) << want.cls << " " << want.id;
        }
    }
}

TEST(PublicMemberTable, IdsStayInTheirClassBlocksOnce) {
    struct Block {
        int firstProperty, lastProperty, firstMethod, lastMethod;
    };
    const std::map<std::string, Block> blocks = {
        {"APPLICATION", {1, 7, 10001, 10011}},
        {"PRINTER_JOB", {1001, 1049, 11001, 11021}},
        {"PREVIEW", {2001, 2036, 12001, 12009}},
        {"FILE_OBJECT", {3002, 3061, 13001, 13016}},
        {"REPORT", {5001, 5032, 15001, 15006}},
        {"LAYER_COLLECTION", {6001, 6001, 16001, 16001}},
        {"LAYER", {7001, 7003, 0, -1}},
        {"OBJECT_COLLECTION", {0, -1, 18001, 18017}},
        {"DRAWING_OBJECT", {9001, 9009, 19001, 19005}},
        {"PDF_DOCUMENT", {500, 519, 600, 603}},
    };
    std::set<std::pair<std::string, int>> seen;
    std::set<std::pair<std::string, std::string>> names;
    for (const Row& row : PublicRows()) {
        const Block& b = blocks.at(row.cls);
        const bool method = row.access == "METHOD";
        EXPECT_GE(row.id, method ? b.firstMethod : b.firstProperty) << row.cls << " " << row.name;
        EXPECT_LE(row.id, method ? b.lastMethod : b.lastProperty) << row.cls << " " << row.name;
        EXPECT_TRUE(seen.insert({row.cls, row.id}).second) << row.cls << " " << row.id;
        EXPECT_TRUE(names.insert({row.cls, row.name}).second) << row.cls << " " << row.name;
    }
}

// Events as the documentation lists them: the id, and the arguments a sink receives in order
// (a drawing object's own arguments follow the report, the layer index and the object).
struct EventRow {
    std::string cls;
    int id;
    std::vector<int> args;
};

// The header's argument types are suffixes of KPM_VT_; each becomes its value here.
int TypeOf(const std::string& name) {
    static const std::map<std::string, int> types = {
        {"DISPATCH", KPM_VT_DISPATCH}, {"UI2", KPM_VT_UI2},
        {"UI4", KPM_VT_UI4},           {"I4", KPM_VT_I4},
        {"BOOL", KPM_VT_BOOL},         {"BYREF_BOOL", KPM_VT_BYREF_BOOL},
        {"BYREF_I4", KPM_VT_BYREF_I4}, {"BYREF_UI4", KPM_VT_BYREF_UI4}};
    const auto it = types.find(name);
    return it != types.end() ? it->second : -1;
}
// "(DISPATCH, UI2, ...)" as the header spells a row's arguments.
std::vector<int> TypesOf(std::string list, int count) {
    std::vector<int> types;
    std::string name;
    for (char c : list) {
        if (c == '(' || c == ' ') continue;
        if (c == ',' || c == ')') {
            if (!name.empty()) types.push_back(TypeOf(name));
            name.clear();
        } else {
            name += c;
        }
    }
    EXPECT_EQ(int(types.size()), count) << list;
    return types;
}

#define QZS_EVENT_(CLASS, NAME, ID, ARGC, ARGS) EventRow{#CLASS, ID, TypesOf(#ARGS, ARGC)},

std::vector<EventRow> PublicEvents() {
    return {KPM_PRINTER_JOB_EVENTS(QZS_EVENT_) KPM_PREVIEW_EVENTS(QZS_EVENT_)
                KPM_FILE_OBJECT_EVENTS(QZS_EVENT_) KPM_REPORT_EVENTS(QZS_EVENT_)
                    KPM_DRAWING_OBJECT_EVENTS(QZS_EVENT_)};
}

TEST(PublicMemberTable, HoldsEveryDocumentedEventAsDocumented) {
    constexpr int D = KPM_VT_DISPATCH, U2 = KPM_VT_UI2, U4 = KPM_VT_UI4, I4 = KPM_VT_I4;
    constexpr int B = KPM_VT_BOOL;
    constexpr int REF = 0x4000;  // by reference
    const std::vector<int> site = {D, U2, D};
    auto onSite = [&](std::vector<int> own) {
        std::vector<int> all = site;
        all.insert(all.end(), own.begin(), own.end());
        return all;
    };
    const std::vector<int> rectRefs = {REF | I4, REF | I4, REF | I4, REF | I4};
    const std::vector<int> rect = {I4, I4, I4, I4};
    auto join = [](std::initializer_list<std::vector<int>> parts) {
        std::vector<int> all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const EventRow documented[] = {
        {"PRINTER_JOB", 21001, {D}},
        {"PRINTER_JOB", 21002, {D, I4}},
        {"PREVIEW", 22001, {D, U4, U4}},
        {"PREVIEW", 22002, {D}},
        {"PREVIEW", 22003, {D}},
        {"PREVIEW", 22004, {D}},
        {"PREVIEW", 22005, {D}},
        {"PREVIEW", 22006, {D}},
        {"PREVIEW", 22007, {D, REF | B}},
        {"PREVIEW", 22008, {D, REF | B}},
        {"PREVIEW", 22009, {D}},
        {"PREVIEW", 22010, {D}},
        {"PREVIEW", 22011, {D}},
        {"PREVIEW", 22012, {D}},
        {"FILE_OBJECT", 23009, {D}},
        {"REPORT", 20006, {D}},
        {"DRAWING_OBJECT", 20001, onSite({REF | B})},
        {"DRAWING_OBJECT", 20002, onSite({REF | B})},
        {"DRAWING_OBJECT", 20003, onSite({REF | B})},
        {"DRAWING_OBJECT", 20004, onSite({REF | B})},
        {"DRAWING_OBJECT", 20005, site},
        {"DRAWING_OBJECT", 20007, join({site, rectRefs, rect, rect})},
        {"DRAWING_OBJECT", 20008, join({site, rectRefs, rect, {REF | U4}})},
        {"DRAWING_OBJECT", 20009, onSite({U4, REF | U4})},
        {"DRAWING_OBJECT", 20010, onSite({U4, U4})},
        {"DRAWING_OBJECT", 20011, onSite({U4})},
        {"DRAWING_OBJECT", 20012, onSite({I4})},
        {"DRAWING_OBJECT", 20013, onSite({REF | U4})},
        {"DRAWING_OBJECT", 20014, join({site, rectRefs})},
        {"DRAWING_OBJECT", 20015, join({site, rectRefs})},
        {"DRAWING_OBJECT", 20017, join({site, rect})},
    };
    std::map<int, EventRow> table;
    for (const EventRow& row : PublicEvents()) {
        EXPECT_TRUE(table.emplace(row.id, row).second) << row.id << " twice";
    }
    EXPECT_EQ(table.size(), std::size(documented));
    for (const EventRow& want : documented) {
        const auto it = table.find(want.id);
        if (it == table.end()) {
            ADD_FAILURE() << want.id << " is missing";
            continue;
        }
        EXPECT_EQ(it->second.cls, want.cls) << want.id;
        EXPECT_EQ(it->second.args, want.args) << want.id;
    }
    EXPECT_EQ(KPM_EVENT_PRINTER_JOB_PRINT_END, 21002);
    EXPECT_EQ(KPM_EVENT_PREVIEW_ON_CLOSE_QUERY, 22008);
    EXPECT_EQ(EventsSeenFromC(), static_cast<int>(std::size(documented)));
}

// A C host includes the same header and sees the same rows.
TEST(PublicMemberTable, IsPlainC) {
    EXPECT_EQ(MemberRowsSeenFromC(), static_cast<int>(PublicRows().size()));
    EXPECT_EQ(KPM_PRINTER_JOB_SET_JOB_STATUS, 11009);
    EXPECT_EQ(KPM_REPORT_PAPER_SIZE_VT, KPM_VT_I2);
}

}  // namespace
