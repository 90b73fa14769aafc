// The transfer of the main unit's data files over HTTP/1.1. The PC connects to the main unit and
// reads connection.xml, listens for the main unit to connect back, serves it file_list.xml, and
// then either serves each data file (to the main unit) or fetches each one over the connection
// the main unit opened (from the main unit), applying what comes to the data image. Everything
// runs on the calling (GUI) thread; the fixed waits keep the main unit's pace and pump the GUI.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>

#include "net/tcp_socket.h"
#include "net/transfer_files.h"

namespace qzs::net {

inline constexpr int WM_UPDATE_PRG_MESSAGE = 1124;
inline constexpr int WM_SET_STARTPOS_MESSAGE = 1125;
inline constexpr int WM_SET_ENDPOS_MESSAGE = 1126;
inline constexpr int WM_SET_RANGE_MESSAGE = 1127;
inline constexpr const char* kFileCreationWindowCaption = "ファイル作成中";

// TransferKind: 1 main-unit data upload (to the PC), 2 its download (to the main unit),
// 3 speed-dial upload, 4 speed-dial download.
enum TransferKind {
    kUnitUpload = 1,
    kUnitDownload = 2,
    kSpeedDialUpload = 3,
    kSpeedDialDownload = 4
};

class CXmlReader;

// A received data file (name lower-cased) applied from its document: the phone books converted
// into the local file, the button and dset items applied to the image and written to it.
void ApplyReceivedFile(TransferFileServices& services, const CXmlReader& reader,
                       const std::string& name, std::FILE* local, const FirmwareFlags& firmware);
// Whether the document holds at least one element of the kind its file (name lower-cased) is
// applied from: "systan", "teltan", "i92", "i14", or an "h" element of the dset file's range.
bool HoldsItsElements(const CXmlReader& reader, const std::string& name);

// What the menus call; the application keeps one object behind it.
class TransferEntryPoints {
  public:
    virtual ~TransferEntryPoints() = default;
    virtual void SetHost(std::string_view host, int port) = 0;
    virtual void SetHosts(std::string_view host, int port, std::string_view local_address,
                          int listening_port) = 0;
    virtual void SetDataFolder(std::string_view folder) = 0;
    virtual std::string GetDataFolder() const = 0;
    // Each answers 0 on success, -1 on failure (after showing its own message, if any).
    [[nodiscard]] virtual int UploadUnitData(int remote) = 0;
    [[nodiscard]] virtual int DownloadUnitData(int remote) = 0;
    [[nodiscard]] virtual int UploadSpeedDial() = 0;
    [[nodiscard]] virtual int DownloadSpeedDial() = 0;
    // Writes the dset files of groups 0 to 8 into the data folder; 0, or -1 when one of them
    // could not be written (the older file would otherwise go to the main unit in its place).
    [[nodiscard]] virtual int ExportDataFiles() = 0;
};

// The protocol's waits and time-outs. The defaults are the main unit's pace; tests shorten them.
struct TransferTimings {
    int serve_pause_ms = 1000;         // before each served file on the LAN
    int serve_pause_remote_ms = 3000;  // the same over the dial-up link
    int serve_step_ms = 100;           // 30 of these before and after a served body (LAN)
    int serve_before_remote_ms = 250;  // before a body over the dial-up link
    int serve_after_remote_ms = 200;   // after it
    int fetch_between_ms = 3000;       // between the two requests of a fetch
    int fetch_body_step_ms = 1000;     // 10 of these before a fetched body
    int download_end_ms = 5000;        // after the last served file
    int upload_end_step_ms = 200;      // 10 of these after the last fetched file
    int export_step_ms = 100;          // 10 of these after the export of the data files
    int export_end_ms = 1000;
    int receive_pause_ms = 1000;   // the socket's pause before a bulk receive
    int connection_timeout_s = 3;  // connection.xml and a body without Content-Length
    int status_timeout_s = 60;     // the first response of a fetch
    int body_timeout_s = 200;      // the second response and the body
    int accept_timeout_s = 10;     // the main unit connecting back
    // The main unit's requests. It may take its time between two files, but a main unit that
    // went silent must not hang the program for good.
    int request_timeout_s = 600;
    // Each exchange (a request with its head and body and the response with its head and body)
    // must be over within this time, whatever the single waits above allow: a main unit that
    // trickles its bytes cannot hold the program by keeping each wait alive. It holds the
    // longest single wait and the main unit's pace with room to spare.
    int exchange_deadline_ms = 600000;

    // The waits of the tests: every pause a millisecond, time-outs of a second.
    static TransferTimings Fast();
};

// How the session reaches the windows of the program.
struct TransferPorts {
    // A message box with the caption "エラー" and the warning icon, owned by the progress window.
    std::function<void(std::string_view text)> show_error;
    // Posts to the window of that caption when it exists.
    std::function<void(std::string_view caption, int message, std::intptr_t wparam)> post;
    // Handles one pending GUI event, never waits.
    std::function<void()> pump;
};

// The fields of one HTTP exchange.
struct CHttpFields {
    virtual ~CHttpFields() = default;
    std::string date, title, connection, authorization, accept_encoding, host, server;
    std::string content_length_text;
    long content_length = -1;
};

class CTransferSession : public TransferEntryPoints {
  public:
    // The files (and the password) come from services; without them a transfer fails when it
    // needs a file.
    CTransferSession(TransferFileServices* services, TransferPorts ports,
                     TransferTimings timings = {});
    ~CTransferSession() override;

    void SetHost(std::string_view host, int port) override;
    void SetHosts(std::string_view host, int port, std::string_view local_address,
                  int listening_port) override;
    void SetDataFolder(std::string_view folder) override;
    std::string GetDataFolder() const override { return data_folder_; }
    [[nodiscard]] int UploadUnitData(int remote) override;
    [[nodiscard]] int DownloadUnitData(int remote) override;
    [[nodiscard]] int UploadSpeedDial() override;
    [[nodiscard]] int DownloadSpeedDial() override;
    [[nodiscard]] int ExportDataFiles() override;

    void set_listening_port(int port) { listening_port_ = port; }
    void set_timings(const TransferTimings& timings) { timings_ = timings; }

    const std::string& host() const { return host_; }
    int port() const { return port_; }
    int listening_port() const { return listening_port_; }
    const std::string& password() const { return password_; }
    const std::string& firmware_version() const { return firmware_version_; }
    const std::string& model() const { return model_; }

    // The pieces of the protocol, open for their tests.
    static std::string FileListDocument(int direction, const std::list<std::string>& files,
                                        const std::string& address);
    static std::string StatusText(int code);
    int ParseStatusLine(std::string_view line);
    int ParseHeaderLine(std::string_view line, CHttpFields& fields);
    int ParseRequestLine(std::string_view line);
    int StatusClass() const;
    int CheckAuthorization(std::string_view credential) const;
    std::string ResponseText(int code, const CHttpFields& fields) const;
    const std::string& requested_path() const { return requested_path_; }
    int request_method() const { return request_method_; }
    int status_code() const { return status_code_; }
    void set_phase(int phase) { phase_ = phase; }
    void set_unit_password(std::string password) { unit_password_ = std::move(password); }

  private:
    [[nodiscard]] int RunEntry(int kind, int remote);
    [[nodiscard]] int RunTransferSession(int direction);
    [[nodiscard]] int FetchConnectionInfo(CHttpFields& fields);
    [[nodiscard]] int BuildFileList(int direction);
    [[nodiscard]] int ConnectDevice();
    [[nodiscard]] int ListenDevice();
    std::string BuildRequest(int kind) const;
    [[nodiscard]] int SendStatus(int code, CHttpFields& fields, CTcpSocket& connection);
    [[nodiscard]] int ReadRequest(CHttpFields& fields);
    // Starts the time of one exchange on the connection.
    void BeginExchange(CTcpSocket& connection) const;
    [[nodiscard]] int ServiceProcess(int direction, CHttpFields& fields);
    [[nodiscard]] int FetchUnitFiles(CHttpFields& fields);
    [[nodiscard]] int ApplyStagedFiles();
    [[nodiscard]] int ReadResponseHead(CHttpFields& fields, int seconds, bool show_timeout);
    [[nodiscard]] int ReceiveXmlBody(CHttpFields& fields, std::string* body);
    [[nodiscard]] int DrainBody(const CHttpFields& fields);
    std::string GetTempFolder();
    void TakePassword();
    void PostTransferProgress(int start, int end, int range);
    void PostFileProgress(int start, int end, int range);
    void PostPercent(int percent);
    void Pump();
    void Wait(int ms);
    void PumpAndWait(int times, int ms);
    void ShowError(std::string_view text);
    void CloseSockets();
    SocketPorts MakeSocketPorts() const;

    TransferFileServices* services_;
    TransferPorts ports_;
    TransferTimings timings_;

    std::unique_ptr<CTcpSocket> client_;
    std::unique_ptr<CTcpSocket> listener_;
    std::unique_ptr<CTcpSocket> unit_connection_;
    int phase_ = 1;
    int request_method_ = 0;
    int status_code_ = -1;
    std::string data_folder_;
    std::string password_ = "5817";
    std::string requested_path_;
    std::string local_address_;
    std::string host_ = "Localhost";
    int port_ = 9000;
    int listening_port_ = 9000;
    std::string file_list_path_;
    std::string last_temp_file_;
    std::string firmware_version_;
    std::string model_;
    std::string unit_password_;
    std::list<std::string> file_list_;
    // The documents received in this run, applied together once the last one has come.
    struct StagedFile {
        std::string name;      // the data file's name, lower case
        std::string document;  // the received document in the temporary folder
    };
    std::vector<StagedFile> staged_;
    int file_count_ = 0;
    std::string current_file_;
    int progress_start_ = 0;
    int progress_step_ = 0;
    int accepted_ = 0;
    int remote_ = 0;
    FirmwareFlags firmware_;
};

}  // namespace qzs::net
