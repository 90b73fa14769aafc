// The keypad console's line forms and its refusals, run as the program itself.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct ConsoleRun {
    int status = -1;
    std::string out;
    std::string err;
};

ConsoleRun Console(const std::string& input, const std::string& arguments = "") {
    // Tests run side by side, here and in other builds: each run has a folder of its own.
    const fs::path folder =
        fs::path(::testing::TempDir()) / ("qzs_keypad_console_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "in.txt", std::ios::binary) << input;
    const std::string command =
        std::string("'") + QZS_KEYPAD + "' " + arguments + " <'" + (folder / "in.txt").string() +
        "' >'" + (folder / "out.txt").string() + "' 2>'" + (folder / "err.txt").string() + "'";
    const int raw = std::system(command.c_str());
    ConsoleRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadFile(folder / "out.txt");
    run.err = ReadFile(folder / "err.txt");
    fs::remove_all(folder);
    return run;
}

TEST(KeypadConsole, PostAndFillLines) {
    const fs::path page = fs::path(::testing::TempDir()) /
                          ("qzs_console_page_" + std::to_string(::getpid()) + ".html");
    fs::remove(page);
    const ConsoleRun run = Console(
        "POST h002=0&h155=05\n*002#\nPOST\nPOST i14_101_905n1=E_5\nFILL 02system_01m.html " +
        page.string() + "\n");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string page_text = ReadFile(page);
    EXPECT_EQ(run.out,
              "POST=2\n002=0c\nPOST=0\nPOST=-1\nFILL=" + std::to_string(page_text.size()) + "\n");
    EXPECT_NE(page_text.find("</html>"), std::string::npos);
    EXPECT_FALSE(fs::exists(page.string() + ".tmp"));
    fs::remove(page);
}

struct Refusal {
    const char* why;
    const char* input;
    const char* arguments;
    const char* out;  // what was written before the refusal
    const char* err;  // the start of the message
};

TEST(KeypadConsole, MalformedLinesAndOptionsAreRefused) {
    const Refusal cases[] = {
        {"an address that is no address", "*002#\n@3.x\n*002#\n", "", "002=1c\n",
         "qzs-keypad: line 2: expected @B.O or @B.O&MM: @3.x"},
        {"a mask of three digits", "\n@3.21&100\n", "", "",
         "qzs-keypad: line 2: expected @B.O or @B.O&MM: @3.21&100"},
        {"a FILL without its file", "FILL 02system_01m.html\n", "", "",
         "qzs-keypad: line 1: FILL needs a page and a file"},
        {"a FILL alone", "FILL\n", "", "", "qzs-keypad: line 1: FILL needs a page and a file"},
        {"an unknown page", "FILL 99none_01m.html x.html\n", "", "",
         "qzs-keypad: line 1: FILL: no settings page 99none_01m.html"},
        {"a page name that climbs out", "FILL ../keypad.cpp x.html\n", "", "",
         "qzs-keypad: line 1: FILL: no settings page ../keypad.cpp"},
        {"a file that cannot be written", "FILL 01hosyu.html /nonexistent/dir/x.html\n", "", "",
         "qzs-keypad: line 1: FILL: cannot write /nonexistent/dir/x.html"},
        {"an unknown option", "*002#\n", "--frobnicate", "",
         "qzs-keypad: unknown option --frobnicate"},
    };
    for (const Refusal& c : cases) {
        const ConsoleRun run = Console(c.input, c.arguments);
        EXPECT_EQ(run.status, 2) << c.why;
        EXPECT_EQ(run.out, c.out) << c.why;
        EXPECT_TRUE(run.err.starts_with(c.err)) << c.why << ": " << run.err;
    }
}

// An address that does not exist is no malformed line: it answers its error and goes on.
TEST(KeypadConsole, AMissingAddressIsAnAnswer) {
    const ConsoleRun run = Console("@180.0\n@3.21&10\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "error: no block 180\n3.21&10=10\n");
}

}  // namespace
