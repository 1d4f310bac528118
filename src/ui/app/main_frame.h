#pragma once

#include "app/data_windows.h"
#include "app/instrument_session.h"
#include "app/menu_state.h"
#include "app/nimbrel_ini.h"
#include "base/gate.h"
#include "chart/zoom_mode.h"
#include "data/open_save.h"
#include "download/download_view.h"
#include "link/port_settings.h"
#include "protocol/session_view.h"
#include "ui/app/data_window.h"

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QPrinter;
class QMimeData;
class QToolBar;

namespace nimbrel {

class CColourStatusPane;
class CDownloadStatusDlg;
class CHandbookDlg;
class CPictureButton;
class CSetupDlg;
class CTryConnDlg;
class CWaitGetStatusDlg;

// What the main window is made with: the start-up's findings and, for tests, the prompts and the
// session's timing.
struct MainFrameOptions {
  std::filesystem::path programDirectory;
  CPortConfig portConfig; // as read at start-up
  FactoryMarkers markers;
  std::string handbookPage;
  CPrintGraphSettings printSettings;
  SessionTiming timing;        // the product's values unless a test scales them
  IPrompts* prompts = nullptr; // null: the program's message boxes and file dialogs
  std::string simulated;       // when set, the title says that the instrument is simulated (the port's name)
};

// The main window: menus, tool bar and status bar over an empty view, the instrument session with
// its windows, the table of data windows, open and save, the handbook, the about box, the licence
// and the orderly exit. It decides nothing: the session's menu state enables every command, the
// session and the open and save rules decide what happens, and the dialogs show what they give.
class CMainFrame final : public QMainWindow,
                         public ISessionView,
                         public IDownloadView,
                         public IOpenSaveHost,
                         public IDataWindowHost {
  Q_OBJECT
public:
  explicit CMainFrame(MainFrameOptions options);
  ~CMainFrame() override;
  CMainFrame(const CMainFrame&) = delete;
  CMainFrame& operator=(const CMainFrame&) = delete;

  // A command of the menus, the tool bar or a shortcut; nothing when it is not enabled now.
  void Run(ShellCommand command);
  // A file named on the command line: opened in a data window without counting as shown data.
  void OpenAtStartup(const std::filesystem::path& file);
  // The start-up picture (also Ctrl+N).
  void ShowSplash();
  // Ctrl+P: the last opened data window prints, when it can.
  void PrintActive();
  // Enables the menus and the tool bar by the session's state.
  void UpdateCommandUi();
  // Files dropped on the window: the data files among them open as File > Open opens a file.
  bool OpenDropped(const QMimeData* dropped);
  // Called once when the window first paints (the start-up picture, the start-up measurement).
  std::function<void()> onFirstPaint;

  // What the windows show, for tests and screenshots.
  [[nodiscard]] CInstrumentSession* Session() const { return session_.get(); }
  [[nodiscard]] CGate& Gate() { return gate_; }
  [[nodiscard]] IPrompts& Prompts() override { return *prompts_; }
  [[nodiscard]] QAction* Action(ShellCommand c) const { return actions_.at(static_cast<std::size_t>(c)); }
  [[nodiscard]] CPictureButton* Button(ShellCommand c) const { return buttons_.at(static_cast<std::size_t>(c)); }
  [[nodiscard]] CColourStatusPane* LinkPane() const { return linkPane_; }
  [[nodiscard]] QLabel* MessagePane() const { return messagePane_; }
  [[nodiscard]] CTryConnDlg* ConnectingDialog() const { return connecting_.get(); }
  [[nodiscard]] CWaitGetStatusDlg* WaitDialog() const { return wait_.get(); }
  [[nodiscard]] CSetupDlg* SetupDialog() const { return setup_.get(); }
  [[nodiscard]] CDownloadStatusDlg* DownloadStatus() const { return downloadStatus_.get(); }
  [[nodiscard]] CHandbookDlg* Handbook() const { return handbook_.get(); }
  [[nodiscard]] const CDataWindowTable<QWidget, CDeleteLater>& DataWindows() const { return windows_; }
  [[nodiscard]] std::optional<DownloadEnd> LastDownloadEnd() const { return lastDownloadEnd_; }
  [[nodiscard]] const CPrintGraphSettings& PrintSettings() const { return options_.printSettings; }

  // ISessionView and IDownloadView
  void SetLinkStatus(const LinkStatus& status) override;
  void SetTitle(const std::string& title) override;
  void ShowConnecting(const std::string& text) override;
  void HideConnecting() override;
  void ConnectFinished(bool connected) override;
  void ShowInstrumentInfo(const std::string& text) override;
  void ShowWaitDialog(const std::string& text) override;
  void DestroyWaitDialog() override;
  void ShowSetupDialog() override;
  std::optional<std::string> AskSerialNumber(const std::string& prompt) override;
  int SavePrompt() override;
  [[nodiscard]] bool IsMinimised() const override { return isMinimized(); }
  void ShowDownloadStatus(const DownloadStatusValues& values) override;
  void UpdateDownloadStatus(const DownloadStatusValues& values) override;
  void HideDownloadStatus() override;
  void DestroyDownloadStatus() override;
  void DownloadEnded(DownloadEnd how) override;
  void OpenDataWindow(const std::filesystem::path& path) override;
  std::optional<DownloadOption> ChooseDownloadOption(const std::string& message, bool oldTemperature) override;

  // IOpenSaveHost
  [[nodiscard]] bool IsConnected() const override;
  [[nodiscard]] std::string InstrumentType() const override;
  [[nodiscard]] std::string SerialNumber() const override;
  void Disconnect() override;
  void ClearDownloading() override;
  void CloseLastDataWindow() override;

  // IDataWindowHost
  CZoomMode& ZoomMode() override { return zoomMode_; }
  std::atomic<bool>& CancelRequest() override { return cancelRequest_; }
  [[nodiscard]] std::filesystem::path ProgramDirectory() const override { return options_.programDirectory; }
  void SaveDataWindowAs(const std::filesystem::path& file) override;
  bool MayClose() override;
  void Closed(CViewFileDlg* window) override;

protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool event(QEvent* event) override;

private:
  void BuildMenus();
  void BuildToolBar();
  void BuildStatusBar();
  void RunPortSettings();
  void RunPrinterSetup();
  void RunPrintGraphSetting();
  void RunAbout();
  void RunLicence();
  void RunHandbook();
  void TearDown();
  [[nodiscard]] bool Enabled(ShellCommand c) const;

  MainFrameOptions options_;
  CGate gate_;
  std::unique_ptr<IScheduler> scheduler_;
  std::unique_ptr<IPrompts> ownPrompts_;
  IPrompts* prompts_;
  CPortIniStore store_;
  std::unique_ptr<ISessionPort> port_;
  std::unique_ptr<CInstrumentSession> session_;
  std::unique_ptr<COpenSave> openSave_;
  CDataWindowTable<QWidget, CDeleteLater> windows_;
  std::array<QAction*, kShellCommandCount> actions_{};
  std::array<CPictureButton*, kShellCommandCount> buttons_{};
  QToolBar* toolBar_ = nullptr;
  QLabel* messagePane_ = nullptr;
  CColourStatusPane* linkPane_ = nullptr;
  std::unique_ptr<CTryConnDlg> connecting_;
  std::unique_ptr<CWaitGetStatusDlg> wait_;
  std::unique_ptr<CSetupDlg> setup_;
  std::unique_ptr<CDownloadStatusDlg> downloadStatus_;
  std::unique_ptr<CHandbookDlg> handbook_;
  std::unique_ptr<QPrinter> printer_; // made on first use: finding the printers takes time
  QTimer idleUpdate_;
  std::optional<DownloadEnd> lastDownloadEnd_;
  CZoomMode zoomMode_;                     // shared by every data window
  std::atomic<bool> cancelRequest_{false}; // the wait dialog's Cancel while a data file is read
  bool busyCursor_ = false;
  bool tornDown_ = false;
  bool painted_ = false;
};

} // namespace nimbrel
