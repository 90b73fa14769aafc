// Class information: the description counts of every class, member and parameter names, the
// method and accessor records, related classes, the type library, and the static class list
// that WGetClassInfo hands out with its 140-byte description.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/core/class_info.h"
#include "engine/core/engine_class.h"

namespace {

using namespace kp;
using namespace plat;

class CountingOwner : public plat::Unknown {
  public:
    int32_t QueryInterface(const InterfaceId*, void** out) override {
        *out = nullptr;
        return -2;
    }
    int32_t AddRef() override { return ++refs; }
    int32_t Release() override { return --refs; }
    int refs = 1;
};

class ClassInfoTest : public ::testing::Test {
  protected:
    ClassInfo* ByType(uint32_t code) {
        ClassInfo* info = nullptr;
        EXPECT_EQ(set.GetInterfaceByType(code, &info), 0);
        return info;
    }
    // GetNames as a list of UTF-16 strings; the Bstrs are freed here.
    std::vector<std::u16string> Names(uint32_t code, int32_t id, uint32_t maximum,
                                      int32_t* result) {
        std::vector<Bstr> names(maximum + 1, reinterpret_cast<Bstr>(1));
        uint32_t count = 99;
        *result = ByType(code)->GetNames(id, names.data(), maximum, &count);
        if (*result == -2) return {};  // the type library names nothing and touches nothing
        if (*result != 0) {
            EXPECT_EQ(count, 0u);
        }
        std::vector<std::u16string> out;
        for (uint32_t i = 0; i < count; ++i) out.emplace_back(BstrView(names[i]));
        for (uint32_t i = count; i < maximum; ++i) EXPECT_EQ(names[i], nullptr) << i;
        EXPECT_EQ(names[maximum], reinterpret_cast<Bstr>(1)) << "nothing beyond the maximum";
        for (uint32_t i = 0; i < count; ++i) BstrFree(names[i]);
        return out;
    }

    CountingOwner owner;
    ClassInfoSet set{&owner};
};

TEST_F(ClassInfoTest, EveryClassCountsItsDescriptions) {
    struct {
        uint32_t code;
        InterfaceId iid;
        uint32_t kind;
        uint16_t methods;
        uint16_t accessors;
        uint16_t implTypes;
    } const cases[] = {
        {typecode::kTypeLibrary, {0, 0}, 0, 0, 0, 2},
        {typecode::kApplication, {0x00010000, 0x00000100}, 3, 7, 9, 0},
        {typecode::kApplicationEvents, {0x00010000, 0x00000101}, 3, 18, 0, 0},
        {typecode::kPrinterJob, {0x00010000, 0x10000100}, 3, 12, 52, 0},
        {typecode::kPreview, {0x00010000, 0x20000100}, 3, 5, 35, 0},
        {typecode::kFileObject, {0x00010000, 0x30000100}, 3, 0, 0, 0},
        {typecode::kReport, {0x00010000, 0x40000100}, 3, 6, 52, 0},
        {typecode::kLayerCollection, {0x00010000, 0x40100100}, 3, 2, 1, 0},
        {typecode::kLayer, {0x00010000, 0x40200100}, 3, 0, 5, 0},
        {typecode::kObjectCollection, {0x00010000, 0x40300100}, 3, 4, 1, 0},
        {typecode::kDrawingObject, {0x00010000, 0x40400100}, 3, 1, 13, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        ClassInfo* info = ByType(c.code);
        ASSERT_NE(info, nullptr);
        TypeAttr* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), 0);
        // The 24-byte record as bytes.
        uint8_t bytes[24];
        std::memcpy(bytes, attr, 24);
        EXPECT_EQ(bytes[0] | bytes[1] << 8, 24);
        uint32_t first, second;
        std::memcpy(&first, bytes + 2, 4);
        std::memcpy(&second, bytes + 6, 4);
        EXPECT_EQ(first, c.iid.first);
        EXPECT_EQ(second, c.iid.second);
        EXPECT_TRUE(IsEqualInterfaceId(TypeAttrInterfaceId(*attr), c.iid));
        EXPECT_EQ(attr->kind, c.kind);
        EXPECT_EQ(attr->funcCount, c.methods);
        EXPECT_EQ(attr->varCount, c.accessors);
        EXPECT_EQ(attr->implTypeCount, c.implTypes);
        info->ReleaseTypeAttr(attr);

        // Every index inside answers; the first one outside answers -7.
        for (uint32_t i = 0; i < c.methods; ++i) {
            FuncDesc* f = nullptr;
            ASSERT_EQ(info->GetFuncDesc(i, &f), 0);
            EXPECT_EQ(f->one, 1);
            info->ReleaseFuncDesc(f);
        }
        FuncDesc* f = reinterpret_cast<FuncDesc*>(1);
        EXPECT_EQ(info->GetFuncDesc(c.methods, &f), -7);
        EXPECT_EQ(f, nullptr);
        for (uint32_t i = 0; i < c.accessors; ++i) {
            VarDesc* v = nullptr;
            ASSERT_EQ(info->GetVarDesc(i, &v), 0);
            EXPECT_EQ(v->one, 1u);
            info->ReleaseVarDesc(v);
        }
        VarDesc* v = nullptr;
        EXPECT_EQ(info->GetVarDesc(c.accessors, &v), -7);
    }
}

TEST_F(ClassInfoTest, ApplicationMethodAndAccessorRecords) {
    ClassInfo* app = ByType(typecode::kApplication);
    FuncDesc* f = nullptr;
    ASSERT_EQ(app->GetFuncDesc(6, &f), 0);
    EXPECT_EQ(f->memberId, 506);
    EXPECT_EQ(f->resultType, VT_BSTR);
    ASSERT_EQ(f->paramCount, 1);
    EXPECT_EQ(f->params[0].type, VT_I2);
    EXPECT_EQ(f->refTypeCode, 0u);
    app->ReleaseFuncDesc(f);

    ASSERT_EQ(app->GetFuncDesc(0, &f), 0);
    EXPECT_EQ(f->memberId, 500);
    EXPECT_EQ(f->resultType, VT_USERDEFINED);
    EXPECT_EQ(f->refTypeCode, typecode::kPreview);
    EXPECT_EQ(f->paramCount, 0);
    ASSERT_NE(f->params, nullptr) << "an object-returning method always has an array";
    app->ReleaseFuncDesc(f);

    ASSERT_EQ(app->GetFuncDesc(1, &f), 0);
    EXPECT_EQ(f->params[0].type, VT_VARIANT);
    EXPECT_EQ(f->refTypeCode, typecode::kPrinterJob);
    app->ReleaseFuncDesc(f);

    // Put before get for writable properties, get only for PrinterDevices.
    const struct {
        int32_t id;
        uint32_t access;
        VarType type;
    } expected[] = {{1, 2, VT_BSTR}, {1, 1, VT_BSTR}, {2, 2, VT_BSTR},
                    {2, 1, VT_BSTR}, {3, 1, VT_UI4},  {4, 2, VT_BSTR},
                    {4, 1, VT_BSTR}, {5, 2, VT_BSTR}, {5, 1, VT_BSTR}};
    for (uint32_t i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        VarDesc* v = nullptr;
        ASSERT_EQ(app->GetVarDesc(i, &v), 0);
        uint8_t bytes[44];
        std::memcpy(bytes, v, 44);
        int32_t id;
        uint32_t access;
        uint16_t type;
        std::memcpy(&id, bytes + 4, 4);
        std::memcpy(&access, bytes + 8, 4);
        std::memcpy(&type, bytes + 16, 2);
        EXPECT_EQ(id, expected[i].id);
        EXPECT_EQ(access, expected[i].access);
        EXPECT_EQ(type, expected[i].type);
        app->ReleaseVarDesc(v);
    }
    EXPECT_EQ(app->GetFuncDesc(0, nullptr), -4);
    EXPECT_EQ(app->GetTypeAttr(nullptr), -4);
}

TEST_F(ClassInfoTest, NamesTable) {
    struct {
        uint32_t code;
        int32_t id;
        uint32_t maximum;
        int32_t result;
        std::vector<std::u16string> names;
    } const cases[] = {
        {typecode::kPrinterJob, 507, 3, 0, {u"SetJobStatus", u"JobNumber", u"Status"}},
        {typecode::kPrinterJob, 507, 1, 0, {u"SetJobStatus"}},
        {typecode::kPrinterJob, 507, 10, 0, {u"SetJobStatus", u"JobNumber", u"Status"}},
        {typecode::kPrinterJob, 507, 0, 0, {}},
        {typecode::kPrinterJob, 999, 3, -6, {}},
        {typecode::kPrinterJob, 10, 3, -6, {}},
        {typecode::kPrinterJob, 35, 2, 0, {u"hDC"}},
        {typecode::kApplication, 501, 2, 0, {u"CreatePrinter", u"Source"}},
        {typecode::kApplication, 5, 1, 0, {u"DefaultUserPassword"}},
        {typecode::kApplicationEvents,
         1,
         5,
         0,
         {u"PreviewOnPrint", u"Preview", u"PrintMode", u"StartPage", u"EndPage"}},
        {typecode::kApplicationEvents, 18, 1, 0, {u"RptObjRemoveMenu"}},
        {typecode::kPreview, 505, 4, 0, {u"FilePrint", u"FileObj", u"StartPage", u"EndPage"}},
        {typecode::kPreview, 14, 1, -6, {}},
        {typecode::kFileObject, 1, 1, 0, {u"WindowTop"}},
        {typecode::kFileObject, 2, 1, -6, {}},
        {typecode::kReport,
         501,
         8,
         0,
         {u"Draw", u"hDCDraw", u"hDCAttr", u"Top", u"Left", u"Bottom", u"Right", u"DrawFlags"}},
        {typecode::kReport, 29, 1, 0, {u"hWnd"}},
        {typecode::kLayer, 2, 1, 0, {u"ZOder"}},
        {typecode::kObjectCollection,
         502,
         6,
         0,
         {u"CreateObject", u"ObjType", u"Top", u"Left", u"Bottom", u"Right"}},
        {typecode::kDrawingObject, 6, 1, 0, {u"Botoom"}},
        {typecode::kTypeLibrary, 1, 1, -2, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + "/" + std::to_string(c.id));
        int32_t result = 1;
        EXPECT_EQ(Names(c.code, c.id, c.maximum, &result), c.names);
        EXPECT_EQ(result, c.result);
    }
    uint32_t count = 0;
    EXPECT_EQ(ByType(typecode::kApplication)->GetNames(1, nullptr, 1, &count), -4);
}

TEST_F(ClassInfoTest, RelatedClassesAndTheTypeLibrary) {
    struct {
        uint32_t code;
        uint32_t asked;
        int32_t result;
    } const cases[] = {
        {typecode::kLayer, typecode::kReport, -6},
        {typecode::kLayer, typecode::kObjectCollection, 0},
        {typecode::kApplication, typecode::kReport, 0},
        {typecode::kApplication, typecode::kLayer, -6},
        {typecode::kReport, typecode::kReport, 0},
        {typecode::kDrawingObject, typecode::kReport, -2},
        {typecode::kTypeLibrary, typecode::kApplicationEvents, 0},
        {typecode::kApplicationEvents, typecode::kDrawingObject, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + "->" + std::to_string(c.asked));
        const int before = owner.refs;
        ClassInfo* out = nullptr;
        EXPECT_EQ(ByType(c.code)->GetRefTypeInfo(c.asked, &out), c.result);
        if (c.result == 0) {
            ASSERT_NE(out, nullptr);
            EXPECT_EQ(out->TypeCode(), c.asked);
            EXPECT_EQ(owner.refs, before + 1) << "one reference, on the application";
            out->Release();
        } else {
            EXPECT_EQ(out, nullptr);
        }
    }

    ClassInfo* library = ByType(typecode::kTypeLibrary);
    int32_t flags = 0;
    uint32_t type = 0;
    EXPECT_EQ(library->GetImplTypeFlags(0, &flags), 0);
    EXPECT_EQ(flags, 1);
    EXPECT_EQ(library->GetImplTypeFlags(1, &flags), 0);
    EXPECT_EQ(flags, 3);
    EXPECT_EQ(library->GetImplTypeFlags(2, &flags), -6);
    EXPECT_EQ(library->GetRefTypeOfImplType(0, &type), 0);
    EXPECT_EQ(type, typecode::kApplication);
    EXPECT_EQ(library->GetRefTypeOfImplType(1, &type), 0);
    EXPECT_EQ(type, typecode::kApplicationEvents);
    EXPECT_EQ(library->GetRefTypeOfImplType(2, &type), -6);
    EXPECT_EQ(ByType(typecode::kReport)->GetImplTypeFlags(0, &flags), -2);
    EXPECT_EQ(ByType(typecode::kReport)->GetRefTypeOfImplType(0, &type), -2);
    EXPECT_EQ(library->Reserved(), -2);

    ClassInfo* found = nullptr;
    ASSERT_EQ(library->FindClassInfo(&iid::kLayer, &found), 0);
    EXPECT_EQ(found->TypeCode(), typecode::kLayer);
    found->Release();
}

TEST_F(ClassInfoTest, LookupByIdAndByTypeCode) {
    const InterfaceId classIds[] = {
        iid::kApplication, iid::kPrinterJob,       iid::kPreview,
        iid::kFileObject,  iid::kReport,           iid::kLayerCollection,
        iid::kLayer,       iid::kObjectCollection, iid::kDrawingObject};
    for (const auto& id : classIds) {
        ClassInfo* info = nullptr;
        const int before = owner.refs;
        ASSERT_EQ(set.ClassInfoQueryInterface(&id, &info), 0);
        EXPECT_EQ(owner.refs, before + 1);
        TypeAttr* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), 0);
        EXPECT_TRUE(IsEqualInterfaceId(TypeAttrInterfaceId(*attr), id));
        info->ReleaseTypeAttr(attr);
        info->Release();
    }
    ClassInfo* info = reinterpret_cast<ClassInfo*>(1);
    EXPECT_EQ(set.ClassInfoQueryInterface(&iid::kApplicationEvents, &info), -6);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(set.ClassInfoQueryInterface(&iid::kTypeLibrary, &info), -6);
    EXPECT_EQ(set.ClassInfoQueryInterface(&iid::kApplication, nullptr), -4);
    EXPECT_EQ(set.GetInterfaceByType(0x1000100, &info), -6);
    const int before = owner.refs;
    ASSERT_EQ(set.GetInterfaceByType(typecode::kApplicationEvents, &info), 0);
    EXPECT_EQ(owner.refs, before) << "no reference by type code";
}

// The class list of WGetClassInfo and its 140-byte description, checked against bytes built
// here field by field.
TEST(EngineClassInfoTest, ClassListEntryAndDescription) {
    std::vector<uint8_t> expected(140, 0);
    const uint32_t words[] = {140, 0, 1, 3, 3, 0x000207D0, 0x00030008, 0x00030000};
    for (size_t i = 0; i < 8; ++i) std::memcpy(&expected[4 * i], &words[i], 4);
    const std::string name = "Kelvaprint v3.0";
    for (size_t i = 0; i < name.size(); ++i) {
        expected[44 + 2 * i] = static_cast<uint8_t>(name[i]);
        expected[108 + i] = static_cast<uint8_t>(name[i]);
    }

    void* out = nullptr;
    ASSERT_EQ(EngineGetClassInfo(&out), 0);
    void* again = nullptr;
    ASSERT_EQ(EngineGetClassInfo(&again), 0);
    EXPECT_EQ(out, again) << "one static object";
    EXPECT_EQ(EngineGetClassInfo(nullptr), -4);
    auto* list = static_cast<EngineClassInfo*>(static_cast<plat::Unknown*>(out));
    EXPECT_EQ(list->AddRef(), 1);
    EXPECT_EQ(list->Release(), 0);
    EXPECT_EQ(list->Release(), 0) << "never destroyed";
    EXPECT_EQ(list->GetClassCount(), 1);
    EXPECT_EQ(list->GetClassAttribute(0), 24);
    EXPECT_EQ(list->GetClassAttribute(1), -7);

    EngineClassEntry* entry = nullptr;
    EXPECT_EQ(list->GetClassEntry(1, &entry), -7);
    EXPECT_EQ(list->GetClassEntry(0, nullptr), -4);
    ASSERT_EQ(list->GetClassEntry(0, &entry), 0);
    InterfaceId id{};
    ASSERT_EQ(entry->GetClassId(&id), 0);
    EXPECT_TRUE(IsEqualInterfaceId(id, kEngineClassId));
    EXPECT_EQ(entry->GetClassId(nullptr), -4);
    std::vector<uint8_t> description(140, 0xCC);
    ASSERT_EQ(entry->GetDescription(description.data()), 0);
    EXPECT_EQ(description, expected);
    EXPECT_EQ(entry->GetDescription(nullptr), -4);
    EXPECT_EQ(entry->Reserved(), -2);

    struct {
        InterfaceId id;
        const void* answer;
        int32_t code;
    } const lookups[] = {
        {iid::kBase, static_cast<plat::Unknown*>(list), 0},
        {iid::kClassList, static_cast<plat::Unknown*>(list), 0},
        {iid::kClassEntry, static_cast<plat::Unknown*>(entry), 0},
        {iid::kApplication, nullptr, -2},
    };
    for (const auto& l : lookups) {
        void* q = reinterpret_cast<void*>(1);
        EXPECT_EQ(entry->QueryInterface(&l.id, &q), l.code);
        EXPECT_EQ(q, l.answer);
    }
    void* q = nullptr;
    EXPECT_EQ(list->QueryInterface(&iid::kBase, nullptr), -4);
    EXPECT_EQ(list->QueryInterface(&iid::kClassEntry, &q), 0);
}

}  // namespace
