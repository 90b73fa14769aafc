// The transfer with the main unit against the simulated main unit on loopback: the four
// transfers end to end with every byte the PC sends checked, the faults a main unit can show,
// and the texts of the protocol.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "net/transfer_session.h"
#include "tests/fixtures/capture_stderr.h"
#include "tests/fixtures/main_unit/sim_main_unit.h"
#include "tests/net/net_test_support.h"
#include "tests/net/fake_transfer_files.h"

namespace qzs::net {
namespace {

namespace fs = std::filesystem;
using testing::FakeTransferFiles;
using testing::SimMainUnit;
using testing::UnitConfig;
using testing::UnitFault;

class TempDir {
  public:
    TempDir() {
        char name[] = "/tmp/qzs-transfer-XXXXXX";
        path_ = ::mkdtemp(name);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// One transfer: the PC's session with the double of the converters, and a simulated main unit.
struct Transfer {
    TempDir dir;
    FakeTransferFiles files;
    std::vector<std::string> shown;
    std::vector<std::intptr_t> percents;
    std::uint16_t pc_port = SimMainUnit::FreePort();
    std::unique_ptr<SimMainUnit> unit;
    std::unique_ptr<CTransferSession> session;

    explicit Transfer(UnitConfig config) {
        config.pc_port = pc_port;
        unit = std::make_unique<SimMainUnit>(std::move(config));
        TransferPorts ports;
        ports.show_error = [this](std::string_view text) { shown.emplace_back(text); };
        ports.post = [this](std::string_view caption, int message, std::intptr_t w) {
            if (caption == kTransferWindowCaption && message == WM_UPDATE_PRG_MESSAGE) {
                percents.push_back(w);
            }
        };
        session = std::make_unique<CTransferSession>(&files, ports, TransferTimings::Fast());
        session->SetHost("127.0.0.1", unit->port());
        session->set_listening_port(pc_port);
        session->SetDataFolder(dir.path().string() + "/");
    }
    int Run(int kind) {
        int result = 0;
        switch (kind) {
            case 1:
                result = session->UploadUnitData(0);
                break;
            case 2:
                result = session->DownloadUnitData(0);
                break;
            case 3:
                result = session->UploadSpeedDial();
                break;
            default:
                result = session->DownloadSpeedDial();
                break;
        }
        unit->Join();
        return result;
    }
    int Count(const std::string& prefix) const {
        int n = 0;
        for (const std::string& call : files.calls) n += call.starts_with(prefix) ? 1 : 0;
        return n;
    }
};

const std::string kUnauthorized =
    "HTTP/1.1 401 Unauthorized\r\nAccept-Encoding: gzip, deflate\r\nConnection: "
    "Keep-Alive\r\nContent-Length: 0\r\n\r\n";

std::string Ok(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nAccept-Encoding: gzip, deflate\r\nConnection: "
           "Keep-Alive\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

bool WellFormed(const std::string& document) {
    TempDir dir;
    const fs::path path = dir.path() / "file_list.xml";
    std::ofstream(path, std::ios::binary) << document;
    const std::string command = "xmllint --noout " + path.string() + " 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

// What the unit saw when the PC served it the files: connection.xml, then for every exchange the
// 401 and the 200 with the body, byte for byte.
std::vector<std::string> ExpectedServedLog(const SimMainUnit& unit) {
    std::vector<std::string> log = {"GET /connection.xml HTTP/1.1\r\n\r\n", kUnauthorized,
                                    Ok(unit.file_list())};
    for (const auto& [name, body] : unit.received()) {
        log.push_back(kUnauthorized);
        log.push_back(Ok(body));
    }
    return log;
}

TEST(TransferSession, WholeDataDownloadServesEveryFileInListOrder) {
    Transfer t({});
    ASSERT_EQ(t.session->ExportDataFiles(), 0);
    ASSERT_EQ(t.Run(2), 0) << (t.shown.empty() ? "" : t.shown.front());
    EXPECT_TRUE(t.unit->errors().empty()) << t.unit->errors().front();
    EXPECT_TRUE(t.shown.empty());

    const std::string address = "127.0.0.1";
    std::string expected_list = "<root>\r\n<UD-TYPE>UPLOAD</UD-TYPE>\r\n";
    const char* names[][2] = {{"DSET-000", "dset-000.txt"},  {"DSET-100", "dset-100.txt"},
                              {"DSET-300", "dset-300.txt"},  {"DSET-500", "dset-500.txt"},
                              {"DSET-600", "dset-600.txt"},  {"DSET-700", "dset-700.txt"},
                              {"DSET-800", "dset-800.txt"},  {"DSET-9000", "dset-9000.txt"},
                              {"NANDEMO", "nandemo.txt"},    {"ONE-TOUCH", "one-touch.txt"},
                              {"ONE-TOUCH", "one-touch.txt"}};
    for (const auto& [element, file] : names) {
        expected_list +=
            std::string("<") + element + ">" + address + "/" + file + "</" + element + ">\r\n";
    }
    expected_list += "</root>\r\n";
    EXPECT_EQ(t.unit->file_list(), expected_list);
    EXPECT_TRUE(WellFormed(t.unit->file_list()));

    const auto received = t.unit->received();
    ASSERT_EQ(received.size(), 11u);
    for (std::size_t i = 0; i < received.size(); ++i) {
        EXPECT_EQ(received[i].first, names[i][1]);
        EXPECT_EQ(received[i].second, ReadFile(t.dir.path() / names[i][1])) << names[i][1];
    }
    EXPECT_EQ(t.unit->log(), ExpectedServedLog(*t.unit));
    // dset-9000 and the key sheets are written when the unit asks for them.
    EXPECT_EQ(t.Count("WriteDataSetFile 9 0 0"), 1);
    EXPECT_EQ(t.Count("MakeKeySheetFiles 0 1 0"), 1);
    // 5, then one step of 95 / 11 per file, then 100.
    ASSERT_FALSE(t.percents.empty());
    EXPECT_EQ(t.percents.back(), 100);
    EXPECT_EQ(t.percents[1], 5);
    EXPECT_EQ(t.percents[2], 5);
    EXPECT_EQ(t.percents[3], 13);
}

TEST(TransferSession, SpeedDialDownloadConvertsThePhoneBooks) {
    UnitConfig config;
    config.firmware = "1.00";
    Transfer t(config);
    FakeTransferFiles::Write((t.dir.path() / "sys-tan.txt").string(), "0,123\r\n");
    FakeTransferFiles::Write((t.dir.path() / "tel-tan.txt").string(), "980,456\r\n");
    ASSERT_EQ(t.Run(4), 0);
    EXPECT_TRUE(t.unit->errors().empty());
    const auto received = t.unit->received();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0], (std::pair<std::string, std::string>(
                               "sys-tan.txt", "<root>\n<systan>0,123\r\n</systan>\n</root>\n")));
    EXPECT_EQ(received[2].second, "<root>\n<teltan>980,456\r\n</teltan>\n</root>\n");
    EXPECT_EQ(t.Count("MakeSysTanXml 1"), 1);
    EXPECT_EQ(t.Count("MakeTelTanXml 1"), 2);
    EXPECT_EQ(t.unit->log(), ExpectedServedLog(*t.unit));
    EXPECT_EQ(t.percents.back(), 100);
}

std::map<std::string, std::string> UnitBodies() {
    std::map<std::string, std::string> bodies;
    for (const char* name : {"dset-000.txt", "dset-100.txt", "dset-300.txt", "dset-500.txt",
                             "dset-600.txt", "dset-700.txt", "dset-800.txt"}) {
        const std::string n = std::string(name).substr(5, 1);
        bodies[name] = "<?xml version=\"1.0\"?>\n<root><h" + n + "00>*" + n + "00,1</h" + n +
                       "00><h" + n + "01>a</h" + n + "01><h" + n + "01>dup</h" + n + "01></root>\n";
    }
    bodies["dset-9000.txt"] = "<root><h9140>x</h9140><h9534>y</h9534><h9535>z</h9535></root>";
    bodies["one-touch.txt"] = "<root><i92>k1</i92><i92>k2</i92></root>";
    bodies["nandemo.txt"] = "<root><i14>n1</i14></root>";
    bodies["sys-tan.txt"] =
        std::string("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><root><systan>0,") +
        "\x83\x65\x83\x58\x83\x67" + "</systan></root>";
    bodies["tel-tan.txt"] = "<root><teltan>980,1</teltan></root>";
    return bodies;
}

TEST(TransferSession, WholeDataUploadFetchesAndAppliesEveryFile) {
    UnitConfig config;
    config.bodies = UnitBodies();
    config.firmware = "5.01";
    Transfer t(config);
    ASSERT_EQ(t.Run(1), 0) << (t.shown.empty() ? "" : t.shown.front());
    EXPECT_TRUE(t.unit->errors().empty()) << t.unit->errors().front();
    EXPECT_TRUE(WellFormed(t.unit->file_list()));
    EXPECT_NE(t.unit->file_list().find("<UD-TYPE>DOWNLOAD</UD-TYPE>\r\n<DSET-000>127.0.0.1/"
                                       "dset-000.txt</DSET-000>"),
              std::string::npos);
    // The first element of a name counts; numbers outside the file's range are not read.
    EXPECT_EQ(ReadFile(t.dir.path() / "dset-300.txt"), "HEADER\r\n300=*300,1\n301=a\n");
    EXPECT_EQ(ReadFile(t.dir.path() / "dset-9000.txt"), "HEADER\r\n9140=x\n9534=y\n");
    EXPECT_EQ(t.Count("ApplyDsetElement 9140 x 1"), 1);
    EXPECT_EQ(ReadFile(t.dir.path() / "one-touch.txt"), "HEADER\r\nk1\nk2\n");
    EXPECT_EQ(t.Count("ApplyNandemoXml 1 0"), 1);
    EXPECT_EQ(t.percents.back(), 100);
    // Every request the PC sent on the unit's connection: the probe and the authorized one.
    const auto log = t.unit->log();
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log[3], "GET /dset-000.txt HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(log[4], "GET /dset-000.txt HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: " +
                          testing::Base64("5817") + "\r\n\r\n");
}

TEST(TransferSession, SpeedDialUploadReadsShiftJisAsCp932) {
    UnitConfig config;
    config.bodies = UnitBodies();
    Transfer t(config);
    ASSERT_EQ(t.Run(3), 0);
    EXPECT_TRUE(t.unit->errors().empty());
    EXPECT_EQ(ReadFile(t.dir.path() / "sys-tan.txt"), "HEADER\r\n0,\x83\x65\x83\x58\x83\x67\n");
    EXPECT_EQ(ReadFile(t.dir.path() / "tel-tan.txt"), "HEADER\r\n980,1\n");
}

TEST(TransferSession, FaultsOfTheMainUnit) {
    struct Row {
        const char* name;
        int kind;
        UnitFault fault;
        const char* fault_file;
        const char* model;
        const char* unit_password;
        int result;
        const char* message;  // nullptr: none shown
        int applied;          // converter calls that applied received data
    };
    const Row rows[] = {
        {"silence", 4, UnitFault::kSilence, "", "Qz/S", "5817", -1,
         "主装置との接続がタイムアウトしました。", 0},
        {"busy", 4, UnitFault::kBusy404, "", "Qz/S", "5817", -1, "主装置使用中です。", 0},
        {"no reason phrase", 4, UnitFault::kNoReasonPhrase, "", "Qz/S", "5817", -1,
         "受信データのヘッダが異常です。", 0},
        {"other model", 4, UnitFault::kNone, "", "Qz/M", "5817", -1, "主装置種別エラー発生", 0},
        {"password element differs", 4, UnitFault::kNone, "", "Qz/S", "1234", -1,
         "パスワードエラーです。", 0},
        {"wrong credentials", 4, UnitFault::kWrongCredentials, "", "Qz/S", "5817", -1, nullptr, 0},
        {"credentials in the first request", 4, UnitFault::kCredentialsFirst, "", "Qz-1.01", "5817",
         0, nullptr, 0},
        {"connection.xml without Content-Length", 4, UnitFault::kNoContentLength, "", "Qz/S",
         "5817", 0, nullptr, 0},
        {"connection.xml in pieces", 4, UnitFault::kSplitBody, "", "Qz/S", "5817", 0, nullptr, 0},
        {"a 401 with a body", 3, UnitFault::kUnauthorizedBody, "", "Qz/S", "5817", 0, nullptr, 2},
        {"early close before anything applied", 3, UnitFault::kEarlyClose, "sys-tan.txt", "Qz/S",
         "5817", -1, nullptr, 0},
        // The first file arrived whole, but nothing is applied until all have.
        {"busy on the second file applies nothing", 3, UnitFault::kBusy404, "tel-tan.txt", "Qz/S",
         "5817", -1, nullptr, 0},
        {"early close in the second file applies nothing", 3, UnitFault::kEarlyClose, "tel-tan.txt",
         "Qz/S", "5817", -1, nullptr, 0},
        {"silence on a file", 3, UnitFault::kSilence, "sys-tan.txt", "Qz/S", "5817", -1,
         "主装置との接続がタイムアウトしました。", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        UnitConfig config;
        config.fault = row.fault;
        config.fault_file = row.fault_file;
        config.model = row.model;
        config.password = row.unit_password;
        config.bodies = UnitBodies();
        Transfer t(config);
        FakeTransferFiles::Write((t.dir.path() / "sys-tan.txt").string(), "0,1\r\n");
        FakeTransferFiles::Write((t.dir.path() / "tel-tan.txt").string(), "980,2\r\n");
        EXPECT_EQ(t.Run(row.kind), row.result);
        if (row.message == nullptr) {
            EXPECT_TRUE(t.shown.empty()) << t.shown.front();
        } else {
            EXPECT_EQ(t.shown, std::vector<std::string>{row.message});
        }
        EXPECT_EQ(t.Count("ConvertSysTanXml") + t.Count("ConvertTelTanXml"), row.applied);
        if (row.result != 0) {
            EXPECT_EQ(ReadFile(t.dir.path() / "sys-tan.txt"), "0,1\r\n");
            EXPECT_EQ(ReadFile(t.dir.path() / "tel-tan.txt"), "980,2\r\n");
        }
        EXPECT_TRUE(t.unit->errors().empty()) << t.unit->errors().front();
        if (row.fault == UnitFault::kWrongCredentials) {
            const auto log = t.unit->log();
            ASSERT_FALSE(log.empty());
            EXPECT_EQ(log.back(), kUnauthorized);
        }
    }
}

// A received file that cannot be read, or holds nothing of its kind, fails the upload with the
// reading error; nothing of the run is applied and no local file touched; the parser's own
// messages never reach stderr.
TEST(TransferSession, UnreadableReceivedFileFailsTheRun) {
    const struct {
        const char* why;
        int kind;
        const char* file;
        std::string body;
        const char* applied_before;  // a call of a file received whole before it
        const char* not_applied;     // calls of the file itself
    } cases[] = {
        {"a dset file of an external entity", 1, "dset-000.txt",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE root [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
         "\n<root>&x;</root>\n",
         nullptr, "ApplyDsetElement "},
        {"dset elements outside the file's range", 1, "dset-9000.txt",
         "<root><h9535>z</h9535><h000>0</h000></root>", "ApplyDsetElement 800",
         "ApplyDsetElement 9"},
        {"another file's elements", 3, "sys-tan.txt", "<root><teltan>980,1</teltan></root>",
         nullptr, "ConvertSysTanXml"},
        {"an empty root", 3, "tel-tan.txt", "<root/>", "ConvertSysTanXml", "ConvertTelTanXml"},
        {"not well-formed", 1, "one-touch.txt", "<root><i92>k1</root>", "ApplyDsetElement 9140",
         "ApplyOneTouchXml"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        UnitConfig config;
        config.bodies = UnitBodies();
        config.bodies[c.file] = c.body;
        Transfer t(config);
        FakeTransferFiles::Write((t.dir.path() / c.file).string(), "OLD");
        int result = 0;
        EXPECT_EQ(qzs_test::StderrOf([&] { result = t.Run(c.kind); }), "");
        EXPECT_EQ(result, -1);
        EXPECT_EQ(t.shown, std::vector<std::string>{"受信ファイルの読み込みに失敗しました。"});
        EXPECT_EQ(ReadFile(t.dir.path() / c.file), "OLD");
        // The files that came whole before it are staged, never applied: the run fails whole.
        if (c.applied_before != nullptr) {
            EXPECT_EQ(t.Count(c.applied_before), 0) << "nothing of the files before it applied";
        }
        EXPECT_EQ(t.Count(c.not_applied), 0) << "nothing of the file applied";
        EXPECT_TRUE(t.unit->errors().empty()) << t.unit->errors().front();
    }
}

// A file list that cannot be written ends the run before the PC asks the main unit anything: the
// unit would otherwise be sent to fetch a list that is not there. A file in the place of the
// run's temporary folder makes the write fail.
TEST(TransferSession, AFileListThatCannotBeWrittenEndsTheRun) {
    for (const int kind : {1, 2, 3, 4}) {
        SCOPED_TRACE(kind);
        UnitConfig config;
        config.bodies = UnitBodies();
        Transfer t(config);
        std::ofstream(t.dir.path() / "Hox2_S") << "not a folder";
        EXPECT_EQ(t.Run(kind), -1);
        for (const std::string& line : t.unit->log()) {
            EXPECT_FALSE(line.starts_with("GET /connection.xml")) << "the unit was asked";
        }
        EXPECT_EQ(t.Count("Convert") + t.Count("Apply"), 0);
    }
}

TEST(TransferSession, RequestsOutsideTheListOrThePhase) {
    struct Row {
        const char* name;
        const char* first;
        std::vector<std::string> requests;
        std::vector<std::string> served;
        const char* last_answer;
    };
    const Row rows[] = {
        {"a data file before the file list", "dset-000.txt", {}, {}, "HTTP/1.1 403 Forbidden"},
        {"a known file outside the list is served, OK.xml is not",
         "file_list.xml",
         {"dset-200.txt", "OK.xml"},
         {"dset-200.txt"},
         "HTTP/1.1 404 Not Found"},
        {"a name outside the folder",
         "file_list.xml",
         {"../etc/passwd"},
         {},
         "HTTP/1.1 404 Not Found"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        UnitConfig config;
        config.first_request = row.first;
        config.requests = row.requests;
        Transfer t(config);
        FakeTransferFiles::Write((t.dir.path() / "dset-000.txt").string(), "zero");
        FakeTransferFiles::Write((t.dir.path() / "dset-200.txt").string(), "two");
        EXPECT_EQ(t.Run(4), -1);
        EXPECT_TRUE(t.shown.empty());
        std::vector<std::string> served;
        for (const auto& [name, body] : t.unit->received()) served.push_back(name);
        EXPECT_EQ(served, row.served);
        const auto log = t.unit->log();
        ASSERT_FALSE(log.empty());
        EXPECT_TRUE(log.back().starts_with(row.last_answer)) << log.back();
    }
}

TEST(TransferSession, StatusLinesAndRequestLines) {
    CTransferSession s(nullptr, {});
    struct Status {
        const char* line;
        int answer;
        int code;
    };
    for (const Status& row : std::initializer_list<Status>{{"HTTP/1.1 200 OK", 1, 200},
                                                           {"HTTP/1.1 200", 0, -1},
                                                           {"HTTP/1.1 401 ", 1, 401},
                                                           {"garbage", 0, -1}}) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(s.ParseStatusLine(row.line), row.answer);
        EXPECT_EQ(s.status_code(), row.code);
    }
    struct Request {
        const char* line;
        int answer;
        const char* path;
        int method;
    };
    for (const Request& row :
         std::initializer_list<Request>{{"GET /dset-000.txt HTTP/1.1", 1, "\\dset-000.txt", 1},
                                        {"get /a%2Fb?x=1 HTTP/1.1", 1, "\\a\\b", 1},
                                        {"POST /file_list.xml HTTP/1.1", 1, "\\file_list.xml", 2},
                                        {"GET  HTTP/1.1", 0, "", 1},
                                        {"GET /x", 0, "", 1},
                                        {"GET", 0, "", 0}}) {
        SCOPED_TRACE(row.line);
        CTransferSession fresh(nullptr, {});
        EXPECT_EQ(fresh.ParseRequestLine(row.line), row.answer);
        EXPECT_EQ(fresh.requested_path(), row.path);
        if (row.answer == 1) {
            EXPECT_EQ(fresh.request_method(), row.method);
        }
    }
}

TEST(TransferSession, AuthorizationAndResponses) {
    CTransferSession s(nullptr, {});
    s.set_unit_password("5817");
    s.set_phase(2);
    CHttpFields fields;
    EXPECT_EQ(s.ParseHeaderLine("authorization:  Basic   " + testing::Base64(":5817"), fields), 0);
    EXPECT_EQ(fields.authorization, ":5817");
    EXPECT_EQ(s.CheckAuthorization(fields.authorization), 1);
    // Without the scheme word the value stays as it came.
    EXPECT_EQ(s.ParseHeaderLine("Authorization: 58:17", fields), -1);
    EXPECT_EQ(s.CheckAuthorization(fields.authorization), 1);
    EXPECT_EQ(s.CheckAuthorization(""), 0);
    EXPECT_EQ(s.CheckAuthorization("5818"), 0);
    EXPECT_EQ(s.ParseHeaderLine("Content-Length: 1234567890123", fields), 0);
    EXPECT_EQ(fields.content_length, 123456789);
    EXPECT_EQ(s.ParseHeaderLine("X-Other: 1", fields), 1);

    fields.content_length = -1;
    EXPECT_EQ(s.ResponseText(200, fields),
              "HTTP/1.1 200 OK\r\nAccept-Encoding: gzip, deflate\r\nConnection: "
              "Keep-Alive\r\nContent-Length: \r\n");
    EXPECT_EQ(s.ResponseText(404, fields),
              "HTTP/1.1 404 Not Found\r\nAccept-Encoding: gzip, deflate\r\nConnection: "
              "Keep-Alive\r\nContent-Length: 0\r\n");
    EXPECT_EQ(CTransferSession::StatusText(418), "500 Internal Server Error");
    s.ParseRequestLine("GET /ok.XML HTTP/1.1");
    EXPECT_EQ(s.ResponseText(200, fields), "HTTP/1.1 200 OK\r\n");
}

TEST(TransferSession, FileListOfASpeedDialDownload) {
    const std::string list = CTransferSession::FileListDocument(
        0, {"sys-tan.txt", "tel-tan.txt", "tel-tan.txt", "zuko.txt"}, "192.168.0.5");
    EXPECT_EQ(list,
              "<root>\r\n<UD-TYPE>UPLOAD</UD-TYPE>\r\n"
              "<SYS-TAN>192.168.0.5/sys-tan.txt</SYS-TAN>\r\n"
              "<TEL-TAN>192.168.0.5/tel-tan.txt</TEL-TAN>\r\n"
              "<TEL-TAN>192.168.0.5/tel-tan.txt</TEL-TAN>\r\n</root>\r\n");
    EXPECT_TRUE(WellFormed(list));
}

TEST(TransferSession, PasswordFirmwareAndHeader) {
    FakeTransferFiles files;
    CTransferSession s(&files, {});
    EXPECT_EQ(s.password(), "5817");
    EXPECT_EQ(FirmwareFlagsOf("1.00").v100, 1);
    EXPECT_EQ(FirmwareFlagsOf("5.01").v501, 1);
    EXPECT_EQ(FirmwareFlagsOf("3.99").below4, 1);
    EXPECT_EQ(FirmwareFlagsOf("4.00").below4, 0);

    UserInformation info;
    std::snprintf(info.user_name.data(), info.user_name.size(), "%s", "USER");
    std::snprintf(info.area_code.data(), info.area_code.size(), "%s", "03");
    std::snprintf(info.telephone_number.data(), info.telephone_number.size(), "%s",
                  "12345678901234567890");
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 10;
    t.tm_hour = 9;
    t.tm_min = 5;
    const std::string header = FormatDataFileHeader(info, t);
    EXPECT_EQ(header,
              "202612100905,USER                    ,                        ,"
              "1234567890123456"
              "03    "
              "  ,                        ," +
                  std::string(72, ' ') + ",    \r\n");
}

TEST(TransferSession, ExportWritesTheDsetFilesOfGroupsZeroToEight) {
    TempDir dir;
    FakeTransferFiles files;
    std::vector<std::pair<int, std::intptr_t>> posts;
    TransferPorts ports;
    ports.post = [&](std::string_view caption, int message, std::intptr_t w) {
        if (caption == kFileCreationWindowCaption) posts.emplace_back(message, w);
    };
    CTransferSession s(&files, ports, TransferTimings::Fast());
    s.SetDataFolder(dir.path().string());
    EXPECT_EQ(s.ExportDataFiles(), 0);
    ASSERT_EQ(files.calls.size(), 9u);
    EXPECT_EQ(files.calls.front(), "WriteDataSetFile 0 1 0");
    EXPECT_EQ(files.calls.back(), "WriteDataSetFile 8 1 0");
    EXPECT_TRUE(fs::exists(dir.path() / "dset-800.txt"));
    ASSERT_FALSE(posts.empty());
    EXPECT_EQ(posts.back(), (std::pair<int, std::intptr_t>(WM_UPDATE_PRG_MESSAGE, 100)));
}

}  // namespace
}  // namespace qzs::net
