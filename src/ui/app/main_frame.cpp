#include "ui/app/main_frame.h"

#include "base/text.h"
#include "link/queued_sink.h"
#include "link/serial_session_port.h"
#include "ui/app/shell_dialogs.h"
#include "ui/base/modal.h"
#include "ui/base/qt_prompts.h"
#include "ui/base/qt_text.h"
#include "ui/download/download_dialogs.h"
#include "ui/link/port_setup_dlg.h"
#include "ui/protocol/connection_dialogs.h"
#include "ui/setup/setup_dlg.h"
#include "ui/viewer/view_file_dlg.h"
#include "ui/widgets/colour_status_pane.h"
#include "ui/widgets/picture_button.h"
#include "ui/widgets/pictures.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>

namespace nimbrel {

namespace fs = std::filesystem;

namespace {

constexpr int kLinkPaneWidth = 200;
constexpr int kIdleUpdateMs = 200;
constexpr QSize kInitialSize{900, 600};
constexpr QSize kMinimumSize{500, 450};

// A COLORREF (0x00BBGGRR) as a colour.
QColor Colour(std::uint32_t colorref) {
  return {static_cast<int>(colorref & 0xFFU), static_cast<int>((colorref >> 8U) & 0xFFU),
          static_cast<int>((colorref >> 16U) & 0xFFU)};
}

pictures::Id PictureOf(ShellCommand c) {
  switch (c) {
  case ShellCommand::Open:
    return pictures::Id::Open;
  case ShellCommand::SaveAs:
    return pictures::Id::SaveAs;
  case ShellCommand::Connect:
    return pictures::Id::Connect;
  case ShellCommand::Disconnect:
    return pictures::Id::Disconnect;
  case ShellCommand::Download:
    return pictures::Id::DownloadData;
  case ShellCommand::Setup:
    return pictures::Id::InstrSetup;
  case ShellCommand::ClearTotalCounter:
    return pictures::Id::ClearTotalCounter;
  case ShellCommand::ClearPartialCounter:
    return pictures::Id::ClearPartialCounter;
  default:
    return pictures::Id::Handbook;
  }
}

// The files of a drop that are data files.
std::vector<fs::path> DroppedDataFiles(const QMimeData* data) {
  std::vector<fs::path> files;
  if (data == nullptr) {
    return files;
  }
  for (const QUrl& url : data->urls()) {
    const QString file = url.toLocalFile();
    if (!file.isEmpty() && file.endsWith(QStringLiteral(".rlg"), Qt::CaseInsensitive)) {
      files.emplace_back(file.toStdString());
    }
  }
  return files;
}

// Releases a window to the event loop: it is never destroyed inside one of its own handlers.
template <typename T> void DestroyLater(std::unique_ptr<T>& window) {
  if (window) {
    window->hide();
    window.release()->deleteLater();
  }
}

} // namespace

CMainFrame::CMainFrame(MainFrameOptions options)
    : options_(std::move(options)),
      gate_([this](std::function<void()> fn) { QTimer::singleShot(0, this, std::move(fn)); }),
      scheduler_(MakeQtScheduler(&gate_)),
      ownPrompts_(options_.prompts == nullptr ? std::make_unique<CQtPrompts>(this, &gate_) : nullptr),
      prompts_(options_.prompts != nullptr ? options_.prompts : ownPrompts_.get()), store_(options_.programDirectory),
      port_(std::make_unique<CSerialSessionPort>(options_.programDirectory)), windows_(*prompts_) {
  // The listener's events reach the session through the window's event queue, in order, and wait
  // at the gate while a modal dialog is open.
  auto marshal = [this](LinkEventSink inner) {
    return MakeQueuedSink(this, [this, inner = std::move(inner)](LinkEvent event) {
      gate_.Pass(0, [this, inner, event = std::move(event)] {
        inner(event);
        UpdateCommandUi();
      });
    });
  };
  // The program-wide record keeps the flag of the last port.ini read.
  CPortConfig unused;
  (void)store_.Read(unused);
  session_ = std::make_unique<CInstrumentSession>(
      CInstrumentSession::Deps{*port_, *scheduler_, *prompts_, *this, *this, store_, options_.programDirectory,
                               options_.portConfig, options_.markers, options_.timing, marshal});
  CDownloadedData& record = session_->DownloadedData();
  openSave_ =
      std::make_unique<COpenSave>(OpenSaveRecord{record.CurrentDumpPath, record.DataSaved, record.DataDisplayed}, *this,
                                  *prompts_, options_.programDirectory);

  setWindowIcon(pictures::Icon(pictures::Id::Program));
  SetTitle("Nimbrel");
  resize(kInitialSize);
  setMinimumSize(kMinimumSize);
  setAcceptDrops(true);
  auto* view = new QWidget(this); // NOLINT(cppcoreguidelines-owning-memory): the window owns its view
  view->setAccessibleName(QStringLiteral("Nimbrel"));
  setCentralWidget(view);
  BuildMenus();
  BuildToolBar();
  BuildStatusBar();

  auto* print = new QShortcut(QKeySequence(QStringLiteral("Ctrl+P")), this); // NOLINT: owned by the window
  connect(print, &QShortcut::activated, this, &CMainFrame::PrintActive);
  auto* splash = new QShortcut(QKeySequence(QStringLiteral("Ctrl+N")), this); // NOLINT: owned by the window
  connect(splash, &QShortcut::activated, this, &CMainFrame::ShowSplash);

  // The commands' state is refreshed after every command and every event, and while idle, as the
  // states that a timer of the session changes have no event of their own.
  connect(&idleUpdate_, &QTimer::timeout, this, &CMainFrame::UpdateCommandUi);
  idleUpdate_.start(kIdleUpdateMs);
  UpdateCommandUi();
}

CMainFrame::~CMainFrame() {
  TearDown();
}

void CMainFrame::TearDown() {
  if (tornDown_) {
    return;
  }
  tornDown_ = true;
  idleUpdate_.stop();
  windows_.DestroyAll();
  // Nothing of theirs runs now: the data windows go at once, not after the program's last loop.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  handbook_.reset();
  setup_.reset();
  wait_.reset();
  downloadStatus_.reset();
  connecting_.reset();
  openSave_.reset();
  session_.reset(); // closes the port and forgets the queued commands
}

// ---------------------------------------------------------------------------------------------
// Menus, tool bar, status bar

void CMainFrame::BuildMenus() {
  for (const MenuLayout& menu : MainMenuLayout()) {
    QMenu* m = menuBar()->addMenu(QString::fromLatin1(menu.title));
    connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUi);
    for (const auto& item : menu.items) {
      if (!item) {
        m->addSeparator();
        continue;
      }
      const ShellCommand c = *item;
      QAction* action = m->addAction(QString::fromLatin1(CommandText(c)));
      action->setStatusTip(QString::fromLatin1(PromptOf(c).statusPrompt));
      connect(action, &QAction::triggered, this, [this, c] { Run(c); });
      actions_.at(static_cast<std::size_t>(c)) = action;
    }
  }
  Action(ShellCommand::Open)->setShortcut(QKeySequence(QString::fromLatin1(kOpenShortcut)));
  for (ShellCommand c : {ShellCommand::InstrumentBar, ShellCommand::StatusBar}) {
    Action(c)->setCheckable(true);
    Action(c)->setChecked(true);
  }
}

void CMainFrame::BuildToolBar() {
  toolBar_ = addToolBar(QStringLiteral("Instrument bar"));
  toolBar_->setObjectName(QStringLiteral("InstrumentBar"));
  toolBar_->setMovable(false);
  toolBar_->setFloatable(false);
  toolBar_->setAllowedAreas(Qt::TopToolBarArea);
  toolBar_->setAccessibleName(QStringLiteral("Instrument bar"));
  for (const auto& item : ToolBarLayout()) {
    if (!item) {
      toolBar_->addSeparator();
      continue;
    }
    const ShellCommand c = *item;
    const char* tip = PromptOf(c).tooltip;
    const QString toolTip = QString::fromLatin1(*tip != '\0' ? tip : CommandText(c)).remove(QLatin1Char('&'));
    auto* button = new CPictureButton(pictures::Icon(PictureOf(c)), toolTip, pictures::kToolBarSize,
                                      toolBar_); // NOLINT(cppcoreguidelines-owning-memory): the bar owns it
    button->setStatusTip(QString::fromLatin1(PromptOf(c).statusPrompt));
    connect(button, &CPictureButton::clicked, this, [this, c] { Run(c); });
    toolBar_->addWidget(button);
    buttons_.at(static_cast<std::size_t>(c)) = button;
  }
}

void CMainFrame::BuildStatusBar() {
  // NOLINTBEGIN(cppcoreguidelines-owning-memory): the status bar owns its panes
  messagePane_ = new QLabel(QStringLiteral("Ready"), statusBar());
  messagePane_->setAccessibleName(QStringLiteral("Message"));
  statusBar()->addWidget(messagePane_, 1);
  linkPane_ = new CColourStatusPane(QStringLiteral("Connection"), kLinkPaneWidth, QStringLiteral("Disconnected"),
                                    Colour(kColourYellow), statusBar());
  // NOLINTEND(cppcoreguidelines-owning-memory)
  statusBar()->addPermanentWidget(linkPane_);
  statusBar()->setAccessibleName(QStringLiteral("Status bar"));
}

bool CMainFrame::Enabled(ShellCommand c) const {
  return session_ && session_->Menu()[c].enabled;
}

void CMainFrame::UpdateCommandUi() {
  if (!session_) {
    for (QAction* a : actions_) {
      a->setEnabled(false);
    }
    return;
  }
  const ShellMenuState state = session_->Menu();
  for (std::size_t i = 0; i < kShellCommandCount; ++i) {
    const auto c = static_cast<ShellCommand>(i);
    const CommandState& s = state[c];
    QAction* action = actions_.at(i);
    action->setEnabled(s.enabled);
    const QString text = QString::fromLatin1(s.text.c_str());
    if (action->text() != text) {
      action->setText(text);
    }
    if (CPictureButton* button = buttons_.at(i)) {
      button->setEnabled(s.enabled);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Commands

void CMainFrame::Run(ShellCommand command) {
  if (!Enabled(command)) {
    return;
  }
  switch (command) {
  case ShellCommand::Open:
    openSave_->Open();
    break;
  case ShellCommand::SaveAs:
    openSave_->SaveAs();
    break;
  case ShellCommand::PrinterSetup:
    RunPrinterSetup();
    break;
  case ShellCommand::PrintGraphSetting:
    RunPrintGraphSetting();
    break;
  case ShellCommand::Exit:
    close();
    return;
  case ShellCommand::Connect:
    if (!busyCursor_) {
      busyCursor_ = true;
      QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    session_->Connect();
    break;
  case ShellCommand::Disconnect:
    (void)session_->Disconnect();
    break;
  case ShellCommand::InstrInfo:
    session_->OnInstrInfo();
    break;
  case ShellCommand::Download:
    session_->OnDownload();
    break;
  case ShellCommand::Setup:
    session_->OnInstrumentSetup();
    break;
  case ShellCommand::ClearPartialCounter:
    session_->OnClearPartialCounter();
    break;
  case ShellCommand::ClearTotalCounter:
    session_->OnClearTotalCounter();
    break;
  case ShellCommand::EraseMemory:
    session_->OnEraseMemory();
    break;
  case ShellCommand::SetSerialNum:
    session_->OnSetSerialNumber();
    break;
  case ShellCommand::InstrumentBar:
    toolBar_->setVisible(!toolBar_->isVisible());
    Action(command)->setChecked(toolBar_->isVisible());
    break;
  case ShellCommand::StatusBar:
    statusBar()->setVisible(!statusBar()->isVisible());
    Action(command)->setChecked(statusBar()->isVisible());
    break;
  case ShellCommand::PortSettings:
    RunPortSettings();
    break;
  case ShellCommand::About:
    RunAbout();
    break;
  case ShellCommand::Licence:
    RunLicence();
    break;
  case ShellCommand::Handbook:
    RunHandbook();
    break;
  }
  UpdateCommandUi();
}

void CMainFrame::RunPortSettings() {
  CPortSetupDlg dialog(session_->PortSettings().AutoDetect != 0, this);
  if (ExecModal(dialog, &gate_) != QDialog::Accepted || !session_) {
    return;
  }
  const CPortConfig config = ApplyPortSetup(dialog.Texts(), session_->PortSettings());
  session_->SetPortSettings(config); // the settings in memory keep the new values even when the file fails
  if (const Status written = store_.Write(config); !written.ok()) {
    prompts_->Message(written.message(), Icon::Warning);
  }
}

void CMainFrame::RunPrinterSetup() {
  if (!printer_) {
    printer_ = std::make_unique<QPrinter>();
  }
  QPrintDialog dialog(printer_.get(), this);
  dialog.setWindowTitle(QStringLiteral("Printer setup"));
  (void)ExecModal(dialog, &gate_);
}

void CMainFrame::RunPrintGraphSetting() {
  const Result<CPrintGraphSettings> stored = ReadPrintGraphSettings(options_.programDirectory);
  if (!stored.ok()) {
    prompts_->Message(stored.status().message(), Icon::None);
  }
  CPrintGraphSizeModel model(stored.value());
  CPrintGraphSizeDlg dialog(model, this);
  if (ExecModal(dialog, &gate_) != QDialog::Accepted) {
    return;
  }
  options_.printSettings = model.Taken(); // taken over whether or not the file can be written
  if (const Status saved = model.Save(options_.programDirectory); !saved.ok()) {
    prompts_->Message(saved.message(), Icon::None);
  }
}

void CMainFrame::RunAbout() {
  CAboutDlg dialog(this);
  (void)ExecModal(dialog, &gate_);
}

void CMainFrame::RunLicence() {
  CLicenceDlg dialog(options_.programDirectory, this);
  (void)ExecModal(dialog, &gate_);
}

void CMainFrame::RunHandbook() {
  if (!handbook_) {
    handbook_ = std::make_unique<CHandbookDlg>(options_.programDirectory, options_.handbookPage, this);
  }
  handbook_->show();
  handbook_->raise();
  handbook_->activateWindow();
}

void CMainFrame::ShowSplash() {
  auto* splash = new CSplashWnd(this); // NOLINT(cppcoreguidelines-owning-memory): deletes itself on close
  splash->show();
  splash->raise();
}

void CMainFrame::PrintActive() {
  QWidget* window = windows_.Active();
  if (window == nullptr || window->metaObject()->indexOfMethod("Print()") < 0 ||
      !QMetaObject::invokeMethod(window, "Print")) {
    prompts_->Message("Nothing to print: open a data file first, then print its table or graph.", Icon::Information);
  }
}

void CMainFrame::OpenAtStartup(const fs::path& file) {
  if (!session_) {
    return;
  }
  session_->DownloadedData().DataDisplayed = false;
  OpenDataWindow(file);
}

// ---------------------------------------------------------------------------------------------
// The session's windows

void CMainFrame::SetLinkStatus(const LinkStatus& status) {
  linkPane_->SetState(Q(status.text), Colour(status.colour));
}

void CMainFrame::SetTitle(const std::string& title) {
  setWindowTitle(options_.simulated.empty()
                     ? Q(title)
                     : QStringLiteral("%1 [simulated instrument on %2]").arg(Q(title), Q(options_.simulated)));
}

void CMainFrame::ShowConnecting(const std::string& text) {
  if (!connecting_) {
    connecting_ = std::make_unique<CTryConnDlg>(*scheduler_, *prompts_, this);
  }
  connecting_->ShowText(text);
}

void CMainFrame::HideConnecting() {
  if (connecting_) {
    connecting_->HideDialog();
  }
}

void CMainFrame::ConnectFinished(bool /*connected*/) {
  if (busyCursor_) {
    busyCursor_ = false;
    QApplication::restoreOverrideCursor();
  }
  UpdateCommandUi();
}

void CMainFrame::ShowInstrumentInfo(const std::string& text) {
  CInstrInfoDlg dialog(text, this);
  (void)ExecModal(dialog, &gate_);
}

void CMainFrame::ShowWaitDialog(const std::string& text) {
  if (!wait_) {
    wait_ = std::make_unique<CWaitGetStatusDlg>(
        *scheduler_, *prompts_,
        [this] {
          if (session_) {
            session_->OnWaitDialogCancel();
          }
        },
        this);
  }
  wait_->ShowText(text);
}

void CMainFrame::DestroyWaitDialog() {
  DestroyLater(wait_);
}

void CMainFrame::ShowSetupDialog() {
  if (!setup_) {
    setup_ = std::make_unique<CSetupDlg>(
        session_->SetupModel(), [this] { return session_ && session_->ApplySetup(); }, [this] { DestroyLater(setup_); },
        this);
  }
  setup_->ShowSetup();
}

std::optional<std::string> CMainFrame::AskSerialNumber(const std::string& prompt) {
  CSetSerialNumDlg dialog(prompt, this);
  if (ExecModal(dialog, &gate_) != QDialog::Accepted) {
    return std::nullopt;
  }
  return dialog.Value();
}

int CMainFrame::SavePrompt() {
  return openSave_ ? openSave_->SavePrompt() : 0;
}

void CMainFrame::ShowDownloadStatus(const DownloadStatusValues& values) {
  if (!downloadStatus_) {
    downloadStatus_ = std::make_unique<CDownloadStatusDlg>(
        [this] {
          if (session_) {
            session_->OnStopDownload();
          }
          UpdateCommandUi();
        },
        this);
  }
  downloadStatus_->Show(values);
  UpdateCommandUi();
}

void CMainFrame::UpdateDownloadStatus(const DownloadStatusValues& values) {
  if (downloadStatus_) {
    downloadStatus_->Update(values);
  }
}

void CMainFrame::HideDownloadStatus() {
  if (downloadStatus_) {
    downloadStatus_->hide();
  }
}

void CMainFrame::DestroyDownloadStatus() {
  DestroyLater(downloadStatus_);
}

void CMainFrame::DownloadEnded(DownloadEnd how) {
  lastDownloadEnd_ = how;
  if (how == DownloadEnd::Stalled && downloadStatus_) {
    downloadStatus_->SetStalled();
  }
  UpdateCommandUi();
}

void CMainFrame::OpenDataWindow(const fs::path& path) {
  QWidget* window = windows_.Open([&] { return MakeDataWindow(path, *this); });
  if (window != nullptr) {
    window->show();
    window->raise();
  }
}

std::optional<DownloadOption> CMainFrame::ChooseDownloadOption(const std::string& message, bool oldTemperature) {
  CDownloadOptDlg dialog(message, oldTemperature, this);
  if (ExecModal(dialog, &gate_) != QDialog::Accepted) {
    return std::nullopt;
  }
  return dialog.Choice();
}

// ---------------------------------------------------------------------------------------------
// Open and save

bool CMainFrame::IsConnected() const {
  return session_ && session_->Connected();
}

std::string CMainFrame::InstrumentType() const {
  return session_ ? session_->InstrStatus().InstrType : std::string();
}

std::string CMainFrame::SerialNumber() const {
  return session_ ? session_->InstrStatus().SerialNum : std::string();
}

void CMainFrame::Disconnect() {
  if (session_) {
    (void)session_->Disconnect();
  }
}

void CMainFrame::ClearDownloading() {
  // The download keeps its own flag: the save prompt never runs while pages arrive (Disconnect is
  // disabled then, and a data window closed during a download does not ask).
}

void CMainFrame::CloseLastDataWindow() {
  (void)windows_.Close(windows_.Active());
}

bool CMainFrame::MayClose() {
  // The save prompt runs while connected, and also while a download's data are still current
  // after the link went away: otherwise nothing would ever let them go, and Connect, Open and
  // Download would stay disabled.
  if (tornDown_ || !session_ || session_->Downloading() ||
      (!session_->Connected() && session_->DownloadedData().CurrentDumpPath.empty())) {
    return true;
  }
  const bool close = openSave_->SavePrompt() != -1;
  UpdateCommandUi();
  return close;
}

void CMainFrame::Closed(CViewFileDlg* window) {
  (void)windows_.Close(window);
  UpdateCommandUi();
}

void CMainFrame::SaveDataWindowAs(const fs::path& file) {
  if (openSave_) {
    openSave_->SaveDataWindowAs(file);
  }
}

// ---------------------------------------------------------------------------------------------
// Events

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (tornDown_) {
    event->accept();
    return;
  }
  SetTitle("Nimbrel");
  if (prompts_->Question("Confirm Exit ?", Buttons::YesNo, Icon::Question, Answer::Yes) != Answer::Yes) {
    event->ignore();
    return;
  }
  TearDown();
  event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (Enabled(ShellCommand::Open) && !DroppedDataFiles(event->mimeData()).empty()) {
    event->acceptProposedAction();
  }
}

void CMainFrame::dropEvent(QDropEvent* event) {
  if (OpenDropped(event->mimeData())) {
    event->acceptProposedAction();
  }
}

bool CMainFrame::OpenDropped(const QMimeData* dropped) {
  const std::vector<fs::path> files = DroppedDataFiles(dropped);
  if (!Enabled(ShellCommand::Open) || files.empty()) {
    return false;
  }
  openSave_->OpenFiles(files);
  UpdateCommandUi();
  return true;
}

bool CMainFrame::event(QEvent* event) {
  const bool handled = QMainWindow::event(event);
  if (event->type() == QEvent::Paint && !painted_) {
    painted_ = true;
    if (onFirstPaint) {
      onFirstPaint();
    }
  }
  return handled;
}

} // namespace nimbrel
