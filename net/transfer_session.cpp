#include "net/transfer_session.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>
#include <utility>
#include <vector>

#include "base/atomic_file.h"
#include "base/strings.h"
#include "net/http_message.h"
#include "net/http_server.h"
#include "net/xml_reader.h"
#include "settings/text_codecs.h"

namespace qzs::net {
namespace {

constexpr const char* kTempFolderName = "Hox2_S";
constexpr const char* kFileListName = "file_list.xml";
// A body larger than this is refused: no data file of a main unit comes near it.
constexpr long kMaxBodyBytes = 16L << 20;
constexpr std::size_t kLineCapacity = 1024;
// A head of the main unit is a few short lines; the caps only keep a faulty one from sending
// headers without end.
constexpr HttpLimits kUnitLimits{.max_line = 1023, .max_header_lines = 100,
                                 .max_head_bytes = 32768};

using base::EqualsNoCase;

// An empty data folder is the current directory.
std::string Join(const std::string& folder, std::string_view name) {
    return folder.empty() ? std::string(name) : folder + "/" + std::string(name);
}

bool ReadWhole(const std::string& path, std::string* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The data files of the lists, as the element name of file_list.xml and the file name.
struct ListName {
    const char* element;
    const char* file;
};
constexpr ListName kListNames[] = {
    {"DATA-SET", "data-set.txt"},   {"SYS-TAN", "sys-tan.txt"},   {"TEL-TAN", "tel-tan.txt"},
    {"ONE-TOUCH", "one-touch.txt"}, {"NANDEMO", "nandemo.txt"},   {"DSET-000", "dset-000.txt"},
    {"DSET-100", "dset-100.txt"},   {"DSET-200", "dset-200.txt"}, {"DSET-300", "dset-300.txt"},
    {"DSET-400", "dset-400.txt"},   {"DSET-500", "dset-500.txt"}, {"DSET-600", "dset-600.txt"},
    {"DSET-700", "dset-700.txt"},   {"DSET-800", "dset-800.txt"}, {"DSET-9000", "dset-9000.txt"},
};

// The names the main unit may ask for.
constexpr const char* kKnownNames[] = {
    "file_list.xml", "data-set.txt", "dset-000.txt",  "dset-100.txt",
    "dset-200.txt",  "dset-300.txt", "dset-400.txt",  "dset-500.txt",
    "dset-600.txt",  "dset-700.txt", "dset-800.txt",  "dset-9000.txt",
    "sys-tan.txt",   "tel-tan.txt",  "one-touch.txt", "nandemo.txt",
};

bool IsKnownName(const std::string& lower) {
    return std::any_of(std::begin(kKnownNames), std::end(kKnownNames),
                       [&](const char* known) { return lower == known; });
}

// The element numbers a received dset file carries.
struct DsetRange {
    const char* file;
    int first;
    int last;
};
constexpr int kDset081 = 81;
constexpr int kDset082 = 82;

constexpr DsetRange kDsetRanges[] = {
    {"dset-000.txt", 0, 99},       {"dset-100.txt", 100, 199}, {"dset-200.txt", 200, 200},
    {"dset-300.txt", 300, 499},    {"dset-400.txt", 400, 400}, {"dset-500.txt", 500, 599},
    {"dset-600.txt", 600, 699},    {"dset-700.txt", 700, 799}, {"dset-800.txt", 800, 899},
    {"dset-9000.txt", 9140, 9534},
};
constexpr int kMaxDsetElements = 5000;

// Every element number of a dset file's range in order, each with the texts of the elements of
// that name the document holds (none for most): the one walk of a received dset file.
template <typename Visit>
void WalkDsetRange(const CXmlReader& reader, const std::string& name, Visit visit) {
    for (const DsetRange& range : kDsetRanges) {
        if (name != range.file) continue;
        const int last = std::min(range.last, range.first + kMaxDsetElements - 1);
        for (int number = range.first; number <= last; ++number) {
            char tag[16];
            std::snprintf(tag, sizeof tag, "h%03d", number);
            visit(number, reader.SelectNode(tag));
        }
    }
}

const std::list<std::string>& FilesOf(int kind) {
    static const std::list<std::string> kUnitUploadFiles = {
        "dset-000.txt", "dset-100.txt", "dset-300.txt",  "dset-500.txt",  "dset-600.txt",
        "dset-700.txt", "dset-800.txt", "dset-9000.txt", "one-touch.txt", "nandemo.txt"};
    static const std::list<std::string> kUnitDownloadFiles = {
        "dset-000.txt", "dset-100.txt",  "dset-300.txt", "dset-500.txt",
        "dset-600.txt", "dset-700.txt",  "dset-800.txt", "dset-9000.txt",
        "nandemo.txt",  "one-touch.txt", "one-touch.txt"};
    static const std::list<std::string> kSpeedUpload = {"sys-tan.txt", "tel-tan.txt"};
    static const std::list<std::string> kSpeedDownload = {"sys-tan.txt", "tel-tan.txt",
                                                          "tel-tan.txt"};
    switch (kind) {
        case kUnitUpload:
            return kUnitUploadFiles;
        case kUnitDownload:
            return kUnitDownloadFiles;
        case kSpeedDialUpload:
            return kSpeedUpload;
        default:
            return kSpeedDownload;
    }
}

void RemoveFirst(std::list<std::string>& list, const std::string& name) {
    const auto it = std::find(list.begin(), list.end(), base::AsciiLower(name));
    if (it != list.end()) list.erase(it);
}

// Leading decimal digits (after an optional sign) as a number, as the C library reads them.
long LeadingNumber(std::string_view text) {
    std::string copy(text);
    return std::strtol(copy.c_str(), nullptr, 10);
}

}  // namespace

FirmwareFlags FirmwareFlagsOf(std::string_view version) {
    FirmwareFlags flags;
    flags.v100 = EqualsNoCase(version, "1.00") ? 1 : 0;
    flags.below4 = std::atoi(std::string(version).c_str()) < 4 ? 1 : 0;
    flags.v501 = EqualsNoCase(version, "5.01") ? 1 : 0;
    return flags;
}

TransferTimings TransferTimings::Fast() {
    TransferTimings t;
    t.serve_pause_ms = 1;
    t.serve_pause_remote_ms = 1;
    t.serve_step_ms = 0;
    t.serve_before_remote_ms = 0;
    t.serve_after_remote_ms = 0;
    t.fetch_between_ms = 1;
    t.fetch_body_step_ms = 0;
    t.download_end_ms = 1;
    t.upload_end_step_ms = 0;
    t.export_step_ms = 0;
    t.export_end_ms = 0;
    t.receive_pause_ms = 0;
    t.connection_timeout_s = 1;
    t.status_timeout_s = 2;
    t.body_timeout_s = 2;
    t.accept_timeout_s = 2;
    t.request_timeout_s = 2;
    t.exchange_deadline_ms = 3000;
    return t;
}

CTransferSession::CTransferSession(TransferFileServices* services, TransferPorts ports,
                                   TransferTimings timings)
    : services_(services), ports_(std::move(ports)), timings_(timings) {}

CTransferSession::~CTransferSession() = default;

void CTransferSession::SetHost(std::string_view host, int port) {
    host_ = std::string(host);
    port_ = port;
}

void CTransferSession::SetHosts(std::string_view host, int port, std::string_view local_address,
                                int listening_port) {
    host_ = std::string(host);
    port_ = port;
    local_address_ = std::string(local_address);
    listening_port_ = listening_port;
}

void CTransferSession::SetDataFolder(std::string_view folder) {
    data_folder_ = std::string(folder);
    if (!data_folder_.empty() && (data_folder_.back() == '/' || data_folder_.back() == '\\')) {
        data_folder_.pop_back();
    }
}

int CTransferSession::UploadUnitData(int remote) {
    return RunEntry(kUnitUpload, remote);
}
int CTransferSession::DownloadUnitData(int remote) {
    return RunEntry(kUnitDownload, remote);
}
// The speed-dial transfers always keep the dial-up pace.
int CTransferSession::UploadSpeedDial() {
    return RunEntry(kSpeedDialUpload, 1);
}
int CTransferSession::DownloadSpeedDial() {
    return RunEntry(kSpeedDialDownload, 1);
}

int CTransferSession::RunEntry(int kind, int remote) {
    file_list_ = FilesOf(kind);
    file_count_ = static_cast<int>(file_list_.size());
    remote_ = remote;
    const int direction = kind == kUnitUpload || kind == kSpeedDialUpload ? 1 : 0;
    const int result = RunTransferSession(direction);
    client_.reset();
    listener_.reset();
    return result;
}

SocketPorts CTransferSession::MakeSocketPorts() const {
    SocketPorts ports;
    ports.show_error = ports_.show_error;
    ports.post = ports_.post;
    return ports;
}

void CTransferSession::ShowError(std::string_view text) {
    if (ports_.show_error) ports_.show_error(text);
}

void CTransferSession::Pump() {
    if (ports_.pump) ports_.pump();
}

void CTransferSession::Wait(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void CTransferSession::PumpAndWait(int times, int ms) {
    for (int i = 0; i < times; ++i) {
        Pump();
        Wait(ms);
    }
}

void CTransferSession::PostPercent(int percent) {
    if (ports_.post) ports_.post(kTransferWindowCaption, WM_UPDATE_PRG_MESSAGE, percent);
}

void CTransferSession::PostTransferProgress(int start, int end, int range) {
    if (!ports_.post) return;
    ports_.post(kTransferWindowCaption, WM_SET_STARTPOS_MESSAGE, start);
    ports_.post(kTransferWindowCaption, WM_SET_ENDPOS_MESSAGE, end);
    ports_.post(kTransferWindowCaption, WM_SET_RANGE_MESSAGE, range);
}

void CTransferSession::PostFileProgress(int start, int end, int range) {
    if (!ports_.post) return;
    ports_.post(kFileCreationWindowCaption, WM_SET_STARTPOS_MESSAGE, start);
    ports_.post(kFileCreationWindowCaption, WM_SET_ENDPOS_MESSAGE, end);
    ports_.post(kFileCreationWindowCaption, WM_SET_RANGE_MESSAGE, range);
}

void CTransferSession::CloseSockets() {
    if (client_) client_->Close();
    if (listener_) listener_->Close();
}

void CTransferSession::TakePassword() {
    std::string line = services_ != nullptr ? services_->PasswordSheetLine() : std::string();
    std::string password = line.size() > 20 ? line.substr(20, 4) : std::string();
    password = password.substr(0, password.find('\0'));
    while (!password.empty() && password.back() == ' ') password.pop_back();
    password_ = password.empty() ? "5817" : password;
}

std::string CTransferSession::GetTempFolder() {
    const std::string folder = Join(data_folder_, kTempFolderName);
    ::mkdir(folder.c_str(), 0777);
    std::string name = folder + "/XXXXXX.tmp";
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) return {};
    ::close(fd);
    return name;
}

std::string CTransferSession::FileListDocument(int direction, const std::list<std::string>& files,
                                               const std::string& address) {
    std::string text = "<root>\r\n";
    text += direction == 1 ? "<UD-TYPE>DOWNLOAD</UD-TYPE>\r\n" : "<UD-TYPE>UPLOAD</UD-TYPE>\r\n";
    for (const std::string& entry : files) {
        const std::string upper = base::AsciiUpper(entry);
        for (const ListName& name : kListNames) {
            if (upper.starts_with(name.element) && EqualsNoCase(entry, name.file)) {
                text += std::string("<") + name.element + ">" + address + "/" + name.file + "</" +
                        name.element + ">\r\n";
                break;
            }
        }
    }
    text += "</root>\r\n";
    return text;
}

int CTransferSession::BuildFileList(int direction) {
    // The file list lives with the other temporary files of the run.
    const std::string folder = Join(data_folder_, kTempFolderName);
    ::mkdir(folder.c_str(), 0777);
    file_list_path_ = folder + "/" + kFileListName;
    // The list of an earlier run must never be served in place of one that could not be written.
    ::unlink(file_list_path_.c_str());
    const std::string& address = direction == 1 ? host_ : local_address_;
    return base::WriteFileAtomically(file_list_path_,
                                     FileListDocument(direction, file_list_, address)) == 0
               ? 1
               : 0;
}

int CTransferSession::RunTransferSession(int direction) {
    const std::string temp_folder = Join(data_folder_, kTempFolderName);
    if (DIR* dir = ::opendir(temp_folder.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.ends_with(".tmp")) {
                ::unlink((temp_folder + "/" + name).c_str());
            }
        }
        ::closedir(dir);
    }
    staged_.clear();
    TakePassword();
    phase_ = 1;
    PostPercent(0);
    progress_step_ = 5;
    progress_start_ = 0;

    if (!ConnectDevice()) {
        if (client_) client_->Close();
        return -1;
    }
    if (!ListenDevice()) {
        CloseSockets();
        return -1;
    }
    // Built once the connection is made, so that the list names the PC by the address it has
    // on that connection (before it, the first run of the program knows no address at all).
    if (!BuildFileList(direction)) {
        // No list, no run: the main unit would ask for a list that is not there.
        CloseSockets();
        return -1;
    }
    {
        CHttpFields fields;
        if (!FetchConnectionInfo(fields)) {
            CloseSockets();
            return -1;
        }
    }
    if (model_ != "Qz/S" && model_ != "Qz-1.01") {
        ShowError("主装置種別エラー発生");
        CloseSockets();
        return -1;
    }
    if (password_ != unit_password_) {
        ShowError("パスワードエラーです。");
        CloseSockets();
        return -1;
    }

    phase_ = 2;
    accepted_ = 0;
    unit_connection_ = std::make_unique<CTcpSocket>();
    unit_connection_->SetPorts(MakeSocketPorts());
    unit_connection_->set_receive_pause_ms(timings_.receive_pause_ms);
    int position = 5;
    PostPercent(position);
    progress_step_ = file_count_ > 0 ? 95 / file_count_ : 95;
    progress_start_ = 5;
    PostTransferProgress(progress_start_, progress_start_ + progress_step_, 2147483647);

    int remaining = static_cast<int>(file_list_.size()) + 1;
    for (;;) {
        CHttpFields fields;
        if (!ServiceProcess(direction, fields)) {
            unit_connection_.reset();
            return -1;
        }
        if (direction == 1) break;
        phase_ = 3;
        PostPercent(position);
        progress_start_ = position;
        position += progress_step_;
        PostTransferProgress(progress_start_, progress_start_ + progress_step_, 2147483647);
        if (--remaining == 0) {
            PostPercent(100);
            PumpAndWait(10, 0);
            Wait(timings_.download_end_ms);
            unit_connection_->Close();
            unit_connection_.reset();
            return 0;
        }
    }

    phase_ = 3;
    for (;;) {
        PostPercent(position);
        progress_start_ = position;
        position += progress_step_;
        PostTransferProgress(progress_start_, progress_start_ + progress_step_, 2147483647);
        Pump();
        CHttpFields fields;
        if (!FetchUnitFiles(fields)) {
            unit_connection_->Close();
            unit_connection_.reset();
            return -1;
        }
        if (file_list_.empty()) {
            const int applied = ApplyStagedFiles();
            if (applied) PostPercent(100);
            PumpAndWait(10, timings_.upload_end_step_ms);
            unit_connection_->Close();
            unit_connection_.reset();
            return applied ? 0 : -1;
        }
    }
}

int CTransferSession::ConnectDevice() {
    if (!client_) {
        client_ = std::make_unique<CTcpSocket>();
        listener_ = std::make_unique<CTcpSocket>();
    }
    client_->SetPorts(MakeSocketPorts());
    listener_->SetPorts(MakeSocketPorts());
    client_->set_receive_pause_ms(timings_.receive_pause_ms);
    if (client_->Create() != 1) {
        ShowError("ソケット作成失敗");
        return 0;
    }
    if (port_ <= 0 || port_ > 65535 ||
        client_->Connect(host_, static_cast<std::uint16_t>(port_)) != 1) {
        ShowError("コネクト失敗");
        return 0;
    }
    local_address_ = client_->GetLocalAddress();
    return 1;
}

int CTransferSession::ListenDevice() {
    if (listener_->Create() != 1 || listening_port_ < 0 || listening_port_ > 65535 ||
        listener_->Listen(static_cast<std::uint16_t>(listening_port_), 2,
                          CTcpSocket::Scope::kAnyAddress) != 1) {
        listener_->Close();
        return 0;
    }
    return 1;
}

std::string CTransferSession::BuildRequest(int kind) const {
    const std::string target = kind == 1 ? std::string("connection.xml") : current_file_;
    std::string text = "GET /" + target + " HTTP/1.1\r\n";
    if (kind == 3 || kind == 5) text += "Host: " + host_ + "\r\n";
    if (kind == 3) text += "Authorization: " + Base64Encode(unit_password_) + "\r\n";
    return text;
}

int CTransferSession::ParseStatusLine(std::string_view line) {
    status_code_ = -1;
    const std::size_t first = line.find(' ');
    if (first == std::string_view::npos || line.size() - first - 1 < 4) return 0;
    const std::size_t second = line.find(' ', first + 1);
    if (second == std::string_view::npos) return 0;
    status_code_ = static_cast<int>(LeadingNumber(line.substr(first + 1, second - first - 1)));
    return 1;
}

int CTransferSession::StatusClass() const {
    if (status_code_ < 100 || status_code_ >= 600) return -1;
    return status_code_ / 100;
}

int CTransferSession::ParseHeaderLine(std::string_view line, CHttpFields& fields) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return 1;
    std::string_view raw_name = line.substr(0, colon);
    while (!raw_name.empty() && raw_name.back() == ' ') raw_name.remove_suffix(1);
    const std::string name = base::AsciiUpper(raw_name) + ":";
    const std::string value(base::Trim(line.substr(colon + 1), " \t"));
    const bool response = phase_ == 1;
    if (response && name == "SERVER:") {
        fields.server = value;
    } else if (response && name == "DATE:") {
        fields.date = value;
    } else if (response && name == "TITLE:") {
        fields.title = value;
    } else if (!response && name == "AUTHORIZATION:") {
        fields.authorization = value;
        if (base::AsciiLower(value).starts_with("basic ")) {
            std::string_view rest = std::string_view(value).substr(6);
            while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
            fields.authorization = Base64Decode(rest);
        } else {
            return -1;
        }
    } else if (!response && name == "HOST:") {
        fields.host = value;
    } else if (!response && name == "ACCEPT-ENCODING:") {
        fields.accept_encoding = value;
    } else if (name == "CONNECTION:") {
        fields.connection = value;
        if (EqualsNoCase(value, "Keep-Alive") && client_ && client_->IsOpen()) {
            client_->SetKeepAlive(true);
        }
    } else if (name == "CONTENT-LENGTH:") {
        fields.content_length_text = value;
        if (!value.empty()) fields.content_length = LeadingNumber(value.substr(0, 9));
    } else {
        return 1;
    }
    return 0;
}

int CTransferSession::ParseRequestLine(std::string_view line) {
    if (line.size() < 5) return 0;
    const std::string head = base::AsciiUpper(line.substr(0, 5));
    request_method_ = head.starts_with("GET ")    ? 1
                      : head.starts_with("POST ") ? 2
                      : head.starts_with("HEAD ") ? 3
                                                  : 0;
    const std::size_t first = line.find(' ');
    if (first == std::string_view::npos) return 0;
    const std::size_t second = line.find(' ', first + 1);
    if (second == std::string_view::npos) return 0;
    std::string_view target = line.substr(first + 1, second - first - 1);
    target = target.substr(0, target.find('?'));
    // An empty target names nothing; it is refused before anything reads from it.
    if (target.empty()) return 0;
    std::string path = UrlDecode(target);
    std::replace(path.begin(), path.end(), '/', '\\');
    if (path.empty()) return 0;
    requested_path_ = path;
    return 1;
}

int CTransferSession::CheckAuthorization(std::string_view credential) const {
    if (credential.empty()) return 0;
    std::string rest(credential);
    rest.erase(std::remove(rest.begin(), rest.end(), ':'), rest.end());
    return rest == unit_password_ ? 1 : 0;
}

std::string CTransferSession::StatusText(int code) {
    // The server's table, with the main unit's own two differences: 408 is known, and an unknown
    // code is an internal error rather than success.
    if (code == 408) return "408 Request Time-out";
    const std::string text = HttpStatusText(code);
    if (code != 200 && text == HttpStatusText(200)) return "500 Internal Server Error";
    return text;
}

std::string CTransferSession::ResponseText(int code, const CHttpFields& fields) const {
    std::string text = "HTTP/1.1 " + StatusText(code) + "\r\n";
    if (code == 200 &&
        (EqualsNoCase(requested_path_, "\\OK.xml") || EqualsNoCase(requested_path_, "\\NG.xml"))) {
        return text;
    }
    text += "Accept-Encoding: gzip, deflate\r\nConnection: Keep-Alive\r\n";
    if (code == 200 && (phase_ == 2 || phase_ == 3)) {
        text +=
            "Content-Length: " +
            (fields.content_length == -1 ? std::string() : std::to_string(fields.content_length)) +
            "\r\n";
    } else {
        text += "Content-Length: 0\r\n";
    }
    return text;
}

int CTransferSession::SendStatus(int code, CHttpFields& fields, CTcpSocket& connection) {
    const std::string text = ResponseText(code, fields);
    return connection.SendLine(text) == static_cast<int>(text.size() + 2) ? 1 : 0;
}

int CTransferSession::FetchConnectionInfo(CHttpFields& fields) {
    BeginExchange(*client_);
    const std::string request = BuildRequest(1);
    if (client_->SendLine(request) != static_cast<int>(request.size() + 2)) {
        ShowError("送信が正常に終了しませんでした");
        return 0;
    }
    HttpHeadParser head(kUnitLimits);
    const HeadRead read = ReadHttpHead(*client_, head, timings_.connection_timeout_s);
    if (read == HeadRead::kTimeout) {
        ShowError("主装置との接続がタイムアウトしました。");
        return 0;
    }
    if (read == HeadRead::kClosed || read == HeadRead::kError ||
        (read == HeadRead::kComplete && head.start_line().empty())) {
        ShowError("主装置からの装置データの受信に失敗しました。");
        return 0;
    }
    // A head too long in a line or in all is as unreadable as a bad status line.
    if (read == HeadRead::kRefused || !ParseStatusLine(head.start_line())) {
        ShowError("受信データのヘッダが異常です。");
        return 0;
    }
    for (const std::string& line : head.header_lines()) ParseHeaderLine(line, fields);
    if (StatusClass() != 2) {
        client_->Close();
        ShowError(status_code_ == 404 ? "主装置使用中です。" : "データ受信に失敗しました。");
        return 0;
    }
    std::string path = GetTempFolder();
    if (!path.empty()) {
        ::unlink(path.c_str());
        path.replace(path.size() - 4, 4, ".xml");
    }
    // A scratch file: removed on every way out that does not close it whole.
    base::ScratchFile file;
    if (path.empty() || !file.Open(path)) {
        ShowError("受信データファイルの作成に失敗しました。");
        return 0;
    }
    std::string body;
    if (!ReceiveXmlBody(fields, &body)) return 0;
    const bool written = file.Write(body) && file.Close();
    CXmlReader reader;
    if (!written || !reader.Load(path)) {
        ShowError("受信ファイルの読み込みに失敗しました。");
        ::unlink(path.c_str());
        return 0;
    }
    firmware_version_ = reader.FirstText("fw_ver");
    firmware_ = FirmwareFlagsOf(firmware_version_);
    model_ = reader.FirstText("dev_type");
    unit_password_ = reader.FirstText("password");
    ::unlink(path.c_str());
    client_->ClearDeadline();
    return 1;
}

int CTransferSession::ReceiveXmlBody(CHttpFields& fields, std::string* body) {
    body->clear();
    if (fields.content_length >= 0) {
        // The whole length is read, however TCP cuts it, within the time-out.
        if (fields.content_length > kMaxBodyBytes) return 0;
        body->resize(static_cast<std::size_t>(fields.content_length));
        if (body->empty()) return 1;
        const int got =
            client_->ReceiveTimed(body->data(), body->size(), timings_.connection_timeout_s);
        if (got != static_cast<int>(body->size())) {
            body->clear();
            return 0;
        }
        return 1;
    }
    char line[kLineCapacity];
    for (;;) {
        int seconds = timings_.connection_timeout_s;
        const int n = ReadLine(*client_, line, sizeof line, seconds);
        if (n <= 0) {
            if (seconds == -1) {
                ShowError("主装置との接続がタイムアウトしました。");
                return 0;
            }
            break;
        }
        body->append(line, static_cast<std::size_t>(n));
        if (body->size() > static_cast<std::size_t>(kMaxBodyBytes)) return 0;
        if (std::string_view(line).starts_with("</root>")) break;
    }
    fields.content_length = static_cast<long>(body->size());
    return 1;
}

void CTransferSession::BeginExchange(CTcpSocket& connection) const {
    connection.SetDeadlineAfter(std::chrono::milliseconds(timings_.exchange_deadline_ms));
}

int CTransferSession::ReadRequest(CHttpFields& fields) {
    BeginExchange(*unit_connection_);
    HttpHeadParser head(kUnitLimits);
    if (ReadHttpHead(*unit_connection_, head, timings_.request_timeout_s) != HeadRead::kComplete ||
        head.start_line().empty() || !ParseRequestLine(head.start_line())) {
        return 0;
    }
    for (const std::string& line : head.header_lines()) ParseHeaderLine(line, fields);
    return 1;
}

int CTransferSession::ServiceProcess(int /*direction*/, CHttpFields& first) {
    if (!accepted_) {
        if (listener_->AcceptTimed(*unit_connection_, timings_.accept_timeout_s) != 1) return 0;
        accepted_ = 1;
    }
    CTcpSocket& connection = *unit_connection_;
    if (!ReadRequest(first)) return 0;
    if (first.authorization.empty()) {
        first.content_length = -1;
        // A challenge that does not arrive shows as the second request that does not come.
        (void)SendStatus(401, first, connection);
    }
    // The second request is the one served; it is read into fields of its own, so that nothing
    // of the first one counts for it.
    CHttpFields fields;
    if (!ReadRequest(fields)) return 0;
    // Each refusal ends the run: whether its status reached the main unit changes nothing.
    const auto refuse = [&](int code) {
        (void)SendStatus(code, fields, connection);
        return 0;
    };
    if (!CheckAuthorization(fields.authorization)) {
        return refuse(401);
    }
    if (request_method_ != 1) {
        fields.content_length = -1;
        return refuse(501);
    }
    const std::string name = base::AsciiLower(requested_path_.substr(1));
    std::string path;
    const bool file_list = name == kFileListName;
    if (!file_list) {
        if (!IsKnownName(name)) {
            return refuse(404);
        }
        // A file written now that cannot be written ends the run: the older file under its
        // name must not go to the main unit in its place.
        int written = 0;
        if (name == "dset-9000.txt" && services_ != nullptr) {
            written = services_->WriteDataSetFile(9, data_folder_, 0, firmware_.v501);
        }
        path = Join(data_folder_, name);
        if (name == "nandemo.txt" && services_ != nullptr) {
            written = services_->MakeKeySheetFiles(Join(data_folder_, "one-touch.txt"),
                                                   Join(data_folder_, "nandemo.txt"),
                                                   firmware_.below4, 1, firmware_.v501);
        }
        if (written < 0) {
            return refuse(500);
        }
    } else {
        path = file_list_path_;
    }
    if (!FileExists(path)) {
        return refuse(404);
    }
    if ((phase_ == 2 && !file_list) || (phase_ != 2 && phase_ != 3)) {
        return refuse(403);
    }
    if (!file_list) {
        std::string local;
        const std::string temp = GetTempFolder();
        if (!ReadWhole(path, &local) || temp.empty()) {
            return refuse(403);
        }
        last_temp_file_ = temp;
        if (name == "sys-tan.txt" || name == "tel-tan.txt") {
            std::FILE* source = std::fopen(path.c_str(), "rb");
            base::ScratchFile target;
            const bool opened = target.Open(temp) && target.Stream() != nullptr;
            if (source != nullptr && opened && services_ != nullptr) {
                if (name == "sys-tan.txt") {
                    services_->MakeSysTanXml(source, target.Stream(), firmware_.v100);
                } else {
                    services_->MakeTelTanXml(source, target.Stream(), firmware_.v100);
                }
            }
            if (source != nullptr) std::fclose(source);
            const bool closed = source != nullptr && opened && target.Close();
            if (!closed || services_ == nullptr) {
                return refuse(403);
            }
            path = temp;
        }
    }
    std::string content;
    if (!ReadWhole(path, &content)) {
        return refuse(403);
    }
    if (phase_ == 3) {
        PostTransferProgress(progress_start_, progress_start_ + progress_step_,
                             static_cast<int>(content.size()));
    }
    Wait(remote_ ? timings_.serve_pause_remote_ms : timings_.serve_pause_ms);
    fields.content_length = static_cast<long>(content.size());
    if (!SendStatus(200, fields, connection)) return 0;
    PumpAndWait(30, remote_ ? timings_.serve_before_remote_ms : timings_.serve_step_ms);
    if (connection.SendBytes(content.data(), content.size(), 1) <
        static_cast<int>(content.size())) {
        return 0;
    }
    RemoveFirst(file_list_, name);
    PumpAndWait(30, remote_ ? timings_.serve_after_remote_ms : timings_.serve_step_ms);
    return 1;
}

int CTransferSession::ReadResponseHead(CHttpFields& fields, int seconds, bool show_timeout) {
    HttpHeadParser head(kUnitLimits);
    const HeadRead read = ReadHttpHead(*unit_connection_, head, seconds);
    if (read == HeadRead::kTimeout && show_timeout) {
        ShowError("主装置との接続がタイムアウトしました。");
    }
    if (read != HeadRead::kComplete && read != HeadRead::kRefused) return 0;
    if (head.start_line().empty()) return 0;
    if (read == HeadRead::kRefused || !ParseStatusLine(head.start_line())) {
        unit_connection_->Close();
        return 0;
    }
    for (const std::string& line : head.header_lines()) ParseHeaderLine(line, fields);
    return 1;
}

int CTransferSession::DrainBody(const CHttpFields& fields) {
    // Only a body announced by Content-Length is drained: without one nothing tells where it
    // ends, and the next response would be read as its rest.
    if (fields.content_length <= 0) return 1;
    if (fields.content_length > kMaxBodyBytes) return 0;
    std::string sink(static_cast<std::size_t>(fields.content_length), '\0');
    const int got =
        unit_connection_->ReceiveTimed(sink.data(), sink.size(), timings_.status_timeout_s);
    return got == static_cast<int>(sink.size()) ? 1 : 0;
}

int CTransferSession::FetchUnitFiles(CHttpFields& first) {
    if (file_list_.empty()) return 0;
    current_file_ = file_list_.front();
    BeginExchange(*unit_connection_);
    const std::string probe = BuildRequest(5);
    if (unit_connection_->SendLine(probe) != static_cast<int>(probe.size() + 2)) {
        ShowError("送信が正常に終了しませんでした");
        return 0;
    }
    if (!ReadResponseHead(first, timings_.status_timeout_s, true)) return 0;
    if (StatusClass() != 2 && status_code_ != 401) return 0;
    if (!DrainBody(first)) return 0;

    Wait(timings_.fetch_between_ms);
    BeginExchange(*unit_connection_);
    const std::string request = BuildRequest(3);
    if (unit_connection_->SendLine(request) != static_cast<int>(request.size() + 2)) {
        ShowError("送信が正常に終了しませんでした");
        return 0;
    }
    CHttpFields fields;
    if (!ReadResponseHead(fields, timings_.body_timeout_s, true)) return 0;
    if (StatusClass() != 2) return 0;
    // Only a body of known length can be taken: the connection stays open after it.
    if (fields.content_length < 0 || fields.content_length > kMaxBodyBytes) return 0;

    const std::string temp = GetTempFolder();
    last_temp_file_ = temp;
    if (temp.empty()) return 0;
    PumpAndWait(10, timings_.fetch_body_step_ms);
    PostTransferProgress(progress_start_, progress_start_ + progress_step_,
                         static_cast<int>(fields.content_length));
    std::string body(static_cast<std::size_t>(fields.content_length), '\0');
    const int got = body.empty() ? 0
                                 : unit_connection_->ReceiveBytes(body.data(), body.size(),
                                                                  timings_.body_timeout_s, 1);
    if (got < 0) return 0;
    body.resize(static_cast<std::size_t>(got));
    // A cut body is not applied: what came is kept in the temporary file only.
    if (base::WriteScratchFile(temp, body) != 0 || got != static_cast<int>(fields.content_length)) {
        return 0;
    }

    // A file that cannot be read, or that holds nothing of its kind (an empty root, another
    // file's elements, a document of entities), fails the run as a whole: applying nothing and
    // going on would report an upload that changed nothing as done.
    const std::string name = base::AsciiLower(current_file_);
    CXmlReader reader;
    if (!reader.Load(temp) || !HoldsItsElements(reader, name)) {
        ShowError("受信ファイルの読み込みに失敗しました。");
        return 0;
    }
    if (services_ == nullptr) return 0;
    // Nothing is applied while files are still to come: a run cut after any of them must leave
    // the image and the local files as they were.
    staged_.push_back({name, temp});
    RemoveFirst(file_list_, name);
    return 1;
}

bool HoldsItsElements(const CXmlReader& reader, const std::string& name) {
    for (const auto& [file, tag] :
         {std::pair{"sys-tan.txt", "systan"}, std::pair{"tel-tan.txt", "teltan"},
          std::pair{"one-touch.txt", "i92"}, std::pair{"nandemo.txt", "i14"}}) {
        if (name == file) return !reader.SelectNode(tag).empty();
    }
    bool found = false;
    WalkDsetRange(reader, name, [&](int, const std::vector<std::string>& texts) {
        found = found || !texts.empty();
    });
    return found;
}

int CTransferSession::ApplyStagedFiles() {
    const std::vector<StagedFile> staged = std::move(staged_);
    staged_.clear();
    if (services_ == nullptr) return 0;
    // The local files are written beside the received documents first and take their names
    // only when all of them are whole; the image is put back when anything fails before.
    const std::unique_ptr<ImageCheckpoint> checkpoint = services_->Checkpoint();
    const std::string temp_folder = Join(data_folder_, kTempFolderName);
    std::vector<std::string> locals;
    const auto give_up = [&] {
        for (const std::string& path : locals) ::unlink(path.c_str());
        if (checkpoint) checkpoint->Restore();
        return 0;
    };
    for (const StagedFile& file : staged) {
        CXmlReader reader;
        if (!reader.Load(file.document)) return give_up();
        base::ScratchFile local;
        if (!local.OpenUnique(temp_folder, "local-", ".tmp") ||
            !local.Write(services_->DataFileHeader()) || local.Stream() == nullptr) {
            return give_up();
        }
        ApplyReceivedFile(*services_, reader, file.name, local.Stream(), firmware_);
        if (!local.Close()) return give_up();
        locals.push_back(local.path());
    }
    for (std::size_t i = 0; i < staged.size(); ++i) {
        // A rename in one folder of one file system does not fail once every file is whole and
        // synced; should it still, the files already replaced stay, the image goes back.
        if (base::CommitStagedFile(locals[i], Join(data_folder_, staged[i].name)) != 0) {
            locals.erase(locals.begin(), locals.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            return give_up();
        }
    }
    return 1;
}

void ApplyReceivedFile(TransferFileServices& services, const CXmlReader& reader,
                       const std::string& name, std::FILE* local, const FirmwareFlags& firmware) {
    if (name == "sys-tan.txt") {
        services.ConvertSysTanXml(reader.SelectNode("systan"), local, firmware.v100);
    } else if (name == "tel-tan.txt") {
        services.ConvertTelTanXml(reader.SelectNode("teltan"), local, firmware.v100);
    } else if (name == "one-touch.txt") {
        services.ApplyOneTouchXml(reader.SelectNode("i92"), local);
    } else if (name == "nandemo.txt") {
        services.ApplyNandemoXml(reader.SelectNode("i14"), local, firmware.below4);
    } else {
        // A group-0 file holds two elements "h082": the fixed one written before "h081", which
        // moves a throw-away number through every port and so clears the numbering, and the
        // listing's own further on. They are applied where they stand: the clearing one before
        // 081, the listing's in 082's place, so that neither the clearing nor 081 undoes the
        // numbering that was sent.
        WalkDsetRange(reader, name, [&](int number, const std::vector<std::string>& texts) {
            if (number == kDset081) {
                const std::vector<std::string> numbering = reader.SelectNode("h082");
                if (numbering.size() > 1) {
                    services.ApplyDsetElement(kDset082, numbering.front(), local, firmware.v501);
                }
            }
            if (texts.empty()) return;
            const std::string& text = number == kDset082 ? texts.back() : texts.front();
            services.ApplyDsetElement(number, text, local, firmware.v501);
        });
    }
}

int CTransferSession::ExportDataFiles() {
    int result = 0;
    if (ports_.post) ports_.post(kFileCreationWindowCaption, WM_UPDATE_PRG_MESSAGE, 0);
    const int step = 9;
    int position = 0;
    int start = 0;
    for (int group = 0; group <= 8; ++group) {
        start = position;
        PostFileProgress(start, start + step, 11);
        position += step;
        if (services_ != nullptr && services_->WriteDataSetFile(group, data_folder_, 1, 0) < 0) {
            result = -1;
        }
        if (ports_.post) ports_.post(kFileCreationWindowCaption, WM_UPDATE_PRG_MESSAGE, position);
    }
    PostFileProgress(start, start + step, 11);
    if (ports_.post) ports_.post(kFileCreationWindowCaption, WM_UPDATE_PRG_MESSAGE, 100);
    PumpAndWait(10, timings_.export_step_ms);
    Wait(timings_.export_end_ms);
    return result;
}

}  // namespace qzs::net
