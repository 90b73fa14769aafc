// The module (registry of applications, control-library binding, print DC owners, the PDF
// settings file) and the application object: creation, its members and limits, and its
// factories over stand-in children.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "engine_fakes.h"

namespace {

using namespace kp;
using namespace plat;
using fakes::Answer;
using fakes::Control;
using fakes::FakeChild;

// ---------------------------------------------------------------------------------------------
// Children made by the factories

struct Script {
    int32_t attach = 0;
    int32_t previewInit = 0;
    std::vector<std::string> missingPrinters;
    std::map<int32_t, Answer> report;
    std::map<int32_t, Answer> job;
    std::vector<std::string> opened;
};
Script& S() {
    static Script script;
    return script;
}

ScriptableObject* NewReport() {
    auto* c = new FakeChild(ChildKind::kReport, signature::kReport);
    c->answers = S().report;
    return c;
}
int32_t AttachReport(ScriptableObject* c, ApplicationObject* app) {
    static_cast<FakeChild*>(c)->app = app;
    return S().attach;
}
ScriptableObject* NewPreview() {
    return new FakeChild(ChildKind::kPreview, signature::kDisplay);
}
int32_t InitializePreview(ScriptableObject* c, ApplicationObject* app) {
    // Fails, when told to, before it knows its application.
    if (S().previewInit != 0) return S().previewInit;
    static_cast<FakeChild*>(c)->app = app;
    return 0;
}
ScriptableObject* NewFileObject(ApplicationObject* app) {
    auto* c = new FakeChild(ChildKind::kFileObject, signature::kFile);
    c->app = app;
    return c;
}
ScriptableObject* NewPdfDocument(ApplicationObject* app) {
    auto* c = new FakeChild(ChildKind::kPdfDocument, "PDF");
    c->app = app;
    return c;
}
ScriptableObject* NewPrinterJob() {
    auto* c = new FakeChild(ChildKind::kPrinter, "JOB");
    c->answers = S().job;
    c->closeMember = KPM_PRINTER_JOB_CLOSE;
    return c;
}
int32_t OpenPrinterJob(ScriptableObject* c, ApplicationObject* app, const OleChar* name) {
    static_cast<FakeChild*>(c)->app = app;
    std::string text;
    Utf8FromWide(BstrView(name), &text);
    S().opened.push_back(text);
    for (const auto& missing : S().missingPrinters) {
        if (missing == text) return rc::kNoSuchPrinter;
    }
    return 0;
}

EngineServices AllServices() {
    EngineServices services;
    ChildFactories& f = services.children;
    f.newReport = NewReport;
    f.attachReport = AttachReport;
    f.newPreview = NewPreview;
    f.initializePreview = InitializePreview;
    f.newFileObject = NewFileObject;
    f.newPdfDocument = NewPdfDocument;
    f.newPrinterJob = NewPrinterJob;
    f.openPrinterJob = OpenPrinterJob;
    return services;
}

// ---------------------------------------------------------------------------------------------
// Fixture: an attached module with a stand-in control library and three printers.

int moduleToken;

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Control() = {};
        S() = {};
        FakeChild::Destroyed() = 0;
        FakeChild::Log().clear();
        SetControlLibraryLoader(&fakes::kFakeLoader);
        printers_ = std::make_shared<FakePrinterSystem>();
        printers_->SetPrinters(fakes::ThreePrinters());
        SetPrinterSystem(printers_);
        InitModule(&moduleToken);
    }
    void TearDown() override {
        InitModule(nullptr);  // destroys whatever a test left alive
        SetPrinterSystem(nullptr);
        SetControlLibraryLoader(nullptr);
    }

    static ApplicationObject* AsApp(void* out) {
        return static_cast<ApplicationObject*>(static_cast<plat::Unknown*>(out));
    }

    // A new application whose host has set a site.
    ApplicationObject* Create(const EngineServices& services = {}) {
        void* out = nullptr;
        EXPECT_EQ(CreateEngineObject(services, &iid::kApplication, &iid::kApplication, &out), 0);
        ApplicationObject* app = AsApp(out);
        if (app) app->Site().SetSite(1);
        return app;
    }

    static int32_t Get(ApplicationObject* app, int32_t id, Variant* out) {
        *out = Variant{};
        return app->Invoke(id, kInvokeGet, nullptr, out);
    }
    static int32_t Put(ApplicationObject* app, int32_t id, Variant value) {
        InvokeArgs args{&value, 1};
        Variant result{};
        return app->Invoke(id, kInvokePut, &args, &result);
    }
    static int32_t Call(ApplicationObject* app, int32_t id, std::vector<Variant> args,
                        Variant* out) {
        InvokeArgs block{args.data(), static_cast<uint32_t>(args.size())};
        *out = Variant{};
        return app->Invoke(id, kInvokeMethod, &block, out);
    }
    static std::u16string Text(const Variant& v) { return std::u16string(BstrView(v.bstrVal)); }

    std::shared_ptr<FakePrinterSystem> printers_;
};

// ---------------------------------------------------------------------------------------------
// Module

TEST_F(EngineTest, CreateChecksClassIdAndPointers) {
    void* out = reinterpret_cast<void*>(1);
    const InterfaceId events{0x00010000, 0x00000101};
    EXPECT_EQ(CreateEngineObject(&events, &iid::kApplication, &out), -3);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(CreateEngineObject(&iid::kApplication, &iid::kApplication, nullptr), -4);
    EXPECT_EQ(CreateEngineObject(nullptr, &iid::kApplication, &out), -4);
    const InterfaceId unknown{0x12345678, 1};
    EXPECT_EQ(CreateEngineObject(&iid::kApplication, &unknown, &out), -2);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(EngineRegistrySlotCount(), 0u) << "a failed creation registers nothing";
    EXPECT_EQ(Control().opens, 0) << "the control library is bound on registration only";
}

TEST_F(EngineTest, ControlLibraryFailures) {
    struct {
        bool loads, hasClassInfo, hasCreate;
        int32_t code;
        int closes;
        const char* why;
    } const cases[] = {
        {false, true, true, -10000, 0, "library missing"},
        {true, false, true, -10001, 1, "WGetClassInfo missing"},
        {true, true, false, -10001, 1, "WCreateObject missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Control() = {};
        Control().loads = c.loads;
        Control().hasClassInfo = c.hasClassInfo;
        Control().hasCreate = c.hasCreate;
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(CreateEngineObject(&iid::kApplication, &iid::kApplication, &out), c.code);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(Control().lastName, "libkpctrl30.so");
        EXPECT_EQ(Control().closes, c.closes) << "an incomplete library is let go again";
        EXPECT_EQ(GetControlCreateEntry(), nullptr);
        EXPECT_EQ(EngineRegistrySlotCount(), 0u);
    }
}

TEST_F(EngineTest, RegistryReusesFreedSlotsAndBindsTheControlLibraryOnce) {
    ApplicationObject* a = Create();
    ApplicationObject* b = Create();
    EXPECT_EQ(EngineRegistrySlotCount(), 2u);
    EXPECT_EQ(Control().opens, 1);
    EXPECT_EQ(GetControlCreateEntry(), &fakes::ControlCreate);
    EXPECT_EQ(GetControlClassInfoEntry(), &fakes::ControlClassInfo);

    EXPECT_EQ(a->Release(), 0);
    EXPECT_EQ(EngineRegistrySlotCount(), 2u) << "the freed slot stays";
    ApplicationObject* c = Create();
    EXPECT_EQ(EngineRegistrySlotCount(), 2u) << "and is taken again";
    ApplicationObject* d = Create();
    EXPECT_EQ(EngineRegistrySlotCount(), 3u) << "grows by one when no slot is free";
    EXPECT_EQ(Control().opens, 1);

    EXPECT_EQ(UnregisterEngineObject(nullptr), 0);
    ApplicationObject stranger;
    EXPECT_EQ(UnregisterEngineObject(&stranger), 0) << "not registered";
    EXPECT_EQ(EngineRegistrySlotCount(), 3u);

    b->Release();
    c->Release();
    d->Release();
    EXPECT_NE(GetControlCreateEntry(), nullptr) << "stays bound while the library is loaded";
    InitModule(nullptr);
    EXPECT_EQ(Control().closes, 1);
    EXPECT_EQ(GetControlCreateEntry(), nullptr);
    InitModule(&moduleToken);
}

// The services the module is attached with are the ones every application it makes gets (the
// host's WCreateObject); a detach forgets them.
TEST_F(EngineTest, ApplicationsOfTheModuleGetItsServices) {
    InitModule(nullptr);
    InitModule(&moduleToken, AllServices());
    void* out = nullptr;
    ASSERT_EQ(CreateEngineObject(&iid::kApplication, &iid::kApplication, &out), 0);
    ApplicationObject* app = AsApp(out);
    app->Site().SetSite(1);
    Variant v{};
    EXPECT_EQ(Call(app, ApplicationObject::kCreateReport, {}, &v), 0);
    EXPECT_EQ(app->ChildCount(ChildKind::kReport), 1u);
    app->Release();

    InitModule(nullptr);
    InitModule(&moduleToken);
    app = Create();
    EXPECT_EQ(Call(app, ApplicationObject::kCreateReport, {}, &v), -2);
    app->Release();
}

TEST_F(EngineTest, PrintDcOwnerTable) {
    FakeChild job(ChildKind::kPrinter, "JOB");
    for (int32_t i = 0; i < kPrintDcOwnerSlots; ++i) {
        ASSERT_EQ(AddPrintDcOwner(0x1000 + i, &job), i);
    }
    EXPECT_EQ(AddPrintDcOwner(0x9999, &job), -1) << "table full";
    ScriptableObject* found = nullptr;
    EXPECT_EQ(FindPrintDcOwner(0x1000 + 567, &found), 567);
    EXPECT_EQ(found, &job);
    EXPECT_EQ(FindPrintDcOwner(0x9999, &found), -1);

    RemovePrintDcOwner(1000);
    RemovePrintDcOwner(-1);
    EXPECT_EQ(AddPrintDcOwner(0x9999, &job), -1) << "out-of-range removals change nothing";
    RemovePrintDcOwner(567);
    EXPECT_EQ(FindPrintDcOwner(0x1000 + 567, &found), -1);
    EXPECT_EQ(AddPrintDcOwner(0x9999, &job), 567) << "the first free entry is reused";
}

// A child whose destructor gives up its DC-owner entry, as a printer job does.
class DcOwningChild : public FakeChild {
  public:
    DcOwningChild() : FakeChild(ChildKind::kPrinter, "JOB") {
        index = AddPrintDcOwner(0x4242, this);
    }
    ~DcOwningChild() override { RemovePrintDcOwner(index); }
    int32_t index;
};

TEST_F(EngineTest, DetachDestroysObjectsBeforeTheModuleLock) {
    ApplicationObject* app = Create();
    auto* child = new DcOwningChild;
    child->app = app;
    ASSERT_GE(child->index, 0);
    ASSERT_EQ(app->RegisterPrinter(child), 0);
    // The host never releases the application: unloading destroys it and its children, whose
    // destructors still need the module lock.
    InitModule(nullptr);
    EXPECT_EQ(FakeChild::Destroyed(), 1);
    EXPECT_EQ(FindPrintDcOwner(0x4242, nullptr), -1) << "the child's entry was given up";
    EXPECT_EQ(EngineRegistrySlotCount(), 0u);
    InitModule(&moduleToken);
}

// ---------------------------------------------------------------------------------------------
// The PDF settings file

class PdfSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("qzs-engcore-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) old_ = old;
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    }
    void TearDown() override {
        if (old_) {
            setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
        std::filesystem::remove_all(dir_);
        ReadPdfSettings();
    }
    void Write(const std::string& body) {
        std::filesystem::create_directories(std::filesystem::path(PdfSettingsPath()).parent_path());
        std::ofstream(PdfSettingsPath(), std::ios::binary) << body;
    }
    std::filesystem::path dir_;
    std::optional<std::string> old_;
};

TEST_F(PdfSettingsTest, UnknownCharTable) {
    EXPECT_EQ(PdfSettingsPath(), dir_.string() + "/Tessaryn/Kelvaprint/3.1/PDF");
    struct {
        std::string body;
        char16_t expected;
        const char* why;
    } const cases[] = {
        {"UnknownChar=?\n", u'?', "one single-byte character"},
        {"UnknownChar=ab\n", u'a', "two single-byte characters: the first"},
        {"UnknownChar=\x81\x9A\n", u'\u2605', "one double-byte character (black star)"},
        {"UnknownChar=\r\n", 0, "empty value"},
        {"UnknownChar=abc\n", 0, "three bytes are too long"},
        {"UnknownChar=\x81\n", 0, "a lead byte alone is not a character"},
        {"Other=1\nunknownchar=#\r\n", u'#', "names compare without case; CRLF lines"},
        {"Other=1\n", 0, "value missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Write(c.body);
        ReadPdfSettings();
        EXPECT_EQ(GetUnknownChar(), c.expected);
    }
    std::filesystem::remove(PdfSettingsPath());
    EXPECT_EQ(ReadPdfSettings(), -1);
    EXPECT_EQ(GetUnknownChar(), 0);
}

TEST_F(PdfSettingsTest, ReadAtAttachFromAReadOnlyFile) {
    Write("UnknownChar=*\n");
    chmod(PdfSettingsPath().c_str(), 0444);
    InitModule(&moduleToken);
    EXPECT_EQ(GetUnknownChar(), u'*');
    InitModule(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Application object

TEST_F(EngineTest, WithoutSiteEveryMemberAnswersMinus11) {
    void* out = nullptr;
    ASSERT_EQ(CreateEngineObject(&iid::kApplication, &iid::kApplication, &out), 0);
    ApplicationObject* app = AsApp(out);
    Variant v{};
    for (int32_t id : {1, 2, 3, 4, 5, 6, 7}) {
        EXPECT_EQ(Get(app, id, &v), -11) << id;
    }
    EXPECT_EQ(Put(app, KPM_APPLICATION_DEFAULT_USER_ID, VariantBstr(nullptr)), -11);
    EXPECT_EQ(Call(app, KPM_APPLICATION_CREATE_REPORT, {}, &v), -11);
    EXPECT_EQ(Call(app, KPM_APPLICATION_PRINTER_NAME, {VariantUI4(0)}, &v), -11);
    app->Release();
}

TEST_F(EngineTest, QueryInterfaceTableAndReferenceCount) {
    ApplicationObject* app = Create();
    struct {
        InterfaceId id;
        const void* expected;
    } const cases[] = {
        {iid::kApplication, static_cast<plat::Unknown*>(app)},
        {iid::kBase, static_cast<plat::Unknown*>(app)},
        {iid::kScriptable, static_cast<plat::Unknown*>(app)},
        {iid::kEventSource, static_cast<plat::Unknown*>(&app->Events())},
        {iid::kSiteHolder, static_cast<plat::Unknown*>(&app->Site())},
    };
    int32_t refs = 1;
    for (const auto& c : cases) {
        void* out = nullptr;
        EXPECT_EQ(app->QueryInterface(&c.id, &out), 0);
        EXPECT_EQ(out, c.expected);
        ++refs;
    }
    void* library = nullptr;
    ASSERT_EQ(app->QueryInterface(&iid::kTypeLibrary, &library), 0);
    EXPECT_EQ(static_cast<ClassInfo*>(static_cast<plat::Unknown*>(library))->TypeCode(),
              typecode::kTypeLibrary);
    ++refs;
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(app->QueryInterface(&iid::kPrinterJob, &none), -2);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(app->QueryInterface(&iid::kBase, nullptr), -4);

    ClassInfo* info = nullptr;
    ASSERT_EQ(app->GetTypeInfo(&info), 0);
    EXPECT_EQ(info->TypeCode(), typecode::kApplication);
    ++refs;
    EXPECT_EQ(app->AddRef(), refs + 1);
    for (int32_t i = refs; i > 0; --i) EXPECT_EQ(app->Release(), i);
    EXPECT_EQ(app->Release(), 0);
    EXPECT_EQ(EngineRegistrySlotCount(), 1u);
}

TEST_F(EngineTest, PathProperties) {
    ApplicationObject* app = Create();
    Variant v{};
    char* cwd = getcwd(nullptr, 0);
    ASSERT_EQ(Get(app, ApplicationObject::kCurrentPath, &v), 0);
    EXPECT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(Text(v), WideFromUtf8(cwd));
    VariantClear(&v);
    std::free(cwd);
    ASSERT_EQ(Get(app, ApplicationObject::kTempPath, &v), 0);
    EXPECT_EQ(Text(v).back(), u'/') << "the temporary folder ends in a separator";
    VariantClear(&v);

    const std::string dir = std::filesystem::temp_directory_path().string();
    const std::string file = dir + "/qzs-engcore-file-" + std::to_string(getpid());
    std::ofstream(file) << "x";
    struct {
        std::string path;
        int32_t code;
        const char* why;
    } const cases[] = {
        {dir, 0, "a folder"},
        {dir + "/", 0, "with one trailing separator"},
        {"/", 0, "the root with its separator"},
        {dir + "/no-such-folder-here", -7, "missing folder"},
        {file, -7, "a file, not a folder"},
        {"", -7, "empty"},
    };
    for (int32_t id : {ApplicationObject::kCurrentPath, ApplicationObject::kTempPath}) {
        std::u16string kept = u"/";
        for (const auto& c : cases) {
            SCOPED_TRACE(c.why);
            UniqueBstr path(BstrFromUtf8(c.path));
            EXPECT_EQ(Put(app, id, VariantBstr(path.get())), c.code);
            if (c.code == 0) kept = BstrView(path.get());
            ASSERT_EQ(Get(app, id, &v), 0);
            EXPECT_EQ(Text(v), kept) << "a refused folder keeps the old path";
            VariantClear(&v);
        }
        EXPECT_EQ(Put(app, id, VariantBstr(nullptr)), -7) << "null string";
        EXPECT_EQ(Put(app, id, VariantI4(1)), -7) << "not a string";
    }
    std::filesystem::remove(file);

    Bstr direct = nullptr;
    ASSERT_EQ(app->GetCurrentPath(&direct), 0);
    EXPECT_EQ(BstrView(direct), u"/");
    BstrFree(direct);
    app->Release();
}

TEST_F(EngineTest, UserStringsFlagAndFixedMembers) {
    ApplicationObject* app = Create();
    Variant v{};
    for (int32_t id :
         {ApplicationObject::kDefaultUserId, ApplicationObject::kDefaultUserPassword}) {
        ASSERT_EQ(Get(app, id, &v), 0);
        EXPECT_EQ(v.vt, VT_BSTR);
        EXPECT_EQ(v.bstrVal, nullptr) << "unset";
        UniqueBstr text(BstrAllocView(u"installer"));
        EXPECT_EQ(Put(app, id, VariantBstr(text.get())), 0);
        ASSERT_EQ(Get(app, id, &v), 0);
        EXPECT_EQ(Text(v), u"installer");
        EXPECT_NE(v.bstrVal, text.get()) << "a copy each way";
        VariantClear(&v);
        UniqueBstr empty(BstrAllocView(u""));
        EXPECT_EQ(Put(app, id, VariantBstr(empty.get())), 0);
        ASSERT_EQ(Get(app, id, &v), 0);
        EXPECT_EQ(v.bstrVal, nullptr) << "an empty string clears it";
    }

    EXPECT_EQ(Put(app, ApplicationObject::kKeepLayerOrder, VariantBool(true)), 0);
    ASSERT_EQ(Get(app, ApplicationObject::kKeepLayerOrder, &v), 0);
    EXPECT_EQ(v.vt, VT_BOOL);
    EXPECT_EQ(v.boolVal, VARIANT_TRUE);
    EXPECT_TRUE(app->KeepLayerOrder());
    EXPECT_EQ(Put(app, ApplicationObject::kKeepLayerOrder, VariantI2(1)), -7);

    ASSERT_EQ(Get(app, ApplicationObject::kControlLibraryName, &v), 0);
    EXPECT_EQ(Text(v), u"libkpctrl30.so");
    VariantClear(&v);
    EXPECT_EQ(Put(app, ApplicationObject::kPrinterDevices, VariantUI4(1)), -6);
    EXPECT_EQ(Put(app, ApplicationObject::kControlLibraryName, VariantBstr(nullptr)), -6);
    EXPECT_EQ(Get(app, 8, &v), -6);
    EXPECT_EQ(Get(app, KPM_APPLICATION_CREATE_PREVIEW, &v), -6) << "a method id is no property";

    UniqueBstr name(BstrAllocView(u"x"));
    v.raw = 0x1234;
    EXPECT_EQ(Call(app, ApplicationObject::kReservedCreate, {VariantBstr(name.get())}, &v), -1);
    EXPECT_EQ(v.vt, VT_DISPATCH);
    EXPECT_EQ(v.pdispVal, nullptr);
    app->Release();
}

TEST_F(EngineTest, PrinterList) {
    ApplicationObject* app = Create();
    Variant v{};
    ASSERT_EQ(Get(app, ApplicationObject::kPrinterDevices, &v), 0);
    EXPECT_EQ(v.vt, VT_UI4);
    EXPECT_EQ(v.ulVal, 3u);
    struct {
        int32_t member;
        uint32_t index;
        int32_t code;
        std::u16string text;
    } const cases[] = {
        {ApplicationObject::kPrinterName, 0, 0, u"Office"},
        {ApplicationObject::kPrinterName, 1, 0, u"\u7DCF\u52D9"},
        {ApplicationObject::kPrinterName, 2, 0, u"Label/small"},
        {ApplicationObject::kPrinterDeviceName, 0, 0, u"Generic PostScript"},
        {ApplicationObject::kPrinterPortName, 1, 0, u"socket://10.0.0.9"},
        {ApplicationObject::kPrinterName, 3, -7, u""},
        {ApplicationObject::kPrinterPortName, 0xFFFFFFFF, -7, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.member * 100 + c.index);
        EXPECT_EQ(Call(app, c.member, {VariantUI4(c.index)}, &v), c.code);
        EXPECT_EQ(v.vt, VT_BSTR);
        EXPECT_EQ(Text(v), c.text);
        VariantClear(&v);
    }
    EXPECT_EQ(Call(app, ApplicationObject::kPrinterName, {VariantI4(0)}, &v), -7) << "VT_I4";
    app->Release();

    printers_->SetPrinters({});
    app = Create();
    ASSERT_EQ(Get(app, ApplicationObject::kPrinterDevices, &v), 0);
    EXPECT_EQ(v.ulVal, 0u);
    EXPECT_EQ(Call(app, ApplicationObject::kPrinterName, {VariantUI4(0)}, &v), -7);
    app->Release();
}

TEST_F(EngineTest, PrinterEnumerationFailures) {
    void* out = reinterpret_cast<void*>(1);
    printers_->SetListFails(true);
    EXPECT_EQ(CreateEngineObject(&iid::kApplication, &iid::kApplication, &out), -10102);
    EXPECT_EQ(out, nullptr);
    printers_->SetListFails(false);
    printers_->SetPrinters({{"bad\xFF", "driver", "port", false}});
    EXPECT_EQ(CreateEngineObject(&iid::kApplication, &iid::kApplication, &out), -10003);
    EXPECT_EQ(EngineRegistrySlotCount(), 0u);
}

TEST_F(EngineTest, FactoriesNotYetBoundAnswerNotImplemented) {
    ApplicationObject* app = Create();
    UniqueBstr name(BstrAllocView(u"Office"));
    struct {
        int32_t member;
        std::vector<Variant> args;
    } const cases[] = {
        {ApplicationObject::kCreatePreview, {}},
        {ApplicationObject::kCreatePrinter, {VariantBstr(name.get())}},
        {ApplicationObject::kCreatePrinter, {VariantBstr(nullptr)}},
        {ApplicationObject::kCreateFile, {}},
        {ApplicationObject::kCreateReport, {}},
        {ApplicationObject::kOpenReport, {VariantBstr(name.get())}},
        {ApplicationObject::kCreatePdfDocument, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.member);
        Variant v{};
        EXPECT_EQ(Call(app, c.member, c.args, &v), -2);
        EXPECT_EQ(v.vt, VT_DISPATCH);
        EXPECT_EQ(v.pdispVal, nullptr);
    }
    app->Release();
}

TEST_F(EngineTest, ChildTablesHoldAThousandOfEachKind) {
    ApplicationObject* app = Create(AllServices());
    struct {
        int32_t member;
        ChildKind kind;
    } const kinds[] = {
        {ApplicationObject::kCreateReport, ChildKind::kReport},
        {ApplicationObject::kCreatePreview, ChildKind::kPreview},
        {ApplicationObject::kCreateFile, ChildKind::kFileObject},
        {ApplicationObject::kCreatePdfDocument, ChildKind::kPdfDocument},
    };
    int expectedDestroyed = 0;
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.member);
        std::vector<plat::Unknown*> made;
        Variant v{};
        for (size_t i = 0; i < kChildSlots; ++i) {
            ASSERT_EQ(Call(app, k.member, {}, &v), 0);
            ASSERT_EQ(v.vt, VT_DISPATCH);
            made.push_back(v.pdispVal);
        }
        EXPECT_EQ(Call(app, k.member, {}, &v), -10312) << "the 1001st";
        EXPECT_EQ(v.pdispVal, nullptr);
        ++expectedDestroyed;
        EXPECT_EQ(FakeChild::Destroyed(), expectedDestroyed) << "and nothing is left behind";
        EXPECT_EQ(app->ChildCount(k.kind), kChildSlots);

        delete static_cast<FakeChild*>(made[500]);  // closed by the host
        ++expectedDestroyed;
        EXPECT_EQ(Call(app, k.member, {}, &v), 0) << "room again";
    }
    // Releasing the application destroys every child the host still holds.
    EXPECT_EQ(app->Release(), 0);
    EXPECT_EQ(FakeChild::Destroyed(), expectedDestroyed + 4 * static_cast<int>(kChildSlots));
}

TEST_F(EngineTest, FailedInitialisationDestroysTheChild) {
    ApplicationObject* app = Create(AllServices());
    Variant v{};
    S().previewInit = -14001;
    EXPECT_EQ(Call(app, ApplicationObject::kCreatePreview, {}, &v), -14001);
    EXPECT_EQ(v.pdispVal, nullptr);
    EXPECT_EQ(app->ChildCount(ChildKind::kPreview), 0u) << "its slot is free again";
    S().attach = -4;
    EXPECT_EQ(Call(app, ApplicationObject::kCreateReport, {}, &v), -4);
    EXPECT_EQ(app->ChildCount(ChildKind::kReport), 0u);
    EXPECT_EQ(FakeChild::Destroyed(), 2);

    S().attach = 0;
    S().report[KPM_REPORT_LOAD_REPORT_FILE] = {-114};
    UniqueBstr file(BstrAllocView(u"/tmp/missing.k30"));
    EXPECT_EQ(Call(app, ApplicationObject::kOpenReport, {VariantBstr(file.get())}, &v), -114);
    EXPECT_EQ(FakeChild::Log().back(), "0:15006 8=\"/tmp/missing.k30\"");
    EXPECT_EQ(app->ChildCount(ChildKind::kReport), 0u);
    S().report[KPM_REPORT_LOAD_REPORT_FILE] = {0};
    EXPECT_EQ(Call(app, ApplicationObject::kOpenReport, {VariantBstr(file.get())}, &v), 0);
    EXPECT_NE(v.pdispVal, nullptr);
    app->Release();
}

TEST_F(EngineTest, CreatePrinterByNameOrDefault) {
    ApplicationObject* app = Create(AllServices());
    Variant v{};
    UniqueBstr office(BstrAllocView(u"Office"));
    UniqueBstr empty(BstrAllocView(u""));
    UniqueBstr gone(BstrAllocView(u"Gone"));
    S().missingPrinters = {"Gone"};
    EXPECT_EQ(Call(app, ApplicationObject::kCreatePrinter, {VariantBstr(office.get())}, &v), 0);
    EXPECT_NE(v.pdispVal, nullptr);
    EXPECT_EQ(Call(app, ApplicationObject::kCreatePrinter, {VariantBstr(empty.get())}, &v), 0);
    EXPECT_EQ(Call(app, ApplicationObject::kCreatePrinter, {VariantBstr(nullptr)}, &v), 0);
    EXPECT_EQ(Call(app, ApplicationObject::kCreatePrinter, {VariantBstr(gone.get())}, &v), -10101);
    EXPECT_EQ(v.pdispVal, nullptr);
    const std::vector<std::string> opened = {"Office", "\xE7\xB7\x8F\xE5\x8B\x99",
                                             "\xE7\xB7\x8F\xE5\x8B\x99", "Gone"};
    EXPECT_EQ(S().opened, opened) << "an empty or null name means the default printer";
    EXPECT_EQ(app->ChildCount(ChildKind::kPrinter), 3u);

    printers_->SetPrinters({{"Office", "d", "p", false}});
    EXPECT_EQ(Call(app, ApplicationObject::kCreatePrinter, {VariantBstr(empty.get())}, &v), -10103);
    app->Release();
}

class PrinterForReportTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        app = Create(AllServices());
        S().report = {
            {KPM_REPORT_PRINTER_SELECT_MODE, {0, VT_UI2, 3}},
            {KPM_REPORT_PRINTER_NAME, {0, VT_BSTR, 0, u"Office"}},
            {KPM_REPORT_PAPER_SIZE, {0, VT_I2, 9}},
            {KPM_REPORT_PAPER_WIDTH, {0, VT_I4, 2100}},
            {KPM_REPORT_PAPER_LENGTH, {0, VT_I4, 2970}},
            {KPM_REPORT_PAPER_ORIENTATION, {0, VT_I2, 2}},
            {KPM_REPORT_TITLE, {0, VT_BSTR, 0, u"\u8ACB\u6C42\u66F8"}},  // 請求書
        };
        S().job = {{KPM_PRINTER_JOB_SHOW_PRT_SELECT_DLG, {0, VT_BOOL, 1}}};
    }
    void TearDown() override {
        app->Release();
        EngineTest::TearDown();
    }

    plat::Unknown* NewReportObject() {
        Variant v{};
        EXPECT_EQ(Call(app, ApplicationObject::kCreateReport, {}, &v), 0);
        return v.pdispVal;
    }
    int32_t Run(plat::Unknown* report, Variant* v) {
        FakeChild::Log().clear();
        S().opened.clear();
        return Call(app, ApplicationObject::kCreatePrinterForReport,
                    {VariantDispatch(report), VariantUI4(0x55), VariantUI4(3)}, v);
    }
    // What the new job was told, in order (the report's gets left out).
    static std::vector<std::string> JobCalls() {
        std::vector<std::string> calls;
        for (const auto& c : FakeChild::Log()) {
            if (c.rfind("1:", 0) != 0) calls.push_back(c);
        }
        return calls;
    }

    ApplicationObject* app = nullptr;
};

const std::vector<std::string> kFullSetUp = {
    "2:1029 8=\"\xE8\xAB\x8B\xE6\xB1\x82\xE6\x9B\xB8\"",
    "2:1008 8=\"\xE3\x80\x8C \xE8\xAB\x8B\xE6\xB1\x82\xE6\x9B\xB8 \xE3\x80\x8D\xE3\x82\x92"
    "\xE5\x8D\xB0\xE5\x88\xB7\xE4\xB8\xAD\xE3\x81\xA7\xE3\x81\x99\xE3\x80\x82\"",
    "2:1016 2=9",
    "2:1048 2=2100",
    "2:1049 2=2970",
    "2:1020 18=2",
    "0:11014",
    "0:11013 19=85 19=3",
};

TEST_F(PrinterForReportTest, CopiesTheReportSettingsAndRunsTheDialog) {
    plat::Unknown* report = NewReportObject();
    Variant v{};
    ASSERT_EQ(Run(report, &v), 0);
    EXPECT_EQ(v.vt, VT_DISPATCH);
    EXPECT_NE(v.pdispVal, nullptr);
    EXPECT_EQ(S().opened, std::vector<std::string>{"Office"});
    EXPECT_EQ(JobCalls(), kFullSetUp);
}

TEST_F(PrinterForReportTest, SelectModes) {
    plat::Unknown* report = NewReportObject();
    const std::string defaultName = "\xE7\xB7\x8F\xE5\x8B\x99";
    struct {
        int mode;
        bool missing;
        int32_t code;
        std::vector<std::string> opened;
        bool setUp;
        const char* why;
    } const cases[] = {
        {1, false, 0, {defaultName}, false, "default printer, nothing copied"},
        {2, false, 0, {"Office"}, false, "the named printer, nothing copied"},
        {2, true, -10101, {"Office"}, false, "the named printer is missing"},
        {3, true, 0, {"Office", defaultName}, true, "missing: falls back to the default"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto* fake = static_cast<FakeChild*>(report);
        fake->answers[5010] = {0, VT_UI2, c.mode};
        S().missingPrinters =
            c.missing ? std::vector<std::string>{"Office"} : std::vector<std::string>{};
        Variant v{};
        EXPECT_EQ(Run(report, &v), c.code);
        EXPECT_EQ(S().opened, c.opened);
        EXPECT_EQ(JobCalls().empty(), !c.setUp);
    }
}

TEST_F(PrinterForReportTest, FailuresCloseTheJob) {
    plat::Unknown* report = NewReportObject();
    struct {
        int32_t member;
        Answer answer;
        int32_t code;
        const char* why;
    } const cases[] = {
        {KPM_PRINTER_JOB_SHOW_PRT_SELECT_DLG,
         {0, VT_BOOL, 0},
         -10311,
         "the user cancelled the dialog"},
        {KPM_PRINTER_JOB_SHOW_PRT_SELECT_DLG, {-11002, VT_BOOL, 0}, -11002, "the dialog failed"},
        {KPM_PRINTER_JOB_DEV_MODE_PAPER_WIDTH, {-10301, VT_NULL, 0}, -10301, "a put failed"},
        {KPM_PRINTER_JOB_UPDATE_INFO, {-9, VT_NULL, 0}, -9, "UpdateInfo failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        S().job = {{KPM_PRINTER_JOB_SHOW_PRT_SELECT_DLG, {0, VT_BOOL, 1}}};
        S().job[c.member] = c.answer;
        const int before = FakeChild::Destroyed();
        Variant v{};
        v.raw = 1;
        EXPECT_EQ(Run(report, &v), c.code);
        EXPECT_EQ(v.pdispVal, nullptr);
        EXPECT_EQ(JobCalls().back(), "0:11003") << "closed through its Close member";
        EXPECT_EQ(FakeChild::Destroyed(), before + 1);
        EXPECT_EQ(app->ChildCount(ChildKind::kPrinter), 0u);
    }
    // A paper code the printer does not list is no failure.
    S().job = {{KPM_PRINTER_JOB_SHOW_PRT_SELECT_DLG, {0, VT_BOOL, 1}},
               {KPM_PRINTER_JOB_PAPER_SIZE, {-10113, VT_NULL, 0}}};
    Variant v{};
    EXPECT_EQ(Run(report, &v), 0);
    EXPECT_EQ(JobCalls(), kFullSetUp);
}

TEST_F(PrinterForReportTest, OnlyAReportIsAccepted) {
    Variant v{};
    ASSERT_EQ(Call(app, ApplicationObject::kCreatePreview, {}, &v), 0);
    plat::Unknown* preview = v.pdispVal;
    EXPECT_EQ(Run(preview, &v), -7);
    EXPECT_EQ(Run(nullptr, &v), -7);
    plat::Unknown* report = NewReportObject();
    delete static_cast<FakeChild*>(report);
    EXPECT_EQ(Run(report, &v), -7) << "a report that no longer exists";
    EXPECT_TRUE(S().opened.empty());
}

TEST_F(PrinterForReportTest, UntitledReportLeavesNamesNull) {
    plat::Unknown* report = NewReportObject();
    static_cast<FakeChild*>(report)->answers[5002] = {0, VT_BSTR, 0, std::nullopt};
    Variant v{};
    ASSERT_EQ(Run(report, &v), 0);
    const auto calls = JobCalls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], "2:1029 8=null");
    EXPECT_EQ(calls[1], "2:1008 8=null");
}

TEST_F(EngineTest, EventsLeaveThroughTheHostsSinks) {
    ApplicationObject* app = Create();
    void* source = nullptr;
    ASSERT_EQ(app->QueryInterface(&iid::kEventSource, &source), 0);
    void* list = nullptr;
    ASSERT_EQ(static_cast<EventSource*>(static_cast<plat::Unknown*>(source))
                  ->FindEventList(&iid::kApplicationEvents, &list),
              0);
    auto* sinks = static_cast<EventSinkList*>(static_cast<plat::Unknown*>(list));
    EXPECT_EQ(sinks, &app->Sinks());

    class HostSink : public FakeChild {
      public:
        HostSink() : FakeChild(ChildKind::kReport, "SINK") {}
        int32_t QueryInterface(const InterfaceId*, void** out) override {
            *out = static_cast<plat::Unknown*>(this);
            return 0;
        }
    } sink;
    uint32_t cookie = 0;
    ASSERT_EQ(sinks->AdviseSink(&sink, &cookie), 0);
    Variant arg = VariantI4(7);
    InvokeArgs args{&arg, 1};
    FakeChild::Log().clear();
    EXPECT_EQ(app->FireEvent(21002, &args), 0);
    EXPECT_EQ(FakeChild::Log(), std::vector<std::string>{"0:21002 3=7"});
    EXPECT_EQ(sinks->UnadviseSink(cookie), 0);
    // source and list each hold a reference on the application.
    EXPECT_EQ(app->Release(), 2);
    EXPECT_EQ(app->Release(), 1);
    EXPECT_EQ(app->Release(), 0);
}

}  // namespace
