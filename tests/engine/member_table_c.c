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
