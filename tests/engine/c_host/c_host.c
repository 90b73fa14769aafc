/* A host of the report engine written in plain C, as an outside program would write one: its own
   interface ids, Variants and strings, its own operation tables, the engine library opened with
   dlopen and reached only through WGetClassInfo, WCreateObject and the objects' operations. No
   header of this project is included, and nothing here knows the engine is C++.

     c_host ENGINE CONTROLS REPORT PDF [print]
     c_host INTERFACE CONTROLS REPORT - kpcif

   ENGINE and CONTROLS are the two libraries, REPORT a report file with the text "KORVA C HOST"
   on layer 1, PDF the file to export to. With "print" the report also goes to the default
   printer three times in one document; with "kpcif" the same three pages go there through the
   report interface library's functions instead (INTERFACE, which loads the engine beside it).
   Every check that fails is printed; the exit status is 0 only when none did. */
#define _POSIX_C_SOURCE 200809L
#include <dlfcn.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* ---- The boundary's types -------------------------------------------------------------- */

typedef struct Iid {
    uint32_t first;
    uint32_t second;
} Iid;

typedef uint16_t OleChar;
typedef OleChar* Bstr; /* text after a 32-bit byte count, in one malloc block */

enum {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_BOOL = 11,
    VT_UI2 = 18,
    VT_UI4 = 19
};

typedef struct Variant {
    uint16_t vt;
    uint16_t reserved1, reserved2, reserved3;
    union {
        int16_t iVal;
        uint16_t uiVal;
        int16_t boolVal;
        int32_t lVal;
        uint32_t ulVal;
        Bstr bstrVal;
        void* pdispVal;
        uint64_t raw;
    } u;
} Variant;

typedef struct InvokeArgs {
    Variant* args;
    uint32_t count;
} InvokeArgs;

enum { KIND_METHOD = 0, KIND_GET = 1, KIND_PUT = 2 };

/* Every scriptable object and every sink: exactly these six operations. */
typedef struct Object Object;
typedef struct ObjectOps {
    int32_t (*QueryInterface)(Object* self, const Iid* iid, void** out);
    int32_t (*AddRef)(Object* self);
    int32_t (*Release)(Object* self);
    int32_t (*GetTypeInfo)(Object* self, void** out);
    int32_t (*Reserved)(Object* self, void* first, void* second);
    int32_t (*Invoke)(Object* self, int32_t member, int32_t kind, const InvokeArgs* args,
                      Variant* result);
} ObjectOps;
struct Object {
    const ObjectOps* ops;
};

typedef struct SiteHolder SiteHolder;
struct SiteHolder {
    const struct {
        int32_t (*QueryInterface)(SiteHolder*, const Iid*, void**);
        int32_t (*AddRef)(SiteHolder*);
        int32_t (*Release)(SiteHolder*);
        int32_t (*GetTypeLibrary)(SiteHolder*, void** out);
        int32_t (*SetSite)(SiteHolder*, uint32_t value);
        int32_t (*GetSite)(SiteHolder*, uint32_t* out);
        int32_t (*Reserved[6])(SiteHolder*);
    } * ops;
};

typedef struct SinkList SinkList;
struct SinkList {
    const struct {
        int32_t (*QueryInterface)(SinkList*, const Iid*, void**);
        int32_t (*AddRef)(SinkList*);
        int32_t (*Release)(SinkList*);
        int32_t (*AdviseSink)(SinkList*, Object* sink, uint32_t* cookie);
        int32_t (*UnadviseSink)(SinkList*, uint32_t cookie);
    } * ops;
};

typedef struct EventSource EventSource;
struct EventSource {
    const struct {
        int32_t (*QueryInterface)(EventSource*, const Iid*, void**);
        int32_t (*AddRef)(EventSource*);
        int32_t (*Release)(EventSource*);
        int32_t (*FindEventList)(EventSource*, const Iid*, SinkList** out);
    } * ops;
};

typedef struct ClassEntry ClassEntry;
struct ClassEntry {
    const struct {
        int32_t (*QueryInterface)(ClassEntry*, const Iid*, void**);
        int32_t (*AddRef)(ClassEntry*);
        int32_t (*Release)(ClassEntry*);
        int32_t (*Reserved)(ClassEntry*);
        int32_t (*GetClassId)(ClassEntry*, Iid* out);
        int32_t (*GetDescription)(ClassEntry*, unsigned char* out);
    } * ops;
};

typedef struct ClassList ClassList;
struct ClassList {
    const struct {
        int32_t (*QueryInterface)(ClassList*, const Iid*, void**);
        int32_t (*AddRef)(ClassList*);
        int32_t (*Release)(ClassList*);
        int32_t (*GetClassCount)(ClassList*);
        int32_t (*GetClassAttribute)(ClassList*, int32_t index);
        int32_t (*GetClassEntry)(ClassList*, int32_t index, ClassEntry** out);
    } * ops;
};

typedef struct ClassInfo ClassInfo;
struct ClassInfo {
    const struct {
        int32_t (*QueryInterface)(ClassInfo*, const Iid*, void**);
        int32_t (*AddRef)(ClassInfo*);
        int32_t (*Release)(ClassInfo*);
        int32_t (*GetTypeAttr)(ClassInfo*, void** out);
        int32_t (*GetFuncDesc)(ClassInfo*, int32_t index, void** out);
        int32_t (*GetVarDesc)(ClassInfo*, int32_t index, void** out);
        void (*ReleaseTypeAttr)(ClassInfo*, void*);
        void (*ReleaseFuncDesc)(ClassInfo*, void*);
        void (*ReleaseVarDesc)(ClassInfo*, void*);
        int32_t (*GetNames)(ClassInfo*, int32_t member, Bstr* names, uint32_t max, uint32_t* count);
        int32_t (*Reserved)(ClassInfo*);
        int32_t (*GetRefTypeInfo)(ClassInfo*, uint32_t typeCode, ClassInfo** out);
        int32_t (*GetImplTypeFlags)(ClassInfo*, uint32_t index, int32_t* out);
        int32_t (*GetRefTypeOfImplType)(ClassInfo*, uint32_t index, uint32_t* out);
    } * ops;
};

typedef int32_t (*GetClassInfoFn)(void** out);
typedef int32_t (*CreateObjectFn)(const Iid* classId, const Iid* iid, void** out);

static const Iid kApplicationClass = {0x00010000, 0x00000100};
static const Iid kApplicationEvents = {0x00010000, 0x00000101};
static const Iid kBase = {0x80010000, 0x00000001};
static const Iid kClassEntryId = {0x80040000, 0x00000001};
static const Iid kSiteHolderId = {0x80050000, 0x00000001};
static const Iid kEventSourceId = {0x800B0000, 0x00000001};

/* ---- Checks ------------------------------------------------------------------------------ */

static int failures;

static void Fail(const char* format, ...) {
    va_list list;
    va_start(list, format);
    fputs("FAILED: ", stderr);
    vfprintf(stderr, format, list);
    fputc('\n', stderr);
    va_end(list);
    ++failures;
}

#define EXPECT_CODE(expr, expected)                                                       \
    do {                                                                                  \
        const int32_t got_ = (expr);                                                      \
        if (got_ != (expected)) Fail("%s answered %d, want %d", #expr, got_, (expected)); \
    } while (0)

static int SameIid(const Iid* a, const Iid* b) {
    return a->first == b->first && a->second == b->second;
}

/* ---- Strings ----------------------------------------------------------------------------- */

static Bstr MakeBstr(const char* ascii) {
    const uint32_t bytes = (uint32_t)strlen(ascii) * 2;
    unsigned char* block = malloc(4 + bytes + 2);
    memcpy(block, &bytes, 4);
    Bstr text = (Bstr)(block + 4);
    for (uint32_t i = 0; i < bytes / 2; ++i) text[i] = (OleChar)(unsigned char)ascii[i];
    text[bytes / 2] = 0;
    return text;
}

static void FreeBstr(Bstr text) {
    if (text != NULL) free((unsigned char*)text - 4);
}

/* 1 when the string holds exactly the ASCII text, its byte count included. */
static int BstrIs(Bstr text, const char* ascii) {
    if (text == NULL) return ascii == NULL;
    if (ascii == NULL) return 0;
    uint32_t bytes;
    memcpy(&bytes, (unsigned char*)text - 4, 4);
    if (bytes != strlen(ascii) * 2) return 0;
    for (uint32_t i = 0; i < bytes / 2; ++i) {
        if (text[i] != (OleChar)(unsigned char)ascii[i]) return 0;
    }
    return text[bytes / 2] == 0;
}

/* ---- Variants and calls ------------------------------------------------------------------ */

static Variant V(uint16_t vt, uint64_t raw) {
    Variant v;
    memset(&v, 0, sizeof v);
    v.vt = vt;
    v.u.raw = raw;
    return v;
}
static Variant VUi2(uint16_t value) {
    Variant v = V(VT_UI2, 0);
    v.u.uiVal = value;
    return v;
}
static Variant VI2(int16_t value) {
    Variant v = V(VT_I2, 0);
    v.u.iVal = value;
    return v;
}
static Variant VUi4(uint32_t value) {
    Variant v = V(VT_UI4, 0);
    v.u.ulVal = value;
    return v;
}
static Variant VI4(int32_t value) {
    Variant v = V(VT_I4, 0);
    v.u.lVal = value;
    return v;
}
static Variant VBool(int on) {
    Variant v = V(VT_BOOL, 0);
    v.u.boolVal = on ? -1 : 0;
    return v;
}
static Variant VObject(void* object) {
    Variant v = V(VT_DISPATCH, 0);
    v.u.pdispVal = object;
    return v;
}
static Variant VText(Bstr text) {
    Variant v = V(VT_BSTR, 0);
    v.u.bstrVal = text;
    return v;
}

static int32_t Call(Object* object, int32_t member, int32_t kind, Variant* args, uint32_t count,
                    Variant* result) {
    InvokeArgs block = {args, count};
    Variant ignored;
    memset(&ignored, 0, sizeof ignored);
    const int32_t code = object->ops->Invoke(object, member, kind, count != 0 ? &block : NULL,
                                             result != NULL ? result : &ignored);
    if (result == NULL && ignored.vt == VT_BSTR) FreeBstr(ignored.u.bstrVal);
    return code;
}

/* A method or get that answers an object; null when it did not. */
static Object* CallForObject(Object* object, int32_t member, int32_t kind, Variant* args,
                             uint32_t count, const char* what) {
    Variant result;
    memset(&result, 0, sizeof result);
    const int32_t code = Call(object, member, kind, args, count, &result);
    if (code != 0 || result.vt != VT_DISPATCH || result.u.pdispVal == NULL) {
        Fail("%s: member %d answered %d with type %u", what, member, code, result.vt);
        return NULL;
    }
    return result.u.pdispVal;
}

/* ---- The event sink: six operations and nothing behind them ------------------------------ */

typedef struct Sink {
    const ObjectOps* ops;
    int32_t events[64];
    int count;
} Sink;

static int32_t SinkQueryInterface(Object* self, const Iid* iid, void** out) {
    if (SameIid(iid, &kApplicationEvents) || SameIid(iid, &kBase)) {
        *out = self;
        return 0;
    }
    *out = NULL;
    return -2;
}
static int32_t SinkAddRef(Object* self) {
    (void)self;
    return 1;
}
static int32_t SinkRelease(Object* self) {
    (void)self;
    return 1;
}
static int32_t SinkGetTypeInfo(Object* self, void** out) {
    (void)self;
    if (out != NULL) *out = NULL;
    return -2;
}
static int32_t SinkReserved(Object* self, void* first, void* second) {
    (void)self, (void)first, (void)second;
    return -2;
}
static int32_t SinkInvoke(Object* self, int32_t member, int32_t kind, const InvokeArgs* args,
                          Variant* result) {
    (void)kind, (void)args, (void)result;
    Sink* sink = (Sink*)self;
    if (sink->count < 64) sink->events[sink->count++] = member;
    return 0;
}
/* Anything the engine calls past the sixth entry lands here instead of in whatever memory
   follows the table. */
static void PastTheSixthEntry(void) {
    fputs("FAILED: the engine called a sink operation past the sixth entry\n", stderr);
    _exit(3);
}

static const struct {
    ObjectOps ops;
    void (*beyond[4])(void);
} kSinkTable = {
    {SinkQueryInterface, SinkAddRef, SinkRelease, SinkGetTypeInfo, SinkReserved, SinkInvoke},
    {PastTheSixthEntry, PastTheSixthEntry, PastTheSixthEntry, PastTheSixthEntry},
};

static int SinkSaw(const Sink* sink, int32_t event) {
    for (int i = 0; i < sink->count; ++i) {
        if (sink->events[i] == event) return 1;
    }
    return 0;
}

/* ---- The member table -------------------------------------------------------------------- */

enum { APP, PRINTER, PREVIEW, FILEOBJ, REPORT, LAYERS, LAYER, OBJECTS, DRAWING, PDF, CLASSES };
static const char* const kClassNames[CLASSES] = {
    "application",      "printer job", "preview",           "file object",    "report",
    "layer collection", "layer",       "object collection", "drawing object", "PDF document"};

typedef struct MemberCase {
    int target;
    int32_t member;
    int32_t kind;
    uint32_t count;
    Variant args[3];
    int32_t code;      /* the answer */
    uint16_t resultVt; /* checked when not VT_EMPTY */
    int checkValue;    /* compare the value's low 16 or 32 bits with value */
    int32_t value;
} MemberCase;

static void RunMemberTable(Object* const* objects, Object* report) {
    Bstr missingFolder = MakeBstr("/nonexistent-korva-folder");
    Bstr empty = MakeBstr("");
    const MemberCase cases[] = {
        /* The application */
        {.target = APP, .member = 3, .kind = KIND_GET, .code = 0, .resultVt = VT_UI4},
        {.target = APP, .member = 3, .kind = KIND_PUT, .count = 1, .args = {VUi4(1)}, .code = -6},
        {.target = APP,
         .member = 7,
         .kind = KIND_PUT,
         .count = 1,
         .args = {VText(empty)},
         .code = -6},
        {.target = APP, .member = 1, .kind = KIND_PUT, .count = 1, .args = {VI4(1)}, .code = -7},
        {.target = APP,
         .member = 1,
         .kind = KIND_PUT,
         .count = 1,
         .args = {VText(missingFolder)},
         .code = -7},
        {.target = APP, .member = 1, .kind = KIND_PUT, .code = -7}, /* a put with no argument */
        {.target = APP,
         .member = 4,
         .kind = KIND_PUT,
         .count = 1,
         .args = {VText(empty)},
         .code = 0},
        {.target = APP,
         .member = 10007,
         .kind = KIND_METHOD,
         .count = 1,
         .args = {VUi4(9999)},
         .code = -7},
        {.target = APP,
         .member = 10007,
         .kind = KIND_METHOD,
         .count = 1,
         .args = {VI4(0)},
         .code = -7},
        {.target = APP,
         .member = 10009,
         .kind = KIND_METHOD,
         .count = 1,
         .args = {VText(empty)},
         .code = -1},
        {.target = APP,
         .member = 10004,
         .kind = KIND_METHOD,
         .count = 1,
         .args = {VUi4(0)},
         .code = -7},
        {.target = APP,
         .member = 10003,
         .kind = KIND_METHOD,
         .count = 3,
         .args = {VObject(NULL), VUi4(0), VUi4(0)},
         .code = -7},
        {.target = APP, .member = 99, .kind = KIND_GET, .code = -6},
        {.target = APP, .member = 3, .kind = 3, .code = -7},
        /* The printer job, ready with no document */
        {.target = PRINTER,
         .member = 1011,
         .kind = KIND_GET,
         .code = 0,
         .resultVt = VT_UI2,
         .checkValue = 1,
         .value = 16},
        {.target = PRINTER,
         .member = 1028,
         .kind = KIND_PUT,
         .count = 1,
         .args = {VUi2(4)},
         .code = -8},
        {.target = PRINTER,
         .member = 1028,
         .kind = KIND_PUT,
         .count = 1,
         .args = {VI2(100)},
         .code = -7},
        {.target = PRINTER,
         .member = 1011,
         .kind = KIND_PUT,
         .count = 1,
         .args = {VUi2(1)},
         .code = -6},
        {.target = PRINTER,
         .member = 11002,
         .kind = KIND_METHOD,
         .count = 1,
         .args = {VBool(1)},
         .code = -10301},
        {.target = PRINTER,
         .member = 11009,
         .kind = KIND_METHOD,
         .count = 2,
         .args = {VUi4(1), VUi4(9)},
         .code = -8},
        {.target = PRINTER,
         .member = 11019,
         .kind = KIND_METHOD,
         .count = 1,
         .args = {VObject(report)},
         .code = -10301},
        {.target = PRINTER,
         .member = 11018,
         .kind = KIND_METHOD,
         .count = 2,
         .args = {VI2(2100), VI2(2970)},
         .code = 0,
         .resultVt = VT_I2,
         .checkValue = 1,
         .value = 9},
        /* The preview, not open */
        {.target = PREVIEW,
         .member = 2008,
         .kind = KIND_GET,
         .code = 0,
         .resultVt = VT_UI2,
         .checkValue = 1,
         .value = 16},
        {.target = PREVIEW, .member = 2009, .kind = KIND_GET, .code = -10301},
        {.target = PREVIEW,
         .member = 2012,
         .kind = KIND_PUT,
         .count = 1,
         .args = {VUi2(4)},
         .code = -8},
        {.target = PREVIEW,
         .member = 2003,
         .kind = KIND_PUT,
         .count = 1,
         .args = {VI4(3001)},
         .code = -8},
        /* The file object, nothing open */
        {.target = FILEOBJ,
         .member = 3005,
         .kind = KIND_PUT,
         .count = 1,
         .args = {VI4(1)},
         .code = -7},
        {.target = FILEOBJ, .member = 3002, .kind = KIND_GET, .code = 0, .resultVt = VT_BSTR},
        /* The report loaded from the file */
        {.target = REPORT,
         .member = 5011,
         .kind = KIND_GET,
         .code = 0,
         .resultVt = VT_I2,
         .checkValue = 1,
         .value = 9},
        {.target = REPORT,
         .member = 5003,
         .kind = KIND_PUT,
         .count = 1,
         .args = {VUi2(4)},
         .code = -8},
        {.target = REPORT,
         .member = 5014,
         .kind = KIND_PUT,
         .count = 1,
         .args = {VI2(3)},
         .code = -8},
        {.target = REPORT,
         .member = 5001,
         .kind = KIND_PUT,
         .count = 1,
         .args = {VText(empty)},
         .code = -6},
        {.target = REPORT, .member = 15003, .kind = KIND_METHOD, .code = -1, .resultVt = VT_BOOL},
        /* Layers and objects */
        {.target = LAYERS,
         .member = 6001,
         .kind = KIND_GET,
         .code = 0,
         .resultVt = VT_UI2,
         .checkValue = 1,
         .value = 5},
        {.target = LAYERS,
         .member = 16001,
         .kind = KIND_METHOD,
         .count = 1,
         .args = {VUi2(6)},
         .code = -8},
        {.target = LAYER,
         .member = 7001,
         .kind = KIND_PUT,
         .count = 1,
         .args = {VObject(NULL)},
         .code = -6},
        {.target = LAYER, .member = 7003, .kind = KIND_GET, .code = 0, .resultVt = VT_BOOL},
        {.target = OBJECTS,
         .member = 18005,
         .kind = KIND_METHOD,
         .count = 2,
         .args = {VObject(NULL), VUi2(3)},
         .code = -7},
        {.target = OBJECTS,
         .member = 18015,
         .kind = KIND_METHOD,
         .count = 2,
         .args = {VObject(NULL), VUi4(99)},
         .code = -10308},
        {.target = DRAWING,
         .member = 19003,
         .kind = KIND_METHOD,
         .count = 1,
         .args = {VI2(2)},
         .code = -8},
        {.target = DRAWING,
         .member = 9001,
         .kind = KIND_PUT,
         .count = 1,
         .args = {VObject(NULL)},
         .code = -6},
        /* The PDF document, idle */
        {.target = PDF,
         .member = 500,
         .kind = KIND_GET,
         .code = 0,
         .resultVt = VT_I2,
         .checkValue = 1,
         .value = 16},
        {.target = PDF, .member = 500, .kind = KIND_PUT, .count = 1, .args = {VI2(1)}, .code = -6},
        {.target = PDF, .member = 517, .kind = KIND_PUT, .count = 1, .args = {VUi2(3)}, .code = -8},
        {.target = PDF, .member = 601, .kind = KIND_METHOD, .code = -15010},
        {.target = PDF,
         .member = 600,
         .kind = KIND_METHOD,
         .count = 2,
         .args = {VText(empty), VBool(1)},
         .code = -15201},
        {.target = PDF,
         .member = 602,
         .kind = KIND_METHOD,
         .count = 2,
         .args = {VObject(NULL), VObject(report)},
         .code = -15200},
        {.target = PDF,
         .member = 600,
         .kind = KIND_METHOD,
         .count = 1,
         .args = {VText(empty)},
         .code = -7},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const MemberCase* c = &cases[i];
        Object* target = objects[c->target];
        if (target == NULL) continue; /* its creation already failed */
        Variant args[3];
        memcpy(args, c->args, sizeof args);
        Variant result;
        memset(&result, 0, sizeof result);
        const int32_t code = Call(target, c->member, c->kind, args, c->count, &result);
        if (code != c->code) {
            Fail("%s member %d kind %d answered %d, want %d", kClassNames[c->target], c->member,
                 c->kind, code, c->code);
        } else if (c->resultVt != VT_EMPTY && result.vt != c->resultVt) {
            Fail("%s member %d: result type %u, want %u", kClassNames[c->target], c->member,
                 result.vt, c->resultVt);
        } else if (c->checkValue) {
            const int32_t got =
                (c->resultVt == VT_I2 || c->resultVt == VT_UI2 || c->resultVt == VT_BOOL)
                    ? (int32_t)(c->resultVt == VT_UI2 ? result.u.uiVal : result.u.iVal)
                    : result.u.lVal;
            if (got != c->value) {
                Fail("%s member %d: value %d, want %d", kClassNames[c->target], c->member, got,
                     c->value);
            }
        }
        if (result.vt == VT_BSTR) FreeBstr(result.u.bstrVal);
    }
    FreeBstr(missingFolder);
    FreeBstr(empty);
}

/* ---- The steps --------------------------------------------------------------------------- */

static void CheckClassList(GetClassInfoFn getClassInfo) {
    EXPECT_CODE(getClassInfo(NULL), -4);
    ClassList* list = NULL;
    EXPECT_CODE(getClassInfo((void**)&list), 0);
    if (list == NULL) return;
    EXPECT_CODE(list->ops->GetClassCount(list), 1);
    EXPECT_CODE(list->ops->GetClassAttribute(list, 0), 24);
    EXPECT_CODE(list->ops->GetClassAttribute(list, 1), -7);
    ClassEntry* entry = NULL;
    EXPECT_CODE(list->ops->GetClassEntry(list, 1, &entry), -7);
    EXPECT_CODE(list->ops->GetClassEntry(list, 0, &entry), 0);
    if (entry == NULL) return;
    ClassEntry* again = NULL;
    EXPECT_CODE(list->ops->QueryInterface(list, &kClassEntryId, (void**)&again), 0);
    if (again != entry) Fail("the class list answers another entry for the class-entry id");
    void* none = &none;
    EXPECT_CODE(list->ops->QueryInterface(list, &kSiteHolderId, &none), -2);
    if (none != NULL) Fail("an unknown id left the out pointer set");

    EXPECT_CODE(entry->ops->Reserved(entry), -2);
    Iid id = {0, 0};
    EXPECT_CODE(entry->ops->GetClassId(entry, &id), 0);
    if (!SameIid(&id, &kApplicationClass)) Fail("class id %08x %08x", id.first, id.second);
    unsigned char description[140];
    memset(description, 0xAA, sizeof description);
    EXPECT_CODE(entry->ops->GetDescription(entry, description), 0);
    uint32_t size;
    memcpy(&size, description, 4);
    if (size != 140) Fail("description record size %u", size);
    if (memcmp(description + 108, "Kelvaprint v3.0", 16) != 0) {
        Fail("description text is not \"Kelvaprint v3.0\"");
    }
    /* UTF-16 text at 44: the same letters, one per code unit. */
    if (description[44] != 'K' || description[45] != 0 || description[46] != 'e') {
        Fail("description's UTF-16 text");
    }
    EXPECT_CODE(list->ops->Release(list), 0);
}

static void CheckClassInformation(Object* app) {
    ClassInfo* info = NULL;
    EXPECT_CODE(app->ops->GetTypeInfo(app, (void**)&info), 0);
    if (info == NULL) return;
    Bstr names[3] = {NULL, NULL, NULL};
    uint32_t count = 9;
    EXPECT_CODE(info->ops->GetNames(info, 501, names, 3, &count), 0);
    if (count != 2 || !BstrIs(names[0], "CreatePrinter") || !BstrIs(names[1], "Source")) {
        Fail("GetNames(501) gave %u names", count);
    }
    for (int i = 0; i < 3; ++i) FreeBstr(names[i]);
    EXPECT_CODE(info->ops->GetNames(info, 999, names, 3, &count), -6);
    if (count != 0 || names[0] != NULL) Fail("GetNames(999) left names behind");
    void* description = &description;
    EXPECT_CODE(info->ops->GetFuncDesc(info, 7, &description), -7);
    EXPECT_CODE(info->ops->GetFuncDesc(info, 6, &description), 0);
    if (description != NULL) {
        int32_t member;
        memcpy(&member, (unsigned char*)description + 4, 4);
        if (member != 506) Fail("method description 6 is member %d", member);
        info->ops->ReleaseFuncDesc(info, description);
    }
    EXPECT_CODE(info->ops->Reserved(info), -2);
    int32_t flags = 0;
    EXPECT_CODE(info->ops->GetImplTypeFlags(info, 0, &flags), -2);
    info->ops->Release(info);
}

static void ExportPdf(Object* pdf, Object* report, const char* path) {
    Bstr file = MakeBstr(path);
    Variant open[2] = {VText(file), VBool(1)};
    EXPECT_CODE(Call(pdf, 600, KIND_METHOD, open, 2, NULL), 0);
    Variant page[2] = {VObject(NULL), VObject(report)};
    EXPECT_CODE(Call(pdf, 602, KIND_METHOD, page, 2, NULL), 0);
    EXPECT_CODE(Call(pdf, 601, KIND_METHOD, NULL, 0, NULL), 0);
    FreeBstr(file);

    char command[4200];
    snprintf(command, sizeof command, "pdftotext -q '%s' - 2>/dev/null", path);
    FILE* text = popen(command, "r");
    char buffer[4096];
    size_t length = text != NULL ? fread(buffer, 1, sizeof buffer - 1, text) : 0;
    buffer[length] = 0;
    if (text != NULL) pclose(text);
    if (strstr(buffer, "KORVA C HOST") == NULL) Fail("the PDF's text is \"%s\"", buffer);
}

/* Three pages of the report to the printer job's printer in one document. */
static void PrintThreePages(Object* printer, Object* report) {
    /* No windows in this process: the job runs without its cancel dialog. */
    Variant noDialog = VBool(0);
    EXPECT_CODE(Call(printer, 1007, KIND_PUT, &noDialog, 1, NULL), 0);
    Variant parent = VUi4(0);
    EXPECT_CODE(Call(printer, 11001, KIND_METHOD, &parent, 1, NULL), 0);
    Variant measured = VObject(report);
    EXPECT_CODE(Call(printer, 11019, KIND_METHOD, &measured, 1, NULL), 0);
    for (int i = 0; i < 3; ++i) {
        Variant page = VObject(report);
        EXPECT_CODE(Call(printer, 11010, KIND_METHOD, &page, 1, NULL), 0);
    }
    Variant complete = VBool(1);
    EXPECT_CODE(Call(printer, 11002, KIND_METHOD, &complete, 1, NULL), 0);
}

/* ---- The same pages through the report interface library -------------------------------- */

typedef int (*StartFn)(int* code);
typedef uint32_t (*LoadReportFn)(const char* path);
typedef uint32_t (*CreatePrinterFn)(const char* name);
typedef int (*HandleFn)(uint32_t handle);
typedef int (*HandleIntFn)(uint32_t handle, int value);
typedef int (*HandlePairFn)(uint32_t first, uint32_t second);

/* The function named, or null with a failure noted. */
static void* Function(void* library, const char* name) {
    void* symbol = dlsym(library, name);
    if (symbol == NULL) Fail("the interface library has no %s", name);
    return symbol;
}

static int PrintThroughInterface(const char* interfacePath, const char* controlsPath,
                                 const char* reportPath) {
    void* controls = dlopen(controlsPath, RTLD_NOW | RTLD_LOCAL);
    void* library = dlopen(interfacePath, RTLD_NOW | RTLD_LOCAL);
    if (controls == NULL || library == NULL) {
        fprintf(stderr, "dlopen: %s\n", dlerror());
        return 2;
    }
    StartFn start, exitEngine, lastError;
    LoadReportFn loadReport;
    CreatePrinterFn createPrinter;
    HandleFn deleteReport, deletePrinter;
    HandleIntFn setCancelDlg, closePrinter;
    HandlePairFn openPrinter, reportPrint;
    void* symbols[11];
    const char* const names[11] = {"KPStartEngine",    "KPExit",           "KPGetLastErrorCode",
                                   "KPRLoadReport",    "KPPCreatePrinter", "KPRDeleteReport",
                                   "KPPDeletePrinter", "KPPSetCancelDlg",  "KPPClosePrinter",
                                   "KPPOpenPrinter",   "KPPReportPrint"};
    for (int i = 0; i < 11; ++i) {
        symbols[i] = Function(library, names[i]);
        if (symbols[i] == NULL) return 1;
    }
    memcpy(&start, &symbols[0], sizeof start);
    memcpy(&exitEngine, &symbols[1], sizeof exitEngine);
    memcpy(&lastError, &symbols[2], sizeof lastError);
    memcpy(&loadReport, &symbols[3], sizeof loadReport);
    memcpy(&createPrinter, &symbols[4], sizeof createPrinter);
    memcpy(&deleteReport, &symbols[5], sizeof deleteReport);
    memcpy(&deletePrinter, &symbols[6], sizeof deletePrinter);
    memcpy(&setCancelDlg, &symbols[7], sizeof setCancelDlg);
    memcpy(&closePrinter, &symbols[8], sizeof closePrinter);
    memcpy(&openPrinter, &symbols[9], sizeof openPrinter);
    memcpy(&reportPrint, &symbols[10], sizeof reportPrint);

    int code = -1;
    EXPECT_CODE(start(&code), 1);
    const uint32_t report = loadReport(reportPath);
    const uint32_t printer = createPrinter("");
    if (report == 0 || printer == 0) {
        lastError(&code);
        Fail("report %u, printer %u, last error %d", report, printer, code);
    } else {
        EXPECT_CODE(setCancelDlg(printer, 0), 1);
        if (openPrinter(printer, 0) != 1) {
            lastError(&code);
            Fail("KPPOpenPrinter failed with %d", code);
        } else {
            for (int i = 0; i < 3; ++i) EXPECT_CODE(reportPrint(printer, report), 1);
            EXPECT_CODE(closePrinter(printer, 1), 1);
        }
    }
    if (printer != 0) EXPECT_CODE(deletePrinter(printer), 1);
    if (report != 0) EXPECT_CODE(deleteReport(report), 1);
    EXPECT_CODE(exitEngine(&code), 1);
    /* The libraries stay loaded to the end: a leak report then still names the library that
       holds the memory (fontconfig keeps its parsed configuration for the process's life). */
    (void)library;
    (void)controls;
    if (failures != 0) fprintf(stderr, "%d check(s) failed\n", failures);
    return failures == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc < 5) {
        fputs("usage: c_host ENGINE CONTROLS REPORT PDF [print|kpcif]\n", stderr);
        return 2;
    }
    if (argc > 5 && strcmp(argv[5], "kpcif") == 0) {
        return PrintThroughInterface(argv[1], argv[2], argv[3]);
    }
    const int print = argc > 5 && strcmp(argv[5], "print") == 0;
    /* The control library is found by its name once it is loaded. */
    void* controls = dlopen(argv[2], RTLD_NOW | RTLD_LOCAL);
    void* engine = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (controls == NULL || engine == NULL) {
        fprintf(stderr, "dlopen: %s\n", dlerror());
        return 2;
    }
    /* Through memcpy, as ISO C has no cast from an object pointer to a function pointer. */
    GetClassInfoFn getClassInfo = NULL;
    CreateObjectFn createObject = NULL;
    void* symbol = dlsym(engine, "WGetClassInfo");
    if (symbol != NULL) memcpy(&getClassInfo, &symbol, sizeof symbol);
    symbol = dlsym(engine, "WCreateObject");
    if (symbol != NULL) memcpy(&createObject, &symbol, sizeof symbol);
    if (getClassInfo == NULL || createObject == NULL) {
        fputs("FAILED: the two entry points\n", stderr);
        return 1;
    }

    CheckClassList(getClassInfo);

    const Iid eventClass = kApplicationEvents;
    void* out = &out;
    EXPECT_CODE(createObject(&eventClass, &kApplicationClass, &out), -3);
    if (out != NULL) Fail("a refused WCreateObject left the out pointer set");
    Object* app = NULL;
    EXPECT_CODE(createObject(&kApplicationClass, &kApplicationClass, (void**)&app), 0);
    if (app == NULL) return 1;

    /* Nothing answers before the host gives the application a site. */
    EXPECT_CODE(Call(app, 3, KIND_GET, NULL, 0, NULL), -11);
    SiteHolder* site = NULL;
    EXPECT_CODE(app->ops->QueryInterface(app, &kSiteHolderId, (void**)&site), 0);
    if (site == NULL) return 1;
    uint32_t siteValue = 7;
    EXPECT_CODE(site->ops->GetSite(site, &siteValue), -9);
    EXPECT_CODE(site->ops->SetSite(site, 1), 0);
    EXPECT_CODE(site->ops->GetSite(site, &siteValue), 0);
    if (siteValue != 1) Fail("site value %u", siteValue);
    EXPECT_CODE(site->ops->Reserved[5](site), -2);

    /* Events through the source's sink list. */
    EventSource* source = NULL;
    EXPECT_CODE(app->ops->QueryInterface(app, &kEventSourceId, (void**)&source), 0);
    SinkList* sinks = NULL;
    if (source != NULL) {
        EXPECT_CODE(source->ops->FindEventList(source, &kBase, &sinks), -2);
        EXPECT_CODE(source->ops->FindEventList(source, &kApplicationEvents, &sinks), 0);
    }
    Sink sink = {&kSinkTable.ops, {0}, 0};
    uint32_t cookie = 0;
    if (sinks != NULL) {
        EXPECT_CODE(sinks->ops->AdviseSink(sinks, (Object*)&sink, &cookie), 0);
        if (cookie != 1) Fail("cookie %u", cookie);
        EXPECT_CODE(sinks->ops->UnadviseSink(sinks, 0), -8);
        EXPECT_CODE(sinks->ops->UnadviseSink(sinks, 101), -8);
    }

    CheckClassInformation(app);

    /* One object of every class. */
    Object* objects[CLASSES] = {app};
    Bstr reportPath = MakeBstr(argv[3]);
    Variant path = VText(reportPath);
    objects[REPORT] = CallForObject(app, 10010, KIND_METHOD, &path, 1, "OpenReport");
    FreeBstr(reportPath);
    objects[PREVIEW] = CallForObject(app, 10001, KIND_METHOD, NULL, 0, "CreatePreview");
    objects[FILEOBJ] = CallForObject(app, 10004, KIND_METHOD, NULL, 0, "CreateFile");
    objects[PDF] = CallForObject(app, 10011, KIND_METHOD, NULL, 0, "CreatePdfDocument");
    Bstr defaultPrinter = MakeBstr("");
    Variant name = VText(defaultPrinter);
    objects[PRINTER] = CallForObject(app, 10002, KIND_METHOD, &name, 1, "CreatePrinter");
    FreeBstr(defaultPrinter);
    if (objects[REPORT] != NULL) {
        objects[LAYERS] = CallForObject(objects[REPORT], 5016, KIND_GET, NULL, 0, "Layers");
    }
    if (objects[LAYERS] != NULL) {
        Variant first = VUi2(1);
        objects[LAYER] = CallForObject(objects[LAYERS], 16001, KIND_METHOD, &first, 1, "Layer");
    }
    if (objects[LAYER] != NULL) {
        objects[OBJECTS] = CallForObject(objects[LAYER], 7001, KIND_GET, NULL, 0, "Objects");
    }
    if (objects[OBJECTS] != NULL) {
        Variant at[2] = {VObject(NULL), VUi4(1)};
        objects[DRAWING] = CallForObject(objects[OBJECTS], 18015, KIND_METHOD, at, 2, "ObjectAt");
    }
    if (objects[DRAWING] != NULL) {
        Variant result;
        memset(&result, 0, sizeof result);
        EXPECT_CODE(Call(objects[DRAWING], 9002, KIND_GET, NULL, 0, &result), 0);
        if (result.vt != VT_BSTR || !BstrIs(result.u.bstrVal, "Banner")) {
            Fail("the drawing object's name");
        }
        if (result.vt == VT_BSTR) FreeBstr(result.u.bstrVal);
    }

    RunMemberTable(objects, objects[REPORT]);

    if (objects[PDF] != NULL && objects[REPORT] != NULL) {
        ExportPdf(objects[PDF], objects[REPORT], argv[4]);
    }
    if (print && objects[PRINTER] != NULL && objects[REPORT] != NULL) {
        PrintThreePages(objects[PRINTER], objects[REPORT]);
    }

    /* Closing the report reaches the sink as event 20006. */
    if (objects[REPORT] != NULL) {
        EXPECT_CODE(Call(objects[REPORT], 15005, KIND_METHOD, NULL, 0, NULL), 0);
        if (!SinkSaw(&sink, 20006)) Fail("the sink did not hear the report close (20006)");
    }
    if (objects[PREVIEW] != NULL) {
        EXPECT_CODE(Call(objects[PREVIEW], 12003, KIND_METHOD, NULL, 0, NULL), 0);
    }
    if (objects[FILEOBJ] != NULL) {
        EXPECT_CODE(Call(objects[FILEOBJ], 13006, KIND_METHOD, NULL, 0, NULL), 0);
    }
    if (objects[PDF] != NULL) EXPECT_CODE(Call(objects[PDF], 603, KIND_METHOD, NULL, 0, NULL), 0);
    if (objects[PRINTER] != NULL) {
        EXPECT_CODE(Call(objects[PRINTER], 11003, KIND_METHOD, NULL, 0, NULL), 0);
    }

    if (sinks != NULL) {
        EXPECT_CODE(sinks->ops->UnadviseSink(sinks, cookie), 0);
        EXPECT_CODE(sinks->ops->UnadviseSink(sinks, cookie), -7);
        sinks->ops->Release(sinks);
    }
    if (source != NULL) source->ops->Release(source);
    site->ops->Release(site);
    EXPECT_CODE(app->ops->Release(app), 0);

    /* Loaded to the end, as above. */
    (void)engine;
    (void)controls;
    if (failures != 0) fprintf(stderr, "%d check(s) failed\n", failures);
    return failures == 0 ? 0 : 1;
}
