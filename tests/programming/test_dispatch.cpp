// The handler table and the dispatch through it: every slot has both halves, the shared accept
// and reject halves stand where the slot map puts them, the current command is recorded before a
// handler runs, and commands typed key by key reach their handlers and leave their answer on the
// display line.
#include <algorithm>
#include <map>

#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

using DispatchTest = HandlerTest;

// --- The table -------------------------------------------------------------------------------

// True when a command of the built-in table has the slot.
bool Reached(std::size_t slot) {
    const auto records = BuiltInCommandTable().Records();
    return std::any_of(records.begin(), records.end(), [&](const CommandDescriptor& d) {
        return d.bytes[0] != 0xFF && d.HandlerSlot() == slot;
    });
}

TEST(HandlerTable, EverySlotHasBothHalvesAndTheSharedHalvesStandInTheirPlaces) {
    const CommandHandlerTable& table = BuiltInHandlerTable();
    // 'A'/'a': store/show half AcceptEntry; 'R'/'r': RejectEntry.
    const std::map<std::size_t, std::string> shared{
        {22, "A"},   {34, "A"},   {51, "Aa"},  {60, "Rr"},  {61, "a"},   {67, "A"},   {84, "a"},
        {96, "A"},   {98, "A"},   {100, "A"},  {107, "A"},  {115, "Aa"}, {122, "Aa"}, {126, "Aa"},
        {130, "Aa"}, {140, "a"},  {156, "Rr"}, {157, "Rr"}, {158, "Rr"}, {169, "Aa"}, {197, "R"},
        {200, "Aa"}, {201, "Aa"}, {202, "Aa"}, {203, "Aa"},
    };
    for (std::size_t slot = 0; slot < kHandlerSlotCount; ++slot) {
        SCOPED_TRACE(slot);
        ASSERT_NE(table.store[slot], nullptr);
        ASSERT_NE(table.show[slot], nullptr);
        const auto it = shared.find(slot);
        const std::string marks = it != shared.end() ? it->second : "";
        EXPECT_EQ(table.store[slot] == &AcceptEntry, marks.find('A') != std::string::npos);
        EXPECT_EQ(table.show[slot] == &AcceptEntry, marks.find('a') != std::string::npos);
        // A slot that no command reaches may refuse through RejectEntry in both halves.
        const bool unused_refused =
            !Reached(slot) && table.store[slot] == &RejectEntry && table.show[slot] == &RejectEntry;
        if (unused_refused) continue;
        EXPECT_EQ(table.store[slot] == &RejectEntry, marks.find('R') != std::string::npos);
        EXPECT_EQ(table.show[slot] == &RejectEntry, marks.find('r') != std::string::npos);
    }
}

// --- Dispatch --------------------------------------------------------------------------------

struct SeenCall {
    int calls = 0;
    CurrentCommand command;
    std::string line;
};
SeenCall seen;

std::uint8_t RecordingHandler(ProgrammingState& state, TerminalRecord& record) {
    ++seen.calls;
    seen.command = state.current_command;
    seen.line = std::string(record.line.Text().substr(0, 6));
    return 7;  // any answer goes back unchanged
}

TEST_F(DispatchTest, RecordsTheCurrentCommandBeforeTheHandlerRuns) {
    CommandHandlerTable handlers;
    handlers.store.fill(&RecordingHandler);
    handlers.show.fill(&RecordingHandler);
    state->keypad.handler_table = &handlers;
    const CommandTable& commands = BuiltInCommandTable();

    struct Case {
        const char* line;
        const char* number;
        std::uint8_t four_digit;
    };
    for (const Case& c : {Case{"002=1", "002", 0}, Case{"9313=1", "9313", 1},
                          Case{"9539=", "9539", 1}, Case{"250=", "250", 0}}) {
        SCOPED_TRACE(c.line);
        seen = {};
        EXPECT_EQ(Store(c.line), 7);
        EXPECT_EQ(seen.calls, 1);
        EXPECT_EQ(seen.command.index, commands.Lookup(c.number));
        EXPECT_EQ(seen.command.four_digit, c.four_digit);
        EXPECT_EQ(seen.line.substr(0, 4), std::string(c.line).substr(0, 4));
        seen = {};
        EXPECT_EQ(Show(c.line).result, 7);
        EXPECT_EQ(seen.calls, 1);
        EXPECT_EQ(seen.command.index, commands.Lookup(c.number));
    }
    // *250 has no group: the catch-all record, slot 60.
    EXPECT_EQ(seen.command.index, kCatchAllIndex);
}

TEST_F(DispatchTest, SlotsOutsideTheTableAnswerRejectedWithoutACall) {
    CommandHandlerTable handlers;
    handlers.store.fill(&RecordingHandler);
    handlers.show.fill(&RecordingHandler);
    state->keypad.handler_table = &handlers;
    const CommandTable table = TableOfGroupZero({
        Descriptor({3, 0x30, 0x11, 0x11, 0x44, 0, 0, 0, 3, 0xFF, 0, 0, 0}),  // no handler
        Descriptor({0, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 211, 0, 0, 0}),         // one past the table
    });
    UseTable(table);
    seen = {};
    for (const char* line : {"000=", "001=1"}) {
        EXPECT_EQ(Store(line), kHandlerRejected);
        EXPECT_EQ(Show(line).result, kHandlerRejected);
    }
    EXPECT_EQ(seen.calls, 0);
}

// --- Shared halves ---------------------------------------------------------------------------

TEST_F(DispatchTest, EveryRefusedCommandAnswersRejectedTypedOrNot) {
    const CommandTable& table = BuiltInCommandTable();
    int count = 0;
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].IsEndRecord() || i == table.CatchAllIndex()) continue;
        if (table[i].HandlerSlot() != 60) continue;
        ++count;
        const std::string number = table.NumberAt(i);
        SCOPED_TRACE(number);
        Type("*" + number + "#");
        EXPECT_EQ(LineText(), "--P");
        EXPECT_EQ(Terminal().state, kStateIdle);
        // Digits after the number are refused keys; '#' still gives "--P".
        Type("*" + number + "12#");
        EXPECT_EQ(LineText(), "--P");
        EXPECT_EQ(StoreAndDiff(number + "=", changed), kHandlerRejected);
        EXPECT_TRUE(changed.empty());
    }
    EXPECT_EQ(count, 330);
    // So do the numbers that reach the catch-all record.
    for (const char* number : {"192", "250", "9257", "9443", "9480", "9540", "9999"}) {
        Type(std::string("*") + number + "#");
        EXPECT_EQ(LineText(), "--P") << number;
    }
}

TEST_F(DispatchTest, StoreOf860IsRejectedAndChangesNothing) {
    std::vector<std::size_t> changed;
    EXPECT_EQ(StoreAndDiff("860=1-192,1,12,1", changed), kHandlerRejected);
    EXPECT_TRUE(changed.empty());
    Type("*86011921121#");
    EXPECT_EQ(LineText(), "--P");
}

TEST_F(DispatchTest, ShowOnlyCommandsAcceptAStoreAndChangeNothing) {
    // The store halves of the show-only slots are never reached from the keypad (the commands
    // have no data fields); called directly they accept and leave everything as it was.
    std::vector<std::size_t> changed;
    for (const char* line :
         {"010=1234-", "014=01-", "012=101-", "011=01-", "018=01-", "003=01-", "021=", "9410="}) {
        SCOPED_TRACE(line);
        FillImage(Image(), 0x5A);
        EXPECT_EQ(StoreAndDiff(line, changed), kHandlerAccepted);
        EXPECT_TRUE(changed.empty());
    }
    // *007 is store only: its show half accepts and appends nothing.
    const ShownText shown = Show("007=");
    EXPECT_EQ(shown.result, kHandlerAccepted);
    EXPECT_EQ(shown.text, "");
}

// --- Commands typed key by key ---------------------------------------------------------------

TEST_F(DispatchTest, TypedCommandsStoreShowAndRefuse) {
    struct Case {
        const char* keys;
        const char* line;  // after the last key, trailing blanks dropped
        std::uint8_t outcome;
    };
    const std::vector<Case> cases{
        {"*0021#", "002=1P", kOutcomeStored},    {"*002#", "002=1c", kOutcomeTaken},
        {"*0020#", "002=0P", kOutcomeStored},    {"*0022#", "--P", kOutcomeTaken},
        {"*93131#", "9313=1P", kOutcomeStored},  {"*0923#", "092=3P", kOutcomeStored},
        {"*0924#", "--P", kOutcomeTaken},        {"*332010510#", "332=01,05-1,0P", kOutcomeStored},
        {"*332015#1#", "--P", kOutcomeTaken},    {"*9200100000#", "9200=1,00-000P", kOutcomeStored},
        {"*92001#", "9200=1,", kOutcomeRefused},  // a key field needs its digits
        {"*3601#", "360=1,P", kOutcomeStored},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        Type(c.keys);
        EXPECT_EQ(LineText(), c.line);
        EXPECT_EQ(state->key_input.outcome, c.outcome);
    }
    EXPECT_EQ(At(3, 3), 0x0F);
    EXPECT_EQ(At(40, 0) & 0x0C, 0x0C);
    EXPECT_EQ(At(3, 0) & 0x80, 0x80);
}

TEST_F(DispatchTest, ARangeStoredByKeysWritesEveryRowOfIt) {
    Type("*332010510#");
    for (unsigned row = 1; row <= 24; ++row) {
        EXPECT_EQ(At(54, 12 * (row - 1) + 4), row <= 5 ? 0x80 : 0x00) << row;
        EXPECT_EQ(At(54, 12 * (row - 1) + 5), 0x00) << row;
    }
    Type("*33203##");  // the first "#" ends the empty last row, the second shows
    EXPECT_EQ(LineText(), "332=03,-1,0c");
}

TEST_F(DispatchTest, AShowThatFindsNoValueGivesMismatch) {
    At(3, 3) = 0x05;  // none of *092's four levels
    Type("*092#");
    EXPECT_EQ(LineText(), "--c");
    EXPECT_EQ(Terminal().state, kStateIdle);
}

}  // namespace
}  // namespace qzs::testing
