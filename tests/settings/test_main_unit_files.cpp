// The main unit's transfer files: every file written from image A, read back as XML by libxml2
// and applied to a fresh image B through the receiving road gives the same listings, speed-dial
// rows and key sheet apart from what the files leave out by design; the exact bytes of the
// files; received documents with bad items apply their good items only.
#include <gtest/gtest.h>
#include <iconv.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "programming/key_layout.h"
#include "programming/keypad.h"
#include "programming/state.h"
#include "settings/button_assignment.h"
#include "settings/command_bridge.h"
#include "settings/data_file.h"
#include "settings/data_image_startup.h"
#include "settings/key_sheet.h"
#include "settings/main_unit_files.h"
#include "settings/sheet_lines.h"
#include "settings/speed_dial.h"
#include "settings/speed_dial_lines.h"

namespace qzs {
namespace {

namespace fs = std::filesystem;

std::unique_ptr<ProgrammingState> FreshState() {
    auto state = std::make_unique<ProgrammingState>();
    InitDataImage(*state);
    return state;
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Utf8ToCp932(const std::string& text) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    std::string in = text;
    std::string out(text.size() * 2 + 16, '\0');
    char* ip = in.data();
    char* op = out.data();
    std::size_t il = in.size();
    std::size_t ol = out.size();
    iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    out.resize(out.size() - ol);
    return out;
}

// A document parsed by libxml2 as CP932 without network, DTD or entities, as the session reads
// what comes from the main unit; the texts of the elements of a name as CP932.
class Document {
  public:
    explicit Document(const std::string& bytes)
        : doc_(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, "CP932",
                             XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING)) {}
    ~Document() {
        if (doc_ != nullptr) xmlFreeDoc(doc_);
    }
    bool ok() const { return doc_ != nullptr; }
    std::vector<std::string> Texts(const std::string& name) const {
        std::vector<std::string> texts;
        Walk(xmlDocGetRootElement(doc_), name, texts);
        return texts;
    }

  private:
    static void Walk(xmlNode* node, const std::string& name, std::vector<std::string>& texts) {
        for (; node != nullptr; node = node->next) {
            if (node->type != XML_ELEMENT_NODE) continue;
            if (name == reinterpret_cast<const char*>(node->name)) {
                xmlChar* content = xmlNodeGetContent(node);
                texts.push_back(Utf8ToCp932(reinterpret_cast<const char*>(content)));
                xmlFree(content);
            }
            Walk(node->children, name, texts);
        }
    }
    xmlDocPtr doc_;
};

struct Flags {
    const char* version;
    int v100, below4, v501;
};
constexpr Flags kFlags[] = {{"1.00", 1, 1, 0}, {"3.10", 0, 1, 0}, {"5.01", 0, 0, 1}};

SpeedDialRecord Row(std::string_view number, std::string_view kana, std::string_view kanji,
                    char group) {
    SpeedDialRecord r;
    std::copy(number.begin(), number.end(), r.number.begin());
    std::copy(kana.begin(), kana.end(), r.kana.begin());
    std::copy(kanji.begin(), kanji.end(), r.kanji.begin());
    r.group = group;
    return r;
}

// Many settings, rows and buttons on image A. The names hold no byte 's' (a double-byte
// character may end in one): the 1.00 form uses 's' for ','.
void Change(ProgrammingState& state) {
    for (const char* command :
         {"*0001234#", "*00121#", "*71010114802#", "*08042#", "*08271645#", "*93090512251#",
          "*314311#", "*94000010000000001#", "*9419110#2#", "*8241001231#", "*930110114803#",
          "*08012#", "*14105123#", "*6331011041#", "*10106#1#", "*03010105  12#"}) {
        RunCommand(state, 1, command);
    }
    EXPECT_EQ(PutSystemSpeedDial(state, 0, Row("0312345678", "\xb1\xb2", "\x8a\xbf", '2')), 1);
    EXPECT_EQ(PutSystemSpeedDial(state, 17, Row("*12#P-M", "\xb3\xb4", "\x88\x9f\x88\xa0", '3')),
              1);
    EXPECT_EQ(PutSystemSpeedDial(state, 599, Row("99", "", "", '1')), 1);
    EXPECT_EQ(PutTelephoneSpeedDial(state, 101, 980, Row("123#", "\xb3", "\x8e\x9a", '1')), 1);
    EXPECT_EQ(PutTelephoneSpeedDial(state, 112, 999, Row("7", "", "", '1')), 1);
    for (const char* text :
         {"i92_101_05-B,25", "i92_102_07-F,105", "i92_112_30-C,805", "i92_109_01-E,#",
          "i92_110_02-G,3C", "i92_111_03-1,123", "i14_101_105B_25", "i14_102_816C_805",
          "i14_112_316F_137", "i14_105_201H_893", "i14_101_2011_123", "i14_106_811D_938"}) {
        ApplyKeyAssignment(state, text, true);
    }
}

// The display of every listed command, keyed by its keys.
std::map<std::string, std::string> Listings(ProgrammingState& state) {
    std::map<std::string, std::string> out;
    for (char g = '0'; g <= '9'; ++g) {
        ListCommandGroup(state, g);
        for (const SheetLine& line : CopySheetLines(state)) {
            out[std::string(line.data(), kSheetKeyWidth)] =
                std::string(line.data() + kSheetDisplayColumn, kSheetDisplayWidth);
        }
    }
    return out;
}

std::vector<SheetLine> SpeedDial(ProgrammingState& state) {
    BuildSystemSpeedDialLines(state, 0);
    std::vector<SheetLine> lines = CopySheetLines(state);
    BuildTelephoneSpeedDialLines(state, 101, 980);
    const std::vector<SheetLine> more = CopySheetLines(state);
    lines.insert(lines.end(), more.begin(), more.end());
    return lines;
}

std::vector<std::string> KeySheet(ProgrammingState& state) {
    BuildKeySheet(state, kKeySheetKind);
    std::vector<std::string> out;
    for (const SheetLine& line : CopyKeySheetLines(state)) {
        out.emplace_back(line.data(), kSheetPrintedColumn);
    }
    return out;
}

class MainUnitFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/qzs-unitfiles-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = std::string(pattern) + "/";
        fs::create_directories(dir_ + "out");
        fs::create_directories(dir_ + "local");
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Everything a whole-data and a speed-dial download send, written as the session and the
    // menus write it: the phone books saved into the local folder and converted.
    void WriteAll(ProgrammingState& a, const Flags& f) {
        const std::string local = dir_ + "local/";
        const std::string out = dir_ + "out/";
        for (const auto& [kind, name] : {std::pair{kSystemSpeedDialKind, "sys-tan.txt"},
                                         std::pair{kTelephoneSpeedDialKind, "tel-tan.txt"}}) {
            a.data_file = {local, name, 1};
            ASSERT_EQ(SaveDataFile(a, kind), 0);
            a.data_file.transfer_csv_layout = 0;
            std::FILE* source = std::fopen((local + name).c_str(), "rb");
            std::FILE* target = std::fopen((out + name).c_str(), "wb");
            ASSERT_NE(source, nullptr);
            ASSERT_NE(target, nullptr);
            EXPECT_EQ(kind == kSystemSpeedDialKind ? MakeSysTanXml(source, target, f.v100)
                                                   : MakeTelTanXml(source, target, f.v100),
                      1);
            std::fclose(source);
            std::fclose(target);
        }
        for (int group = 0; group <= 9; ++group) {
            const int written = WriteDataSetFile(a, group, out, 0, group == 9 ? f.v501 : 0);
            EXPECT_EQ(written, group == 2 || group == 4 ? 0 : 1) << group;
        }
        ASSERT_EQ(
            MakeKeySheetFiles(a, out + "one-touch.txt", out + "nandemo.txt", f.below4, 0, f.v501),
            1);
    }

    // Every file applied to b as the uploads apply them: parsed, converted or applied, the
    // phone books loaded from the local files after.
    void ApplyAll(ProgrammingState& b, const Flags& f) {
        const std::string out = dir_ + "out/";
        const std::string local = dir_ + "local/";
        const std::pair<int, int> ranges[] = {{0, 99},    {100, 199}, {300, 499}, {500, 599},
                                              {600, 699}, {700, 799}, {800, 899}, {9140, 9534}};
        const char* names[] = {"dset-000.txt", "dset-100.txt", "dset-300.txt", "dset-500.txt",
                               "dset-600.txt", "dset-700.txt", "dset-800.txt", "dset-9000.txt"};
        for (std::size_t i = 0; i < std::size(names); ++i) {
            const Document doc(Read(out + names[i]));
            ASSERT_TRUE(doc.ok()) << names[i];
            for (int n = ranges[i].first; n <= ranges[i].second; ++n) {
                char tag[16];
                std::snprintf(tag, sizeof tag, "h%03d", n);
                // The fixed clearing "h082" goes before 081, the listing's own in 082's place.
                const std::vector<std::string> numbering = doc.Texts("h082");
                int skipped = 0;
                if (n == 81 && numbering.size() == 2) {
                    ApplyDsetElement(b, 82, numbering.front(), nullptr, f.v501, &skipped);
                }
                const std::vector<std::string> texts = doc.Texts(tag);
                const std::string text = n == 82 && !texts.empty() ? texts.back()
                                         : texts.empty()           ? std::string()
                                                                   : texts.front();
                if (!text.empty()) ApplyDsetElement(b, n, text, nullptr, f.v501, &skipped);
                // Every item the writer makes is one entry of its command.
                EXPECT_EQ(skipped, 0) << names[i] << " " << tag;
            }
        }
        const Document one_touch(Read(out + "one-touch.txt"));
        const Document nandemo(Read(out + "nandemo.txt"));
        ASSERT_TRUE(one_touch.ok() && nandemo.ok());
        ApplyOneTouchXml(b, one_touch.Texts("i92"), nullptr);
        ApplyNandemoXml(b, nandemo.Texts("i14"), nullptr, f.below4);
        for (const auto& [kind, name, tag] :
             {std::tuple{kSystemSpeedDialKind, "sys-tan.txt", "systan"},
              std::tuple{kTelephoneSpeedDialKind, "tel-tan.txt", "teltan"}}) {
            const Document doc(Read(out + name));
            ASSERT_TRUE(doc.ok()) << name;
            const std::string header = "202612100905,";  // a header record of 192 bytes
            std::FILE* file = std::fopen((local + name).c_str(), "wb");
            const std::string record = header + std::string(190 - header.size(), ' ') + "\r\n";
            std::fwrite(record.data(), 1, record.size(), file);
            if (kind == kSystemSpeedDialKind) {
                ConvertSysTanXml(doc.Texts(tag), file, f.v100);
            } else {
                ConvertTelTanXml(doc.Texts(tag), file, f.v100);
            }
            std::fclose(file);
            b.data_file = {local, name, 1};
            ASSERT_EQ(LoadDataFile(b, kind), 0) << name;
            b.data_file.transfer_csv_layout = 0;
        }
    }

    std::string dir_;
};

TEST_F(MainUnitFilesTest, RoundTripThroughEveryFile) {
    for (const Flags& f : kFlags) {
        SCOPED_TRACE(f.version);
        SetUp();
        auto a = FreshState();
        RunSetupCommandList(*a);
        Change(*a);
        WriteAll(*a, f);
        auto b = FreshState();
        ApplyAll(*b, f);

        // 003 and the *9401 keys 137-148 are never written; both show the same on a fresh
        // image. A received *000 runs the setup commands first: image A starts from them too.
        const auto listed_a = Listings(*a);
        const auto listed_b = Listings(*b);
        EXPECT_EQ(listed_b, listed_a);
        EXPECT_EQ(SpeedDial(*a), SpeedDial(*b));
        // Without the 5.01 flag a night-switch button "D,938" is sent as "F,999", which names
        // no telephone: the button keeps what it had on the fresh image.
        const auto keys_a = KeySheet(*a);
        const auto keys_b = KeySheet(*b);
        const auto keys_fresh = KeySheet(*FreshState());
        ASSERT_EQ(keys_a.size(), keys_b.size());
        for (std::size_t i = 0; i < keys_a.size(); ++i) {
            const bool night_938 = keys_a[i].find("D,938") != std::string::npos;
            EXPECT_EQ(keys_b[i], night_938 && f.v501 == 0 ? keys_fresh[i] : keys_a[i]) << i;
        }
        EXPECT_NE(KeySheet(*b), keys_fresh);
        EXPECT_NE(Listings(*b), Listings(*FreshState()));
        TearDown();
    }
}

TEST_F(MainUnitFilesTest, DsetFileBytes) {
    auto state = FreshState();
    const std::string out = dir_ + "out";
    EXPECT_EQ(WriteDataSetFile(*state, 2, out, 0, 0), 0);
    EXPECT_EQ(WriteDataSetFile(*state, 4, out, 0, 0), 0);
    EXPECT_FALSE(fs::exists(out + "/dset-200.txt"));
    EXPECT_FALSE(fs::exists(out + "/dset-400.txt"));
    ASSERT_EQ(WriteDataSetFile(*state, 0, out, 0, 0), 1);
    ASSERT_EQ(WriteDataSetFile(*state, 9, out, 0, 0), 1);
    const std::string file = Read(out + "/dset-000.txt");
    EXPECT_TRUE(file.starts_with("<root>\r\n<h000>\r\n"));
    EXPECT_TRUE(file.ends_with("</h899>\r\n</root>\r\n") || file.ends_with(">\r\n</root>\r\n"));
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (file[i] == '\n') {
            ASSERT_EQ(file[i - 1], '\r') << i;
        }
    }
    const struct {
        const char* text;
        const char* why;
    } parts[] = {
        {"<h000>\r\n0000\r\n</h000>", "an element of one line has no final ','"},
        {"<h001>\r\n1@101,\r\n2@000,\r\n</h001>", "two lines keep their ','"},
        {"<h003>\r\n</h003>", "003 is never written"},
        {"<h082>\r\n101@0,\r\n102@0,\r\n", "the fixed 082 with the digit count of 080"},
        {"821@0,\r\n999@0,\r\n</h082>\r\n<h081>\r\n99@0,\r\n", "then 081 and its 110 lines"},
    };
    for (const auto& part : parts) {
        EXPECT_NE(file.find(part.text), std::string::npos) << part.why;
    }
    EXPECT_LT(file.find("<h082>"), file.find("<h081>"));
    EXPECT_LT(file.find("<h081>"), file.rfind("<h082>"));
    EXPECT_TRUE(Document(file).ok());
    EXPECT_TRUE(Read(out + "/dset-9000.txt").starts_with("<root>\r\n<h9"));
    // A folder that cannot hold the file: nothing is written, and the failure is not taken for
    // an empty group.
    EXPECT_EQ(WriteDataSetFile(*state, 0, dir_ + "missing/folder", 0, 0), -1);
}

TEST_F(MainUnitFilesTest, DsetItemsToCommands) {
    const struct {
        int command;
        const char* item;
        int flag501;
        const char* command_string;
    } cases[] = {
        {9, "101s@000@000", 0, "*009101#000000#"},  // 's' before '@': '#' after the keys
        {1, "1@101", 0, "*0011101#"},               // keys and data joined
        {0, "1234", 0, "*0001234#"},                // no key fields: every '@' dropped
        {0, "12@34-", 0, "*0001234#"},
        {9419, "110@2", 0, "*9419110#2#"},  // without 5.01 each '@' reads as "s@"
        {9419, "110@2", 1, "*94191102#"},
        {80, "0@1", 0, "*08001#"},
    };
    for (const auto& c : cases) {
        auto state = FreshState();
        EXPECT_EQ(ApplyDsetItem(*state, c.command, c.item, c.flag501), c.command_string) << c.item;
    }
    // An element: every item run and written with its line feed; an item too long for any
    // command is neither run nor written, and counted.
    auto state = FreshState();
    std::FILE* out = std::tmpfile();
    int skipped = 0;
    const std::string element = "\r\n1@101,\r\n 2@" + std::string(200, '7') + " ,\r\n2@000,,";
    EXPECT_EQ(ApplyDsetElement(*state, 1, element, out, 0, &skipped), "*0012000#");
    EXPECT_EQ(skipped, 1);
    std::rewind(out);
    char buffer[256] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, out);
    std::fclose(out);
    EXPECT_EQ(std::string(buffer, n), "*0011101#\n*0012000#\n");
    // An element without items runs the empty value of 083, 163 and 164 and answers nothing.
    EXPECT_EQ(ApplyDsetElement(*state, 83, " ,\r\n", nullptr, 0), "");
}

TEST_F(MainUnitFilesTest, SpeedDialFileBytes) {
    const std::string header = std::string(190, ' ') + "\r\n";
    const std::string head = "head,line\r\n";
    const auto make = [&](const std::string& rows, bool telephone, int flag100) {
        std::FILE* source = std::tmpfile();
        const std::string local = header + head + rows;
        std::fwrite(local.data(), 1, local.size(), source);
        std::rewind(source);
        std::FILE* target = std::tmpfile();
        EXPECT_EQ(telephone ? MakeTelTanXml(source, target, flag100)
                            : MakeSysTanXml(source, target, flag100),
                  1);
        std::rewind(target);
        std::string text(1 << 20, '\0');
        text.resize(std::fread(text.data(), 1, text.size(), target));
        std::fclose(source);
        std::fclose(target);
        return text;
    };
    EXPECT_EQ(make("000,03,\x8a\xbf,\xb1,01\r\n001,,,,01\r\n", false, 0),
              "<root>\n\n<systan>\n\n000,03,\x8a\xbf,\xb1,01,\n\n001,,,,01,\n\n</systan>\n\n"
              "</root>\n");
    EXPECT_EQ(make("000,03,,,01\r\n", false, 1),
              "<root>\n\n<systan>\n\n000s03sss01,\n\n</systan>\n\n</root>\n");
    EXPECT_EQ(make("101,980,12,,\r\n", true, 0),
              "<root>\n\n<teltan>\n\n101_980,12,,,\n\n</teltan>\n\n</root>\n");
    EXPECT_EQ(make("101,980,12,,\r\n", true, 1),
              "<root>\n\n<teltan>\n\n101_980s12ss,\n\n</teltan>\n\n</root>\n");
    // Names: "&", "<" and ">" as numeric references; the "_" and "s" that are second bytes of
    // ダ (83 5F) and 市 (8E 73) stay as they are outside the 1.00 form.
    EXPECT_EQ(make("000,03,\x83\x5F&\x8E\x73,<\xB1>,01\r\n", false, 0),
              "<root>\n\n<systan>\n\n000,03,\x83\x5F&#38;\x8E\x73,&#60;\xB1&#62;,01,\n\n"
              "</systan>\n\n</root>\n");
    EXPECT_EQ(make("112,999,7,\x83\x5F,\xB1&\r\n", true, 0),
              "<root>\n\n<teltan>\n\n112_999,7,\x83\x5F,\xB1&#38;,\n\n</teltan>\n\n</root>\n");
    std::string rows;
    for (int r = 0; r < 600; ++r) {
        char row[32];
        std::snprintf(row, sizeof row, "%03d,,,,01\r\n", r);
        rows += row;
    }
    const std::string full = make(rows, false, 0);
    EXPECT_NE(full.find("598,,,,01,\n\n599,,,,01\n\n</systan>"), std::string::npos);

    // Received: the head line and the rows in CR LF, in both separator forms.
    const struct {
        bool telephone;
        int flag100;
        const char* element;
        const char* rows;
    } received[] = {
        {false, 0, "\n\n000,03,a,b,01,\n\n599,,,,01\n\n", "000,03,a,b,01\r\n599,,,,01\r\n"},
        {false, 1, "\n\n000s03sasbs01,\n\n", "000,03,a,b,01\r\n"},
        {true, 0, "\n\n101_980,12,,,\n\n", "101,980,12,,\r\n"},
        {true, 1, "\n\n101_980s12ss,\n\n", "101,980,12,,\r\n"},
        // Only the "_" after the telephone separates: ダ keeps its second byte.
        {true, 0, "\n\n101_980,12,\x83\x5F_,\xC0\xDE,\n\n102_999,3,,\x83\x5F\n\n",
         "101,980,12,\x83\x5F_,\xC0\xDE\r\n102,999,3,,\x83\x5F\r\n"},
        {true, 1, "\n\n101_980s12s\x83\x5Fs,\n\n", "101,980,12,\x83\x5F,\r\n"},
    };
    for (const auto& r : received) {
        std::FILE* out = std::tmpfile();
        if (r.telephone) {
            ConvertTelTanXml({r.element}, out, r.flag100);
        } else {
            ConvertSysTanXml({r.element}, out, r.flag100);
        }
        std::rewind(out);
        std::string text(4096, '\0');
        text.resize(std::fread(text.data(), 1, text.size(), out));
        std::fclose(out);
        const std::size_t crlf = text.find("\r\n");
        EXPECT_EQ(crlf + 2, r.telephone ? 46u : 50u);  // the head line with its CR LF
        EXPECT_EQ(text.substr(crlf + 2), r.rows) << r.element;
    }
}

TEST_F(MainUnitFilesTest, ButtonFileBytes) {
    auto state = FreshState();
    ApplyKeyAssignment(*state, "i92_101_05-B,25", true);
    ApplyKeyAssignment(*state, "i92_101_06-I,12", true);  // locked: a blank kind
    ApplyKeyAssignment(*state, "i14_101_105B_25", true);
    const std::string out = dir_ + "out/";
    ASSERT_EQ(MakeKeySheetFiles(*state, out + "one-touch.txt", out + "nandemo.txt", 1, 0, 0), 1);
    const std::string one_touch = Read(out + "one-touch.txt");
    const std::string nandemo = Read(out + "nandemo.txt");
    EXPECT_TRUE(one_touch.starts_with("<root>\n\n<i92>\n\n101_01@"));
    EXPECT_TRUE(one_touch.ends_with("\n\n</i92>\n\n</root>\n"));
    EXPECT_EQ(one_touch.find('\r'), std::string::npos);
    EXPECT_NE(one_touch.find("\n\n101_05@B@25@"), std::string::npos);
    // 変更不可 with a blank kind and no digits.
    EXPECT_NE(one_touch.find("\n\n101_06@Z@Z@\x95\xcf\x8dX\x95s\x89\xc2,\n\n"), std::string::npos);
    EXPECT_NE(one_touch.find("\n\n112_30@"), std::string::npos);
    EXPECT_EQ(one_touch.find("112_30@", 0) + 0, one_touch.rfind("112_30@"));
    EXPECT_EQ(one_touch.substr(one_touch.rfind("112_30@")).find(','), std::string::npos);
    // Old pages: page and button as three digits, four items a line, the last without ','.
    EXPECT_TRUE(nandemo.starts_with("<root>\n\n<i14>\n\n101_101@A_00@"));
    EXPECT_NE(nandemo.find("101_105@B_25@"), std::string::npos);
    EXPECT_EQ(nandemo.substr(nandemo.rfind("112_816@")).find(','), std::string::npos);
    EXPECT_TRUE(Document(one_touch).ok() && Document(nandemo).ok());

    // The item of one key-sheet line: '<' and '>' as the main unit writes them, the '>' ending
    // the text; the new page form; "D,938" sent as "F,999" without the 5.01 flag.
    SheetLine line;
    line.fill(' ');
    const std::string text = "i92=101#02-<\xc0\xde\xb2\xd4\xd9:1>x  c";
    std::copy(text.begin(), text.end(), line.begin() + 16);
    line[64] = 'E';
    line[65] = ',';
    line[66] = '1';
    EXPECT_EQ(FormatKeySheetItem(line, false, 1, 0),
              "101_02@E@1@&#60;\xc0\xde\xb2\xd4\xd9:1&#62;,");
    SheetLine paged;
    paged.fill(' ');
    const std::string key = "i14=112#816-";
    std::copy(key.begin(), key.end(), paged.begin() + 16);
    const std::string value = "D,938";
    std::copy(value.begin(), value.end(), paged.begin() + 64);
    EXPECT_EQ(FormatKeySheetItem(paged, true, 0, 0), "112_16_8@F_999@,");
    EXPECT_EQ(FormatKeySheetItem(paged, true, 1, 1), "112_816@D_938@");
}

// A received item is one entry of its element's command and nothing more: a '*' would start
// another command and a '#' in the data part another entry. Each is skipped whole.
TEST_F(MainUnitFilesTest, ItemsBeyondOneEntrySkipped) {
    constexpr std::uint32_t kMemory = 0x00100010;  // a byte the memory edit can write
    const struct {
        int command;
        const char* item;
        int flag501;
        const char* why;
    } cases[] = {
        {.command = 1, .item = "1@101*024001000107E", .flag501 = 0, .why = "'*': memory edit"},
        {.command = 1, .item = "*024001000107E", .flag501 = 0, .why = "a '*' first"},
        {.command = 24, .item = "001000107E", .flag501 = 0, .why = "the memory edit's own"},
        {.command = 1, .item = "1@101s2@000", .flag501 = 0, .why = "'#': a second entry"},
        {.command = 1, .item = "1s@101", .flag501 = 0, .why = "'#' after a full key field"},
        {.command = 310, .item = "101s_00@1s102s_00@1", .flag501 = 0, .why = "two 310 entries"},
        {.command = 9419, .item = "110s@2s111@3", .flag501 = 1, .why = "'#' past the keys"},
        {.command = 7, .item = "1s1", .flag501 = 0, .why = "confirmed choice: never listed"},
    };
    const auto fresh = FreshState();
    const auto listed_fresh = Listings(*fresh);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto state = FreshState();
        int skipped = 0;
        std::FILE* out = std::tmpfile();
        const std::string element = std::string("\r\n") + c.item + ",\r\n";
        EXPECT_EQ(ApplyDsetElement(*state, c.command, element, out, c.flag501, &skipped), "");
        EXPECT_EQ(skipped, 1);
        EXPECT_EQ(std::ftell(out), 0) << "nothing written to the local copy";
        std::fclose(out);
        EXPECT_EQ(ReadMaintenanceByte(*state, kMemory), ReadMaintenanceByte(*fresh, kMemory));
        EXPECT_EQ(Listings(*state), listed_fresh);
    }
    // The same keys as one entry each apply.
    auto state = FreshState();
    int skipped = 0;
    ApplyDsetElement(*state, 1, "1@101,2@000", nullptr, 0, &skipped);
    ApplyDsetElement(*state, 9419, "110s@2", nullptr, 1, &skipped);
    EXPECT_EQ(skipped, 0);
    auto expected = FreshState();
    for (const char* command : {"*0011101#", "*0012000#", "*9419110#2#"}) {
        RunCommand(*expected, 1, command);
    }
    EXPECT_EQ(Listings(*state), Listings(*expected));
    EXPECT_NE(Listings(*state), listed_fresh);
}

// Received button and dset documents with bad items: the good items apply, the bad ones
// change nothing.
TEST_F(MainUnitFilesTest, BadReceivedItemsChangeNothing) {
    const Document buttons("<root><i92>101_05@B@25@ok,1x1_06@B@25@,101_45@B@25@,101_07@B@25@" +
                           std::string(40, 'x') +
                           ",101_08@BB@25@,101_09@B@2555@,</i92><i99>101_10@B@25@</i99>"
                           "<i14>101_01_1@B_25@ok,101_01_9@B_25@,101_33_1@B_25@,"
                           "101_02_1@B_25@" +
                           std::string(40, 'x') + ",</i14></root>");
    ASSERT_TRUE(buttons.ok());
    auto state = FreshState();
    int skipped = 0;
    std::FILE* out = std::tmpfile();
    ApplyOneTouchXml(*state, buttons.Texts("i92"), out, &skipped);
    ApplyNandemoXml(*state, buttons.Texts("i14"), out, 0, &skipped);
    std::fclose(out);
    // Skipped whole: a telephone that is no number, a kind and digits too long for their columns,
    // two texts too long; the buttons and pages out of range are refused by the assignment.
    EXPECT_EQ(skipped, 5);
    auto fresh = FreshState();
    ApplyKeyAssignment(*fresh, "i92_101_05-B,25", true);
    ApplyKeyAssignment(*fresh, "i14_101_101nB_25", true);
    EXPECT_EQ(KeySheet(*state), KeySheet(*fresh));

    const Document dset("<root><h001>1@101,9@999,1@" + std::string(120, '1') +
                        ",</h001><h777>1</h777><hxyz>1</hxyz><h012>999,</h012></root>");
    ASSERT_TRUE(dset.ok());
    auto image = FreshState();
    skipped = 0;
    for (const int n : {1, 12}) {
        char tag[8];
        std::snprintf(tag, sizeof tag, "h%03d", n);
        ApplyDsetElement(*image, n, dset.Texts(tag).front(), nullptr, 0, &skipped);
    }
    EXPECT_EQ(skipped, 1);
    auto expected = FreshState();
    RunCommand(*expected, 1, "*0011101#");
    EXPECT_EQ(Listings(*image), Listings(*expected));
}

}  // namespace
}  // namespace qzs
