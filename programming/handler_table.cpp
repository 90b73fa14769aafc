#include "programming/handler_table.h"

#include <array>
#include <cstddef>

#include "programming/command_table.h"
#include "programming/handlers/handlers.h"
#include "programming/state.h"
#include "programming/terminal.h"

namespace qzs {
namespace {

struct SlotRow {
    std::size_t slot;
    HandlerFunction store;
    HandlerFunction show;
};

// One row per slot: the store half, the show half, and which commands reach it. AcceptEntry
// fills the store half of the show-only slots and the show half of the store-only ones;
// RejectEntry both halves of slot 60 and of slots 156-158 (no command; their tables are not
// known well enough to keep) and the store half of *860. Slots that no command reaches
// keep their pair all the same, so that every descriptor byte 9 up to 210 finds one.
constexpr std::array<SlotRow, kHandlerSlotCount> kSlotRows{{
    SlotRow{0, &StoreHandler000, &ShowHandler000},    // 99 commands from *002
    SlotRow{1, &StoreHandler001, &ShowHandler001},    // *332
    SlotRow{2, &StoreHandler002, &ShowHandler002},    // no command
    SlotRow{3, &StoreHandler003, &ShowHandler003},    // 3 commands from *001
    SlotRow{4, &StoreHandler004, &ShowHandler004},    // 9 commands from *122
    SlotRow{5, &StoreHandler005, &ShowHandler005},    // *9319
    SlotRow{6, &StoreHandler006, &ShowHandler006},    // no command
    SlotRow{7, &StoreHandler007, &ShowHandler007},    // 3 commands from *9200
    SlotRow{8, &StoreHandler008, &ShowHandler008},    // 26 commands from *028
    SlotRow{9, &StoreHandler009, &ShowHandler009},    // no command
    SlotRow{10, &StoreHandler010, &ShowHandler010},   // 7 commands from *025
    SlotRow{11, &StoreHandler011, &ShowHandler011},   // *9223
    SlotRow{12, &StoreHandler012, &ShowHandler012},   // *360
    SlotRow{13, &StoreHandler013, &ShowHandler013},   // 2 commands from *101
    SlotRow{14, &StoreHandler014, &ShowHandler014},   // *9222
    SlotRow{15, &StoreHandler015, &ShowHandler015},   // *721
    SlotRow{16, &StoreHandler016, &ShowHandler016},   // 20 commands from *038
    SlotRow{17, &StoreHandler017, &ShowHandler017},   // 9 commands from *027
    SlotRow{18, &StoreHandler018, &ShowHandler018},   // 4 commands from *150
    SlotRow{19, &StoreHandler019, &ShowHandler019},   // *080
    SlotRow{20, &StoreHandler020, &ShowHandler020},   // no command
    SlotRow{21, &StoreHandler021, &ShowHandler021},   // 4 commands from *181
    SlotRow{22, &AcceptEntry, &ShowHandler022},       // *010
    SlotRow{23, &StoreHandler023, &ShowHandler023},   // 2 commands from *034
    SlotRow{24, &StoreHandler024, &ShowHandler024},   // 2 commands from *019
    SlotRow{25, &StoreHandler025, &ShowHandler025},   // no command
    SlotRow{26, &StoreHandler026, &ShowHandler026},   // 4 commands from *9231
    SlotRow{27, &StoreHandler027, &ShowHandler027},   // no command
    SlotRow{28, &StoreHandler028, &ShowHandler028},   // *9233
    SlotRow{29, &StoreHandler029, &ShowHandler029},   // 4 commands from *115
    SlotRow{30, &StoreHandler030, &ShowHandler030},   // no command
    SlotRow{31, &StoreHandler031, &ShowHandler031},   // 3 commands from *732
    SlotRow{32, &StoreHandler032, &ShowHandler032},   // *9309
    SlotRow{33, &RejectEntry, &RejectEntry},          // no command
    SlotRow{34, &AcceptEntry, &ShowHandler034},       // 3 commands from *014
    SlotRow{35, &StoreHandler035, &ShowHandler035},   // 3 commands from *328
    SlotRow{36, &StoreHandler036, &ShowHandler036},   // 5 commands from *386
    SlotRow{37, &RejectEntry, &RejectEntry},          // no command
    SlotRow{38, &RejectEntry, &RejectEntry},          // no command
    SlotRow{39, &StoreHandler039, &ShowHandler039},   // 4 commands from *154
    SlotRow{40, &StoreHandler040, &ShowHandler040},   // 2 commands from *9234
    SlotRow{41, &StoreHandler041, &ShowHandler041},   // *731
    SlotRow{42, &StoreHandler042, &ShowHandler042},   // *362
    SlotRow{43, &StoreHandler043, &ShowHandler043},   // *084
    SlotRow{44, &StoreHandler044, &ShowHandler044},   // *081
    SlotRow{45, &StoreHandler045, &ShowHandler045},   // 2 commands from *503
    SlotRow{46, &StoreHandler046, &ShowHandler046},   // 2 commands from *130
    SlotRow{47, &StoreHandler047, &ShowHandler047},   // *126
    SlotRow{48, &StoreHandler048, &ShowHandler048},   // no command
    SlotRow{49, &StoreHandler049, &ShowHandler049},   // no command
    SlotRow{50, &StoreHandler050, &ShowHandler050},   // *9320
    SlotRow{51, &AcceptEntry, &AcceptEntry},          // no command
    SlotRow{52, &StoreHandler052, &ShowHandler052},   // no command
    SlotRow{53, &StoreHandler053, &ShowHandler053},   // 3 commands from *103
    SlotRow{54, &StoreHandler054, &ShowHandler054},   // *9314
    SlotRow{55, &StoreHandler055, &ShowHandler055},   // 2 commands from *098
    SlotRow{56, &StoreHandler056, &ShowHandler056},   // *850
    SlotRow{57, &StoreHandler057, &ShowHandler057},   // *9321
    SlotRow{58, &StoreHandler058, &ShowHandler058},   // *361
    SlotRow{59, &StoreHandler059, &ShowHandler059},   // no command
    SlotRow{60, &RejectEntry, &RejectEntry},          // 330 commands from *005
    SlotRow{61, &StoreHandler061, &AcceptEntry},      // *007
    SlotRow{62, &RejectEntry, &RejectEntry},          // no command
    SlotRow{63, &StoreHandler063, &ShowHandler063},   // *9337
    SlotRow{64, &StoreHandler064, &ShowHandler064},   // 2 commands from *000
    SlotRow{65, &StoreHandler065, &ShowHandler065},   // 3 commands from *163
    SlotRow{66, &StoreHandler066, &ShowHandler066},   // *9278
    SlotRow{67, &AcceptEntry, &ShowHandler067},       // *012
    SlotRow{68, &StoreHandler068, &ShowHandler068},   // 33 commands from *111
    SlotRow{69, &StoreHandler069, &ShowHandler069},   // no command
    SlotRow{70, &StoreHandler070, &ShowHandler070},   // *140
    SlotRow{71, &StoreHandler071, &ShowHandler071},   // *351
    SlotRow{72, &StoreHandler072, &ShowHandler072},   // *113
    SlotRow{73, &StoreHandler073, &ShowHandler073},   // *009
    SlotRow{74, &StoreHandler074, &ShowHandler074},   // 3 commands from *325
    SlotRow{75, &StoreHandler075, &ShowHandler075},   // *642
    SlotRow{76, &StoreHandler076, &ShowHandler076},   // 5 commands from *520
    SlotRow{77, &StoreHandler077, &ShowHandler077},   // *366
    SlotRow{78, &StoreHandler078, &ShowHandler078},   // *707
    SlotRow{79, &StoreHandler079, &ShowHandler079},   // *180
    SlotRow{80, &StoreHandler080, &ShowHandler080},   // no command
    SlotRow{81, &StoreHandler081, &ShowHandler081},   // no command
    SlotRow{82, &StoreHandler082, &ShowHandler082},   // no command
    SlotRow{83, &StoreHandler083, &ShowHandler083},   // 11 commands from *013
    SlotRow{84, &StoreHandler084, &AcceptEntry},      // no command
    SlotRow{85, &StoreHandler085, &ShowHandler085},   // no command
    SlotRow{86, &StoreHandler086, &ShowHandler086},   // 2 commands from *040
    SlotRow{87, &StoreHandler087, &ShowHandler087},   // no command
    SlotRow{88, &StoreHandler088, &ShowHandler088},   // no command
    SlotRow{89, &StoreHandler089, &ShowHandler089},   // *300
    SlotRow{90, &StoreHandler090, &ShowHandler090},   // 2 commands from *110
    SlotRow{91, &StoreHandler091, &ShowHandler091},   // *112
    SlotRow{92, &StoreHandler092, &ShowHandler092},   // 2 commands from *641
    SlotRow{93, &RejectEntry, &RejectEntry},          // no command
    SlotRow{94, &StoreHandler094, &ShowHandler094},   // *082
    SlotRow{95, &StoreHandler095, &ShowHandler095},   // 2 commands from *323
    SlotRow{96, &AcceptEntry, &ShowHandler096},       // *011
    SlotRow{97, &StoreHandler097, &ShowHandler097},   // *016
    SlotRow{98, &AcceptEntry, &ShowHandler098},       // *018
    SlotRow{99, &StoreHandler099, &ShowHandler099},   // *017
    SlotRow{100, &AcceptEntry, &ShowHandler100},      // 3 commands from *003
    SlotRow{101, &StoreHandler101, &ShowHandler101},  // no command
    SlotRow{102, &StoreHandler102, &ShowHandler102},  // 7 commands from *035
    SlotRow{103, &StoreHandler103, &ShowHandler103},  // 2 commands from *085
    SlotRow{104, &StoreHandler104, &ShowHandler104},  // no command
    SlotRow{105, &StoreHandler105, &ShowHandler105},  // no command
    SlotRow{106, &StoreHandler106, &ShowHandler106},  // 5 commands from *047
    SlotRow{107, &AcceptEntry, &ShowHandler107},      // 2 commands from *021
    SlotRow{108, &StoreHandler108, &ShowHandler108},  // *9306
    SlotRow{109, &StoreHandler109, &ShowHandler109},  // no command
    SlotRow{110, &StoreHandler110, &ShowHandler110},  // 15 commands from *314
    SlotRow{111, &StoreHandler111, &ShowHandler111},  // no command
    SlotRow{112, &StoreHandler112, &ShowHandler112},  // no command
    SlotRow{113, &StoreHandler113, &ShowHandler113},  // no command
    SlotRow{114, &StoreHandler114, &ShowHandler114},  // 5 commands from *050
    SlotRow{115, &AcceptEntry, &AcceptEntry},         // no command
    SlotRow{116, &StoreHandler116, &ShowHandler116},  // *9202
    SlotRow{117, &StoreHandler117, &ShowHandler117},  // 4 commands from *9203
    SlotRow{118, &RejectEntry, &RejectEntry},         // no command
    SlotRow{119, &StoreHandler119, &ShowHandler119},  // *144
    SlotRow{120, &StoreHandler120, &ShowHandler120},  // *301
    SlotRow{121, &StoreHandler121, &ShowHandler121},  // 3 commands from *088
    SlotRow{122, &AcceptEntry, &AcceptEntry},         // no command
    SlotRow{123, &StoreHandler123, &ShowHandler123},  // 3 commands from *302
    SlotRow{124, &StoreHandler124, &ShowHandler124},  // *087
    SlotRow{125, &StoreHandler125, &ShowHandler125},  // no command
    SlotRow{126, &AcceptEntry, &AcceptEntry},         // no command
    SlotRow{127, &StoreHandler127, &ShowHandler127},  // *679
    SlotRow{128, &StoreHandler128, &ShowHandler128},  // no command
    SlotRow{129, &StoreHandler129, &ShowHandler129},  // 4 commands from *370
    SlotRow{130, &AcceptEntry, &AcceptEntry},         // no command
    SlotRow{131, &StoreHandler131, &ShowHandler131},  // no command
    SlotRow{132, &StoreHandler132, &ShowHandler132},  // 2 commands from *9315
    SlotRow{133, &StoreHandler133, &ShowHandler133},  // *9316
    SlotRow{134, &StoreHandler134, &ShowHandler134},  // no command
    SlotRow{135, &StoreHandler135, &ShowHandler135},  // 3 commands from *042
    SlotRow{136, &StoreHandler136, &ShowHandler136},  // *090
    SlotRow{137, &StoreHandler137, &ShowHandler137},  // 3 commands from *321
    SlotRow{138, &StoreHandler138, &ShowHandler138},  // 8 commands from *9442
    SlotRow{139, &StoreHandler139, &ShowHandler139},  // no command
    SlotRow{140, &StoreHandler140, &AcceptEntry},     // no command
    SlotRow{141, &StoreHandler141, &ShowHandler141},  // 2 commands from *355
    SlotRow{142, &StoreHandler142, &ShowHandler142},  // *356
    SlotRow{143, &StoreHandler143, &ShowHandler143},  // 2 commands from *365
    SlotRow{144, &StoreHandler144, &ShowHandler144},  // no command
    SlotRow{145, &StoreHandler145, &ShowHandler145},  // *334
    SlotRow{146, &StoreHandler146, &ShowHandler146},  // no command
    SlotRow{147, &StoreHandler147, &ShowHandler147},  // no command
    SlotRow{148, &StoreHandler148, &ShowHandler148},  // *9301
    SlotRow{149, &StoreHandler149, &ShowHandler149},  // 8 commands from *183
    SlotRow{150, &StoreHandler150, &ShowHandler150},  // no command
    SlotRow{151, &StoreHandler151, &ShowHandler151},  // no command
    SlotRow{152, &StoreHandler152, &ShowHandler152},  // 2 commands from *331
    SlotRow{153, &StoreHandler153, &ShowHandler153},  // 4 commands from *033
    SlotRow{154, &StoreHandler154, &ShowHandler154},  // 3 commands from *9230
    SlotRow{155, &StoreHandler155, &ShowHandler155},  // no command
    SlotRow{156, &RejectEntry, &RejectEntry},         // no command
    SlotRow{157, &RejectEntry, &RejectEntry},         // no command
    SlotRow{158, &RejectEntry, &RejectEntry},         // no command
    SlotRow{159, &StoreHandler159, &ShowHandler159},  // no command
    SlotRow{160, &StoreHandler160, &ShowHandler160},  // *030
    SlotRow{161, &StoreHandler161, &ShowHandler161},  // *711
    SlotRow{162, &StoreHandler162, &ShowHandler162},  // 4 commands from *390
    SlotRow{163, &StoreHandler163, &ShowHandler163},  // 11 commands from *382
    SlotRow{164, &StoreHandler164, &ShowHandler164},  // 3 commands from *395
    SlotRow{165, &StoreHandler165, &ShowHandler165},  // 5 commands from *340
    SlotRow{166, &StoreHandler166, &ShowHandler166},  // 9 commands from *381
    SlotRow{167, &StoreHandler167, &ShowHandler167},  // *364
    SlotRow{168, &StoreHandler168, &ShowHandler168},  // *9290
    SlotRow{169, &AcceptEntry, &AcceptEntry},         // no command
    SlotRow{170, &StoreHandler170, &ShowHandler170},  // *9500
    SlotRow{171, &StoreHandler171, &ShowHandler171},  // *9501
    SlotRow{172, &StoreHandler172, &ShowHandler172},  // no command
    SlotRow{173, &StoreHandler173, &ShowHandler173},  // no command
    SlotRow{174, &StoreHandler174, &ShowHandler174},  // no command
    SlotRow{175, &StoreHandler175, &ShowHandler175},  // *9502
    SlotRow{176, &StoreHandler176, &ShowHandler176},  // *9521
    SlotRow{177, &StoreHandler177, &ShowHandler177},  // no command
    SlotRow{178, &StoreHandler178, &ShowHandler178},  // *9530
    SlotRow{179, &StoreHandler179, &ShowHandler179},  // *9523
    SlotRow{180, &StoreHandler180, &ShowHandler180},  // no command
    SlotRow{181, &StoreHandler181, &ShowHandler181},  // no command
    SlotRow{182, &StoreHandler182, &ShowHandler182},  // *305
    SlotRow{183, &StoreHandler183, &ShowHandler183},  // 2 commands from *310
    SlotRow{184, &StoreHandler184, &ShowHandler184},  // 2 commands from *312
    SlotRow{185, &StoreHandler185, &ShowHandler185},  // *160
    SlotRow{186, &StoreHandler186, &ShowHandler186},  // 3 commands from *161
    SlotRow{187, &StoreHandler187, &ShowHandler187},  // *349
    SlotRow{188, &StoreHandler188, &ShowHandler188},  // *616
    SlotRow{189, &StoreHandler189, &ShowHandler189},  // *601
    SlotRow{190, &StoreHandler190, &ShowHandler190},  // 2 commands from *165
    SlotRow{191, &StoreHandler191, &ShowHandler191},  // *619
    SlotRow{192, &StoreHandler192, &ShowHandler192},  // 2 commands from *681
    SlotRow{193, &StoreHandler193, &ShowHandler193},  // *029
    SlotRow{194, &StoreHandler194, &ShowHandler194},  // *026
    SlotRow{195, &StoreHandler195, &ShowHandler195},  // 9 commands from *9400
    SlotRow{196, &StoreHandler196, &ShowHandler196},  // 7 commands from *9402
    SlotRow{197, &RejectEntry, &ShowHandler197},      // *860
    SlotRow{198, &StoreHandler198, &ShowHandler198},  // 4 commands from *9430
    SlotRow{199, &StoreHandler199, &ShowHandler199},  // 2 commands from *9431
    SlotRow{200, &AcceptEntry, &AcceptEntry},         // no command
    SlotRow{201, &AcceptEntry, &AcceptEntry},         // no command
    SlotRow{202, &AcceptEntry, &AcceptEntry},         // no command
    SlotRow{203, &AcceptEntry, &AcceptEntry},         // no command
    SlotRow{204, &StoreHandler204, &ShowHandler204},  // *9141
    SlotRow{205, &StoreHandler205, &ShowHandler205},  // *9226
    SlotRow{206, &StoreHandler206, &ShowHandler206},  // *422
    SlotRow{207, &StoreHandler207, &ShowHandler207},  // *699
    SlotRow{208, &StoreHandler208, &ShowHandler208},  // 2 commands from *9210
    SlotRow{209, &StoreHandler209, &ShowHandler209},  // *824
    SlotRow{210, &StoreHandler210, &ShowHandler210},  // *9361
}};

constexpr bool RowsInSlotOrder() {
    for (std::size_t i = 0; i < kSlotRows.size(); ++i) {
        if (kSlotRows[i].slot != i) return false;
    }
    return true;
}
static_assert(RowsInSlotOrder());

CommandHandlerTable MakeBuiltInTable() {
    CommandHandlerTable table;
    for (const SlotRow& row : kSlotRows) {
        table.store[row.slot] = row.store;
        table.show[row.slot] = row.show;
    }
    return table;
}

using Half = std::array<HandlerFunction, kHandlerSlotCount> CommandHandlerTable::*;

std::uint8_t Dispatch(ProgrammingState& state, TerminalRecord& record, Half half) {
    const std::uint16_t index = LookupCommandIndex(state, record);
    state.current_command.index = index;
    state.current_command.four_digit = IsFourDigitCommand(record);
    const std::uint8_t slot = ActiveCommandTable(state).At(index).HandlerSlot();
    if (slot >= kHandlerSlotCount) return kHandlerRejected;
    const HandlerFunction handler = (ActiveHandlerTable(state).*half)[slot];
    return handler != nullptr ? handler(state, record) : kHandlerRejected;
}

}  // namespace

const CommandHandlerTable& BuiltInHandlerTable() {
    static const CommandHandlerTable table = MakeBuiltInTable();
    return table;
}

const CommandHandlerTable& ActiveHandlerTable(const ProgrammingState& state) {
    return state.keypad.handler_table != nullptr ? *state.keypad.handler_table
                                                 : BuiltInHandlerTable();
}

std::uint8_t StoreEnteredData(ProgrammingState& state, TerminalRecord& record) {
    return Dispatch(state, record, &CommandHandlerTable::store);
}

std::uint8_t ShowCurrentData(ProgrammingState& state, TerminalRecord& record) {
    return Dispatch(state, record, &CommandHandlerTable::show);
}

std::uint8_t AcceptEntry(ProgrammingState&, TerminalRecord&) {
    return kHandlerAccepted;
}

std::uint8_t RejectEntry(ProgrammingState&, TerminalRecord&) {
    return kHandlerRejected;
}

}  // namespace qzs
