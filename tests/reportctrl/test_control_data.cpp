// What a control saves into a report file: the bytes of each class against fixtures written out
// here from the format (header: u16 format 1, u16 class, u32 count; records: i32 id, i32 length,
// value, ascending), round trips, a newer format, and malformed data refused without reading a
// byte past what the header announces.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/core/byte_stream.h"
#include "tests/reportctrl/control_fakes.h"

namespace {

using namespace ctrltest;
using Bytes = std::vector<uint8_t>;

Bytes Hex(std::string_view text) {
    Bytes out;
    for (size_t i = 0; i + 1 < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back(static_cast<uint8_t>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
        i += 2;
    }
    return out;
}

// Little-endian pieces, as Python's struct would pack them.
struct Pack {
    Bytes b;
    Pack& u16(uint32_t v) {
        b.push_back(v & 0xFF);
        b.push_back((v >> 8) & 0xFF);
        return *this;
    }
    Pack& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Pack& record(uint32_t id, const Bytes& value) {
        u32(id).u32(static_cast<uint32_t>(value.size()));
        b.insert(b.end(), value.begin(), value.end());
        return *this;
    }
};
Bytes U16(uint32_t v) {
    return Pack().u16(v).b;
}
Bytes U32(uint32_t v) {
    return Pack().u32(v).b;
}
Bytes Utf16z(std::u16string_view s) {
    Pack p;
    for (char16_t c : s) p.u16(c);
    return p.u16(0).b;
}
Bytes Data(uint16_t format, uint16_t classCode, const Bytes& records) {
    Pack p;
    p.u16(format).u16(classCode).u32(static_cast<uint32_t>(records.size()));
    p.b.insert(p.b.end(), records.begin(), records.end());
    return p.b;
}

Bytes SaveOf(Control& control) {
    ByteStream stream;
    uint32_t size = 0;
    EXPECT_EQ(control.persist->GetDataSize(&size), 0);
    EXPECT_EQ(control.persist->Save(&stream), 0);
    std::span<const uint8_t> block;
    EXPECT_EQ(stream.GetHGlobal(&block), 0);
    EXPECT_EQ(block.size(), size) << "GetDataSize announces what Save writes";
    return Bytes(block.begin(), block.end());
}

// Loads from a stream holding bytes followed by a tail the control must never reach; answers
// the code and the position the stream was left at.
std::pair<int32_t, uint32_t> LoadFrom(Control& control, const Bytes& bytes) {
    ByteStream stream;
    Bytes withTail = bytes;
    withTail.insert(withTail.end(), 64, 0xEE);
    stream.Write(withTail.data(), static_cast<uint32_t>(withTail.size()), nullptr);
    stream.Seek(0, kSeekSet, nullptr);
    const int32_t code = control.persist->Load(&stream);
    uint32_t at = 0;
    stream.Seek(0, kSeekCur, &at);
    return {code, at};
}

const Bytes kLineDefault =
    Hex("0100 0200 18000000  75270000 04000000 00000000  76270000 04000000 00000000");
const Bytes kBoxSet =
    Hex("0100 0300 24000000  75270000 04000000 19000000  76270000 04000000 FF000000"
        "  77270000 04000000 CCDDEE00");
const Bytes kGroup = Hex("0100 0400 00000000");

Bytes TextDefault() {
    // "ＭＳ ゴシック", 10.5 pt, empty text (a terminator alone), left, top, black.
    return Data(1, 1,
                Pack()
                    .record(10016, Utf16z(u"\uFF2D\uFF33 \u30B4\u30B7\u30C3\u30AF"))
                    .record(10018, U32(1050))
                    .record(10019, Utf16z(u""))
                    .record(10021, U16(0))
                    .record(10023, U16(0))
                    .record(10024, U32(0))
                    .b);
}

Bytes TextSet() {
    return Data(1, 1,
                Pack()
                    .record(10016, Utf16z(u"IPAGothic"))
                    .record(10018, U32(900))
                    .record(10019, Utf16z(u"\u9801 1"))
                    .record(10021, U16(1))
                    .record(10023, U16(2))
                    .record(10024, U32(0x123456))
                    .b);
}

TEST(ControlData, BytesOfEachClassAgainstFixtures) {
    {
        Control text(ctrlclass::kText);
        EXPECT_EQ(SaveOf(text), TextDefault());
        text.Put(KPM_TEXT_CONTROL_FONT_NAME, Text(u"IPAGothic"));
        text.Put(KPM_TEXT_CONTROL_FONT_SIZE, Real(9.0f));
        text.Put(KPM_TEXT_CONTROL_TEXT, Text(u"\u9801 1"));
        text.Put(KPM_TEXT_CONTROL_ALIGN, VariantI2(1));
        text.Put(KPM_TEXT_CONTROL_VALIGN, VariantI2(2));
        text.Put(KPM_TEXT_CONTROL_TEXT_COLOR, VariantUI4(0x123456));
        EXPECT_EQ(SaveOf(text), TextSet());
    }
    {
        Control line(ctrlclass::kLine);
        EXPECT_EQ(SaveOf(line), kLineDefault);
        Control box(ctrlclass::kBox);
        box.Put(KPM_SHAPE_CONTROL_LINE_WIDTH, VariantI4(25));
        box.Put(KPM_SHAPE_CONTROL_LINE_COLOR, VariantUI4(0x0000FF));
        box.Put(KPM_SHAPE_CONTROL_FILL_COLOR, VariantUI4(0xEEDDCC));
        EXPECT_EQ(SaveOf(box), kBoxSet);
        Control group(ctrlclass::kGroup);
        EXPECT_EQ(SaveOf(group), kGroup);
    }
}

TEST(ControlData, FixturesLoadAndSaveAgainUnchanged) {
    struct Case {
        InterfaceId id;
        Bytes bytes;
    };
    const Case cases[] = {{ctrlclass::kText, TextSet()},
                          {ctrlclass::kText, TextDefault()},
                          {ctrlclass::kLine, kLineDefault},
                          {ctrlclass::kBox, kBoxSet},
                          {ctrlclass::kGroup, kGroup}};
    for (const Case& c : cases) {
        Control control(c.id);
        const auto [code, at] = LoadFrom(control, c.bytes);
        EXPECT_EQ(code, 0);
        EXPECT_EQ(at, c.bytes.size()) << "reads exactly its own bytes";
        EXPECT_EQ(SaveOf(control), c.bytes);
    }
    Control text(ctrlclass::kText);
    ASSERT_EQ(LoadFrom(text, TextSet()).first, 0);
    Variant v = text.Get(KPM_TEXT_CONTROL_TEXT);
    EXPECT_EQ(BstrView(v.bstrVal), u"\u9801 1");
    VariantClear(&v);
    EXPECT_EQ(text.Get(KPM_TEXT_CONTROL_FONT_SIZE).fltVal, 9.0f);
    EXPECT_EQ(text.Get(KPM_TEXT_CONTROL_VALIGN).iVal, 2);
}

TEST(ControlData, UnknownRecordsAreSkippedAndMissingOnesKeepTheirValue) {
    // A later version's record 10017 between known ones, and 10024 left out.
    const Bytes bytes = Data(1, 1,
                             Pack()
                                 .record(10016, Utf16z(u"IPAMincho"))
                                 .record(10017, Hex("0102030405"))
                                 .record(10019, Utf16z(u"A"))
                                 .record(20000, Bytes{})
                                 .b);
    Control text(ctrlclass::kText);
    text.Put(KPM_TEXT_CONTROL_TEXT_COLOR, VariantUI4(0x00FF00));
    const auto [code, at] = LoadFrom(text, bytes);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(at, bytes.size());
    Variant v = text.Get(KPM_TEXT_CONTROL_FONT_NAME);
    EXPECT_EQ(BstrView(v.bstrVal), u"IPAMincho");
    VariantClear(&v);
    EXPECT_EQ(text.Get(KPM_TEXT_CONTROL_TEXT_COLOR).ulVal, 0x00FF00u);
}

TEST(ControlData, NewerFormatAnswers120AndKeepsTheData) {
    Bytes bytes = kBoxSet;
    bytes[0] = 2;
    Control box(ctrlclass::kBox);
    const auto [code, at] = LoadFrom(box, bytes);
    EXPECT_EQ(code, -120);
    EXPECT_EQ(at, 8u) << "the engine skips the rest by the count it read itself";
    EXPECT_EQ(box.Get(KPM_SHAPE_CONTROL_FILL_COLOR).ulVal, 0xFFFFFFFFu);
    EXPECT_EQ(box.Get(KPM_SHAPE_CONTROL_LINE_WIDTH).lVal, 0);
}

TEST(ControlData, MalformedDataIsRefusedWithoutReadingPastIt) {
    const Bytes textSet = TextSet();
    auto withCount = [](Bytes b, uint32_t count) {
        std::memcpy(&b[4], &count, 4);
        return b;
    };
    struct Case {
        const char* why;
        InterfaceId id;
        Bytes bytes;
        size_t truncateTo;  // the stream ends here (SIZE_MAX: the whole fixture and a tail)
        uint32_t maxRead;   // the position the control may have reached
    };
    const size_t all = SIZE_MAX;
    const Case cases[] = {
        {"format 0", ctrlclass::kLine, Hex("0000 0200 00000000"), all, 8},
        {"a line's data in a box", ctrlclass::kBox, kLineDefault, all, 8},
        {"header cut short", ctrlclass::kLine, kLineDefault, 6, 6},
        {"records cut short", ctrlclass::kLine, kLineDefault, 20, 20},
        {"count beyond any control", ctrlclass::kText, withCount(textSet, 0x7FFFFFF0), all, 8},
        {"record longer than the count", ctrlclass::kLine,
         Data(1, 2, Pack().u32(10101).u32(40).u32(1).b), all, 8 + 12},
        {"record header cut by the count", ctrlclass::kLine, Data(1, 2, Hex("75270000 0400")), all,
         8 + 6},
        {"negative length", ctrlclass::kLine,
         Data(1, 2, Pack().u32(10101).u32(0xFFFFFFFC).u32(1).b), all, 8 + 12},
        {"ids out of order", ctrlclass::kLine,
         Data(1, 2, Pack().record(10102, U32(0)).record(10101, U32(0)).b), all, 8 + 24},
        {"duplicate id", ctrlclass::kLine,
         Data(1, 2, Pack().record(10101, U32(3)).record(10101, U32(4)).b), all, 8 + 24},
        {"width of 2 bytes", ctrlclass::kLine, Data(1, 2, Pack().record(10101, U16(3)).b), all,
         8 + 10},
        {"width out of range", ctrlclass::kLine, Data(1, 2, Pack().record(10101, U32(100001)).b),
         all, 8 + 12},
        {"colour beyond 24 bits", ctrlclass::kBox,
         Data(1, 3, Pack().record(10103, U32(0x01000000)).b), all, 8 + 12},
        {"string without terminator", ctrlclass::kText,
         Data(1, 1, Pack().record(10019, Hex("4100 4200")).b), all, 8 + 12},
        {"string of odd length", ctrlclass::kText,
         Data(1, 1, Pack().record(10019, Hex("41 0000")).b), all, 8 + 11},
        {"zero inside a string", ctrlclass::kText,
         Data(1, 1, Pack().record(10019, Hex("4100 0000 4200 0000")).b), all, 8 + 16},
        {"empty face name", ctrlclass::kText, Data(1, 1, Pack().record(10016, Utf16z(u"")).b), all,
         8 + 10},
        {"face of 32 characters", ctrlclass::kText,
         Data(1, 1, Pack().record(10016, Utf16z(std::u16string(32, u'F'))).b), all, 8 + 74},
        {"size of 0.99 pt", ctrlclass::kText, Data(1, 1, Pack().record(10018, U32(99)).b), all,
         8 + 12},
        {"alignment 3", ctrlclass::kText, Data(1, 1, Pack().record(10021, U16(3)).b), all, 8 + 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        Control control(c.id);
        // Set something so that a partly applied load would show.
        if (IsEqualInterfaceId(c.id, ctrlclass::kText))
            control.Put(KPM_TEXT_CONTROL_TEXT, Text(u"kept"));
        if (!IsEqualInterfaceId(c.id, ctrlclass::kText))
            control.Put(KPM_SHAPE_CONTROL_LINE_WIDTH, VariantI4(7));
        const Bytes before = SaveOf(control);

        ByteStream stream;
        Bytes bytes = c.bytes;
        if (c.truncateTo != all) {
            bytes.resize(c.truncateTo);
        } else {
            bytes.insert(bytes.end(), 64, 0xEE);
        }
        stream.Write(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr);
        stream.Seek(0, kSeekSet, nullptr);
        EXPECT_EQ(control.persist->Load(&stream), -19001);
        uint32_t at = 0;
        stream.Seek(0, kSeekCur, &at);
        EXPECT_LE(at, c.maxRead);
        EXPECT_EQ(SaveOf(control), before) << "nothing of a refused load is applied";
    }
}

// A stream that fails its writes.
class FullStream final : public EngineStream {
  public:
    int32_t QueryInterface(const InterfaceId*, void** out) override {
        *out = nullptr;
        return -2;
    }
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 1; }
    int32_t Read(void*, uint32_t, uint32_t* read) override {
        if (read) *read = 0;
        return -111;
    }
    int32_t Write(const void*, uint32_t count, uint32_t* written) override {
        if (written) *written = count / 2;
        return answer;
    }
    int32_t Seek(int32_t, int32_t, uint32_t*) override { return 0; }
    int32_t SetSize(uint32_t) override { return 0; }
    int32_t CopyTo(EngineStream*, uint32_t, uint32_t*) override { return -2; }
    int32_t answer = 0;
};

TEST(ControlData, StreamFailuresPassThrough) {
    Control text(ctrlclass::kText);
    FullStream stream;
    EXPECT_EQ(text.persist->Save(&stream), -19003) << "a short write";
    stream.answer = -17226;
    EXPECT_EQ(text.persist->Save(&stream), -17226) << "the stream's own failure";
    EXPECT_EQ(text.persist->Load(&stream), -111);
    EXPECT_EQ(text.persist->Load(nullptr), -4);
    EXPECT_EQ(text.persist->Save(nullptr), -4);
    EXPECT_EQ(text.persist->GetDataSize(nullptr), -4);
}

}  // namespace
