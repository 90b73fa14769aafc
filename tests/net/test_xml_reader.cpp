// The XML reader on the documents a main unit sends: well-formedness, elements wherever they
// stand, the first of duplicates, Shift-JIS with and without a declaration, and entities that
// must not be loaded.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "net/xml_reader.h"
#include "tests/fixtures/capture_stderr.h"

namespace qzs::net {
namespace {

TEST(XmlReader, Documents) {
    struct Row {
        const char* name;
        std::string bytes;
        int loaded;
        const char* tag;
        std::vector<std::string> texts;
    };
    const std::string sjis_te_su_to = "\x83\x65\x83\x58\x83\x67";  // テスト in CP932
    const Row rows[] = {
        {"not well-formed", "<root><a>1</root>", 0, "a", {}},
        {"empty", "", 0, "a", {}},
        {"nested element found wherever it stands",
         "<root><info><password>5817</password></info></root>",
         1,
         "password",
         {"5817"}},
        {"duplicates in document order",
         "<root><p>1</p><x><p>2</p></x></root>",
         1,
         "p",
         {"1", "2"}},
        {"text of an element is all its text", "<r><a>x<b>y</b>z</a></r>", 1, "a", {"xyz"}},
        {"no such element", "<r/>", 1, "a", {}},
        {"declared Shift_JIS is read as CP932",
         "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><r><n>" + sjis_te_su_to +
             "\x87\x40</n></r>",
         1,
         "n",
         {sjis_te_su_to + "\x87\x40"}},
        {"undeclared bytes that are not UTF-8 are CP932",
         "<r><n>" + sjis_te_su_to + "</n></r>",
         1,
         "n",
         {sjis_te_su_to}},
        {"UTF-8 comes out as CP932",
         "<r><n>\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88</n></r>",
         1,
         "n",
         {sjis_te_su_to}},
        {"a character without CP932 form becomes ?",
         "<r><n>a\xF0\x9F\x98\x80"
         "b</n></r>",
         1,
         "n",
         {"a?b"}},
        {"entity references of the document add nothing",
         "<!DOCTYPE r [<!ENTITY e \"expanded\">]><r><n>a&e;b&lt;</n></r>",
         1,
         "n",
         {"ab<"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CXmlReader reader;
        EXPECT_EQ(reader.LoadBytes(row.bytes), row.loaded);
        EXPECT_EQ(reader.SelectNode(row.tag), row.texts);
    }
}

TEST(XmlReader, ExternalEntitiesAndFilesAreNeverLoaded) {
    char dir_name[] = "/tmp/qzs-xml-XXXXXX";
    const std::filesystem::path dir = ::mkdtemp(dir_name);
    const std::filesystem::path secret = dir / "secret.txt";
    std::ofstream(secret) << "SECRET";
    const std::filesystem::path doc = dir / "doc.xml";
    std::ofstream(doc) << "<?xml version=\"1.0\"?>\n<!DOCTYPE r SYSTEM \""
                       << (dir / "x.dtd").string() << "\" [<!ENTITY s SYSTEM \"file://"
                       << secret.string() << "\">]>\n<r><n>a&s;b</n></r>\n";
    CXmlReader reader;
    EXPECT_EQ(reader.Load(doc.string()), 1);
    EXPECT_EQ(reader.FirstText("n"), "ab");
    EXPECT_EQ(reader.path(), doc.string());
    EXPECT_EQ(reader.Load((dir / "missing.xml").string()), 0);
    EXPECT_TRUE(reader.SelectNode("n").empty());
    std::filesystem::remove_all(dir);
}

// Whatever the parser has to say about a document stays in the reader: nothing reaches stderr,
// and a document that does not load says why.
TEST(XmlReader, ParserMessagesStayInTheReader) {
    const struct {
        const char* why;
        std::string bytes;
        int loaded;
    } cases[] = {
        {"bytes the declared encoding does not have",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r><n>\xFF\xFE\x80</n></r>", 0},
        {"bytes CP932 does not have",
         "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><r>\x85\x40</r>", 0},
        {"an encoding no converter knows",
         "<?xml version=\"1.0\" encoding=\"x-no-such-code\"?><r/>", 0},
        {"not well-formed", "<r><n>1</r>", 0},
        {"an undeclared entity", "<r>&undeclared;</r>", 0},
        {"an external DTD that is not loaded",
         "<!DOCTYPE r SYSTEM \"http://127.0.0.1:9/x.dtd\"><r>&e;</r>", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        CXmlReader reader;
        int loaded = -1;
        EXPECT_EQ(qzs_test::StderrOf([&] { loaded = reader.LoadBytes(c.bytes); }), "");
        EXPECT_EQ(loaded, c.loaded);
        if (c.loaded == 0) {
            EXPECT_FALSE(reader.error_message().empty());
        }
    }
}

}  // namespace
}  // namespace qzs::net
