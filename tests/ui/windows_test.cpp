// Each window shows what the core gives it and hands the user's answers back; no control is
// without an accessible name.

#include "app/licence_text.h"
#include "base/scheduler.h"
#include "shell_rig.h"
#include "support/scripted_prompts.h"
#include "ui/app/main_frame.h"
#include "ui/app/nimbrel_app.h"
#include "ui/app/shell_dialogs.h"
#include "ui/app/simulated_instrument.h"
#include "ui/base/qt_prompts.h"
#include "ui/base/qt_text.h"
#include "ui/download/download_dialogs.h"
#include "ui/protocol/connection_dialogs.h"
#include "ui/setup/setup_dlg.h"
#include "ui/widgets/picture_button.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimeEdit>
#include <QUrl>

#include <gtest/gtest.h>

namespace nimbrel::test {
namespace {

namespace fs = std::filesystem;

TEST(QtTexts, FiltersAndLineBreaksAsQtReadsThem) {
  const struct {
    const char* filter;
    QStringList qt;
  } rows[] = {
      {"Nimbrel files (*.rlg;)|*.rlg;||", {"Nimbrel files (*.rlg)"}},
      {"Nimbrel files (*.rlg)|*.rlg||", {"Nimbrel files (*.rlg)"}},
      {"Data (*.a;*.b)|*.a;*.b|All|*||", {"Data (*.a *.b)", "All (*)"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.filter);
    EXPECT_EQ(QtNameFilters(row.filter), row.qt);
  }
  EXPECT_EQ(Lines("Connecting to...\r\rPort = COM1\rBaudrate = 9600"),
            "Connecting to...\n\nPort = COM1\nBaudrate = 9600");
  EXPECT_EQ(Lines("Receiving...\r\nPlease wait"), "Receiving...\nPlease wait");
}

TEST(DownloadStatusWindow, ShowsPagesTimeLeftStallAndAsksToStop) {
  int stops = 0;
  CDownloadStatusDlg dialog([&stops] { ++stops; }, nullptr);
  DownloadStatusValues v;
  v.pageNum = "1460";
  v.dataDownloaded = "33";
  v.activity = 7;
  v.progress = {3, 12, std::chrono::milliseconds(61'000)};
  v.rainPhase = false;
  dialog.Show(v);
  EXPECT_EQ(dialog.PageNum(), "1460");
  EXPECT_EQ(dialog.DataDownloaded(), "33");
  EXPECT_EQ(dialog.PagesText(), "Temperature pages: 3 of 12 done");
  EXPECT_EQ(dialog.TimeLeftText(), "Time left: about 1:01");
  QLabel* waiting = nullptr;
  for (QLabel* label : dialog.findChildren<QLabel*>()) {
    waiting = label->accessibleName() == "Waiting" ? label : waiting;
  }
  ASSERT_NE(waiting, nullptr);
  EXPECT_FALSE(waiting->isVisible());
  dialog.SetStalled();
  EXPECT_TRUE(waiting->isVisible());
  EXPECT_TRUE(waiting->text().contains("Stop Download"));
  for (QPushButton* b : dialog.findChildren<QPushButton*>()) {
    if (b->text() == "Stop Download") {
      b->click();
    }
  }
  dialog.reject(); // closing the window asks the same
  EXPECT_EQ(stops, 2);

  const struct {
    long long ms;
    const char* text;
  } rows[] = {{0, "0:00"}, {1'500, "0:02"}, {61'000, "1:01"}, {3'661'000, "1:01:01"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(TimeLeft(std::chrono::milliseconds(row.ms)), row.text);
  }
}

TEST(SetupWindow, BindsTheModelAndHandsTheTypedValuesToApply) {
  CInstrStatus status;
  status.InstrType = "TBR4470 Rain Gauge";
  status.SerialNum = "87654321";
  status.TipValue = 0.2F;
  ManualScheduler scheduler;
  CSetupModel model(status, scheduler);
  std::optional<SetupValues> applied;
  int closed = 0;
  CSetupDlg dialog(
      model,
      [&] {
        applied = model.values;
        return true;
      },
      [&closed] { ++closed; }, nullptr);
  dialog.ShowSetup();
  EXPECT_EQ(ChildText(dialog, "Serial Num."), "87654321");
  EXPECT_EQ(dialog.ResolutionEdit()->text(), "0.200");
  EXPECT_FALSE(dialog.WarningText()->isEnabled());
  EXPECT_FALSE(dialog.PcTime()->isEnabled());

  // The unit changes at once in the record and the resolution must be typed again.
  dialog.UnitCombo()->setCurrentIndex(1);
  emit dialog.UnitCombo()->activated(1);
  EXPECT_EQ(status.Unit, 1);
  EXPECT_EQ(dialog.ResolutionLabel()->text(), "resolution (inch/tip)");
  EXPECT_EQ(dialog.ResolutionEdit()->text(), "");

  // Editing the PC time stops the live clock.
  dialog.UpdateClockBox()->click();
  EXPECT_TRUE(dialog.PcTime()->isEnabled());
  EXPECT_TRUE(model.ClockRunning());
  QFocusEvent focus(QEvent::FocusIn);
  QApplication::sendEvent(dialog.PcTime(), &focus);
  EXPECT_FALSE(model.ClockRunning());

  dialog.ResolutionEdit()->setText("0,01");
  for (QComboBox* combo : dialog.findChildren<QComboBox*>()) {
    if (combo->accessibleName() == "Contact type" || combo->accessibleName() == "Alert Mode") {
      combo->setCurrentIndex(1);
    }
  }
  for (QPushButton* b : dialog.findChildren<QPushButton*>()) {
    if (b->text() == "Apply") {
      b->click();
    }
  }
  ASSERT_TRUE(applied.has_value());
  EXPECT_EQ(applied->resolution, "0,01");
  EXPECT_EQ(applied->unit, 1);
  EXPECT_EQ(applied->contactType, 1);
  EXPECT_EQ(applied->alertMode, 1);
  EXPECT_TRUE(applied->updateClock);
  EXPECT_EQ(closed, 1);
}

TEST(SmallDialogs, SerialNumberTakesEightCharactersAndWaitCancelForgetsTheCommands) {
  CSetSerialNumDlg serial("Inserire numero di serie", nullptr);
  serial.show();
  QTest::keyClicks(serial.findChild<QLineEdit*>(), "123456789A");
  EXPECT_EQ(serial.Value(), "12345678");
  EXPECT_EQ(ChildText(serial, "Inserire numero di serie"), "12345678");

  ManualScheduler scheduler;
  ScriptedPrompts prompts;
  int cancels = 0;
  CWaitGetStatusDlg wait(
      scheduler, prompts, [&cancels] { ++cancels; }, nullptr);
  wait.ShowText("Receiving Setup parameter from instrument...\r\nPlease wait");
  EXPECT_EQ(wait.Text(), "Receiving Setup parameter from instrument...\nPlease wait");
  scheduler.Advance(Millis(500));
  EXPECT_EQ(wait.findChild<QProgressBar*>()->value(), 20);
  wait.findChild<QPushButton*>()->click();
  EXPECT_EQ(cancels, 1);
  EXPECT_FALSE(wait.isVisible());
  EXPECT_FALSE(wait.Progress().Stepping());
}

TEST(Handbook, ShowsThePageOnceOrTheViewersOwnErrorText) {
  TempDir dir;
  fs::create_directories(dir / "Help_Nimbrel");
  dir.Write("Help_Nimbrel/HomeNBR.htm", "<html><body><h1>Welcome to Nimbrel</h1></body></html>");
  CHandbookDlg shown(dir.Path(), "Help_Nimbrel\\HomeNBR.htm", nullptr);
  EXPECT_TRUE(shown.Browser()->toPlainText().contains("Welcome to Nimbrel"));
  CHandbookDlg missing(dir.Path(), "Help_Nimbrel\\Missing.htm", nullptr);
  EXPECT_TRUE(missing.Browser()->toPlainText().contains("Missing.htm"));

  ScriptedPrompts prompts;
  MainFrameOptions options;
  options.programDirectory = dir.Path();
  options.handbookPage = "Help_Nimbrel\\HomeNBR.htm";
  options.prompts = &prompts;
  CMainFrame frame(options);
  frame.Run(ShellCommand::Handbook);
  CHandbookDlg* first = frame.Handbook();
  ASSERT_NE(first, nullptr);
  first->findChild<QPushButton*>()->click(); // OK hides it
  EXPECT_FALSE(first->isVisible());
  frame.Run(ShellCommand::Handbook);
  EXPECT_EQ(frame.Handbook(), first);
  EXPECT_TRUE(first->isVisible());
}

TEST(MainWindow, MenusToolBarStatusBarAndDroppedFiles) {
  TempDir dir;
  ScriptedPrompts prompts;
  MainFrameOptions options;
  options.programDirectory = dir.Path();
  options.markers.erase = true; // "ERASE MEMORY" is offered, "SET SERIAL NUM" is blank
  options.prompts = &prompts;
  CMainFrame frame(options);
  QStringList menus;
  for (QAction* menu : frame.menuBar()->actions()) {
    menus << menu->text();
  }
  EXPECT_EQ(menus, (QStringList{"&File", "&Instrument", "&View", "&Option", "&?"}));
  EXPECT_EQ(frame.Action(ShellCommand::EraseMemory)->text(), "ERASE MEMORY");
  EXPECT_EQ(frame.Action(ShellCommand::SetSerialNum)->text(), "");
  EXPECT_EQ(frame.Action(ShellCommand::Open)->shortcut(), QKeySequence("Ctrl+A"));
  EXPECT_EQ(frame.MessagePane()->text(), "Ready");
  EXPECT_EQ(frame.minimumSize(), QSize(500, 450));
  for (const auto& item : ToolBarLayout()) {
    if (item) {
      SCOPED_TRACE(CommandText(*item));
      const CPictureButton* button = frame.Button(*item);
      ASSERT_NE(button, nullptr);
      const std::string tip = PromptOf(*item).tooltip;
      EXPECT_EQ(button->toolTip().toStdString(), tip);
      EXPECT_EQ(button->statusTip().toStdString(), PromptOf(*item).statusPrompt);
    }
  }
  ExpectCommandsFollowMenu(frame);

  // A drop opens the data files as File > Open does, and nothing else.
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString((dir / "a.rlg").string())),
                QUrl::fromLocalFile(QString::fromStdString((dir / "notes.txt").string()))});
  EXPECT_TRUE(frame.OpenDropped(&data));
  EXPECT_EQ(frame.DataWindows().Count(), 1U);
  EXPECT_TRUE(frame.Session()->DownloadedData().DataDisplayed);
}

// Controls a user reaches: they must carry a name a screen reader can say.
bool IsControl(const QWidget* w) {
  if (qobject_cast<const QComboBox*>(w->parentWidget()) != nullptr ||
      qobject_cast<const QAbstractSpinBox*>(w->parentWidget()) != nullptr) {
    return false; // the inner edit of a list or a picker speaks through it
  }
  if (const auto* label = qobject_cast<const QLabel*>(w)) {
    return !label->pixmap().isNull() || !label->text().isEmpty();
  }
  return qobject_cast<const QAbstractButton*>(w) != nullptr || qobject_cast<const QLineEdit*>(w) != nullptr ||
         qobject_cast<const QComboBox*>(w) != nullptr || qobject_cast<const QAbstractSpinBox*>(w) != nullptr ||
         qobject_cast<const QProgressBar*>(w) != nullptr || qobject_cast<const QPlainTextEdit*>(w) != nullptr ||
         qobject_cast<const QTextEdit*>(w) != nullptr;
}

void ExpectAllNamed(QWidget& window, std::vector<std::string>& walked) {
  walked.push_back(window.windowTitle().toStdString());
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&window) || !IsControl(w)) {
      continue;
    }
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    ASSERT_NE(face, nullptr);
    EXPECT_FALSE(face->text(QAccessible::Name).trimmed().isEmpty())
        << window.windowTitle().toStdString() << ": " << w->metaObject()->className() << " "
        << w->objectName().toStdString();
  }
}

TEST(Accessibility, EveryControlOfEveryWindowHasAName) {
  TempDir dir;
  dir.Write("License.txt", "MIT License\n");
  ScriptedPrompts prompts;
  ModalScript modals;
  std::vector<std::string> walked;
  MainFrameOptions options;
  options.programDirectory = dir.Path();
  options.prompts = &prompts;
  CMainFrame frame(options);
  frame.show();
  ExpectAllNamed(frame, walked);

  const auto walk = [&](QDialog& d) {
    ExpectAllNamed(d, walked);
    d.accept();
  };
  for (int i = 0; i < 7; ++i) {
    modals.Then(walk);
  }
  frame.ShowInstrumentInfo("Instr. Type: T\n\nSerial Num.: S\n\nFirmware Ver.: V\n\nFirmware Date: D");
  (void)frame.AskSerialNumber("Inserire numero di serie");
  (void)frame.ChooseDownloadOption("NO NEW RAIN DATA FOUND.", false);
  for (ShellCommand c :
       {ShellCommand::PortSettings, ShellCommand::About, ShellCommand::Licence, ShellCommand::PrintGraphSetting}) {
    frame.Run(c);
  }
  EXPECT_TRUE(modals.Done());

  frame.ShowConnecting("Connecting to...");
  frame.ShowWaitDialog("Please wait");
  frame.ShowDownloadStatus({});
  frame.ShowSetupDialog();
  frame.Run(ShellCommand::Handbook);
  frame.OpenDataWindow(dir / "a.rlg");
  for (QWidget* window :
       std::initializer_list<QWidget*>{frame.ConnectingDialog(), frame.WaitDialog(), frame.DownloadStatus(),
                                       frame.SetupDialog(), frame.Handbook(), frame.DataWindows().Active()}) {
    ASSERT_NE(window, nullptr);
    ExpectAllNamed(*window, walked);
  }
  EXPECT_EQ(walked.size(), 14U);
}

TEST(SimulatedInstrument, LinksOnlyWhereNothingOfTheUsersStands) {
  TempDir dir;
  dir.Write("COM3", "a file of the user's");
  fs::create_symlink("/dev/null", dir / "COM4");
  fs::create_symlink("/dev/pts/987654", dir / "COM5");
  fs::create_symlink("/nonexistent/device", dir / "COM6");
  const struct {
    const char* name;
    SimLinkAction action;
  } rows[] = {{"COM2", SimLinkAction::Create},
              {"COM3", SimLinkAction::Refuse},
              {"COM4", SimLinkAction::Refuse},
              {"COM5", SimLinkAction::Replace},
              {"COM6", SimLinkAction::Refuse}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(DecideSimLink(dir / row.name), row.action);
  }

  std::string error;
  EXPECT_EQ(CSimulatedInstrument::Start(dir.Path(), 3, error), nullptr);
  EXPECT_NE(error.find("COM3"), std::string::npos);
  EXPECT_EQ(dir.Read("COM3"), "a file of the user's");
  {
    const auto simulated = CSimulatedInstrument::Start(dir.Path(), 5, error);
    ASSERT_NE(simulated, nullptr) << error;
    EXPECT_EQ(fs::read_symlink(dir / "COM5").string(), simulated->Server().SlavePath());
    EXPECT_EQ(DecideSimLink(dir / "COM5"), SimLinkAction::Refuse); // a running simulation is left alone
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "COM5"))); // removed at exit
}

// The start-up sequence in a program directory with a garbled port.ini and no Nimbrel.ini, and a
// file named on the command line that does not exist.
TEST(StartUp, ReportsBadSettingsKeepsThemAndOpensTheNamedFile) {
  TempDir dir;
  dir.Write("port.ini", "\x01\x02garbage\r\n");
  const fs::path previous = fs::current_path();
  fs::current_path(dir.Path());
  ModalScript modals;
  std::vector<std::string> messages;
  for (int i = 0; i < 3; ++i) {
    modals.Then([&messages](QDialog& d) {
      messages.push_back(qobject_cast<QMessageBox*>(&d)->text().toStdString());
      d.accept();
    });
  }
  CNimbrelApp app;
  ASSERT_TRUE(app.InitInstance({"nimbrel", "missing.rlg"}));
  fs::current_path(previous);
  EXPECT_EQ(messages, (std::vector<std::string>{
                          "Unable to open Nimbrel.ini",
                          "Error : port setup file not found.\nLoad default configuration (9600,N,8,1)",
                          "Unable to open Nimbrel.ini",
                      }));
  EXPECT_EQ(dir.Read("port.ini"), "\x01\x02garbage\r\n"); // not rewritten until the user chooses
  CMainFrame* frame = app.MainFrame();
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->windowTitle(), "Nimbrel");
  EXPECT_EQ(frame->Session()->PortSettings().Settings.Port, 2);
  EXPECT_EQ(frame->DataWindows().Count(), 1U);
  EXPECT_FALSE(frame->Session()->DownloadedData().DataDisplayed);
  QTest::keyClick(frame, Qt::Key_N, Qt::ControlModifier); // the start-up picture again
}

} // namespace
} // namespace nimbrel::test
