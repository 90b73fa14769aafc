// Checks the hand-copied command table against the summaries the table must agree with:
// group sizes, field shapes, the slot map and the list of commands that are always refused.
// The rows are read straight from the data file, so a slip in one row fails here whatever
// the interpreter makes of it.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Row {
    std::string number;  // empty for group ends and the catch-all
    bool end = false;
    bool catch_all = false;
    std::array<uint8_t, 13> b{};
};

#define H(x) static_cast<uint8_t>(0x##x)
#define ROW(n, b0, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b11, b12)                          \
    Row{n,                                                                                     \
        false,                                                                                 \
        false,                                                                                 \
        {H(b0), H(b1), H(b2), H(b3), H(b4), H(b5), H(b6), H(b7), H(b8), H(b9), H(b10), H(b11), \
         H(b12)}},
#define GROUP_END() Row{"", true, false, {0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0}},
#define CATCH_ALL() Row{"", false, true, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x3C, 0, 0, 0}},
const std::vector<Row> kRows = {
#include "programming/command_table_data.inc"
};
#undef ROW
#undef GROUP_END
#undef CATCH_ALL
#undef H

int KeyFields(const Row& r) {
    return r.b[1] >> 4;
}
int DataFields(const Row& r) {
    return r.b[1] & 0x0F;
}
std::string Shape(uint8_t f) {
    int lo = f >> 4, hi = f & 0x0F;
    return std::to_string(lo) + "-" + std::to_string(hi == 0 ? 16 : hi);
}

std::vector<const Row*> Commands() {
    std::vector<const Row*> out;
    for (const Row& r : kRows)
        if (!r.end && !r.catch_all) out.push_back(&r);
    return out;
}

// Expands "005 066-076 9100-9139" into every number it names.
std::set<std::string> ExpandList(const std::string& text) {
    std::set<std::string> out;
    std::istringstream in(text);
    std::string tok;
    while (in >> tok) {
        auto dash = tok.find('-');
        if (dash == std::string::npos) {
            out.insert(tok);
            continue;
        }
        std::string a = tok.substr(0, dash), b = tok.substr(dash + 1);
        for (int n = std::stoi(a); n <= std::stoi(b); ++n) {
            std::string s = std::to_string(n);
            out.insert(std::string(a.size() - s.size(), '0') + s);
        }
    }
    return out;
}

TEST(CommandTableData, RecordCountsAndGroupLayout) {
    ASSERT_EQ(kRows.size(), 876u);
    EXPECT_TRUE(kRows.back().catch_all);
    EXPECT_EQ(Commands().size(), 856u);

    struct Group {
        const char* first;
        int count;
    };
    const Group groups[19] = {{"000", 100}, {"100", 92},  {"300", 97},  {"400", 30},  {"500", 25},
                              {"600", 100}, {"700", 34},  {"800", 61},  {"9100", 44}, {"9200", 20},
                              {"9220", 20}, {"9240", 17}, {"9260", 20}, {"9280", 18}, {"9300", 93},
                              {"9400", 43}, {"9480", 0},  {"9490", 2},  {"9500", 40}};
    size_t i = 0;
    for (int g = 0; g < 19; ++g) {
        int first = std::stoi(groups[g].first);
        for (int k = 0; k < groups[g].count; ++k, ++i) {
            ASSERT_LT(i, kRows.size());
            std::string want = std::to_string(first + k);
            want.insert(0, std::string(std::string(groups[g].first).size() - want.size(), '0'));
            ASSERT_EQ(kRows[i].number, want) << "group " << g << " record " << k;
        }
        ASSERT_TRUE(kRows[i].end) << "group " << g << " is not closed after " << groups[g].count;
        ++i;
    }
    EXPECT_EQ(i, 875u);
}

TEST(CommandTableData, FieldCountsReentryAndSlotBytes) {
    std::map<int, int> kinds;
    for (const Row* r : Commands()) {
        SCOPED_TRACE(r->number);
        int kind = r->b[0], kf = KeyFields(*r), df = DataFields(*r);
        ++kinds[kind];
        EXPECT_LE(kf, 3);
        EXPECT_LE(df, 4);
        EXPECT_LE(kf + df, 6);
        for (int f = 0; f < 6; ++f) {
            if (f < kf + df) {
                EXPECT_NE(r->b[2 + f], 0) << "field " << f;
            } else {
                EXPECT_EQ(r->b[2 + f], 0) << "byte beyond the fields " << f;
            }
        }
        if (kind != 5) {
            if (kf > 0) {
                EXPECT_GE(r->b[8], 1);
                EXPECT_LE(r->b[8], kf);
            } else {
                EXPECT_EQ(r->b[8], 0);
            }
        }
        EXPECT_EQ(r->b[9] == 0xFF, kind == 3 || kind == 4);
        if (r->b[9] != 0xFF) {
            EXPECT_LE(r->b[9], 210);
        }
    }
    EXPECT_EQ(kinds, (std::map<int, int>{{0, 850}, {1, 1}, {2, 2}, {3, 1}, {4, 1}, {15, 1}}));
}

TEST(CommandTableData, FieldShapeHistogram) {
    std::map<std::string, int> keys, data;
    for (const Row* r : Commands()) {
        int kf = KeyFields(*r), df = DataFields(*r);
        for (int f = 0; f < kf; ++f) ++keys[Shape(r->b[2 + f])];
        for (int f = kf; f < kf + df; ++f) ++data[Shape(r->b[2 + f])];
    }
    EXPECT_EQ(keys, (std::map<std::string, int>{{"0-2", 44},
                                                {"0-3", 71},
                                                {"1-1", 107},
                                                {"1-4", 1},
                                                {"2-2", 149},
                                                {"3-3", 81},
                                                {"4-4", 2}}));
    EXPECT_EQ(data,
              (std::map<std::string, int>{
                  {"0-1", 17}, {"0-2", 1},   {"0-3", 3},  {"0-6", 2},  {"0-8", 1},  {"0-12", 2},
                  {"1-16", 9}, {"1-1", 366}, {"1-2", 9},  {"1-4", 4},  {"1-5", 4},  {"1-6", 2},
                  {"1-8", 1},  {"1-9", 1},   {"1-10", 2}, {"1-11", 5}, {"1-12", 4}, {"2-2", 63},
                  {"2-3", 1},  {"2-4", 2},   {"3-3", 35}, {"4-4", 4},  {"4-11", 1}, {"5-5", 10},
                  {"6-6", 1},  {"12-12", 12}}));
}

// slot: count and first command, for every slot that any command uses.
const char kSlotMap[] =
    "0:99:002 1:1:332 3:3:001 4:9:122 5:1:9319 7:3:9200 8:26:028 10:7:025 11:1:9223 12:1:360 "
    "13:2:101 14:1:9222 15:1:721 16:20:038 17:9:027 18:4:150 19:1:080 21:4:181 22:1:010 "
    "23:2:034 24:2:019 26:4:9231 28:1:9233 29:4:115 31:3:732 32:1:9309 34:3:014 35:3:328 "
    "36:5:386 39:4:154 40:2:9234 41:1:731 42:1:362 43:1:084 44:1:081 45:2:503 46:2:130 "
    "47:1:126 50:1:9320 53:3:103 54:1:9314 55:2:098 56:1:850 57:1:9321 58:1:361 60:330:005 "
    "61:1:007 63:1:9337 64:2:000 65:3:163 66:1:9278 67:1:012 68:33:111 70:1:140 71:1:351 "
    "72:1:113 73:1:009 74:3:325 75:1:642 76:5:520 77:1:366 78:1:707 79:1:180 83:11:013 "
    "86:2:040 89:1:300 90:2:110 91:1:112 92:2:641 94:1:082 95:2:323 96:1:011 97:1:016 "
    "98:1:018 99:1:017 100:3:003 102:7:035 103:2:085 106:5:047 107:2:021 108:1:9306 "
    "110:15:314 114:5:050 116:1:9202 117:4:9203 119:1:144 120:1:301 121:3:088 123:3:302 "
    "124:1:087 127:1:679 129:4:370 132:2:9315 133:1:9316 135:3:042 136:1:090 137:3:321 "
    "138:8:9442 141:2:355 142:1:356 143:2:365 145:1:334 148:1:9301 149:8:183 152:2:331 "
    "153:4:033 154:3:9230 160:1:030 161:1:711 162:4:390 163:11:382 164:3:395 165:5:340 "
    "166:9:381 167:1:364 168:1:9290 170:1:9500 171:1:9501 175:1:9502 176:1:9521 178:1:9530 "
    "179:1:9523 182:1:305 183:2:310 184:2:312 185:1:160 186:3:161 187:1:349 188:1:616 "
    "189:1:601 190:2:165 191:1:619 192:2:681 193:1:029 194:1:026 195:9:9400 196:7:9402 "
    "197:1:860 198:4:9430 199:2:9431 204:1:9141 205:1:9226 206:1:422 207:1:699 208:2:9210 "
    "209:1:824 210:1:9361";

TEST(CommandTableData, SlotMapCountsAndFirstCommands) {
    std::map<int, std::pair<int, std::string>> want;
    std::istringstream in(kSlotMap);
    std::string tok;
    int total = 0;
    while (in >> tok) {
        auto a = tok.find(':'), b = tok.rfind(':');
        int slot = std::stoi(tok.substr(0, a)), count = std::stoi(tok.substr(a + 1, b - a - 1));
        want[slot] = {count, tok.substr(b + 1)};
        total += count;
    }
    // *023 and *024 use no slot.
    EXPECT_EQ(total, 854);

    std::map<int, std::pair<int, std::string>> got;
    for (const Row* r : Commands()) {
        if (r->b[9] == 0xFF) continue;
        auto& e = got[r->b[9]];
        if (e.first++ == 0) e.second = r->number;
    }
    EXPECT_EQ(got, want);
}

TEST(CommandTableData, AlwaysRefusedCommandsHaveTheBareRecord) {
    const std::set<std::string> refused = ExpandList(
        "005 006 008 048 049 060 061 066-076 078 079 104-109 118-120 129 136 146-149 159 167 "
        "169-179 184 188 190 304 306-309 319 329 337-339 353 357 358 363 367-369 371 388 408 409 "
        "415 424 428 511-519 614 629 630 638 639 644-650 652-669 674 676 694-697 715-717 726 728 "
        "729 803-806 815 823 826-828 830-839 853-858 9100-9139 9216 9220 9221 9240 9241 "
        "9246-9250 9254 9255 9260-9268 9270 9274-9277 9279 9280 9293 9296 9297 9304 9305 9310 "
        "9311 9322-9336 9338-9360 9362-9391 9407 9408 9416-9418 9424-9429 9490 9491 9503 "
        "9505-9520 9522 9535-9539");
    ASSERT_EQ(refused.size(), 330u);
    const std::array<uint8_t, 13> bare{0, 0, 0, 0, 0, 0, 0, 0, 0, 0x3C, 0, 0, 0};
    for (const Row* r : Commands()) {
        bool listed = refused.count(r->number) != 0;
        EXPECT_EQ(r->b[9] == 0x3C, listed) << r->number;
        if (listed) {
            EXPECT_EQ(r->b, bare) << r->number;
        }
    }
}

TEST(CommandTableData, RecordsGivenByteForByte) {
    using B = std::array<uint8_t, 13>;
    const std::map<std::string, B> given = {
        {"002", {0x00, 0x01, 0x11, 0, 0, 0, 0, 0, 0x00, 0x00, 0x01, 0x14, 0x10}},
        {"007", {0x01, 0x01, 0x22, 0, 0, 0, 0, 0, 0x00, 0x3D, 0x00, 0x00, 0x00}},
        {"023", {0x03, 0x30, 0x11, 0x11, 0x44, 0, 0, 0, 0x03, 0xFF, 0x00, 0x00, 0x00}},
        {"024", {0x04, 0x31, 0x11, 0x11, 0x44, 0x22, 0, 0, 0x03, 0xFF, 0x01, 0x00, 0x00}},
        {"679", {0x02, 0x11, 0x11, 0x1C, 0, 0, 0, 0, 0x01, 0x7F, 0x00, 0x00, 0x00}},
        {"721", {0x02, 0x11, 0x11, 0x18, 0, 0, 0, 0, 0x01, 0x0F, 0x01, 0x00, 0x00}},
        {"9361", {0x0F, 0x01, 0x11, 0, 0, 0, 0, 0, 0x00, 0xD2, 0x00, 0x00, 0x10}},
    };
    std::map<std::string, B> got;
    for (const Row* r : Commands())
        if (given.count(r->number)) {
            got[r->number] = r->b;
        }
    EXPECT_EQ(got, given);
}

}  // namespace
