// The scriptable object through which a host exports reports to a PDF 1.3 file: document texts,
// open, one page per report drawing (recorded into a metafile and translated), close.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "engine/core/scriptable.h"
#include "engine/core/services.h"
#include "engine/include/kpengn_members.h"
#include "engine/output/pdf_fonts.h"
#include "engine/output/pdf_writer.h"
#include "platform/gdi/gdi_types.h"

namespace plat {
class DeviceContext;
}

namespace kp {

class ApplicationObject;

namespace pdf_code {
inline constexpr int kNoObject = -15000;
inline constexpr int kNoAnsiPath = -15002;
inline constexpr int kNoScreenDc = -15003;
inline constexpr int kJobUnreadable = -15004;
inline constexpr int kWrongState = -15200;
inline constexpr int kEmptyPath = -15201;
inline constexpr int kPaperUnreadable = -14008;
inline constexpr int kMetafile = -14010;
inline constexpr int kPageBeingAdded = -16800;
inline constexpr int kTextCopyFailed = -16400;
inline constexpr int kTextAllocFailed = -16401;
inline constexpr int kTextBadPointer = -16402;
inline constexpr int kNotIdle = -10301;
}  // namespace pdf_code

// The printer job member whose value is its device context handle.
inline constexpr int32_t kPrinterJobDcMember = 1035;
// The draw flags of an exported page.
inline constexpr uint32_t kPdfDrawFlags = 0x2001;

class PdfDocumentObject final : public ScriptableObject {
  public:
    enum Member : int32_t {
        kState = KPM_PDF_DOCUMENT_STATE,
        kCreator = KPM_PDF_DOCUMENT_CREATOR,
        kTitle = KPM_PDF_DOCUMENT_TITLE,
        kSubject = KPM_PDF_DOCUMENT_SUBJECT,
        kAuthor = KPM_PDF_DOCUMENT_AUTHOR,
        kKeywords = KPM_PDF_DOCUMENT_KEYWORDS,
        kText506 = KPM_PDF_DOCUMENT_VALUE506,
        kFirstSwitch = KPM_PDF_DOCUMENT_SWITCH507,
        kLastSwitch = KPM_PDF_DOCUMENT_SWITCH516,
        kMode517 = KPM_PDF_DOCUMENT_VALUE517,
        kText518 = KPM_PDF_DOCUMENT_VALUE518,
        kText519 = KPM_PDF_DOCUMENT_VALUE519,
        kPdfOpen = KPM_PDF_DOCUMENT_PDF_OPEN,
        kPdfClose = KPM_PDF_DOCUMENT_PDF_CLOSE,
        kPdfAddPage = KPM_PDF_DOCUMENT_PDF_ADD_PAGE,
        kPdfRelease = KPM_PDF_DOCUMENT_PDF_RELEASE,
    };
    enum State : int16_t { kIdle = 16, kOpen = 128, kAddingPage = 256 };

    // A document of the application reaches reports through the application's services; one
    // without an application is given its access.
    explicit PdfDocumentObject(ApplicationObject* owner);
    PdfDocumentObject(ApplicationObject* owner, const PdfReportAccess& reports);
    ~PdfDocumentObject() override;  // leaves the application's table; an open file is dropped

    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;
    int32_t GetTypeInfo(ClassInfo** out) override;
    int32_t Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                   plat::Variant* result) override;

    int16_t state() const { return state_; }
    // Tests fix the creation date through the writer.
    PdfFileWriter& writer() { return writer_; }

    int32_t PdfOpen(const plat::OleChar* path, bool overwrite);
    int32_t PdfClose();
    int32_t PdfAddPage(ScriptableObject* job, ScriptableObject* report);

  private:
    int32_t GetText(int index, plat::Variant* result);
    int32_t PutText(int index, const plat::Variant& argument);
    int32_t Member506(int32_t kind, const plat::Variant* argument, plat::Variant* result);
    int32_t Member518(int index, int32_t kind, const plat::Variant* argument,
                      plat::Variant* result);
    int32_t ReferenceDc(ScriptableObject* job, plat::DeviceContext** dc,
                        std::unique_ptr<plat::DeviceContext>& screen);

    ApplicationObject* owner_;
    const PdfReportAccess reports_;
    int32_t refs_ = 1;
    std::recursive_mutex lock_;
    std::array<std::u16string, 5> texts_;  // creator, title, subject, author, keywords
    int16_t state_ = kIdle;
    std::u16string text506_;
    std::array<bool, 10> switches_{false, true,  true,  true,  true,
                                   false, false, false, false, false};
    uint8_t mode517_ = 0;
    std::array<std::shared_ptr<const std::u16string>, 2> text518_;
    PdfFileWriter writer_;
    PdfFontTable fonts_;  // the fonts the pages of the open file name
};

// The application's factory of PDF documents: null when memory runs out (the application then
// answers -5, the -15000 of the document).
ScriptableObject* NewPdfDocument(ApplicationObject* owner);
// Puts the factory into the application's child factories.
void AddPdfDocumentServices(EngineServices& services);

}  // namespace kp
