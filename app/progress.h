// The progress dialogs of long operations (transfer 339, file creation 377, connecting 380) and
// the registry by window caption through which the code doing the work finds and drives them,
// with the same message numbers the main-unit transfer posts.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "app/dialog.h"

namespace qzs::app {

class CDataSettingApp;

inline constexpr int WM_UPDATE_PRG = 1124;
inline constexpr int WM_SET_STARTPOS = 1125;
inline constexpr int WM_SET_ENDPOS = 1126;
inline constexpr int WM_SET_RANGE = 1127;
inline constexpr int WM_UPDATE_BYSTEP = 1128;

inline constexpr const char* kTransferProgressCaption = "データ通信実行中";
inline constexpr const char* kFileCreationCaption = "ファイル作成中";
inline constexpr const char* kConnectingCaption = "主装置接続中";

// Handles the waiting events of the GUI thread: one pass takes what is pending, never waits.
using EventPump = std::function<void()>;

// Dialogs 339 and 377: a bar, the percentage as a number and "%".
class ProgressDialogBase : public DialogPresenter {
  public:
    static constexpr int kBar = 2164;
    static constexpr int kLabel = 1006;
    static constexpr int kPercent = 1009;
    static constexpr int kPercentSign = 2557;

    // Enter and Esc neither press a button nor close the dialog.
    bool OnEnter() override { return true; }
    bool OnEscape() override { return true; }
    void OnCloseRequest() override {}

    // A progress message as the window receives it; false for a number it does not handle.
    bool HandleMessage(int message, std::intptr_t wparam);

    void UpDatePrg(int pos);
    void UpDateByStep(int n);

    int start_pos() const { return start_pos_; }
    int end_pos() const { return end_pos_; }
    int range() const { return range_; }

    void set_pump(EventPump pump) { pump_ = std::move(pump); }

  protected:
    ProgressDialogBase(int resource_id, std::string caption, int pump_passes);
    void OnCommand(int /*id*/) override {}
    void InitBar();

  private:
    int pump_passes_;
    EventPump pump_;
    int start_pos_ = 0;
    int end_pos_ = 0;
    int range_ = 0;
};

// Dialog 339.
class CTransferProgressDialog : public ProgressDialogBase {
  public:
    CTransferProgressDialog();
    void SetKind(int transfer_kind, int remote);
    void OnInit() override;
    int transfer_kind() const { return transfer_kind_; }

  private:
    int transfer_kind_ = 0;
    int remote_ = 0;
};

// Dialog 377.
class CFileCreationDialog : public ProgressDialogBase {
  public:
    CFileCreationDialog();
    void OnInit() override;
};

// Dialog 380: shows that the main unit is being called; its Cancel tells the owner.
class CConnectingDialog : public DialogPresenter {
  public:
    static constexpr int kState = 1006;
    static constexpr int kCancelNotice = 1125;

    // The owner receives the cancel notice (message 1125, both parameters 0).
    explicit CConnectingDialog(std::function<void(int message)> notify_owner);
    void OnInit() override;
    bool HandleMessage(int message, std::intptr_t wparam);
    bool OnEnter() override { return true; }
    bool OnEscape() override { return true; }

  protected:
    void OnCommand(int id) override;

  private:
    std::function<void(int message)> notify_owner_;
};

// Windows by caption, as the transfer code finds them. A window registers itself with the way a
// message reaches it (queued in the program, at once in tests); posting to a caption that no
// window has does nothing and answers false.
class ProgressRegistry {
  public:
    using Poster = std::function<void(int message, std::intptr_t wparam)>;

    static ProgressRegistry& Instance();

    // Answers a token for Remove; a second window of one caption hides the first until removed.
    int Add(const std::string& caption, Poster poster);
    void Remove(int token);
    bool Exists(const std::string& caption) const;
    bool Post(const std::string& caption, int message, std::intptr_t wparam) const;

  private:
    struct Entry {
        std::string caption;
        Poster poster;
    };
    mutable std::mutex mutex_;
    std::map<int, Entry> windows_;
    int next_token_ = 1;
};

// Registers a window for its lifetime.
class ScopedProgressWindow {
  public:
    ScopedProgressWindow(const std::string& caption, ProgressRegistry::Poster poster)
        : token_(ProgressRegistry::Instance().Add(caption, std::move(poster))) {}
    ~ScopedProgressWindow() { ProgressRegistry::Instance().Remove(token_); }
    ScopedProgressWindow(const ScopedProgressWindow&) = delete;
    ScopedProgressWindow& operator=(const ScopedProgressWindow&) = delete;

  private:
    int token_;
};

// A progress dialog shown without a modal loop through the application's ports and found by its
// caption while it lives; hidden and destroyed with this object at the latest.
class ShownProgress {
  public:
    ShownProgress(CDataSettingApp& app, std::unique_ptr<ProgressDialogBase> dialog);
    ~ShownProgress();
    ShownProgress(const ShownProgress&) = delete;
    ShownProgress& operator=(const ShownProgress&) = delete;

    void PumpTen();
    void Percent(int percent) { dialog_->HandleMessage(WM_UPDATE_PRG, percent); }
    void Hide();

  private:
    std::unique_ptr<ProgressDialogBase> dialog_;
    std::function<void()> close_;
    std::function<void()> pump_;
    int token_ = 0;
};

}  // namespace qzs::app
