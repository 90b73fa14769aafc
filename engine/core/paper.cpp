#include "engine/core/paper.h"

#include <array>

namespace kp {

namespace {

// One row per size: the paper numbers that share it (0 ends the list), width and height in
// 0.1 mm.
struct PaperRow {
    std::array<uint8_t, 4> codes;
    uint16_t width;
    uint16_t height;
};

// clang-format off
constexpr PaperRow kPaperRows[] = {
    {{1, 2, 18, 54}, 2159, 2794},  // letter, letter small, note, letter transverse
    {{3, 17},        2794, 4318},  // tabloid, 11x17
    {{4},            4318, 2794},  // ledger
    {{5},            2159, 3556},  // legal
    {{6},            1397, 2159},  // statement
    {{7},            1842, 2667},  // executive
    {{8, 67},        2970, 4200},  // A3, A3 transverse
    {{9, 10, 55},    2100, 2970},  // A4, A4 small, A4 transverse
    {{11, 61},       1480, 2100},  // A5, A5 transverse
    {{12},           2570, 3640},  // B4 (JIS)
    {{13, 62},       1820, 2570},  // B5 (JIS), B5 transverse
    {{14, 41},       2159, 3302},  // folio, German legal fanfold
    {{15},           2150, 2750},  // quarto
    {{16},           2540, 3556},  // 10x14
    {{19},            984, 2254},  // envelope #9
    {{20},           1048, 2413},  // envelope #10
    {{21},           1143, 2635},  // envelope #11
    {{22},           1207, 2794},  // envelope #12
    {{23},           1270, 2921},  // envelope #14
    {{24},           4318, 5588},  // C sheet
    {{25},           5588, 8636},  // D sheet
    {{26},           8636, 11176}, // E sheet
    {{27, 100},      1100, 2200},  // envelope DL
    {{28},           1620, 2290},  // envelope C5
    {{29, 105},      3240, 4580},  // envelope C3
    {{30, 104},      2290, 3240},  // envelope C4
    {{31},           1140, 1620},  // envelope C6
    {{32},           1140, 2290},  // envelope C65
    {{33, 42},       2500, 3530},  // envelope B4, ISO B4
    {{34},           1760, 2500},  // envelope B5
    {{35, 111},      1760, 1250},  // envelope B6
    {{36},           1100, 2300},  // envelope Italy
    {{37},            984, 1905},  // envelope Monarch
    {{38},            921, 1651},  // 6 3/4 envelope
    {{39},           3778, 2794},  // US standard fanfold
    {{40},           2159, 3048},  // German standard fanfold
    {{43},           1000, 1480},  // Japanese postcard
    {{44},           2286, 2794},  // 9x11
    {{45},           2540, 2794},  // 10x11
    {{46},           3810, 2794},  // 15x11
    {{47},           2200, 2200},  // envelope invite
    {{50, 56},       2413, 3048},  // letter extra
    {{51},           2413, 3810},  // legal extra
    {{52},           2969, 4572},  // tabloid extra
    {{53},           2355, 3223},  // A4 extra
    {{57},           2270, 3560},  // SuperA
    {{58},           3050, 4870},  // SuperB
    {{59},           2159, 3223},  // letter plus
    {{60},           2100, 3300},  // A4 plus
    {{63, 68},       3220, 4450},  // A3 extra
    {{64},           1740, 2350},  // A5 extra
    {{65},           2010, 2760},  // B5 (ISO) extra
    {{66},           4200, 5940},  // A2
    {{69},           2000, 1480},  // Japanese double postcard
    {{70},           1050, 1480},  // A6
    {{71},           2400, 3320},  // Japanese envelope Kaku #2
    {{72},           2160, 2770},  // Japanese envelope Kaku #3
    {{73},           1200, 2350},  // Japanese envelope Chou #3
    {{74},            900, 2050},  // Japanese envelope Chou #4
    {{75},           2794, 2159},  // letter rotated
    {{76},           4200, 2970},  // A3 rotated
    {{77},           2970, 2100},  // A4 rotated
    {{78},           2100, 1480},  // A5 rotated
    {{79},           3640, 2570},  // B4 (JIS) rotated
    {{80},           2570, 1820},  // B5 (JIS) rotated
    {{81},           1480, 1000},  // Japanese postcard rotated
    {{82},           1480, 2000},  // double Japanese postcard rotated
    {{83},           1480, 1050},  // A6 rotated
    {{84},           3320, 2400},  // Kaku #2 rotated
    {{85},           2770, 2160},  // Kaku #3 rotated
    {{86},           2350, 1200},  // Chou #3 rotated
    {{87},           2050,  900},  // Chou #4 rotated
    {{88},           1280, 1820},  // B6 (JIS)
    {{89},           1820, 1280},  // B6 (JIS) rotated
    {{90},           3049, 2795},  // 12x11
    {{91},           1050, 2350},  // Japanese envelope You #4
    {{92},           2350, 1050},  // You #4 rotated (the long side across, as 91 stands upright)
    {{93},           1460, 2150},  // PRC 16K
    {{94},            970, 1510},  // PRC 32K
    {{95},           1010, 1600},  // PRC 32K big
    {{96},           1020, 1650},  // PRC envelope #1
    {{97},           1100, 1760},  // PRC envelope #2
    {{98},           1250, 1760},  // PRC envelope #3
    {{99},           1100, 2080},  // PRC envelope #4
    {{101},          1200, 2300},  // PRC envelope #6
    {{102},          1600, 2300},  // PRC envelope #7
    {{103},          1200, 3090},  // PRC envelope #8
    {{106},          2150, 1460},  // PRC 16K rotated
    {{107},          1510,  970},  // PRC 32K rotated
    {{108},          1600, 1010},  // PRC 32K big rotated
    {{109},          1650, 1020},  // PRC envelope #1 rotated
    {{110},          1760, 1100},  // PRC envelope #2 rotated
    {{112},          2080, 1100},  // PRC envelope #4 rotated
    {{113},          2200, 1100},  // PRC envelope #5 rotated
    {{114},          2300, 1200},  // PRC envelope #6 rotated
    {{115},          2300, 1600},  // PRC envelope #7 rotated
    {{116},          3090, 1200},  // PRC envelope #8 rotated
    {{117},          3240, 2290},  // PRC envelope #9 rotated
    {{118},          4580, 3240},  // PRC envelope #10 rotated
};
// clang-format on

constexpr int32_t kLastFixedCode = 118;

// Packed dimensions by paper number, 0 for numbers without a fixed size.
constexpr auto kByCode = [] {
    std::array<int32_t, kLastFixedCode + 1> byCode{};
    for (const PaperRow& row : kPaperRows) {
        for (uint8_t code : row.codes) {
            if (code != 0) byCode[code] = (int32_t{row.width} << 16) | row.height;
        }
    }
    return byCode;
}();

}  // namespace

bool IsKnownPaperSize(int32_t code) {
    if (code == kPaperUserDefined) return true;
    return code >= 1 && code <= kLastFixedCode && kByCode[code] != 0;
}

int32_t GetPaperDimensions(int32_t code) {
    if (code < 1 || code > kLastFixedCode || kByCode[code] == 0) return -1;
    return kByCode[code];
}

}  // namespace kp
