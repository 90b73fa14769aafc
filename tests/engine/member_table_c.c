/* The public member table compiled as C: the rows a C host expands. */
#include "engine/include/kpengn_members.h"

#define QZS_COUNT_(CLASS, NAME, ID, ACCESS, VT, ARGC, ARGS) +1

int MemberRowsSeenFromC(void);

int MemberRowsSeenFromC(void) {
    return 0 KPM_APPLICATION(QZS_COUNT_) KPM_PRINTER_JOB(QZS_COUNT_) KPM_PREVIEW(QZS_COUNT_)
        KPM_FILE_OBJECT(QZS_COUNT_) KPM_REPORT(QZS_COUNT_) KPM_LAYER_COLLECTION(QZS_COUNT_)
            KPM_LAYER(QZS_COUNT_) KPM_OBJECT_COLLECTION(QZS_COUNT_) KPM_DRAWING_OBJECT(QZS_COUNT_)
                KPM_PDF_DOCUMENT(QZS_COUNT_);
}

#define QZS_COUNT_EVENT_(CLASS, NAME, ID, ARGC, ARGS) +1

int EventsSeenFromC(void);

int EventsSeenFromC(void) {
    return 0 KPM_PRINTER_JOB_EVENTS(QZS_COUNT_EVENT_) KPM_PREVIEW_EVENTS(QZS_COUNT_EVENT_)
        KPM_FILE_OBJECT_EVENTS(QZS_COUNT_EVENT_) KPM_REPORT_EVENTS(QZS_COUNT_EVENT_)
            KPM_DRAWING_OBJECT_EVENTS(QZS_COUNT_EVENT_);
}
