// The data file dialog (378): loads the data image from, or saves it to, offline data files of
// four kinds chosen by the user. The file formats belong to the data-file code; this dialog picks
// the file, checks it or the free space, and hands over kind, folder and name.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/dialog.h"

namespace qzs::app {

// What the dialog needs of the data-file code; each call holds the application lock for the
// setting of folder and name and the load or save together.
class DataFileServices {
  public:
    virtual ~DataFileServices() = default;
    // 0 success, 30 the file cannot be opened or created, other values other failures.
    [[nodiscard]] virtual int LoadDataFile(int kind, const std::string& folder,
                                           const std::string& name) = 0;
    [[nodiscard]] virtual int SaveDataFile(int kind, const std::string& folder,
                                           const std::string& name) = 0;
    virtual void CommitSpeedDialPage(int flag, int page, int scope) = 0;
    virtual void CountFreeSpeedDialRows(int telephone) = 0;
};

struct FileChooserRequest {
    bool save = false;
    std::string title;
    std::string filter;  // "text|pattern|text|pattern|"
    std::string default_extension;
};

struct DataFilePorts {
    MessagePort* messages = nullptr;
    DataFileServices* files = nullptr;
    // The system's file dialog: the chosen path, or nothing when the user cancelled. A save
    // chooser asks before overwriting.
    std::function<std::optional<std::string>(const FileChooserRequest&)> choose_file;
    // Free bytes of the volume holding the folder; nothing when it cannot be told.
    std::function<std::optional<std::uint64_t>(const std::string& folder)> free_bytes;
    std::function<void(bool wait)> set_wait_cursor;
};

// The kind chosen last (0 data setting, 1 common phone book, 2 my phone book, 3 buttons) and the
// mode the data-setting menu opens the dialog in (0 load, 1 save).
struct FileDialogGlobals {
    int kind = 0;
    int mode = 0;
};
FileDialogGlobals& FileDialogState();

class CDataFileDialog : public DialogPresenter {
  public:
    static constexpr int kDataSetting = 2552;
    static constexpr int kButtons = 2553;
    static constexpr int kCommonBook = 2554;
    static constexpr int kMyBook = 2555;

    explicit CDataFileDialog(DataFilePorts ports);
    void OnInit() override;
    void OnCloseRequest() override;

    static std::string FilterFor(int dialog_kind);
    static std::uint64_t RequiredFreeBytes(int dialog_kind);
    static int SubsystemKind(int dialog_kind);

    bool busy() const { return busy_; }

  protected:
    void OnCommand(int id) override;

  private:
    void LoadFile();
    void SaveFile();
    void SetBusy(bool busy);
    void Message(const char* text, const char* caption);

    DataFilePorts ports_;
    bool load_ = true;
    bool busy_ = false;
};

// statvfs of the folder: the bytes an unprivileged user may still write.
std::optional<std::uint64_t> FreeBytesOfFolder(const std::string& folder);

}  // namespace qzs::app
