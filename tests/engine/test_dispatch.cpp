// Member dispatch shared by every engine class: argument and result probes, the three kinds,
// exact argument counts and types, unknown ids, and how a getter's value reaches the caller.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/object_signature.h"
#include "engine/core/scriptable.h"

namespace {

using namespace kp;
using namespace plat;

// A small class with one member of each shape the engine uses.
class Sample : public ScriptableObject {
  public:
    int32_t QueryInterface(const InterfaceId*, void** out) override {
        *out = nullptr;
        return rc::kNotImplemented;
    }
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 1; }
    int32_t GetTypeInfo(ClassInfo**) override { return rc::kNotImplemented; }
    int32_t Invoke(int32_t id, int32_t kind, const InvokeArgs* args, Variant* result) override;

    // 100: I2 get/put; 101: BSTR get only; 102: BOOL get/put; 103: UI4 put only; 104: a getter
    // that writes part of its value and then fails.
    int32_t GetShort(Variant* v) {
        calls.push_back("get100");
        v->iVal = shortValue;
        return 0;
    }
    int32_t PutShort(const Variant& a) {
        calls.push_back("put100");
        shortValue = a.iVal;
        return 0;
    }
    int32_t GetText(Variant* v) {
        calls.push_back("get101");
        v->bstrVal = BstrAllocView(u"text");
        return 0;
    }
    int32_t GetFlag(Variant* v) {
        calls.push_back("get102");
        v->boolVal = flag;
        return 0;
    }
    int32_t PutFlag(const Variant& a) {
        calls.push_back("put102");
        flag = a.boolVal;
        return 0;
    }
    int32_t PutCount(const Variant& a) {
        calls.push_back("put103");
        count = a.ulVal;
        return -8;  // the setter's own answer is the result
    }
    int32_t GetFailing(Variant*) {
        calls.push_back("get104");
        return rc::kOutOfMemory;
    }
    int32_t NoArgs(const Variant*, Variant* v) {
        calls.push_back("m10001");
        v->lVal = 0;
        return 0;
    }
    int32_t TwoArgs(const Variant* a, Variant* v) {
        calls.push_back("m10002");
        v->ulVal = a[0].ulVal + static_cast<uint32_t>(BstrLen(a[1].bstrVal));
        return 0;
    }

    static const PropertyRow<Sample> kProps[];
    static const MethodRow<Sample> kMethods[];

    std::vector<std::string> calls;
    int16_t shortValue = 7;
    int16_t flag = VARIANT_TRUE;
    uint32_t count = 0;
};

const PropertyRow<Sample> Sample::kProps[] = {
    {100, VT_I2, &Sample::GetShort, &Sample::PutShort}, {101, VT_BSTR, &Sample::GetText, nullptr},
    {102, VT_BOOL, &Sample::GetFlag, &Sample::PutFlag}, {103, VT_UI4, nullptr, &Sample::PutCount},
    {104, VT_BSTR, &Sample::GetFailing, nullptr},
};
const MethodRow<Sample> Sample::kMethods[] = {
    {10001, VT_NULL, 0, {}, &Sample::NoArgs},
    {10002, VT_UI4, 2, {VT_UI4, VT_BSTR}, &Sample::TwoArgs},
};

int32_t Sample::Invoke(int32_t id, int32_t kind, const InvokeArgs* args, Variant* result) {
    return DispatchMember<Sample>(*this, kProps, kMethods, id, kind, args, result);
}

struct Case {
    int32_t kind;
    int32_t member;
    std::vector<Variant> args;
    int32_t code;
    const char* call;    // the member code that runs, or "" when none
    VarType resultType;  // the type written into the result, or 0xFFFF when untouched
    const char* why;
};

constexpr VarType kUntouched = 0xFFFF;

TEST(Dispatch, KindCountTypeAndMemberTable) {
    UniqueBstr text(BstrAllocView(u"abc"));
    const Variant i2 = VariantI2(5);
    const Variant i4 = VariantI4(5);
    const Variant ui4 = VariantUI4(5);
    const Variant flag = VariantBool(false);
    const Variant str = VariantBstr(text.get());

    const Case cases[] = {
        // puts
        {kInvokePut, 100, {i2}, 0, "put100", kUntouched, "put of the right type"},
        {kInvokePut, 100, {i4}, -7, "", kUntouched, "VT_I4 where VT_I2 is wanted"},
        {kInvokePut, 100, {}, -7, "", kUntouched, "put without an argument"},
        {kInvokePut, 100, {i2, i2}, -7, "", kUntouched, "put with two arguments"},
        {kInvokePut, 101, {str}, -6, "", kUntouched, "read-only property: -6, not -7"},
        {kInvokePut, 101, {i2}, -6, "", kUntouched, "read-only with a wrong type is still -6"},
        {kInvokePut, 103, {ui4}, -8, "put103", kUntouched, "setter's own answer passes"},
        {kInvokePut, 103, {i4}, -7, "", kUntouched, "VT_I4 where VT_UI4 is wanted"},
        {kInvokePut, 999, {i2}, -6, "", kUntouched, "unknown id"},
        {kInvokePut, 102, {flag}, 0, "put102", kUntouched, "BOOL put"},
        // gets
        {kInvokeGet, 100, {}, 0, "get100", VT_I2, "get"},
        {kInvokeGet, 100, {i4, i4, i4}, 0, "get100", VT_I2, "get ignores its arguments"},
        {kInvokeGet, 101, {}, 0, "get101", VT_BSTR, "string get"},
        {kInvokeGet, 103, {}, -6, "", kUntouched, "write-only property"},
        {kInvokeGet, 104, {}, -5, "get104", VT_BSTR, "failed get still sets the type"},
        {kInvokeGet, 10001, {}, -6, "", kUntouched, "method id as a property"},
        // methods
        {kInvokeMethod, 10001, {}, 0, "m10001", VT_NULL, "method without arguments"},
        {kInvokeMethod, 10001, {ui4}, -7, "", kUntouched, "arguments given to a method with none"},
        {kInvokeMethod, 10002, {ui4, str}, 0, "m10002", VT_UI4, "two arguments in call order"},
        {kInvokeMethod, 10002, {str, ui4}, -7, "", kUntouched, "arguments in reverse order"},
        {kInvokeMethod, 10002, {ui4}, -7, "", kUntouched, "one argument short"},
        {kInvokeMethod, 10002, {i4, str}, -7, "", kUntouched, "VT_I4 where VT_UI4 is wanted"},
        {kInvokeMethod, 100, {}, -6, "", kUntouched, "property id as a method"},
        // kinds
        {3, 100, {i2}, -7, "", kUntouched, "kind 3"},
        {-1, 100, {}, -7, "", kUntouched, "negative kind"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Sample s;
        std::vector<Variant> args = c.args;
        InvokeArgs block{args.data(), static_cast<uint32_t>(args.size())};
        Variant result{};
        result.vt = kUntouched;
        EXPECT_EQ(s.Invoke(c.member, c.kind, &block, &result), c.code);
        const std::vector<std::string> expected = std::string(c.call).empty()
                                                      ? std::vector<std::string>{}
                                                      : std::vector<std::string>{c.call};
        EXPECT_EQ(s.calls, expected);
        EXPECT_EQ(result.vt, c.resultType);
        if (result.vt == VT_BSTR) BstrFree(result.bstrVal);
    }
}

TEST(Dispatch, NullArgumentBlockMeansNoArguments) {
    Sample s;
    Variant result{};
    EXPECT_EQ(s.Invoke(100, kInvokeGet, nullptr, &result), 0);
    EXPECT_EQ(result.vt, VT_I2);
    EXPECT_EQ(result.iVal, 7);
    EXPECT_EQ(s.Invoke(100, kInvokePut, nullptr, &result), -7);
    InvokeArgs empty{nullptr, 0};
    EXPECT_EQ(s.Invoke(10001, kInvokeMethod, &empty, &result), 0);
}

TEST(Dispatch, BadArgumentArrayOrResultAnswersMinus4BeforeMemberCode) {
    Sample s;
    InvokeArgs unreadable{nullptr, 2};
    Variant result{};
    result.vt = kUntouched;
    EXPECT_EQ(s.Invoke(10002, kInvokeMethod, &unreadable, &result), -4);
    EXPECT_EQ(s.Invoke(100, kInvokeGet, &unreadable, &result), -4);
    EXPECT_EQ(result.vt, kUntouched) << "a failed check leaves the result untouched";
    EXPECT_EQ(s.Invoke(100, kInvokeGet, nullptr, nullptr), -4);
    Variant arg = VariantI2(1);
    InvokeArgs one{&arg, 1};
    EXPECT_EQ(s.Invoke(100, kInvokePut, &one, nullptr), -4) << "puts need a result too";
    EXPECT_TRUE(s.calls.empty());
}

TEST(Dispatch, ResultValueWrittenAtItsTypeWidthAndReservedWordsKept) {
    Sample s;
    Variant result{};
    result.reserved1 = 0x1111;
    result.reserved2 = 0x2222;
    result.reserved3 = 0x3333;
    result.raw = 0xAAAAAAAAAAAAAAAAull;
    ASSERT_EQ(s.Invoke(102, kInvokeGet, nullptr, &result), 0);
    EXPECT_EQ(result.vt, VT_BOOL);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);
    EXPECT_EQ(result.raw >> 16, 0xAAAAAAAAAAAAull) << "only the 16-bit value is written";
    EXPECT_EQ(result.reserved1, 0x1111);
    EXPECT_EQ(result.reserved2, 0x2222);
    EXPECT_EQ(result.reserved3, 0x3333);

    UniqueBstr text(BstrAllocView(u"hello"));
    Variant args[2] = {VariantUI4(10), VariantBstr(text.get())};
    InvokeArgs block{args, 2};
    result.raw = 0xAAAAAAAAAAAAAAAAull;
    ASSERT_EQ(s.Invoke(10002, kInvokeMethod, &block, &result), 0);
    EXPECT_EQ(result.vt, VT_UI4);
    EXPECT_EQ(result.ulVal, 15u);
}

TEST(Dispatch, FailedGetHandsOutZeroNotWhatWasInTheResultBefore) {
    Sample s;
    Variant result{};
    // Whatever the caller's Variant held must not come back as a string pointer.
    result.raw = 0xDEADBEEFDEADBEEFull;
    EXPECT_EQ(s.Invoke(104, kInvokeGet, nullptr, &result), -5);
    EXPECT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(result.bstrVal, nullptr);
    VariantClear(&result);  // safe for the caller to clear
}

class Signed : public Sample {
  public:
    explicit Signed(std::string_view tag) : signature(static_cast<plat::Unknown*>(this), tag) {}
    ObjectSignature signature;
};

TEST(ObjectSignatureTest, LiveObjectsOnly) {
    const void* stale = nullptr;
    {
        Signed report(signature::kReport);
        Signed preview(signature::kDisplay);
        const void* r = static_cast<plat::Unknown*>(&report);
        EXPECT_TRUE(CheckObjectSignature(r, signature::kReport));
        EXPECT_FALSE(CheckObjectSignature(r, signature::kObject)) << "another tag";
        EXPECT_FALSE(CheckObjectSignature(r, "KPReport3")) << "a prefix of the tag";
        EXPECT_FALSE(
            CheckObjectSignature(static_cast<plat::Unknown*>(&preview), signature::kReport));
        EXPECT_TRUE(report.signature.Matches("KPReport30"));
        stale = r;
    }
    EXPECT_FALSE(CheckObjectSignature(stale, signature::kReport)) << "destroyed object";
    EXPECT_FALSE(CheckObjectSignature(nullptr, signature::kReport));
    int foreign = 0;
    EXPECT_FALSE(CheckObjectSignature(&foreign, signature::kReport)) << "not an engine object";
}

}  // namespace
