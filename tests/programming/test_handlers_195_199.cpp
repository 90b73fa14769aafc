// Slots 195-199: the IP network settings typed on a started image through the command bridge:
// address entries with their octet ranges and duplicate checks, port numbers with their ranges
// and uniqueness rules, the *9419 value per position and the show of *860.
#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

#include "programming/ip_checks.h"
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

// A byte of the IP network settings, by its offset in the settings.
Place Ip(std::size_t offset) {
    return T(
        "ip_settings", [](DataImage& i, std::size_t o) { return TableByte(i.ip_settings, o); },
        offset);
}

// The bytes from the offset hold the values after the command.
std::vector<Change> IpBytes(std::size_t offset, std::initializer_list<std::uint8_t> values) {
    std::vector<Change> changes;
    for (std::uint8_t v : values) changes.push_back({Ip(offset++), 0xFF, v});
    return changes;
}

// A port number, little-endian.
std::vector<Change> IpPort(std::size_t offset, unsigned number) {
    return IpBytes(
        offset, {static_cast<std::uint8_t>(number & 0xFF), static_cast<std::uint8_t>(number >> 8)});
}

constexpr std::size_t kSettings = offsetof(IpNetworkSettings, address_settings);
constexpr std::size_t kPortTable = offsetof(IpNetworkSettings, port_address_table);
constexpr std::size_t kSlotTable = offsetof(IpNetworkSettings, slot_address_table);
constexpr std::size_t kPairTable = offsetof(IpNetworkSettings, pair_address_table);
constexpr std::size_t kTable9412 = offsetof(IpNetworkSettings, table_9412);
constexpr std::size_t kTable9419 = offsetof(IpNetworkSettings, table_9419);

// --- Addresses ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, AddressSettingsTakeTheirOctetRanges) {
    Run(Case{
        "*9400",
        {},
        {
            Shown("*94000#", "9400=0-192168001100c"),
            Shown("*94001#", "9400=1-255255255000c"),
            Stored("*94001255255254000#", "9400=1-255255254000P", IpBytes(kSettings + 6, {254})),
            Refused("*94001127255255000#"),  // a mask's first octet is 128 or more
            Refused("*94001255255255255#"),
            Stored("*94000010000000001#", "9400=0-010000000001P",
                   IpBytes(kSettings, {10, 0, 0, 1})),
            Shown("*94000#", "9400=0-010000000001c"),
            Refused("*94000192168001000#"),  // last octet 0
            Refused("*94000192168001255#"),  // last octet 255
            Refused("*94000224000000001#"),  // first octet above 223
            Refused("*94000192256001001#"),
            Refused("*94003192168001001#"),  // selector 3
            Refused("*94003#"),
        }});
}

TEST_F(HandlerCheck, AddressSettingsAreComparedWithEveryOtherHolder) {
    Run(Case{"*9400 duplicates",
             {},
             {
                 // Selector 0 and 2 never share an address; the mask is compared with nothing.
                 Refused("*94000192168001002#"),
                 Refused("*94002192168001100#"),
                 Stored("*94001192168001100#", "9400=1-192168001100P",
                        IpBytes(kSettings + 4, {192, 168, 1, 100})),
                 // The slot, pair and *9430 addresses of a fresh image.
                 Refused("*94000192168001113#"),
                 Stored("*94221010005005005#", "9422=1-010005005005P",
                        IpBytes(kPairTable, {10, 5, 5, 5})),
                 Refused("*94002010005005005#"),
                 Refused("*94000192168001003#"),
                 // A port address and the *9406 address once set.
                 Stored("*9401109010001001001#", "9401=109-010001001001P",
                        IpBytes(kPortTable + 8 * 32, {10, 1, 1, 1})),
                 Refused("*94000010001001001#"),
                 Stored("*9406010002002002#", "9406=010002002002P",
                        IpBytes(offsetof(IpNetworkSettings, address_9406), {10, 2, 2, 2})),
                 Refused("*94002010002002002#"),
                 // Its own value again is a duplicate of nothing but setting 0 itself.
                 Stored("*94000192168001100#", "9400=0-192168001100P", {}),
             }});
}

TEST_F(HandlerCheck, PortAddressesAreUniqueAmongTheFirstSixtyFourPorts) {
    Run(Case{"*9401",
             {},
             {
                 Stored("*9401109010001001001#", "9401=109-010001001001P",
                        IpBytes(kPortTable + 8 * 32, {10, 1, 1, 1})),
                 Shown("*9401109#", "9401=109-010001001001c"),
                 // A port may keep its address; another of the first 64 may not take it.
                 Stored("*9401109010001001001#", "9401=109-010001001001P", {}),
                 Refused("*9401110010001001001#"),
                 // Ports 137-148 (slot codes 65-100) are not compared with the port table...
                 Stored("*9401137010001001001#", "9401=137-010001001001P",
                        IpBytes(kPortTable + 8 * 64, {10, 1, 1, 1})),
                 Stored("*9401148010001001001#", "9401=148-010001001001P",
                        IpBytes(kPortTable + 8 * 99, {10, 1, 1, 1})),
                 // ...but with everything else.
                 Refused("*9401140192168001100#"),
                 Refused("*9401140192168001002#"),
                 Refused("*9401140192168001113#"),
                 Refused("*9401140192168001255#"),
                 Refused("*9401140192168001003#"),
                 // Only 109-112 and 137-148 have an entry.
                 Refused("*9401101010009009009#"),
                 Refused("*9401108010009009009#"),
                 Refused("*9401000010009009009#"),
                 Refused("*9401113010009009009#"),
                 Refused("*9401149010009009009#"),
                 Refused("*9401805010009009009#"),
                 Refused("*9401108#"),
                 Shown("*9401112#", "9401=112-000000000000c"),
             }});
}

TEST_F(HandlerCheck, SingleAddressesAndTables) {
    Run(Case{
        "*9405 *9406 *9412 *9414 *9420 *9422 *9430 *9433 *9435 *9437",
        {},
        {
            // Unchecked addresses may repeat any other.
            Stored("*9405192168001100#", "9405=192168001100P",
                   IpBytes(offsetof(IpNetworkSettings, address_9405), {192, 168, 1, 100})),
            Shown("*9405#", "9405=192168001100c"),
            Stored("*9414192168001002#", "9414=192168001002P",
                   IpBytes(offsetof(IpNetworkSettings, address_9414), {192, 168, 1, 2})),
            Stored("*94121192168001113#", "9412=1-192168001113P",
                   IpBytes(kTable9412, {192, 168, 1, 113})),
            Refused("*94122010000000001#"),  // only entry 1 exists
            Refused("*94122#"),
            Refused("*9405224000000001#"),
            Refused("*9406192168001100#"),
            Refused("*9406192168001113#"),
            Stored("*9437192168001002#", "9437=192168001002P", {}),
            Refused("*9437224000000001#"),
            // *9420: key 13 only; the slot entry may keep its own address.
            Stored("*942013192168001113#", "9420=13-192168001113P", {}),
            Stored("*942013010000000013#", "9420=13-010000000013P",
                   IpBytes(kSlotTable, {10, 0, 0, 13})),
            Shown("*942013#", "9420=13-010000000013c"),
            Refused("*942012010000000014#"),
            Refused("*942014#"),
            Refused("*942013192168001003#"),
            // *9422: first octet up to 239, last up to 255; the other pair entry is not
            // compared, every other holder is.
            Stored("*94221239000000255#", "9422=1-239000000255P",
                   IpBytes(kPairTable, {239, 0, 0, 255})),
            Stored("*94221192168001255#", "9422=1-192168001255P",
                   IpBytes(kPairTable, {192, 168, 1, 255})),
            Refused("*94221240000000001#"),
            Refused("*94223010000000001#"),
            Refused("*94222192168001100#"),
            Refused("*94222192168001003#"),
            Shown("*94222#", "9422=2-192168001255c"),
            // *9430 is compared with the pair table as well.
            Refused("*9430192168001255#"),
            Refused("*9430010000000013#"),
            Stored("*9430192168001004#", "9430=192168001004P",
                   IpBytes(offsetof(IpNetworkSettings, address_9430), {192, 168, 1, 4})),
            // *9433: the address, then a value 0-253.
            Stored(
                "*9433192168001009253#", "9433=192168001009,253P",
                [] {
                    auto c = IpBytes(offsetof(IpNetworkSettings, address_9433), {192, 168, 1, 9});
                    c.push_back({Ip(offsetof(IpNetworkSettings, value_9433)), 0xFF, 253});
                    return c;
                }()),
            Shown("*9433#", "9433=192168001009,253c"),
            Refused("*9433192168001010254#"),
            // *9435: keys 1-20, last octet up to 255.
            Stored("*943520010000000255#", "9435=20-010000000255P",
                   IpBytes(offsetof(IpNetworkSettings, table_9435) + 4 * 19, {10, 0, 0, 255})),
            Shown("*943520#", "9435=20-010000000255c"),
            Shown("*943501#", "9435=01-000000000000c"),
            Refused("*943521010000000001#"),
            Refused("*943500010000000001#"),
            Refused("*943521#"),
        }});
}

// --- Ports -------------------------------------------------------------------------------------

TEST_F(HandlerCheck, PortNumbersTakeZeroOrTheFreeRange) {
    const std::size_t p9402 = offsetof(IpNetworkSettings, port_9402);
    const std::size_t p9409 = offsetof(IpNetworkSettings, port_9409);
    Run(Case{"*9402 *9404 *9409 *9413 *9415 *9423",
             {},
             {
                 Shown("*9402#", "9402=50000c"),
                 Refused("*940209000#"),  // the main unit's own port
                 Refused("*940208080#"),  // the port start-up reserves
                 Refused("*940201023#"),
                 Refused("*940200001#"),
                 Refused("*940265536#"),
                 Stored("*940200000#", "9402=00000P", IpPort(p9402, 0)),
                 Stored("*940201024#", "9402=01024P", IpPort(p9402, 1024)),
                 Stored("*940265535#", "9402=65535P", IpPort(p9402, 65535)),
                 Shown("*9402#", "9402=65535c"),
                 Shown("*9409#", "9409=08070c"),
                 Refused("*940900000#"),  // *9409 needs a port
                 Refused("*940901023#"),
                 Stored("*940901024#", "9409=01024P", IpPort(p9409, 1024)),
                 Stored("*940409000#", "9404=09000P",
                        IpPort(offsetof(IpNetworkSettings, port_9404), 9000)),
                 Stored("*941508080#", "9415=08080P",
                        IpPort(offsetof(IpNetworkSettings, port_9415), 8080)),
                 Refused("*941501000#"),
                 Stored("*9413101024#", "9413=1-01024P", IpPort(kTable9412 + 4, 1024)),
                 Refused("*9413201024#"),
                 Refused("*94132#"),
                 Stored("*9423250000#", "9423=2-50000P", IpPort(kPairTable + 6 + 4, 50000)),
                 Shown("*94231#", "9423=1-60000c"),
                 Refused("*9423350000#"),
             }});
}

TEST_F(HandlerCheck, PortNumbersKeptUniqueWithinTheirTable) {
    const std::size_t p9431 = offsetof(IpNetworkSettings, ports_9431);
    const std::size_t p9432 = offsetof(IpNetworkSettings, ports_9432);
    Run(Case{
        "*9421 *9431 *9432",
        {},
        {
            Shown("*9421110#", "9421=110-50110c"),
            Refused("*942110950110#"),  // held by 110
            Stored("*942110950109#", "9421=109-50109P", {}),
            Stored("*942110960000#", "9421=109-60000P", IpPort(kPortTable + 8 * 32 + 6, 60000)),
            Stored("*942111000000#", "9421=110-00000P", IpPort(kPortTable + 8 * 33 + 6, 0)),
            Stored("*942111100000#", "9421=111-00000P", IpPort(kPortTable + 8 * 34 + 6, 0)),
            // Position 000 has no entry (slot code 0); 101-108 and 137 are refused too.
            Refused("*942100001024#"),
            Refused("*9421000#"),
            Refused("*942110101024#"),
            Refused("*942113701024#"),
            // *9431: the two entries may not share a nonzero number, but may both be 0.
            Refused("*9431165500#"),
            Stored("*9431100000#", "9431=1-00000P", IpPort(p9431, 0)),
            Stored("*9431200000#", "9431=2-00000P", IpPort(p9431 + 2, 0)),
            Stored("*9431105060#", "9431=1-05060P", IpPort(p9431, 5060)),
            Refused("*9431305060#"),
            // *9432: unique among its four; the number of *9431 is no clash.
            Refused("*9432155020#"),
            Stored("*9432105060#", "9432=1-05060P", IpPort(p9432, 5060)),
            Stored("*9432455040#", "9432=4-55040P", {}),
            Shown("*94323#", "9432=3-55030c"),
            Refused("*9432555050#"),
            Refused("*94325#"),
        }});
}

// --- *9419 -------------------------------------------------------------------------------------

std::vector<Change> PositionValues(std::initializer_list<std::pair<std::size_t, std::uint8_t>> v,
                                   bool flag) {
    std::vector<Change> changes;
    for (auto [code, value] : v) changes.push_back({Ip(kTable9419 + code - 1), 0x03, value});
    if (flag) changes.push_back({Ip(offsetof(IpNetworkSettings, flag_9419)), 0x01, 0x01});
    return changes;
}

TEST_F(HandlerCheck, PositionValuesWithTwoAndThreeAtOnePositionEach) {
    Run(Case{"*9419",
             {},
             {
                 Stored("*94191091121#", "9419=109,112-1P",
                        PositionValues({{33, 1}, {34, 1}, {35, 1}, {36, 1}}, true)),
                 Shown("*9419111##", "9419=111,-1c"),
                 Refused("*94191091122#"),  // a range sets 0 or 1 only
                 Stored("*9419110#2#", "9419=110,-2P", PositionValues({{34, 2}}, false)),
                 Refused("*9419111#2#"),  // 2 already stands at 110
                 Stored("*9419110#2#", "9419=110,-2P", {}),
                 Stored("*9419111#3#", "9419=111,-3P", PositionValues({{35, 3}}, false)),
                 Refused("*9419112#3#"),
                 Stored("*9419110#0#", "9419=110,-0P", PositionValues({{34, 0}}, false)),
                 Stored("*9419112#2#", "9419=112,-2P", PositionValues({{36, 2}}, false)),
                 Shown("*9419112##", "9419=112,-2c"), Refused("*9419109#4#"),
                 Refused("*94191121091#"),  // the last below the first
                 Refused("*94191091371#"), Refused("*9419108#1#"), Refused("*9419137#1#"),
                 // 000 gives slot code 0, which has no entry: never written or shown.
                 Refused("*9419000#1#"), Refused("*94190001121#"), Refused("*9419000##"),
                 Refused("*941910911#1#"),  // a last position typed short
                 Refused("*9419109110##"),  // a show takes one position
             }});
}

// --- *860 --------------------------------------------------------------------------------------

TEST_F(HandlerCheck, ReceivedRecordsAreShownButNeverStored) {
    auto& table = state->image.ip_settings.table_860;
    table[0] = {0x2B, 0x00, 33};  // flag, code 2, digit 3 at position 109
    table[1] = {0x35, 0x00, 65};  // code 3, digit 5 at 137
    table[2] = {0x17, 0x00, 0};   // code 1 shows as 00
    Run(Case{"*860",
             {},
             {
                 Shown("*8601#", "860=1-109,1,46,3c"),
                 Shown("*8602#", "860=2-137,0,89,5c"),
                 Shown("*8603#", "860=3-000,0,00,7c"),
                 Shown("*8604#", "860=4-000,0,00,0c"),
                 Refused("*8605#"),
                 Refused("*8600#"),
                 Refused("*86011091461#"),
             }});
}

}  // namespace
}  // namespace qzs::testing
