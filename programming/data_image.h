// The main unit's programmable data as this program holds it: 180 numbered blocks behind one
// directory, the settings that live outside the blocks, the modified flags and the table of
// single bytes that shared handlers reach by index.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "programming/ip_checks.h"
#include "programming/name_chains.h"
#include "programming/slot_queries.h"
#include "programming/table_clear.h"

namespace qzs {

inline constexpr int kBlockCount = 180;
// Every listing of the directory counted, shared blocks once per listing.
inline constexpr std::size_t kDirectoryBytes = 275052;
// The storage behind the directory: shared blocks are stored once.
inline constexpr std::size_t kImageStorageBytes = 272937;

// The directory's four areas are consecutive runs of blocks.
inline constexpr int kAreaCount = 4;
inline constexpr std::array<int, kAreaCount> kAreaFirstBlock{0, 119, 158, 178};
inline constexpr std::array<int, kAreaCount> kAreaBlockCount{119, 39, 20, 2};

inline constexpr std::array<std::uint8_t, 4> kImageSignature{0x00, 0x5A, 0xA5, 0xFF};
inline constexpr int kSignatureBlock = 0;
inline constexpr int kSignatureCopyBlock = 158;  // shares its storage with block 159

inline constexpr std::size_t kFirstPointerAreaBytes = 17;
inline constexpr std::size_t kSecondPointerAreaBytes = 16;
inline constexpr unsigned kDataBytePointerCount = 86;
inline constexpr std::size_t kUnitEntryCount = 10;
inline constexpr std::size_t kUnitEntryBytes = 8;
inline constexpr std::uint8_t kUnitNotInUse = 99;

// Single setting bytes outside the blocks, each named by a command that sets it. Handlers that
// share one of these bytes (several commands, different bits) reach it by the same name.
enum class SettingByte : std::uint8_t {
    k187,
    k189,
    k405,
    k427,
    k429,
    k673,
    k706,
    k822,
    k9307,
    k9403,
    k9411,
    k9439,
    k318,
    k9272,
    // Set to 1 by a received *003 for unit 15; *9436, *011 and *004/*003 read it.
    kCardInformation,
    // The digit character *9410 shows, and the flag and the status byte (bit 4) that *021
    // shows; only the items the main unit sends set them.
    k9410,
    k021Flag,
    k021Status,
    // *351: the number of digits its numbers have, in the low nibble.
    k351Digits,
    k407,        // *407: one two-character code
    k017,        // *017 and *018: the own terminal's flags (key 0)
    k082Code21,  // *082 key 821: a two-digit code
    // *025: bits 0-2, a value 0-4.
    k025,
    // GroupOptionCommon: group 99 of *608 (mask 0x01).
    kGroupOptionCommon,
    // *034 key 1: a value 0-8 (its number is number_034).
    k034,
    // *607: a value 1-2 in bits 4-6. *9438: a value 1-6 in bits 0-2.
    k607,
    k9438,
    // ChangeNoticeFlags: bit 0 is set when *9300 stores its code.
    kChangeNoticeFlags,
    // A value 1-180 that only a handler no command reaches writes.
    kUnreachedValue131,
    // DisplayOptionByte: *036 in the low nibble, *037 in the high nibble (values 0-5).
    kDisplayOption,
    // The byte of slot 151, which no command reaches.
    kSlot151,
    // One-nibble options: *9214 (low nibble) and *9215 (high nibble) share a byte; *350 holds its
    // value in the low nibble and *9440 in the high nibble of its own byte. *9219 bits 4-6;
    // *9434 the whole byte.
    k9214,
    k350,
    k9440,
    k9219,
    k9434,
    kCount
};

// The *699 table: records 0-7 of 224 bytes (record a for a 1-7; record 0 no command names), each
// 7 groups of 32 bytes, each 4 entries of 8 bytes.
inline constexpr std::size_t kTable699Records = 8;
inline constexpr std::size_t kTable699Groups = 7;
inline constexpr std::size_t kTable699Entries = 4;
inline constexpr std::size_t kTable699EntryBytes = 8;
inline constexpr std::size_t kTable699GroupBytes = kTable699Entries * kTable699EntryBytes;
inline constexpr std::size_t kTable699RecordBytes = kTable699Groups * kTable699GroupBytes;

// GroupOptionRecords: records 0-7 of 262 bytes, record a for group a (1-7); record 0 no command
// names. *381, *383, *395, *396, *401, *402, *605, *608, *385, *687, *404 and *389.
inline constexpr std::size_t kGroupOptionRecordCount = 8;
inline constexpr std::size_t kGroupOptionRecordBytes = 262;
// GroupOptionBytes: byte a holds the *603 code of group a, byte 8 + a the *604 value.
inline constexpr std::size_t kGroupOptionByteCount = 16;

// IpPortRecords: record f - 1 for network port 64 + f (f 1-64). Bytes 0-3: a 32-bit number
// (little-endian), bytes 4-6: a five-digit dial code, bytes 11-12: four dial digits, byte 13
// bit 7: number set, byte 15: a two-character code.
inline constexpr std::size_t kIpPortRecordCount = 64;
inline constexpr std::size_t kIpPortRecordBytes = 16;

// *038 work area: cleared by *038 when its nibble is 0 and 0 is stored again.
struct WorkArea038 {
    std::array<std::uint8_t, 17600> bytes{};
    std::array<std::uint16_t, 2> word_counters{};
    std::array<std::uint8_t, 4> byte_counters{};
};

// Size of block b in bytes; 0 for a number outside 0-179.
std::size_t BlockSize(int b);
// Area (0-3) of block b; -1 for a number outside 0-179.
int BlockArea(int b);
// Block number of (area, index); -1 when the area or the index lies outside the directory.
int AreaBlock(int area, int index);

class DataImage {
  public:
    // The storage of block b (shared blocks answer the same bytes); empty for b outside 0-179.
    std::span<std::uint8_t> Block(int b);
    std::span<const std::uint8_t> Block(int b) const;
    // One byte of block b; nullptr when b or the offset lies outside the directory.
    std::uint8_t* BlockByte(int b, std::size_t offset);
    const std::uint8_t* BlockByte(int b, std::size_t offset) const;

    // Settings outside the blocks. They belong to the image (handlers read and write them, the
    // factory defaults fill them) but no block copy carries them. Each gets its member here as
    // the code that uses it comes in.

    // Bytes reached through pointer entries 63-79 (entry 63 + k is byte k).
    std::array<std::uint8_t, kFirstPointerAreaBytes> first_pointer_area{};
    // Bytes reached through pointer entries 80-85 (bytes 2, 0, 1, 14, 15, 13 in entry order).
    std::array<std::uint8_t, kSecondPointerAreaBytes> second_pointer_area{};

    // Units 1-10, entry u at index u - 1 (*9500-*9502). Entry byte 0 bits 0-4: the unit's code;
    // byte 1 bits 0-4: its number, bits 5-7: a value 0-7. Status byte 0: kUnitNotInUse or 0.
    std::array<std::array<std::uint8_t, kUnitEntryBytes>, kUnitEntryCount> unit_entry_table{};
    std::array<std::array<std::uint8_t, kUnitEntryBytes>, kUnitEntryCount> unit_status_table{};
    IpNetworkSettings ip_settings;            // *9400-*9437 and *860
    SlotConfigTables slot_config;             // per-slot kinds and slot records
    CodeNumberChainArea code_number_chain{};  // the port codes' number chain
    PortCodeTables port_code_tables;          // two per-port code tables of 144 records

    // *009: four counter bytes per port code c (1-128), entry c - 1.
    std::array<std::array<std::uint8_t, 4>, 128> counters_009{};
    // *9504: a 32-bit number, the first byte the most significant.
    std::array<std::uint8_t, 4> number_9504{};
    // *003 code 00: the six characters it shows.
    std::array<std::uint8_t, 6> text_003{};
    std::array<std::array<std::uint8_t, kTable699RecordBytes>, kTable699Records> table_699{};
    // *080 copy: byte k - 1 mirrors block 14 byte k for keys 1-7.
    std::array<std::uint8_t, 7> copy_080{};
    WorkArea038 work_area_038{};  // *038
    // Group options of slots 162-166 outside the blocks.
    std::array<std::array<std::uint8_t, kGroupOptionRecordBytes>, kGroupOptionRecordCount>
        group_option_records{};
    std::array<std::uint8_t, kGroupOptionByteCount> group_option_bytes{};
    // *9521, *9523, *9530.
    std::array<std::array<std::uint8_t, kIpPortRecordBytes>, kIpPortRecordCount> ip_port_records{};
    std::uint32_t service_code_value = 0;  // ServiceCodeValue (*9278): 0 or 290417
    // Unit codes kept outside the blocks; only the removal of a unit code reaches them.
    std::array<std::uint8_t, 100> unit_code_bytes{};
    // Written by the factory defaults when its first byte is 0.
    std::array<std::uint8_t, 5> defaults_marker{};
    // Setting bytes that no command names; only the completion of the factory defaults fills
    // them: bytes 0-1 a pair, bytes 2-4 three option bytes.
    std::array<std::uint8_t, 5> completion_bytes{};

    // Tables of the per-port attributes, masks and dates, group ranges and numbering plan
    // (*328, *825, *351, *520, *701, *719, *9140, *9253, *615, *820, *9441, *9212, *9213, *016,
    // *017). Port code c (1-128) has entry c - 1 of the per-port tables.
    std::array<std::array<std::uint8_t, 8>, 128> port_options{};  // *520 *701 *719 *9140 *9253
    std::array<std::uint8_t, 8> table_328{};                      // port codes, entry k - 1
    std::array<std::uint8_t, 4> table_825{};                      // port codes, entry k - 1
    // *351 entry k - 1: eight dial digits, first in the high nibble; block 97 holds its port
    // code and flag.
    std::array<std::array<std::uint8_t, 4>, 12> numbers_351{};
    // *615 row r (1-7), entry e (1-20) at [r - 1][e - 1]: sixteen dial digits, first high.
    std::array<std::array<std::array<std::uint8_t, 8>, 20>, 7> numbers_615{};
    std::array<std::uint8_t, 9> table_820{};   // bits 0-2, byte k - 1
    std::array<std::uint8_t, 3> table_9441{};  // bits 0-2, byte k - 1
    std::array<std::uint8_t, 5> table_9212{};  // *9212 bits 0-2, *9213 bits 4-6, byte k - 1
    std::array<std::uint8_t, 12> lines_016{};  // flag byte of line g at g - 1
    // *017 keys 1 and 2: the terminal whose attribute byte 2 they set (0 = none).
    std::array<std::uint8_t, 2> terminals_017{};
    // UnitWorkTable: 8 bytes per port code c (1-128) at c - 1, kept after block 8 by the main
    // unit; bytes 0 and 2 hold per-port flags and small fields.
    std::array<std::array<std::uint8_t, 8>, 128> unit_work_table{};
    // Per-unit and per-entry tables of *426, *356, *160, *161, *616, *029, *422, *9210/*9211
    // and *824, laid out as the main unit keeps them.
    // *426: the value 0-7 of units 1, 3, 5, 7 at byte (k + 1) / 2 - 1.
    std::array<std::uint8_t, 4> table_426{};
    // *356 tables 1-3 (index t - 1), units r 0-3: up to 11 digit characters as text, the rest 0;
    // all 0 means none, all FF the code 99999.
    std::array<std::array<std::array<std::uint8_t, 11>, 4>, 3> tables_356{};
    // *160 records k 1-8 at k - 1, byte d - 1 (d 1-8): bit 7 a flag, bits 0-4 a value 0-16.
    std::array<std::array<std::uint8_t, 8>, 8> table_160{};
    // *161 entries k 1-32 at k - 1: byte 0 a value 1-4 (0 none), bytes 1-3 six dial digits.
    std::array<std::array<std::uint8_t, 4>, 32> table_161{};
    // *616 records a 1-7 at a - 1, 20 entries of 12 bytes each (entry b at 12(b - 1)): byte 0
    // bits 0-3 a type, byte 1 two digits (the first in the low nibble).
    std::array<std::array<std::uint8_t, 262>, 7> table_616{};
    // *029 units a 1-8 at a - 1: 50 entries of 4 bytes (FF FF FF FF when empty), byte 200 a
    // count.
    std::array<std::array<std::uint8_t, 204>, 8> table_029{};
    // *422 entries a 1-2 at a - 1: byte 0 of each four a value 0-8; and a number of up to 11 dial
    // digits per entry.
    std::array<std::array<std::uint8_t, 4>, 2> values_422{};
    std::array<std::array<std::uint8_t, 6>, 2> numbers_422{};
    // *9210 / *9211 records k 1-5 at k - 1: two numbers of 16 dial digits (bytes 0-7, 8-15) and
    // two two-digit codes (bytes 16, 17).
    std::array<std::array<std::uint8_t, 18>, 5> table_9210{};
    // *824 dates k 1-2 at k - 1: year, month, day, two decimal digits a byte.
    std::array<std::array<std::uint8_t, 3>, 2> dates_824{};
    // Number records, port flags and small settings (*086, *034, *015, *019, *361, *9525-*9528,
    // *9529, *9442):
    // *086 and *034 key 2: up to 11 dial digits, first digit in the high nibble.
    std::array<std::uint8_t, 6> number_086{};
    std::array<std::uint8_t, 6> number_034{};
    // TerminalIndexTable (*015): entry k (1-8) at k - 1, a terminal number (0 none).
    std::array<std::uint8_t, 8> terminal_index_table{};
    // TerminalEntryTable (*019): 3-byte entries 1-4 at b - 1; byte 0 a terminal number (0 none).
    std::array<std::array<std::uint8_t, 3>, 4> terminal_entry_table{};
    // NumberPairTable (*361): entry a (1-24) at a - 1; number 1 in bytes 0-5, number 2 in 6-11,
    // 11 dial digits each, first digit in the high nibble.
    std::array<std::array<std::uint8_t, 12>, 24> number_pair_table{};
    // The group table (*9525, *9526, *9528): record g at g (groups 1-3 used); bytes 0-11 twelve
    // members 0-8, byte 12 a value 0-31, byte 13 low nibble a value 0-7, byte 14 a value 1-7.
    std::array<std::array<std::uint8_t, 16>, 16> group_table{};
    // The port flag table (*9529, *9442): record k for port code 65 + k; byte 13 bit 0 and bit 2.
    std::array<std::array<std::uint8_t, 16>, 64> port_flag_table{};

    // Tables of the unit, group, number, schedule and line commands.
    // *731: rows 1-3 of four member positions (row g, byte p - 1); row 0 no command names.
    std::array<std::array<std::uint8_t, 4>, 4> members_731{};
    // *191: one flag byte per unit 1-8. *041: unit u's bit in byte (u - 1) / 2, 0x04 for an odd
    // unit and 0x40 for an even one; nothing reads it.
    std::array<std::uint8_t, 8> flags_191{};
    std::array<std::uint8_t, 4> pairs_041{};
    // Dial-number tables, entry e at index e - 1, up to 16 digits each (high nibble first).
    std::array<std::array<std::uint8_t, 8>, 3> numbers_035{};
    std::array<std::array<std::uint8_t, 8>, 16> numbers_9308{};
    std::array<std::array<std::uint8_t, 8>, 20> numbers_089{};
    std::array<std::array<std::uint8_t, 8>, 20> numbers_423{};
    // *698: group g (1-8) at 224 g, day d (0-6) at 32 d, period p (1-4) at 8 (p - 1): start
    // minute, start hour, end minute, end hour, two BCD digits each. Group 0 is never written.
    std::array<std::uint8_t, 2016> schedule_698{};
    // *370: port codes of entries 1-6 (index e - 1).
    std::array<std::uint8_t, 6> ports_370{};
    // *020: lines 1-4 (index line - 1), byte 0 the terminal whose state the line shows; bytes
    // 1-2 are not read.
    std::array<std::array<std::uint8_t, 3>, 4> lines_020{};
    // *004 and *003: information words (codes 00, 01, 02, 09, 98, 99 in that order) and texts
    // (codes 01, 90, 91) of the main unit. Nothing in this program fills them; they belong to the
    // image so that a build that learns them from the main unit has their home.
    std::array<std::uint16_t, 6> information_words{};
    std::array<std::array<std::uint8_t, 6>, 3> information_texts{};
    // Entries 1-5 of four dial digits that only a handler no command reaches writes.
    std::array<std::array<std::uint8_t, 2>, 5> codes_105{};
    // Entries 1-16 of up to four dial digits, the same kind: no command reaches them either.
    std::array<std::array<std::uint8_t, 2>, 16> codes_125{};

    std::array<std::uint8_t, static_cast<std::size_t>(SettingByte::kCount)> setting_bytes{};
    std::uint8_t& Setting(SettingByte s) { return setting_bytes[static_cast<std::size_t>(s)]; }
    std::uint8_t Setting(SettingByte s) const { return setting_bytes[static_cast<std::size_t>(s)]; }

  private:
    std::array<std::uint8_t, kImageStorageBytes> storage_{};
};

// Writes the signature into block 0 and into the shared copy of blocks 158/159.
void WriteImageSignature(DataImage& image);
// True when block 0 holds the signature.
bool HasImageSignature(const DataImage& image);

// Entry i of the data byte pointer table; nullptr for an entry outside 0-85 (shared handlers add
// a base per sub-type to a descriptor's index, so a bad pair must not reach memory).
std::uint8_t* DataBytePointer(DataImage& image, unsigned entry);
const std::uint8_t* DataBytePointer(const DataImage& image, unsigned entry);

// Byte 0: changed system data. Bytes 1-6: record numbers 1-50, 51-100, ..., 251-255.
struct ModifiedFlags {
    static constexpr std::uint8_t kSet = 0xFF;
    std::array<std::uint8_t, 7> bytes{};
};

void MarkSystemModified(ModifiedFlags& flags);
// Record number 0 names no record and is ignored.
void MarkModified(ModifiedFlags& flags, std::uint8_t record);
// Marks the groups from the group of first to the group of last; a range starting or ending at 0
// is ignored, and a reversed range marks nothing.
void MarkModifiedRange(ModifiedFlags& flags, std::uint8_t first, std::uint8_t last);

}  // namespace qzs
