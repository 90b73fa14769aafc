// What the transfer with the main unit needs of the data image and its files: the password, the
// header of a received file, the writers of the files that go to the main unit, the converters
// of the files that come from it, and the offline data files written and read around a transfer.
// The transfer session and the menus reach all of it only through this interface; the program
// gives the converters of the settings layer, tests a double.
#pragma once

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "programming/user_information.h"
#include "settings/data_file.h"

namespace qzs::net {

// The three flags taken from the main unit's firmware version.
struct FirmwareFlags {
    int v100 = 0;    // the version is "1.00"
    int below4 = 0;  // its integer value is below 4
    int v501 = 0;    // the version is "5.01"
};
FirmwareFlags FirmwareFlagsOf(std::string_view version);

// Data-file kinds as the offline files number them.
inline constexpr int kDataFileAllGroups = 0;
inline constexpr int kDataFileSystemPhoneBook = 1;
inline constexpr int kDataFileTelephonePhoneBooks = 2;

// What received files change of the data image, kept before a run applies them; Restore puts it
// back when applying fails part-way.
class ImageCheckpoint {
  public:
    virtual ~ImageCheckpoint() = default;
    virtual void Restore() = 0;
};

class TransferFileServices {
  public:
    virtual ~TransferFileServices() = default;

    // A checkpoint of the data image; null from services that keep no image.
    virtual std::unique_ptr<ImageCheckpoint> Checkpoint() { return nullptr; }

    // The first sheet line of command group '0' (the password at columns 20 to 23); empty when
    // the group lists nothing.
    virtual std::string PasswordSheetLine() = 0;
    // The header record of a received file (FormatDataFileHeader of the current information).
    virtual std::string DataFileHeader() = 0;

    // Files that go to the main unit. folder is the data folder without a trailing separator.
    [[nodiscard]] virtual int WriteDataSetFile(int group, const std::string& folder, int progress,
                                               int firmware_501) = 0;
    [[nodiscard]] virtual int MakeKeySheetFiles(const std::string& one_touch_path,
                                                const std::string& nandemo_path,
                                                int firmware_below4, int progress,
                                                int firmware_501) = 0;
    virtual int MakeSysTanXml(std::FILE* source, std::FILE* target, int firmware_100) = 0;
    virtual int MakeTelTanXml(std::FILE* source, std::FILE* target, int firmware_100) = 0;

    // Files that come from it: the texts (CP932) of the received elements of one tag name, and
    // the local file the converter writes after the header.
    virtual int ConvertSysTanXml(const std::vector<std::string>& systan, std::FILE* local,
                                 int firmware_100) = 0;
    virtual int ConvertTelTanXml(const std::vector<std::string>& teltan, std::FILE* local,
                                 int firmware_100) = 0;
    virtual int ApplyOneTouchXml(const std::vector<std::string>& i92, std::FILE* local) = 0;
    virtual int ApplyNandemoXml(const std::vector<std::string>& i14, std::FILE* local,
                                int firmware_below4) = 0;
    virtual int ApplyDsetElement(int number, const std::string& text, std::FILE* local,
                                 int firmware_501) = 0;

    // The offline data files around a transfer: kind 1 or 2 in folder (with its trailing
    // separator) under name, the phone-book columns in the main unit's order when csv_layout is 1.
    [[nodiscard]] virtual int SaveDataFile(int kind, const std::string& folder,
                                           const std::string& name, int csv_layout) = 0;
    [[nodiscard]] virtual int LoadDataFile(int kind, const std::string& folder,
                                           const std::string& name, int csv_layout) = 0;
};

}  // namespace qzs::net
