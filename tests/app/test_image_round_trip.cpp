// Every road an image takes out of the program and back gives the image it took. Each seed types
// a few thousand random command strings into one image (the keys of the command sheets, values
// that some entry of the same command shows on a fresh image or random digits), stores
// speed-dial rows and user information whose names hold awkward bytes, and then takes each road
// once:
//   (a) the data-setting file, both phone books and the key sheet saved and loaded into a fresh
//       program;
//   (b) the files of a whole-data and a speed-dial download applied as the uploads apply them
//       into a fresh program, in one firmware form per seed (no version, "1.00", "5.01");
//   (c) a data-setting file loaded and saved again: the same bytes.
// The image is compared through what the files carry: every listed entry of the ten command
// groups (keys, display, value and printed form), every speed-dial list line, every key-sheet
// line and the user information. The only differences accepted are those of kExceptions.
// Beside the seeds, small images typed by hand that a replay in the files' order once lost
// take every road in every firmware form.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "app/transfer_file_services.h"
#include "net/transfer_files.h"
#include "programming/state.h"
#include "settings/command_bridge.h"
#include "settings/data_file.h"
#include "settings/data_image_startup.h"
#include "settings/key_sheet.h"
#include "settings/sheet_lines.h"
#include "settings/speed_dial.h"
#include "settings/speed_dial_lines.h"
#include "tests/settings/data_file_test_support.h"
#include "tools/keypad_console.h"

namespace qzs::app {
namespace {

namespace fs = std::filesystem;
using tools::KeypadConsole;
using tools::TransferIn;
using tools::TransferOut;

// Names as an installer may type them: ダ (83 5F, a trail byte "_"), 市 (8E 73, a trail byte
// "s"), "&", "<", half-width kana, and one byte CP932 has no character for.
constexpr std::string_view kInvalidByte = "\xA0";
constexpr std::array<std::string_view, 4> kNames = {
    "\x83\x5F\x8E\x73&<\xB1\xB2",  // ダ市&<ｱｲ
    "\xB6\xC5&\x83\x5F",           // ｶﾅ&ダ
    "A<B>\x8E\x73",                // A<B>市
    "\xB3\xB4\xB5",                // ｳｴｵ
};

// What a form cannot carry, and what comes back in its place. One row per value; nothing else
// may differ.
struct Exception {
    std::string_view road;     // the road it applies to
    std::string_view value;    // the value not carried
    std::string_view becomes;  // what comes back
    std::string_view reason;
};
constexpr Exception kExceptions[] = {
    {.road = "(b) every firmware form",
     .value = "a name byte CP932 has no character for",
     .becomes = "?",
     .reason = "the received XML is read as text: the byte is the codecs' replacement "
               "character U+FFFD, which CP932 writes as ?"},
    {.road = "(b) firmware 1.00",
     .value = "a phone-book row whose name holds the byte s (also the trail byte of many kanji)",
     .becomes = "not compared",
     .reason = "that form writes every separator as s and turns every s back into one"},
    {.road = "(b) without firmware 5.01",
     .value = "a night-switch button D,938",
     .becomes = "what the button held before",
     .reason = "those forms send it as F,999, which names no telephone"},
};

std::mt19937& Random() {
    static std::mt19937 random;
    return random;
}

int Pick(int n) {
    return std::uniform_int_distribution<int>(0, n - 1)(Random());
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// --- The image as the files carry it -------------------------------------------------------

struct Image {
    std::vector<std::string> listings;  // columns 0-127 of every command-sheet line
    std::vector<std::string> speed_dial;
    std::vector<std::string> key_sheet;
    UserInformation user;
};

std::vector<std::string> Lines(const std::vector<SheetLine>& lines, std::size_t width) {
    std::vector<std::string> out;
    for (const SheetLine& line : lines) out.emplace_back(line.data(), width);
    return out;
}

Image Capture(ProgrammingState& state) {
    ApplicationLock::Guard guard(state.lock);
    Image image;
    for (char g = '0'; g <= '9'; ++g) {
        ListCommandGroup(state, g);
        for (std::string& line : Lines(CopySheetLines(state), kSheetReplayColumn)) {
            image.listings.push_back(std::move(line));
        }
    }
    BuildSystemSpeedDialLines(state, 0);
    image.speed_dial = Lines(CopySheetLines(state), kSheetPrintedColumn);
    BuildTelephoneSpeedDialLines(state, 101, 980);
    for (std::string& line : Lines(CopySheetLines(state), kSheetPrintedColumn)) {
        image.speed_dial.push_back(std::move(line));
    }
    BuildKeySheet(state, kKeySheetKind);
    image.key_sheet = Lines(CopyKeySheetLines(state), kSheetPrintedColumn);
    image.user = state.user_information;
    return image;
}

// --- Random stores --------------------------------------------------------------------------

// A catalogue entry whose printed form takes a value, with the values its command shows on a
// fresh image (the value columns of the command's entries).
struct Entry {
    std::string printed;
    std::size_t blanks = 0;
    const std::vector<std::string>* shown = nullptr;
};

struct Catalogue {
    std::vector<std::vector<Entry>> commands;               // the entries of each command
    std::map<std::string, std::vector<std::string>> shown;  // by command number
};

std::string CommandNumber(std::string_view keys) {
    const std::size_t digits = keys.size() > 1 && keys[1] == '9' ? 4 : 3;
    return std::string(keys.substr(1, digits));
}

const Catalogue& FreshCatalogue() {
    static const Catalogue catalogue = [] {
        Catalogue c;
        ProgrammingState fresh;
        InitDataImage(fresh);
        for (char g = '0'; g <= '9'; ++g) {
            ListCommandGroup(fresh, g);
            for (const SheetLine& line : CopySheetLines(fresh)) {
                std::string value(line.data() + kSheetValueColumn, kSheetValueWidth);
                value.erase(value.find_last_not_of(' ') + 1);
                std::erase(value, ',');
                const std::string keys(line.data(), kSheetKeyWidth);
                if (!value.empty()) c.shown[CommandNumber(keys)].push_back(value);
            }
        }
        for (int g = 0; g <= 9; ++g) {
            for (const SheetCatalogueEntry& e : CommandSheetCatalogue(g)) {
                Entry entry;
                entry.printed = e.printed;
                entry.blanks = static_cast<std::size_t>(std::ranges::count(entry.printed, ' '));
                if (entry.blanks == 0) continue;
                const auto it = c.shown.find(CommandNumber(entry.printed));
                if (it != c.shown.end()) entry.shown = &it->second;
                if (c.commands.empty() ||
                    CommandNumber(c.commands.back().front().printed) != CommandNumber(e.printed)) {
                    c.commands.emplace_back();
                }
                c.commands.back().push_back(std::move(entry));
            }
        }
        return c;
    }();
    return catalogue;
}

// The printed form with its blanks filled from the front, as a data-setting file replays it.
std::string RandomCommand(const Entry& entry) {
    std::string value;
    const int how = Pick(4);
    if (entry.shown != nullptr && how < 2) {
        value =
            (*entry.shown)[static_cast<std::size_t>(Pick(static_cast<int>(entry.shown->size())))];
    } else if (how == 2) {
        // Zeros: the short forms that clear a value ("0", "00").
        value.assign(static_cast<std::size_t>(1 + Pick(static_cast<int>(entry.blanks))), '0');
    } else {
        const int digits = 1 + Pick(static_cast<int>(entry.blanks));
        for (int i = 0; i < digits; ++i) value.push_back(static_cast<char>('0' + Pick(10)));
    }
    std::string command = entry.printed;
    std::size_t v = 0;
    for (char& c : command) {
        if (c == ' ' && v < value.size()) c = value[v++];
    }
    return command;
}

SpeedDialRecord Row(const std::string& number, std::string_view kana, std::string_view kanji,
                    char group) {
    SpeedDialRecord r;
    std::ranges::copy(number, r.number.begin());
    std::ranges::copy(kana.substr(0, r.kana.size()), r.kana.begin());
    std::ranges::copy(kanji.substr(0, r.kanji.size()), r.kanji.begin());
    r.group = group;
    return r;
}

std::string RandomNumber() {
    std::string number;
    const int digits = 3 + Pick(10);
    for (int i = 0; i < digits; ++i) number.push_back(static_cast<char>('0' + Pick(10)));
    return number;
}

template <std::size_t N>
void Put(std::array<char, N>& field, std::string_view text) {
    field.fill('\0');
    std::ranges::copy(text.substr(0, N - 1), field.begin());
}

void Change(ProgrammingState& state, int commands) {
    ApplicationLock::Guard guard(state.lock);
    const Catalogue& catalogue = FreshCatalogue();
    for (int i = 0; i < commands; ++i) {
        // A command first, then one of its entries: a command of one entry is typed as often
        // as one of hundreds.
        const std::vector<Entry>& entries = catalogue.commands[static_cast<std::size_t>(
            Pick(static_cast<int>(catalogue.commands.size())))];
        const Entry& entry =
            entries[static_cast<std::size_t>(Pick(static_cast<int>(entries.size())))];
        RunCommand(state, 1, RandomCommand(entry));
    }
    // Every name field holds the awkward bytes, one row in four of them an invalid one.
    for (int i = 0; i < 12; ++i) {
        std::string kana(kNames[static_cast<std::size_t>(Pick(4))]);
        std::string kanji(kNames[static_cast<std::size_t>(Pick(4))]);
        if (i % 4 == 0) {
            kana += kInvalidByte;
            kanji += kInvalidByte;
        }
        EXPECT_EQ(
            PutSystemSpeedDial(state, Pick(600), Row(RandomNumber(), kana, kanji, '1' + Pick(8))),
            1);
        EXPECT_EQ(PutTelephoneSpeedDial(state, 101 + Pick(12), 980 + Pick(20),
                                        Row(RandomNumber(), kana, kanji, '1')),
                  1);
    }
    Put(state.user_information.user_name, kNames[0]);
    Put(state.user_information.person_in_charge,
        std::string(kNames[1]) + std::string(kInvalidByte));
    Put(state.user_information.area_code, "03");
    Put(state.user_information.telephone_number, "12345678");
    Put(state.user_information.installation_date, "2026/12/11");
    Put(state.user_information.memo, kNames[2]);
}

// --- The roads ------------------------------------------------------------------------------

// One program with its start directory of its own (the transfer writes its local files there).
struct Program {
    fs::path dir;
    KeypadConsole console{"test"};

    explicit Program(const fs::path& where) : dir(where) {
        fs::create_directories(dir);
        fs::current_path(dir);
    }
    ProgrammingState& state() { return console.state(); }
};

int SaveKind(ProgrammingState& state, int kind, const fs::path& file) {
    ApplicationLock::Guard guard(state.lock);
    state.data_file = {file.parent_path().string() + "/", file.filename().string(), 0};
    return SaveDataFile(state, kind, FixedClock(2026, 12, 11));
}

int LoadKind(ProgrammingState& state, int kind, const fs::path& file) {
    ApplicationLock::Guard guard(state.lock);
    state.data_file = {file.parent_path().string() + "/", file.filename().string(), 0};
    return LoadDataFile(state, kind);
}

constexpr int kKinds[] = {kDataSettingKind, kSystemSpeedDialKind, kTelephoneSpeedDialKind,
                          kKeySheetKind};

void ExpectSame(const std::vector<std::string>& after, const std::vector<std::string>& before,
                std::string_view what) {
    ASSERT_EQ(after.size(), before.size()) << what;
    int reported = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (after[i] != before[i] && reported++ < 10) {
            auto shown = [](std::string s) {
                std::ranges::replace(s, '\0', '~');
                return s;
            };
            ADD_FAILURE() << what << " line " << i << "\n  took: " << shown(before[i])
                          << "\n  gave: " << shown(after[i]);
        }
    }
}

void ExpectSameUser(const UserInformation& after, const UserInformation& before) {
    // The header keeps each text blank padded to its width; the dialog shows it without them.
    auto text = [](const auto& field) {
        std::string s(field.data(), std::ranges::find(field, '\0'));
        s.erase(s.find_last_not_of(' ') + 1);
        return s;
    };
    EXPECT_EQ(text(after.user_name), text(before.user_name));
    EXPECT_EQ(text(after.person_in_charge), text(before.person_in_charge));
    EXPECT_EQ(text(after.area_code), text(before.area_code));
    EXPECT_EQ(text(after.telephone_number), text(before.telephone_number));
    EXPECT_EQ(text(after.installation_date), text(before.installation_date));
    EXPECT_EQ(text(after.memo), text(before.memo));
}

// The lines image `before` should come back as on road (b) in the given form: the rows of
// kExceptions in place of what they name.
Image ExpectedAfterTransfer(const Image& before, const Image& fresh, const net::FirmwareFlags& f) {
    Image expected = before;
    for (std::string& line : expected.speed_dial) {
        std::ranges::replace(line, kInvalidByte[0], '?');
    }
    if (f.v501 == 0) {
        for (std::size_t i = 0; i < expected.key_sheet.size(); ++i) {
            if (expected.key_sheet[i].find("D,938") != std::string::npos) {
                expected.key_sheet[i] = fresh.key_sheet[i];
            }
        }
    }
    return expected;
}

// Rows of the phone books whose names hold the byte 's', left out of the 1.00 comparison.
void DropRowsWithS(Image& image, const std::vector<bool>& drop) {
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < image.speed_dial.size(); ++i) {
        if (!drop[i]) kept.push_back(image.speed_dial[i]);
    }
    image.speed_dial = std::move(kept);
}

std::vector<bool> RowsWithS(const Image& image) {
    std::vector<bool> rows;
    for (const std::string& line : image.speed_dial) {
        const std::string_view names = std::string_view(line).substr(kListKanaColumn, 48);
        rows.push_back(names.find('s') != std::string_view::npos);
    }
    return rows;
}

// A folder of its own for each test, the current directory put back after it.
class TempFolder {
  public:
    TempFolder() {
        char pattern[] = "/tmp/qzs-image-round-trip-XXXXXX";
        if (::mkdtemp(pattern) != nullptr) dir_ = pattern;
        cwd_ = fs::current_path();
    }
    ~TempFolder() {
        fs::current_path(cwd_);
        if (!dir_.empty()) fs::remove_all(dir_);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& dir() const { return dir_; }

  private:
    fs::path dir_;
    fs::path cwd_;
};

constexpr const char* kFirmware[] = {"", "1.00", "5.01"};

// Commands typed into a program, each of them taken.
void Type(Program& program, std::span<const std::string_view> commands) {
    ApplicationLock::Guard guard(program.state().lock);
    for (const std::string_view command : commands) {
        ASSERT_EQ(RunCommandForResult(program.state(), 1, command).result, CommandResult::kStored)
            << command;
    }
}

// Roads (a)-(c) for the image program a holds, the transfer in the given firmware form; the
// files go into dir. Each program that takes the image in has first typed `over`.
void ExpectEveryRoad(Program& a, const fs::path& dir, const std::string& firmware,
                     std::span<const std::string_view> over = {}) {
    const Image before = Capture(a.state());
    {
        SCOPED_TRACE("(a) saved and loaded into a fresh program");
        for (const int kind : kKinds) {
            ASSERT_EQ(SaveKind(a.state(), kind, dir / ("a-" + std::to_string(kind))), 0);
        }
        Program b(dir / "b");
        Type(b, over);
        for (const int kind : kKinds) {
            ASSERT_EQ(LoadKind(b.state(), kind, dir / ("a-" + std::to_string(kind))), 0);
        }
        const Image after = Capture(b.state());
        ExpectSame(after.listings, before.listings, "listing");
        ExpectSame(after.speed_dial, before.speed_dial, "phone book");
        ExpectSame(after.key_sheet, before.key_sheet, "key sheet");
        ExpectSameUser(after.user, before.user);
    }
    {
        std::string accepted;
        for (const Exception& e : kExceptions) {
            accepted += "\n  " + std::string(e.road) + ": " + std::string(e.value) + " -> " +
                        std::string(e.becomes);
        }
        SCOPED_TRACE("(b) transferred, firmware \"" + firmware + "\"; accepted:" + accepted);
        const net::FirmwareFlags flags = net::FirmwareFlagsOf(firmware);
        fs::current_path(a.dir);
        ASSERT_EQ(TransferOut(a.console.transfer_files(), (dir / "unit").string(), flags), "");
        Program fresh_program(dir / "fresh");
        const Image fresh = Capture(fresh_program.state());
        Program c(dir / "c");
        Type(c, over);
        ASSERT_EQ(TransferIn(c.console.transfer_files(), (dir / "unit").string(), flags), "");
        Image after = Capture(c.state());
        Image expected = ExpectedAfterTransfer(before, fresh, flags);
        if (flags.v100 == 1) {
            const std::vector<bool> drop = RowsWithS(before);
            DropRowsWithS(after, drop);
            DropRowsWithS(expected, drop);
        }
        ExpectSame(after.listings, expected.listings, "listing");
        ExpectSame(after.speed_dial, expected.speed_dial, "phone book");
        ExpectSame(after.key_sheet, expected.key_sheet, "key sheet");
    }
    {
        SCOPED_TRACE("(c) loaded and saved again");
        Program d(dir / "d");
        Type(d, over);
        ASSERT_EQ(LoadKind(d.state(), kDataSettingKind, dir / "a-0"), 0);
        ASSERT_EQ(SaveKind(d.state(), kDataSettingKind, dir / "d-0"), 0);
        const std::string first = Read(dir / "a-0");
        const std::string second = Read(dir / "d-0");
        ASSERT_EQ(first.size(), second.size());
        const auto [at, _] = std::ranges::mismatch(first, second);
        EXPECT_TRUE(first == second) << "first difference in record " << (at - first.begin()) / 192
                                     << ": " << first.substr((at - first.begin()) / 192 * 192, 128);
    }
}

class ImageRoundTrip : public ::testing::TestWithParam<int> {};

constexpr int kCommandsPerSeed = 5000;

TEST_P(ImageRoundTrip, EveryRoadGivesBackTheImageItTook) {
    const TempFolder folder;
    ASSERT_FALSE(folder.dir().empty());
    Random().seed(static_cast<std::mt19937::result_type>(GetParam()));
    Program a(folder.dir() / "a");
    Change(a.state(), kCommandsPerSeed);
    {
        // The stores must have taken: a seed that changed little would prove nothing.
        const Image before = Capture(a.state());
        ProgrammingState fresh;
        InitDataImage(fresh);
        const Image untouched = Capture(fresh);
        int changed = 0;
        for (std::size_t i = 0; i < before.listings.size(); ++i) {
            if (before.listings[i] != untouched.listings[i]) ++changed;
        }
        EXPECT_GT(changed, 250);
    }
    ExpectEveryRoad(a, folder.dir(), kFirmware[GetParam() % 3]);
}

INSTANTIATE_TEST_SUITE_P(Seeds, ImageRoundTrip, ::testing::Range(1, 21));

// Images a replay in the files' order could not type back, each typed by hand, and taken in by
// programs that typed `over` first.
struct TypedImage {
    const char* name;
    std::vector<std::string_view> commands;  // each one taken
    std::vector<std::string_view> over;
    std::string_view lost;  // what the replay in file order lost
};

const TypedImage kTypedImages[] = {
    {.name = "UnitsOfOneCodeAndValue",
     .commands = {"*950210103#", "*9500101#05#", "*9501101#1#", "*9500109#05#", "*9501109#1#",
                  "*950210904#"},
     .over = {},
     .lost = "109's code: replayed while the numbers were still the factory's 00, 109 would have "
             "had 101's pair, and the store was refused"},
    {.name = "UnitsThatSwappedCodes",
     .commands = {"*950210101#", "*9500101#01#", "*9500102#02#", "*950210201#", "*9500102#03#",
                  "*9500101#02#", "*9500102#01#"},
     .over = {"*950210101#", "*9500101#01#", "*9500102#02#", "*950210201#"},
     .lost = "both codes, over the image before the swap: each would have had the other's pair"},
    {.name = "KeyZeroCodeBeginningWithAnother",
     .commands = {"*08092#", "*0810097#"},
     .over = {},
     .lost = "key 00's 97 on road (b): received before key 14's code 9, which took it out"},
};

void PrintTo(const TypedImage& image, std::ostream* out) {
    *out << image.name;
}

// Each image in each firmware form is a test of its own, so that they run side by side.
class TypedImageRoundTrip : public ::testing::TestWithParam<std::tuple<TypedImage, const char*>> {};

TEST_P(TypedImageRoundTrip, EveryRoadGivesItBack) {
    const auto& [image, firmware] = GetParam();
    SCOPED_TRACE(image.lost);
    const TempFolder folder;
    ASSERT_FALSE(folder.dir().empty());
    Program a(folder.dir() / "a");
    Type(a, image.commands);
    ExpectEveryRoad(a, folder.dir(), firmware, image.over);
}

INSTANTIATE_TEST_SUITE_P(Typed, TypedImageRoundTrip,
                         ::testing::Combine(::testing::ValuesIn(kTypedImages),
                                            ::testing::ValuesIn(kFirmware)),
                         [](const auto& info) {
                             const std::string_view firmware = std::get<1>(info.param);
                             std::string name = std::get<0>(info.param).name;
                             name += firmware.empty()     ? "NoVersion"
                                     : firmware == "1.00" ? "V100"
                                                          : "V501";
                             return name;
                         });

}  // namespace
}  // namespace qzs::app
