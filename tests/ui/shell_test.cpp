// The main window and its dialogs show what the core gives them and hand the user's answers back;
// at the end, the real main window against the simulated instrument on a pseudo-terminal.

#include "ui/app/main_frame.h"
#include "ui/app/nimbrel_app.h"
#include "ui/app/shell_dialogs.h"
#include "ui/app/simulated_instrument.h"
#include "ui/base/qt_prompts.h"
#include "ui/base/qt_text.h"
#include "ui/download/download_dialogs.h"
#include "ui/link/port_setup_dlg.h"
#include "ui/print/sel_doc_to_print_dlg.h"
#include "ui/protocol/connection_dialogs.h"
#include "ui/setup/setup_dlg.h"
#include "ui/viewer/sel_excel_interval.h"
#include "ui/viewer/wait_dialogs.h"
#include "ui/widgets/colour_status_pane.h"
#include "ui/widgets/picture_button.h"
#include "widget_rig.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimeEdit>
#include <QUrl>

#include <gtest/gtest.h>

namespace nimbrel::test {
namespace {

namespace fs = std::filesystem;

TEST(QtTexts, FiltersAndLineBreaksAsQtReadsThem) {
  EXPECT_EQ(QtNameFilters("Nimbrel files (*.rlg;)|*.rlg;||"), QStringList{"Nimbrel files (*.rlg)"});
  EXPECT_EQ(QtNameFilters("Data (*.a;*.b)|*.a;*.b|All|*||"), (QStringList{"Data (*.a *.b)", "All (*)"}));
  EXPECT_EQ(Lines("Connecting to...\r\rPort = COM1\r\nBaudrate = 9600"),
            "Connecting to...\n\nPort = COM1\nBaudrate = 9600");
}

TEST(DownloadWindows, StatusShowsPagesTimeLeftStallAndAsksToStopOptionsFollowTheOldData) {
  int stops = 0;
  CDownloadStatusDlg dialog([&stops] { ++stops; }, nullptr);
  dialog.Show({.pageNum = "1460",
               .dataDownloaded = "33",
               .progress = {3, 12, std::chrono::milliseconds(61'000)},
               .rainPhase = false});
  EXPECT_EQ(dialog.PageNum(), "1460");
  EXPECT_EQ(dialog.DataDownloaded(), "33");
  EXPECT_EQ(dialog.PagesText(), "Temperature pages: 3 of 12 done");
  EXPECT_EQ(dialog.TimeLeftText(), "Time left: about 1:01");
  EXPECT_EQ(TimeLeft(std::chrono::milliseconds(1'500)), "0:02");
  EXPECT_EQ(TimeLeft(std::chrono::milliseconds(3'661'000)), "1:01:01");
  const QLabel* waiting = Named<QLabel>(dialog, "Waiting");
  ASSERT_NE(waiting, nullptr);
  EXPECT_FALSE(waiting->isVisible());
  dialog.SetStalled();
  EXPECT_TRUE(waiting->isVisible());
  PushButton(dialog, "Stop Download")->click();
  dialog.reject(); // closing the window asks the same
  EXPECT_EQ(stops, 2);

  // Only old temperature data: the new-only choice is greyed and the old data are chosen.
  CDownloadOptDlg options("NO NEW RAIN AND TEMP. DATA FOUND.", true, nullptr);
  EXPECT_FALSE(options.findChild<QRadioButton*>()->isEnabled());
  EXPECT_EQ(options.Choice(), DownloadOption::RainAndTemperatureOld);
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
  EXPECT_FALSE(wait.isVisible() || wait.Progress().Stepping());
}

// Controls a user reaches must carry a name a screen reader can say.
std::vector<std::string> Nameless(const QWidget& window) {
  std::vector<std::string> found;
  for (QWidget* w : window.findChildren<QWidget*>()) {
    const QWidget* parent = w->parentWidget();
    const bool part = qobject_cast<const QAbstractScrollArea*>(parent) != nullptr || // scroll bars
                      qobject_cast<const QComboBox*>(parent) != nullptr ||           // the edit of a list
                      qobject_cast<const QAbstractSpinBox*>(parent) != nullptr;      // ... or of a picker
    const auto* label = qobject_cast<const QLabel*>(w);
    const bool control = label != nullptr ? !label->pixmap().isNull() || !label->text().isEmpty()
                                          : w->focusPolicy() != Qt::NoFocus || qobject_cast<QAbstractButton*>(w) ||
                                                qobject_cast<QProgressBar*>(w) || qobject_cast<QLineEdit*>(w) ||
                                                qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTextEdit*>(w);
    if (w->isVisibleTo(&window) && control && !part &&
        QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).trimmed().isEmpty()) {
      found.push_back(window.windowTitle().toStdString() + ": " + w->metaObject()->className());
    }
  }
  return found;
}

TEST(MainWindow, MenusToolBarHandbookDropsAndANameForEveryControl) {
  TempDir dir;
  fs::create_directories(dir / "Help_Nimbrel");
  dir.Write("Help_Nimbrel/HomeNBR.htm", "<html><body><h1>Welcome to Nimbrel</h1></body></html>");
  EXPECT_TRUE(CHandbookDlg(dir.Path(), "Help_Nimbrel\\Missing.htm", nullptr)
                  .Browser()
                  ->toPlainText()
                  .contains("Missing.htm")); // the viewer's own error text
  ScriptedPrompts prompts;
  MainFrameOptions options;
  options.programDirectory = dir.Path();
  options.handbookPage = "Help_Nimbrel\\HomeNBR.htm";
  options.markers.erase = true; // "ERASE MEMORY" is offered, "SET SERIAL NUM" is blank
  options.prompts = &prompts;
  CMainFrame frame(options);
  QStringList menus;
  for (QAction* menu : frame.menuBar()->actions()) {
    menus << menu->text();
  }
  EXPECT_EQ(menus, (QStringList{"&File", "&Instrument", "&View", "&Option", "&?"}));
  EXPECT_EQ(frame.Action(ShellCommand::Open)->shortcut(), QKeySequence("Ctrl+A"));
  EXPECT_EQ(frame.MessagePane()->text(), "Ready");
  EXPECT_EQ(frame.minimumSize(), QSize(500, 450));
  for (const auto& item : ToolBarLayout()) {
    if (item) {
      SCOPED_TRACE(CommandText(*item));
      const CPictureButton* button = frame.Button(*item);
      ASSERT_NE(button, nullptr);
      EXPECT_EQ(button->toolTip().toStdString(), PromptOf(*item).tooltip);
      EXPECT_EQ(button->statusTip().toStdString(), PromptOf(*item).statusPrompt);
    }
  }
  EXPECT_TRUE(RunUntil([&frame] { return CommandsFollowMenu(frame); }, 2000));

  // The handbook shows its page; OK hides it and the menu shows the same window again.
  frame.Run(ShellCommand::Handbook);
  CHandbookDlg* handbook = frame.Handbook();
  ASSERT_NE(handbook, nullptr);
  EXPECT_TRUE(handbook->Browser()->toPlainText().contains("Welcome to Nimbrel"));
  handbook->findChild<QPushButton*>()->click();
  EXPECT_FALSE(handbook->isVisible());
  frame.Run(ShellCommand::Handbook);
  EXPECT_EQ(frame.Handbook(), handbook);
  EXPECT_TRUE(handbook->isVisible());

  // A drop opens the data files as File > Open does, and nothing else.
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString((dir / "a.rlg").string())),
                QUrl::fromLocalFile(QString::fromStdString((dir / "notes.txt").string()))});
  EXPECT_TRUE(frame.OpenDropped(&data));
  EXPECT_EQ(frame.DataWindows().Count(), 1U);
  EXPECT_TRUE(frame.Session()->DownloadedData().DataDisplayed);

  // Screen readers and UI automation reach every control of every window by a name.
  frame.ShowConnecting("Connecting to...");
  frame.ShowWaitDialog("Please wait");
  frame.ShowDownloadStatus({});
  frame.ShowSetupDialog();
  frame.Run(ShellCommand::Handbook);
  CInstrInfoDlg info("Instr. Type: T\n\nSerial Num.: S\n\nFirmware Ver.: V\n\nFirmware Date: D", nullptr);
  CSetSerialNumDlg serial("Inserire numero di serie", nullptr);
  CDownloadOptDlg download("NO NEW RAIN DATA FOUND.", false, nullptr);
  CPortSetupDlg port(false, nullptr);
  CAboutDlg about(nullptr);
  CLicenceDlg licence(dir.Path(), nullptr);
  CPrintGraphSizeModel size(CPrintGraphSettings{});
  CPrintGraphSizeDlg graph(size, nullptr);
  FakeHost host;
  CViewFileDlg zoomed(YearFile(), host);
  DragZoom(zoomed, host.zoom); // its scroll buttons show
  CSelDocToPrintDlg print(true);
  CSelExcelInterval chooser({{"Interval  1", "TOTAL RAIN"}}, std::vector<CChunkChoice>{});
  CWaitElabInfoDlg reading(host.cancel);
  std::vector<std::string> nameless;
  for (const QWidget* window : std::initializer_list<const QWidget*>{
           &frame, frame.ConnectingDialog(), frame.WaitDialog(), frame.DownloadStatus(), frame.SetupDialog(),
           frame.Handbook(), &info, &serial, &download, &port, &about, &licence, &graph, &zoomed, &print, &chooser,
           &reading}) {
    ASSERT_NE(window, nullptr);
    const auto found = Nameless(*window);
    nameless.insert(nameless.end(), found.begin(), found.end());
  }
  EXPECT_EQ(nameless, std::vector<std::string>{});
}

TEST(SimulatedInstrument, LinksOnlyWhereNothingOfTheUsersStands) {
  TempDir dir;
  dir.Write("COM3", "a file of the user's");
  fs::create_symlink("/dev/pts/987654", dir / "COM5");
  fs::create_symlink("/nonexistent/device", dir / "COM6");
  for (const auto& [name, action] : {std::pair{"COM2", SimLinkAction::Create},
                                     {"COM3", SimLinkAction::Refuse},
                                     {"COM5", SimLinkAction::Replace},
                                     {"COM6", SimLinkAction::Refuse}}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(DecideSimLink(dir / name), action);
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
}

constexpr const char* kInfo = "Instr. Type: TBR4470 Rain Gauge\n\nSerial Num.: 12345678\n\nFirmware Ver.: V2.14\n\n"
                              "Firmware Date: 2006/01/14";

void AcceptInstrumentInfo(ModalScript& modals) {
  modals.Then([](QDialog& d) {
    EXPECT_EQ(d.windowTitle(), "Instrument Info");
    EXPECT_EQ(ChildText(d, "Instrument"), kInfo);
    d.accept();
  });
}

// The real main window against the simulated instrument: Port Setup, connection by port.ini and by scan,
// identity, the setup dialog, a new-temperature download released afterwards and an old-data download,
// the save prompt and exit, with the user's answers scripted and every delay of the session divided by 10.
TEST(MainFrameEndToEnd, PortSetupConnectSetupDownloadSaveAndExit) {
  sim::InstrumentState state = MonthOfData();
  state.memory.rain.read = state.memory.rain.write; // no new rain: the options dialog offers both choices
  SimRig rig(std::move(state));
  rig.Link("COM2");
  rig.Link("COM4", "/nonexistent/COM4");
  rig.WritePortIni(4, true);
  ScriptedPrompts prompts;
  ModalScript modals;
  MainFrameOptions options;
  options.programDirectory = rig.dir.Path();
  ASSERT_TRUE(CPortIniStore(rig.dir.Path()).Read(options.portConfig).ok());
  options.timing = SessionTiming{}.Scaled(10);
  // The probe's answer is read once after this wait: a loaded machine must not make it miss.
  options.timing.probeWait = std::chrono::milliseconds(1000);
  options.prompts = &prompts;
  CMainFrame frame(options);
  frame.show();
  EXPECT_EQ(frame.LinkPane()->text(), "Disconnected");

  // Port Setup: the port list is usable only without automatic detection; OK writes port.ini.
  modals.Then([](QDialog& d) {
    EXPECT_EQ(d.windowTitle(), "Port Setup");
    d.findChild<QCheckBox*>()->click();
    for (QComboBox* list : d.findChildren<QComboBox*>()) {
      EXPECT_EQ(list->isEnabled(), list->accessibleName() == "Port") << list->accessibleName().toStdString();
    }
    Named<QComboBox>(d, "Port")->setCurrentIndex(Named<QComboBox>(d, "Port")->findText("COM2"));
    d.accept();
  });
  frame.Run(ShellCommand::PortSettings);
  ASSERT_TRUE(modals.Done());
  EXPECT_NE(rig.dir.Read("port.ini").find("AUTODETECT=0\r\nCOM= COM2\r\n"), std::string::npos);

  // Connect: the identity opens "Instrument Info"; its OK names the instrument in the title.
  AcceptInstrumentInfo(modals);
  frame.Run(ShellCommand::Connect);
  bool portSettingsReachable = false;
  ASSERT_TRUE(RunUntil([&] {
    portSettingsReachable = portSettingsReachable ||
                            (frame.Session()->Connecting() && frame.Action(ShellCommand::PortSettings)->isEnabled());
    return modals.Done() && frame.Session()->Connected() && frame.Session()->Idle();
  }));
  EXPECT_FALSE(portSettingsReachable);
  EXPECT_EQ(frame.LinkPane()->text(), "Connected to COM2 9600 8,N,1");
  EXPECT_EQ(frame.windowTitle(), "Nimbrel TBR4470 Rain Gauge - 12345678");
  EXPECT_TRUE(RunUntil([&frame] { return CommandsFollowMenu(frame); }, 2000));

  AcceptInstrumentInfo(modals); // the menu shows the same dialog again, sending nothing
  const std::size_t sent = rig.server.Received().size();
  frame.Run(ShellCommand::InstrInfo);
  ASSERT_TRUE(RunUntil([&] { return modals.Done(); }));
  EXPECT_EQ(rig.server.Received().size(), sent);

  // Setup: the dialog shows what was read; a unit change takes effect at once and wants the
  // resolution again; editing the PC time stops its clock; Apply hands the typed values to the
  // session, which writes the clock first, then WD, WC, WB, WA, and the dialog closes.
  frame.Run(ShellCommand::Setup);
  ASSERT_TRUE(RunUntil([&] { return frame.SetupDialog() != nullptr && frame.SetupDialog()->isVisible(); }));
  CSetupDlg& setup = *frame.SetupDialog();
  EXPECT_EQ(ChildText(setup, "Serial Num."), "12345678");
  EXPECT_EQ(setup.ResolutionEdit()->text(), "0.200");
  EXPECT_FALSE(setup.WarningText()->isEnabled() || setup.PcTime()->isEnabled());
  setup.UnitCombo()->setCurrentIndex(1);
  emit setup.UnitCombo()->activated(1);
  EXPECT_EQ(frame.Session()->InstrStatus().Unit, 1);
  EXPECT_EQ(setup.ResolutionLabel()->text(), "resolution (inch/tip)");
  EXPECT_EQ(setup.ResolutionEdit()->text(), "");
  setup.UpdateClockBox()->click();
  const CSetupModel& model = frame.Session()->SetupModel();
  EXPECT_TRUE(setup.WarningText()->isEnabled() && setup.PcTime()->isEnabled() && model.ClockRunning());
  QFocusEvent focus(QEvent::FocusIn);
  QApplication::sendEvent(setup.PcTime(), &focus);
  EXPECT_FALSE(model.ClockRunning());
  setup.ResolutionEdit()->setText("0,01");
  Named<QComboBox>(setup, "Contact type")->setCurrentIndex(1);
  Named<QComboBox>(setup, "Alert Mode")->setCurrentIndex(1);
  const std::size_t beforeApply = rig.server.Received().size();
  PushButton(setup, "Apply")->click();
  ASSERT_TRUE(RunUntil(
      [&] { return frame.Session()->Idle() && frame.WaitDialog() == nullptr && frame.SetupDialog() == nullptr; }));
  std::vector<std::string> written;
  for (const auto& c : rig.server.Received()) {
    written.push_back(c.text);
  }
  written.erase(written.begin(), written.begin() + static_cast<std::ptrdiff_t>(beforeApply));
  written.at(0).resize(4); // the clock's date and time
  EXPECT_EQ(written, (std::vector<std::string>{"DA20", "WD1", "WC1", "WB1", "WA0.01000"}));

  // Download: the options dialog shows the session's message; new temperature only is chosen, the
  // status window follows the pages and the memory is released afterwards.
  const auto expected = rig.server.WithInstrument([](sim::Instrument& i) { return i.ExpectedDump(false); });
  ASSERT_TRUE(expected.has_value());
  modals.Then([](QDialog& d) {
    EXPECT_TRUE(ChildText(d, "Message").startsWith("NO NEW RAIN DATA FOUND.\nOld data\n("));
    d.accept();
  });
  prompts.ExpectQuestion("WARNING\nDo you want to clear instrument memory ?", Answer::Yes);
  const auto download = [&frame] {
    bool pages = false;
    bool timeLeft = false;
    frame.Run(ShellCommand::Download);
    EXPECT_TRUE(RunUntil([&] {
      if (const CDownloadStatusDlg* status = frame.DownloadStatus(); status != nullptr && status->isVisible()) {
        pages = pages || status->PagesText().contains(" of ");
        timeLeft = timeLeft || status->TimeLeftText().contains("about");
        EXPECT_TRUE(!frame.Session()->Downloading() || CommandsFollowMenu(frame) ||
                    (frame.UpdateCommandUi(), CommandsFollowMenu(frame)));
      }
      return frame.LastDownloadEnd().has_value() && frame.Session()->Idle() && frame.DataWindows().Count() > 0;
    }));
    return pages && timeLeft;
  };
  EXPECT_TRUE(download());
  EXPECT_EQ(frame.LastDownloadEnd(), DownloadEnd::Complete);
  EXPECT_EQ(ReadFileBytes(rig.dir / "DumpFile.rlg"), *expected);
  EXPECT_FALSE(frame.Action(ShellCommand::Download)->isEnabled()); // until the data are saved or discarded

  // Disconnect through the save prompt: the saved copy is the downloaded file.
  prompts.ExpectQuestion("Do you want to save current data ?", Answer::Yes);
  prompts.ExpectFile(rig.dir / "saved.rlg");
  frame.Run(ShellCommand::Disconnect);
  EXPECT_EQ(ReadFileBytes(rig.dir / "saved.rlg"), *expected);
  EXPECT_EQ(frame.LinkPane()->text(), "Disconnected");
  EXPECT_EQ(frame.DataWindows().Count(), 0U);
  EXPECT_TRUE(RunUntil([&frame] { return CommandsFollowMenu(frame); }, 2000));

  // Connect by scan: Port Setup chooses COM4 with automatic detection; COM4 does not answer, the scan
  // finds the instrument on COM2 and writes it to port.ini.
  modals.Then([](QDialog& d) {
    Named<QComboBox>(d, "Port")->setCurrentIndex(Named<QComboBox>(d, "Port")->findText("COM4"));
    d.findChild<QCheckBox*>()->click();
    d.accept();
  });
  frame.Run(ShellCommand::PortSettings);
  ASSERT_TRUE(modals.Done());
  EXPECT_NE(rig.dir.Read("port.ini").find("AUTODETECT=1\r\nCOM= COM4\r\n"), std::string::npos);
  AcceptInstrumentInfo(modals);
  frame.Run(ShellCommand::Connect);
  ASSERT_TRUE(RunUntil([&] { return modals.Done() && frame.Session()->Connected() && frame.Session()->Idle(); }));
  EXPECT_NE(rig.dir.Read("port.ini").find("COM= COM2\r\n"), std::string::npos);

  // The memory was released: only the old data can be had, chosen in the options dialog, and an
  // old-data download never asks to clear the memory.
  const auto expectedOld = rig.server.WithInstrument([](sim::Instrument& i) { return i.ExpectedDump(true); });
  ASSERT_TRUE(expectedOld.has_value());
  modals.Then([](QDialog& d) {
    EXPECT_TRUE(ChildText(d, "Message").startsWith("NO NEW RAIN AND TEMP. DATA FOUND.\nOld data\n("));
    const auto radios = d.findChildren<QRadioButton*>();
    ASSERT_EQ(radios.size(), 2);
    EXPECT_FALSE(radios[0]->isEnabled());
    EXPECT_EQ(radios[1]->text(), kOldDataText);
    EXPECT_TRUE(radios[1]->isChecked());
    d.accept();
  });
  EXPECT_TRUE(download());
  EXPECT_EQ(frame.LastDownloadEnd(), DownloadEnd::Complete);
  EXPECT_EQ(ReadFileBytes(rig.dir / "DumpFile.rlg"), *expectedOld);
  EXPECT_TRUE(prompts.AllAnswersUsed());

  // Exit asks first; No leaves everything open, Yes closes the data windows too.
  frame.OpenDataWindow(rig.dir / "saved.rlg");
  prompts.ExpectQuestion("Confirm Exit ?", Answer::No);
  frame.Run(ShellCommand::Exit);
  EXPECT_TRUE(frame.isVisible() && frame.Session() != nullptr);
  prompts.ExpectQuestion("Confirm Exit ?", Answer::Yes);
  frame.Run(ShellCommand::Exit);
  EXPECT_FALSE(frame.isVisible());
  EXPECT_EQ(frame.Session(), nullptr);
  EXPECT_EQ(frame.DataWindows().Count(), 0U);
  EXPECT_TRUE(prompts.AllAnswersUsed());
  EXPECT_TRUE(modals.Done());
}

} // namespace
} // namespace nimbrel::test
