// The store and show handlers of the command handler table, StoreHandlerNNN and ShowHandlerNNN
// with the slot in three digits. Each takes the whole state and the terminal's record and answers
// as handler_table.h describes. Only the handler table calls them.
#pragma once

#include <cstdint>

namespace qzs {

struct ProgrammingState;
struct TerminalRecord;

// Slot 0: generic bit flag.
std::uint8_t StoreHandler000(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler000(ProgrammingState& state, TerminalRecord& record);
// Slot 1: *332 flags of a row range.
std::uint8_t StoreHandler001(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler001(ProgrammingState& state, TerminalRecord& record);
// Slot 2: no command: four flags and a value.
std::uint8_t StoreHandler002(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler002(ProgrammingState& state, TerminalRecord& record);
// Slot 3: *001, *316, *9228 port codes.
std::uint8_t StoreHandler003(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler003(ProgrammingState& state, TerminalRecord& record);
// Slot 4: small options.
std::uint8_t StoreHandler004(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler004(ProgrammingState& state, TerminalRecord& record);
// Slot 5: *9319 two-bit fields.
std::uint8_t StoreHandler005(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler005(ProgrammingState& state, TerminalRecord& record);
// Slot 6: no command: sixteen dial digits.
std::uint8_t StoreHandler006(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler006(ProgrammingState& state, TerminalRecord& record);
// Slot 7: *9200, *9201, *9392 port code tables.
std::uint8_t StoreHandler007(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler007(ProgrammingState& state, TerminalRecord& record);
// Slot 8: small options.
std::uint8_t StoreHandler008(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler008(ProgrammingState& state, TerminalRecord& record);
// Slot 9: no command: two values per key.
std::uint8_t StoreHandler009(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler009(ProgrammingState& state, TerminalRecord& record);
// Slot 10: values 0-4 of seven commands from *025.
std::uint8_t StoreHandler010(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler010(ProgrammingState& state, TerminalRecord& record);
// Slot 11: *9223 port entry flag.
std::uint8_t StoreHandler011(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler011(ProgrammingState& state, TerminalRecord& record);
// Slot 12: *360 two flags.
std::uint8_t StoreHandler012(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler012(ProgrammingState& state, TerminalRecord& record);
// Slot 13: *101, *640 two values per unit over a unit range.
std::uint8_t StoreHandler013(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler013(ProgrammingState& state, TerminalRecord& record);
// Slot 61: *007 clear and reset confirmation; its show half is AcceptEntry.
std::uint8_t StoreHandler061(ProgrammingState& state, TerminalRecord& record);
// Slot 14: *9222 port entry slot code.
std::uint8_t StoreHandler014(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler014(ProgrammingState& state, TerminalRecord& record);
// Slot 15: *721 display text.
std::uint8_t StoreHandler015(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler015(ProgrammingState& state, TerminalRecord& record);
// Slot 16: fields of 3 or 4 bits of 20 commands from *038.
std::uint8_t StoreHandler016(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler016(ProgrammingState& state, TerminalRecord& record);
// Slot 17: one-digit nibbles of 9 commands from *027.
std::uint8_t StoreHandler017(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler017(ProgrammingState& state, TerminalRecord& record);
// Slot 18: *150-*153 one-hot tables.
std::uint8_t StoreHandler018(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler018(ProgrammingState& state, TerminalRecord& record);
// Slot 19: *080 digit counts.
std::uint8_t StoreHandler019(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler019(ProgrammingState& state, TerminalRecord& record);
// Slot 40: *9234, *9235 entries.
std::uint8_t StoreHandler040(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler040(ProgrammingState& state, TerminalRecord& record);
// Slot 41: *731 group members.
std::uint8_t StoreHandler041(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler041(ProgrammingState& state, TerminalRecord& record);
// Slot 42: *362 row values and their masks.
std::uint8_t StoreHandler042(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler042(ProgrammingState& state, TerminalRecord& record);
// Slot 43: *084 port codes.
std::uint8_t StoreHandler043(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler043(ProgrammingState& state, TerminalRecord& record);
// Slot 44: *081 unit codes.
std::uint8_t StoreHandler044(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler044(ProgrammingState& state, TerminalRecord& record);
// Slot 45: *724, *503 options.
std::uint8_t StoreHandler045(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler045(ProgrammingState& state, TerminalRecord& record);
// Slot 46: *130, *625 values.
std::uint8_t StoreHandler046(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler046(ProgrammingState& state, TerminalRecord& record);
// Slot 47: *126 system speed-dial number.
std::uint8_t StoreHandler047(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler047(ProgrammingState& state, TerminalRecord& record);
// Slot 48: no command: three dial digits.
std::uint8_t StoreHandler048(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler048(ProgrammingState& state, TerminalRecord& record);
// Slot 49: no command; its place is not known, both halves refuse.
std::uint8_t StoreHandler049(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler049(ProgrammingState& state, TerminalRecord& record);
// Slot 80: no command: a switch of two values.
std::uint8_t StoreHandler080(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler080(ProgrammingState& state, TerminalRecord& record);
// Slot 81: no command: port names.
std::uint8_t StoreHandler081(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler081(ProgrammingState& state, TerminalRecord& record);
// Slot 82: no command: a value 0-8.
std::uint8_t StoreHandler082(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler082(ProgrammingState& state, TerminalRecord& record);
// Slot 83: *013 and ten more: a flag per unit over a unit range.
std::uint8_t StoreHandler083(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler083(ProgrammingState& state, TerminalRecord& record);
// Slot 84: no command: the store answers 0 and changes nothing; its show half is AcceptEntry.
std::uint8_t StoreHandler084(ProgrammingState& state, TerminalRecord& record);
// Slot 85: no command: unit texts.
std::uint8_t StoreHandler085(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler085(ProgrammingState& state, TerminalRecord& record);
// Slot 86: *100, *040 per-unit values over a unit range.
std::uint8_t StoreHandler086(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler086(ProgrammingState& state, TerminalRecord& record);
// Slot 87: no command: per-unit run-time values.
std::uint8_t StoreHandler087(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler087(ProgrammingState& state, TerminalRecord& record);
// Slot 88: no command: a per-unit value.
std::uint8_t StoreHandler088(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler088(ProgrammingState& state, TerminalRecord& record);
// Slot 89: *300 two values per unit over a unit range.
std::uint8_t StoreHandler089(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler089(ProgrammingState& state, TerminalRecord& record);
// Slot 100: *004, *020, *003 information display (store: AcceptEntry).
std::uint8_t ShowHandler100(ProgrammingState& state, TerminalRecord& record);
// Slot 101: no command: sixteen dial digits.
std::uint8_t StoreHandler101(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler101(ProgrammingState& state, TerminalRecord& record);
// Slot 102: *142 and six more dial-number tables.
std::uint8_t StoreHandler102(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler102(ProgrammingState& state, TerminalRecord& record);
// Slot 103: *085, *698 time schedules.
std::uint8_t StoreHandler103(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler103(ProgrammingState& state, TerminalRecord& record);
// Slot 105: no command: four-digit entries.
std::uint8_t StoreHandler105(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler105(ProgrammingState& state, TerminalRecord& record);
// Slot 106: *047 and four more one-nibble options.
std::uint8_t StoreHandler106(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler106(ProgrammingState& state, TerminalRecord& record);
// Slot 107: *021, *9410 second display (store: AcceptEntry).
std::uint8_t ShowHandler107(ProgrammingState& state, TerminalRecord& record);
// Slot 108: *9306 four-digit codes.
std::uint8_t StoreHandler108(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler108(ProgrammingState& state, TerminalRecord& record);
// Slot 104: no command: group entries of blocks 67 and 72.
std::uint8_t StoreHandler104(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler104(ProgrammingState& state, TerminalRecord& record);
// Slot 120: *301 two values per line over a line range.
std::uint8_t StoreHandler120(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler120(ProgrammingState& state, TerminalRecord& record);
// Slot 121: *374, *088, *9219 nibble options.
std::uint8_t StoreHandler121(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler121(ProgrammingState& state, TerminalRecord& record);
// Slot 123: *302, *624, *9434 byte options.
std::uint8_t StoreHandler123(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler123(ProgrammingState& state, TerminalRecord& record);
// Slot 124: *087 a value.
std::uint8_t StoreHandler124(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler124(ProgrammingState& state, TerminalRecord& record);
// Slot 125: no command: four-digit codes.
std::uint8_t StoreHandler125(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler125(ProgrammingState& state, TerminalRecord& record);
// Slot 127: *679 display text.
std::uint8_t StoreHandler127(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler127(ProgrammingState& state, TerminalRecord& record);
// Slot 128: no command: twelve bits.
std::uint8_t StoreHandler128(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler128(ProgrammingState& state, TerminalRecord& record);
// Slot 129: *801, *378, *379, *370 port assignments.
std::uint8_t StoreHandler129(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler129(ProgrammingState& state, TerminalRecord& record);
// Slot 140: no command: two hexadecimal pairs checked, nothing kept (show: AcceptEntry).
std::uint8_t StoreHandler140(ProgrammingState& state, TerminalRecord& record);
// Slot 141: *355, *426 per-unit flag and value.
std::uint8_t StoreHandler141(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler141(ProgrammingState& state, TerminalRecord& record);
// Slot 142: *356 per-unit code texts.
std::uint8_t StoreHandler142(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler142(ProgrammingState& state, TerminalRecord& record);
// Slot 143: *643, *365 values over an entry range.
std::uint8_t StoreHandler143(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler143(ProgrammingState& state, TerminalRecord& record);
// Slot 144: no command: a value per entry.
std::uint8_t StoreHandler144(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler144(ProgrammingState& state, TerminalRecord& record);
// Slot 145: *334 two ports per entry.
std::uint8_t StoreHandler145(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler145(ProgrammingState& state, TerminalRecord& record);
// Slot 146: no command: four digits per port.
std::uint8_t StoreHandler146(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler146(ProgrammingState& state, TerminalRecord& record);
// Slot 147: no command: port links.
std::uint8_t StoreHandler147(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler147(ProgrammingState& state, TerminalRecord& record);
// Slot 148: *9301 value per port over a position range.
std::uint8_t StoreHandler148(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler148(ProgrammingState& state, TerminalRecord& record);
// Slot 149: eight per-port fields over a position range.
std::uint8_t StoreHandler149(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler149(ProgrammingState& state, TerminalRecord& record);
// Slot 150: no command: a value 1-12 into a pointed nibble.
std::uint8_t StoreHandler150(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler150(ProgrammingState& state, TerminalRecord& record);
// Slot 151: no command: one byte outside the blocks.
std::uint8_t StoreHandler151(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler151(ProgrammingState& state, TerminalRecord& record);
// Slot 153: *033, *036, *037, *044 model type and display options.
std::uint8_t StoreHandler153(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler153(ProgrammingState& state, TerminalRecord& record);
// Slot 154: *9230, *9244, *9273 four entries.
std::uint8_t StoreHandler154(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler154(ProgrammingState& state, TerminalRecord& record);
// Slot 155: no command: a field over an entry range.
std::uint8_t StoreHandler155(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler155(ProgrammingState& state, TerminalRecord& record);
// Slot 159: no command: a group nibble.
std::uint8_t StoreHandler159(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler159(ProgrammingState& state, TerminalRecord& record);
// Slot 160: *030 key-assignment request.
std::uint8_t StoreHandler160(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler160(ProgrammingState& state, TerminalRecord& record);
// Slot 162: group bit flags of 4 commands from *390.
std::uint8_t StoreHandler162(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler162(ProgrammingState& state, TerminalRecord& record);
// Slot 163: group fields of 11 commands from *382.
std::uint8_t StoreHandler163(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler163(ProgrammingState& state, TerminalRecord& record);
// Slot 164: group code lists of *395, *396, *687.
std::uint8_t StoreHandler164(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler164(ProgrammingState& state, TerminalRecord& record);
// Slot 165: group codes and values of 5 commands from *340.
std::uint8_t StoreHandler165(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler165(ProgrammingState& state, TerminalRecord& record);
// Slot 166: codes and values of 9 commands from *381.
std::uint8_t StoreHandler166(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler166(ProgrammingState& state, TerminalRecord& record);
// Slot 167: *364 a byte over a port range.
std::uint8_t StoreHandler167(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler167(ProgrammingState& state, TerminalRecord& record);
// Slot 168: *9290 entry flags over an entry range.
std::uint8_t StoreHandler168(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler168(ProgrammingState& state, TerminalRecord& record);
// Slot 170: *9500 unit code over a unit range.
std::uint8_t StoreHandler170(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler170(ProgrammingState& state, TerminalRecord& record);
// Slot 171: *9501 a 3-bit unit value over a unit range.
std::uint8_t StoreHandler171(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler171(ProgrammingState& state, TerminalRecord& record);
// Slot 172: no command: unit nibbles.
std::uint8_t StoreHandler172(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler172(ProgrammingState& state, TerminalRecord& record);
// Slot 173: no command: unit fields.
std::uint8_t StoreHandler173(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler173(ProgrammingState& state, TerminalRecord& record);
// Slot 174: no command: eight hexadecimal digits.
std::uint8_t StoreHandler174(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler174(ProgrammingState& state, TerminalRecord& record);
// Slot 175: *9502 unit number or not in use.
std::uint8_t StoreHandler175(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler175(ProgrammingState& state, TerminalRecord& record);
// Slot 176: *9521 network port number.
std::uint8_t StoreHandler176(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler176(ProgrammingState& state, TerminalRecord& record);
// Slot 177: no command: a network port dial code.
std::uint8_t StoreHandler177(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler177(ProgrammingState& state, TerminalRecord& record);
// Slot 178: *9530 a code over network ports.
std::uint8_t StoreHandler178(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler178(ProgrammingState& state, TerminalRecord& record);
// Slot 179: *9523 four digits over network ports.
std::uint8_t StoreHandler179(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler179(ProgrammingState& state, TerminalRecord& record);
// Slot 180: no command: a bit per port.
std::uint8_t StoreHandler180(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler180(ProgrammingState& state, TerminalRecord& record);
// Slot 181: no command: unit values and digits.
std::uint8_t StoreHandler181(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler181(ProgrammingState& state, TerminalRecord& record);
// Slot 182: *305 values per port.
std::uint8_t StoreHandler182(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler182(ProgrammingState& state, TerminalRecord& record);
// Slot 183: *310, *311 eight-digit groups per port.
std::uint8_t StoreHandler183(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler183(ProgrammingState& state, TerminalRecord& record);
// Slot 184: *312, *313 24-digit groups per port.
std::uint8_t StoreHandler184(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler184(ProgrammingState& state, TerminalRecord& record);
// Slot 185: *160 records over a range.
std::uint8_t StoreHandler185(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler185(ProgrammingState& state, TerminalRecord& record);
// Slot 186: *185, *9284, *161 per-unit numbers.
std::uint8_t StoreHandler186(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler186(ProgrammingState& state, TerminalRecord& record);
// Slot 187: *349 value.
std::uint8_t StoreHandler187(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler187(ProgrammingState& state, TerminalRecord& record);
// Slot 188: *616 type and digits.
std::uint8_t StoreHandler188(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler188(ProgrammingState& state, TerminalRecord& record);
// Slot 189: *601 type and digits.
std::uint8_t StoreHandler189(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler189(ProgrammingState& state, TerminalRecord& record);
// Slot 190: *165, *166 short numbers.
std::uint8_t StoreHandler190(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler190(ProgrammingState& state, TerminalRecord& record);
// Slot 191: *619 24-digit numbers.
std::uint8_t StoreHandler191(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler191(ProgrammingState& state, TerminalRecord& record);
// Slot 192: *681, *693 per-record fields over a range.
std::uint8_t StoreHandler192(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler192(ProgrammingState& state, TerminalRecord& record);
// Slot 193: *029 unit records.
std::uint8_t StoreHandler193(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler193(ProgrammingState& state, TerminalRecord& record);
// Slot 194: *026 unit bits over a range.
std::uint8_t StoreHandler194(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler194(ProgrammingState& state, TerminalRecord& record);
// Slot 195: IP addresses and *9419.
std::uint8_t StoreHandler195(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler195(ProgrammingState& state, TerminalRecord& record);
// Slot 196: port numbers.
std::uint8_t StoreHandler196(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler196(ProgrammingState& state, TerminalRecord& record);
// Slot 197: *860 (store: RejectEntry).
std::uint8_t ShowHandler197(ProgrammingState& state, TerminalRecord& record);
// Slot 198: IP addresses.
std::uint8_t StoreHandler198(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler198(ProgrammingState& state, TerminalRecord& record);
// Slot 199: *9431, *9432 port numbers.
std::uint8_t StoreHandler199(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler199(ProgrammingState& state, TerminalRecord& record);
// Slot 204: *9141 four digits per port.
std::uint8_t StoreHandler204(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler204(ProgrammingState& state, TerminalRecord& record);
// Slot 205: *9226 digit per entry.
std::uint8_t StoreHandler205(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler205(ProgrammingState& state, TerminalRecord& record);
// Slot 206: *422 value or number.
std::uint8_t StoreHandler206(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler206(ProgrammingState& state, TerminalRecord& record);
// Slot 207: *699 schedule entries.
std::uint8_t StoreHandler207(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler207(ProgrammingState& state, TerminalRecord& record);
// Slot 208: *9210, *9211 numbers and codes.
std::uint8_t StoreHandler208(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler208(ProgrammingState& state, TerminalRecord& record);
// Slot 209: *824 dates.
std::uint8_t StoreHandler209(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler209(ProgrammingState& state, TerminalRecord& record);
// Slot 152: *600, *331 two flags per unit over a unit range.
std::uint8_t StoreHandler152(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler152(ProgrammingState& state, TerminalRecord& record);
// Slot 210: *9361 profile flag and default profile.
std::uint8_t StoreHandler210(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler210(ProgrammingState& state, TerminalRecord& record);

// Slot 30: no command: a bit pair of block 3.
std::uint8_t StoreHandler030(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler030(ProgrammingState& state, TerminalRecord& record);
// Slot 31: *732 member mask, *9269 and *9436.
std::uint8_t StoreHandler031(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler031(ProgrammingState& state, TerminalRecord& record);
// Slot 32: *9309 dates.
std::uint8_t StoreHandler032(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler032(ProgrammingState& state, TerminalRecord& record);
// Slot 35: *727, *328, *825 port-code tables.
std::uint8_t StoreHandler035(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler035(ProgrammingState& state, TerminalRecord& record);
// Slot 36: *386, *9286, *610, *9225 nibbles and the *9504 number.
std::uint8_t StoreHandler036(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler036(ProgrammingState& state, TerminalRecord& record);
// Slot 39: *154, *155, *611 nibbles and the *407 code.
std::uint8_t StoreHandler039(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler039(ProgrammingState& state, TerminalRecord& record);
// Slot 70: *140 two values over a port range.
std::uint8_t StoreHandler070(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler070(ProgrammingState& state, TerminalRecord& record);
// Slot 71: *351 numbers with port and flag.
std::uint8_t StoreHandler071(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler071(ProgrammingState& state, TerminalRecord& record);
// Slot 72: *113 port bits over a range.
std::uint8_t StoreHandler072(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler072(ProgrammingState& state, TerminalRecord& record);
// Slot 73: *009 port counters.
std::uint8_t StoreHandler073(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler073(ProgrammingState& state, TerminalRecord& record);
// Slot 74: *325, *710, *718 port values over a range.
std::uint8_t StoreHandler074(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler074(ProgrammingState& state, TerminalRecord& record);
// Slot 75: *642 port bits over a range.
std::uint8_t StoreHandler075(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler075(ProgrammingState& state, TerminalRecord& record);
// Slot 76: *520, *701, *719, *9140, *9253 port options over a range.
std::uint8_t StoreHandler076(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler076(ProgrammingState& state, TerminalRecord& record);
// Slot 77: *366 port bits over a range.
std::uint8_t StoreHandler077(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler077(ProgrammingState& state, TerminalRecord& record);
// Slot 78: *707 linked port over a range.
std::uint8_t StoreHandler078(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler078(ProgrammingState& state, TerminalRecord& record);
// Slot 79: *180 port bits over a range.
std::uint8_t StoreHandler079(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler079(ProgrammingState& state, TerminalRecord& record);
// Slot 161: *711 linked port.
std::uint8_t StoreHandler161(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler161(ProgrammingState& state, TerminalRecord& record);

// Slot 90: *110, *117 group bits over a group range.
std::uint8_t StoreHandler090(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler090(ProgrammingState& state, TerminalRecord& record);
// Slot 91: *112 group value over a group range.
std::uint8_t StoreHandler091(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler091(ProgrammingState& state, TerminalRecord& record);
// Slot 92: *641, *651 group levels over a group range.
std::uint8_t StoreHandler092(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler092(ProgrammingState& state, TerminalRecord& record);
// Slot 94: *082 numbering plan.
std::uint8_t StoreHandler094(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler094(ProgrammingState& state, TerminalRecord& record);
// Slot 95: *333, *323 group ports over a group range.
std::uint8_t StoreHandler095(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler095(ProgrammingState& state, TerminalRecord& record);
// Slot 97: *016 line flags over a line range.
std::uint8_t StoreHandler097(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler097(ProgrammingState& state, TerminalRecord& record);
// Slot 99: *017 terminal flags.
std::uint8_t StoreHandler099(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler099(ProgrammingState& state, TerminalRecord& record);
// Slot 96: *011 unit slot contents; its store half is AcceptEntry.
std::uint8_t ShowHandler096(ProgrammingState& state, TerminalRecord& record);
// Slot 98: *018 terminal flags; its store half is AcceptEntry.
std::uint8_t ShowHandler098(ProgrammingState& state, TerminalRecord& record);
// Slot 109: no command: five flags of block 20.
std::uint8_t StoreHandler109(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler109(ProgrammingState& state, TerminalRecord& record);
// Slot 110: keyed options of 15 commands from *314, the *615 numbers, *9272 and *9307.
std::uint8_t StoreHandler110(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler110(ProgrammingState& state, TerminalRecord& record);
// Slot 111: no command: bits 0-1 of block 63.
std::uint8_t StoreHandler111(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler111(ProgrammingState& state, TerminalRecord& record);
// Slot 112: no command: block 64 and block 98 values.
std::uint8_t StoreHandler112(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler112(ProgrammingState& state, TerminalRecord& record);
// Slot 113: no command: twelve characters of block 62.
std::uint8_t StoreHandler113(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler113(ProgrammingState& state, TerminalRecord& record);
// Slot 114: *050, *051, *052, *9212, *9213.
std::uint8_t StoreHandler114(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler114(ProgrammingState& state, TerminalRecord& record);
// Slot 116: *9202.
std::uint8_t StoreHandler116(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler116(ProgrammingState& state, TerminalRecord& record);
// Slot 117: *9203, *9204, *9208, *9209.
std::uint8_t StoreHandler117(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler117(ProgrammingState& state, TerminalRecord& record);
// Slot 119: *144.
std::uint8_t StoreHandler119(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler119(ProgrammingState& state, TerminalRecord& record);
// Slot 20: no command: ten display characters per entry.
std::uint8_t StoreHandler020(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler020(ProgrammingState& state, TerminalRecord& record);
// Slot 21: *505, *507, *181, *9252 values in a nibble.
std::uint8_t StoreHandler021(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler021(ProgrammingState& state, TerminalRecord& record);
// Slot 23: *086, *034 a value or a number.
std::uint8_t StoreHandler023(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler023(ProgrammingState& state, TerminalRecord& record);
// Slot 24: *9232, *019 flag bits.
std::uint8_t StoreHandler024(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler024(ProgrammingState& state, TerminalRecord& record);
// Slot 25: no command: a two-bit value.
std::uint8_t StoreHandler025(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler025(ProgrammingState& state, TerminalRecord& record);
// Slot 26: *9231, *9236, *9238, *9239 fields of the block 80 entries.
std::uint8_t StoreHandler026(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler026(ProgrammingState& state, TerminalRecord& record);
// Slot 27: no command: a three-bit value.
std::uint8_t StoreHandler027(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler027(ProgrammingState& state, TerminalRecord& record);
// Slot 28: *9233 numbers and ports of the block 80 entries.
std::uint8_t StoreHandler028(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler028(ProgrammingState& state, TerminalRecord& record);
// Slot 29: *115, *186, *607, *9438 one-digit values.
std::uint8_t StoreHandler029(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler029(ProgrammingState& state, TerminalRecord& record);
// Slot 50: *9320 value pairs.
std::uint8_t StoreHandler050(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler050(ProgrammingState& state, TerminalRecord& record);
// Slot 52: no command: three values.
std::uint8_t StoreHandler052(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler052(ProgrammingState& state, TerminalRecord& record);
// Slot 53: *141, *103, *162 number tables.
std::uint8_t StoreHandler053(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler053(ProgrammingState& state, TerminalRecord& record);
// Slot 54: *9314 a four-digit value.
std::uint8_t StoreHandler054(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler054(ProgrammingState& state, TerminalRecord& record);
// Slot 55: *335, *098 port entries.
std::uint8_t StoreHandler055(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler055(ProgrammingState& state, TerminalRecord& record);
// Slot 56: *850 a port number.
std::uint8_t StoreHandler056(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler056(ProgrammingState& state, TerminalRecord& record);
// Slot 57: *9321 numbers with a class value.
std::uint8_t StoreHandler057(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler057(ProgrammingState& state, TerminalRecord& record);
// Slot 58: *361 pairs of numbers.
std::uint8_t StoreHandler058(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler058(ProgrammingState& state, TerminalRecord& record);
// Slot 63: *9337 a number, a flag and a value.
std::uint8_t StoreHandler063(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler063(ProgrammingState& state, TerminalRecord& record);
// Slot 64: *000, *083 four-digit codes.
std::uint8_t StoreHandler064(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler064(ProgrammingState& state, TerminalRecord& record);
// Slot 65: *9300, *164, *163 five-digit codes.
std::uint8_t StoreHandler065(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler065(ProgrammingState& state, TerminalRecord& record);
// Slot 66: *9278 the service code.
std::uint8_t StoreHandler066(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler066(ProgrammingState& state, TerminalRecord& record);
// Slot 131: no command: a value 1-180.
std::uint8_t StoreHandler131(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler131(ProgrammingState& state, TerminalRecord& record);
// Slot 132: *9317, *9315 16-bit values.
std::uint8_t StoreHandler132(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler132(ProgrammingState& state, TerminalRecord& record);
// Slot 133: *9316 number records.
std::uint8_t StoreHandler133(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler133(ProgrammingState& state, TerminalRecord& record);
// Slot 136: *090 the port code of a unit.
std::uint8_t StoreHandler136(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler136(ProgrammingState& state, TerminalRecord& record);
// Slot 138: the four-digit family from *9442, by sub-type.
std::uint8_t StoreHandler138(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler138(ProgrammingState& state, TerminalRecord& record);
// Slot 59: no command: a value per port over a position range.
std::uint8_t StoreHandler059(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler059(ProgrammingState& state, TerminalRecord& record);
// Slot 68: 33 port bit flags over a position range.
std::uint8_t StoreHandler068(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler068(ProgrammingState& state, TerminalRecord& record);
// Slot 69: no command: a value per port over a position range.
std::uint8_t StoreHandler069(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler069(ProgrammingState& state, TerminalRecord& record);
// Slot 134: no command: two flags over a unit range.
std::uint8_t StoreHandler134(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler134(ProgrammingState& state, TerminalRecord& record);
// Slot 135: *042, *043, *678 unit nibbles over a unit range.
std::uint8_t StoreHandler135(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler135(ProgrammingState& state, TerminalRecord& record);
// Slot 137: *321, *359, *9291 line flags over a line range.
std::uint8_t StoreHandler137(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler137(ProgrammingState& state, TerminalRecord& record);
// Slot 139: no command: a value over a line range.
std::uint8_t StoreHandler139(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowHandler139(ProgrammingState& state, TerminalRecord& record);
// Slot 22: *010 what a dial code is assigned to; its store half is AcceptEntry.
std::uint8_t ShowHandler022(ProgrammingState& state, TerminalRecord& record);
// Slot 34: *014, *015, *099 port queries; its store half is AcceptEntry.
std::uint8_t ShowHandler034(ProgrammingState& state, TerminalRecord& record);
// Slot 67: *012 a terminal's state by position; its store half is AcceptEntry.
std::uint8_t ShowHandler067(ProgrammingState& state, TerminalRecord& record);

}  // namespace qzs
