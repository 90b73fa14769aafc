#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "platform/automation/automation.h"

namespace {

using namespace plat;

TEST(Bstr, KeepsLengthEmbeddedZerosAndTerminator) {
    const char16_t text[] = {u'a', 0, u'b'};
    UniqueBstr s(BstrAllocLen(text, 3));
    ASSERT_TRUE(s);
    EXPECT_EQ(BstrLen(s.get()), 3u);
    EXPECT_EQ(BstrByteLen(s.get()), 6u);
    EXPECT_EQ(s.get()[3], 0);
    EXPECT_EQ(BstrView(s.get()), std::u16string_view(text, 3));

    UniqueBstr copy(BstrCopy(s.get()));
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), s.get());
    EXPECT_EQ(BstrView(copy.get()), BstrView(s.get()));

    // An odd byte count is kept and still ends in a whole zero code unit.
    UniqueBstr odd(BstrAllocByteLen("abc", 3));
    EXPECT_EQ(BstrByteLen(odd.get()), 3u);
    EXPECT_EQ(BstrLen(odd.get()), 1u);
    EXPECT_EQ(odd.get()[1] & 0xFF00, 0);
    EXPECT_EQ(odd.get()[2], 0);
}

TEST(Bstr, NullAndEmpty) {
    EXPECT_EQ(BstrAlloc(nullptr), nullptr);
    EXPECT_EQ(BstrCopy(nullptr), nullptr);
    EXPECT_EQ(BstrLen(nullptr), 0u);
    EXPECT_TRUE(BstrView(nullptr).empty());
    BstrFree(nullptr);

    UniqueBstr empty(BstrAllocView(u""));
    ASSERT_TRUE(empty);  // an empty string is a real string, not null
    EXPECT_EQ(BstrLen(empty.get()), 0u);
    EXPECT_EQ(empty.get()[0], 0);

    UniqueBstr zeroed(BstrAllocLen(nullptr, 4));
    ASSERT_TRUE(zeroed);
    for (int i = 0; i <= 4; ++i) EXPECT_EQ(zeroed.get()[i], 0);

    EXPECT_EQ(BstrAllocLen(nullptr, 0x7FFFFFFFu), nullptr);  // would not fit 32 bits of bytes
    EXPECT_EQ(WideLen(u"abc"), 3u);
    EXPECT_EQ(WideLen(nullptr), 0u);
}

struct Utf8Case {
    const char* bytes;
    std::u16string wide;
    bool valid;
    const char* why;
};

TEST(Text, Utf8Table) {
    const Utf8Case cases[] = {
        {"abc", u"abc", true, "ascii"},
        {"\xE3\x82\xA8\xE3\x83\xA9\xE3\x83\xBC", u"\u30A8\u30E9\u30FC", true, "katakana"},
        {"\xF0\x9F\x98\x80", u"\U0001F600", true, "astral plane as a surrogate pair"},
        {"\xC0\xAF", u"", false, "overlong slash"},
        {"\xED\xA0\x80", u"", false, "encoded surrogate"},
        {"\xF4\x90\x80\x80", u"", false, "above U+10FFFF"},
        {"\xE3\x82", u"", false, "cut in the middle"},
        {"\xFF", u"", false, "never a lead byte"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        bool ok = false;
        EXPECT_EQ(WideFromUtf8(c.bytes, &ok), c.wide);
        EXPECT_EQ(ok, c.valid);
        UniqueBstr b(BstrFromUtf8(c.bytes));
        EXPECT_EQ(b != nullptr, c.valid);
        if (c.valid) {
            EXPECT_EQ(BstrView(b.get()), c.wide);
            std::string back;
            ASSERT_TRUE(Utf8FromWide(c.wide, &back));
            EXPECT_EQ(back, c.bytes);
        }
    }
    std::string out;
    EXPECT_FALSE(Utf8FromWide(u"\xD800x", &out)) << "lone high surrogate";
    EXPECT_FALSE(Utf8FromWide(u"\xDC00", &out)) << "lone low surrogate";
}

TEST(Text, Cp932Table) {
    struct Case {
        std::string bytes;
        std::u16string wide;
        const char* why;
    } const cases[] = {
        {"A?", u"A?", "ascii"},
        {"\x5C~\x7F", u"\\~\x7F", "backslash and tilde stay ASCII, as in code page 932"},
        {"12\x83\x47", u"12\u30A8", "ascii before a double-byte character"},
        {"\x83\x47\x83\x89\x81\x5B", u"\u30A8\u30E9\u30FC", "double-byte katakana"},
        {"\xB1", u"\uFF71", "half-width katakana"},
        {"\x87\x40", u"\u2460", "NEC special row (circled one)"},
        {"", u"", "empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::u16string wide;
        ASSERT_TRUE(WideFromCp932(c.bytes, &wide));
        EXPECT_EQ(wide, c.wide);
        std::string back;
        ASSERT_TRUE(Cp932FromWide(c.wide, &back));
        EXPECT_EQ(back, c.bytes);
    }
    std::u16string wide;
    EXPECT_FALSE(WideFromCp932("\x83", &wide)) << "lead byte without trail";
    std::string narrow;
    EXPECT_FALSE(Cp932FromWide(u"\u00E9", &narrow)) << "not in CP932";
    EXPECT_EQ(BstrFromCp932("\x83"), nullptr);
    // The converters are kept between calls: a failed conversion leaves nothing behind.
    ASSERT_TRUE(WideFromCp932("\x83\x47", &wide));
    EXPECT_EQ(wide, u"\u30A8");
    ASSERT_TRUE(Cp932FromWide(u"\u30A8", &narrow));
    EXPECT_EQ(narrow, "\x83\x47");
    // And each thread has its own.
    std::thread other([] {
        std::u16string w;
        EXPECT_TRUE(WideFromCp932("\xB1\x83\x47", &w));
        EXPECT_EQ(w, u"\uFF71\u30A8");
    });
    other.join();
}

class CountingObject : public Unknown {
  public:
    int32_t QueryInterface(const InterfaceId*, void** out) override {
        if (out) *out = nullptr;
        return -2;
    }
    int32_t AddRef() override { return ++refs; }
    int32_t Release() override { return --refs; }
    int32_t refs = 1;
};

TEST(Variant, LayoutBuildersAndClear) {
    EXPECT_EQ(sizeof(Variant), 16u);
    EXPECT_EQ(VariantBool(true).boolVal, -1);
    EXPECT_EQ(VariantBool(false).boolVal, 0);
    EXPECT_EQ(VariantI2(-2).vt, VT_I2);
    EXPECT_EQ(VariantUI4(0xFFFFFFFFu).ulVal, 0xFFFFFFFFu);

    Variant s = VariantBstr(BstrAllocView(u"owned"));
    VariantClear(&s);  // the sanitizer build shows a leak if the string is not freed
    EXPECT_EQ(s.vt, VT_EMPTY);
    EXPECT_EQ(s.raw, 0u);

    CountingObject obj;
    Variant d = VariantDispatch(&obj);
    VariantClear(&d);
    EXPECT_EQ(obj.refs, 0);

    Variant n = VariantI4(5);
    n.reserved1 = 7;
    VariantInit(&n);
    EXPECT_EQ(n.vt, VT_EMPTY);
    EXPECT_EQ(n.reserved1, 0);
    VariantClear(nullptr);
}

TEST(InterfaceIdTest, ComparesBothWords) {
    constexpr InterfaceId a{0x00010000, 0x00000100};
    constexpr InterfaceId b{0x00010000, 0x00000101};
    constexpr InterfaceId c{0x00010001, 0x00000100};
    static_assert(IsEqualInterfaceId(a, a));
    EXPECT_FALSE(IsEqualInterfaceId(a, b));
    EXPECT_FALSE(IsEqualInterfaceId(a, c));
    InterfaceId copy{};
    CopyInterfaceId(&copy, b);
    EXPECT_TRUE(IsEqualInterfaceId(copy, b));
}

}  // namespace
