// The keypad console shared by qzs-keypad and qzs-sheets: a freshly initialised data image in an
// application object, and standard input read line by line as tools/keypad.cpp describes, so
// that both programs answer the same lines with the same output.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qzs {
struct ProgrammingState;
namespace app {
class CDataSettingApp;
class StateTransferFiles;
}  // namespace app
namespace net {
class TransferFileServices;
struct FirmwareFlags;
}  // namespace net
}  // namespace qzs

namespace qzs::tools {

struct UnitAddress {
    std::string host;
    std::uint16_t port = 0;
    std::uint16_t listening_port = 0;
};

// HOST:PORT:LISTENPORT with a host and two ports from 1 to 65535.
std::optional<UnitAddress> ParseUnit(std::string_view text);
// A port number 1-65535 written in digits only.
std::optional<std::uint16_t> ParsePort(std::string_view text);
// The folder of this program's file, with its trailing "/".
std::filesystem::path ProgramDirectory();

// What a whole-data and a speed-dial download give the main unit, written into dir; empty on
// success, else what failed.
std::string TransferOut(qzs::net::TransferFileServices& files, const std::string& dir,
                        const qzs::net::FirmwareFlags& firmware);
// Every transfer file found in dir applied as the uploads do; empty on success, else what failed.
std::string TransferIn(qzs::net::TransferFileServices& files, const std::string& dir,
                       const qzs::net::FirmwareFlags& firmware);

class KeypadConsole {
  public:
    // program: the name the console's messages on stderr begin with.
    explicit KeypadConsole(std::string program);
    ~KeypadConsole();
    KeypadConsole(const KeypadConsole&) = delete;
    KeypadConsole& operator=(const KeypadConsole&) = delete;

    // False when this system cannot convert CP932 to UTF-8.
    bool Ready() const;
    qzs::app::CDataSettingApp& app();
    ProgrammingState& state();
    qzs::app::StateTransferFiles& transfer_files();

    // The main unit the UPLOAD, DOWNLOAD, SDUPLOAD and SDDOWNLOAD lines talk to.
    void SetUnit(const UnitAddress& unit, bool fast);
    // The data-setting file at a path; LoadDataFile's or SaveDataFile's answer (0 success).
    int LoadFile(const std::string& path);
    int SaveFile(const std::string& path);

    // Every line of in, each answer on out. 0 at the end of the input; 2 for a refused line or a
    // transfer line without a unit (the message on stderr, nothing more read).
    int Run(std::istream& in, std::ostream& out);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qzs::tools
