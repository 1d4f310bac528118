// The real main window against the simulated instrument on a pseudo-terminal: connection by
// port.ini and by scan, identity, setup, both kinds of download, the save prompt and exit, with the
// user's answers scripted and every delay of the session divided by 10.

#include "shell_rig.h"
#include "support/scripted_prompts.h"
#include "ui/app/main_frame.h"
#include "ui/download/download_dialogs.h"
#include "ui/protocol/connection_dialogs.h"
#include "ui/setup/setup_dlg.h"
#include "ui/widgets/colour_status_pane.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <algorithm>

namespace nimbrel::test {
namespace {

constexpr const char* kInfo = "Instr. Type: TBR4470 Rain Gauge\n\nSerial Num.: 12345678\n\nFirmware Ver.: V2.14\n\n"
                              "Firmware Date: 2006/01/14";

void AcceptInstrumentInfo(ModalScript& modals) {
  modals.Then([](QDialog& d) {
    EXPECT_EQ(d.windowTitle(), "Instrument Info");
    EXPECT_EQ(ChildText(d, "Instrument"), kInfo);
    d.accept();
  });
}

// Chooses a download option, checking what the dialog offers.
void ChooseOption(ModalScript& modals, bool oldTemperature, const char* choice) {
  modals.Then([oldTemperature, choice](QDialog& d) {
    const auto radios = d.findChildren<QRadioButton*>();
    ASSERT_EQ(radios.size(), 2);
    EXPECT_EQ(radios[0]->text(), kNewTemperatureOnlyText);
    EXPECT_EQ(radios[1]->text(), kOldDataText);
    EXPECT_EQ(radios[0]->isEnabled(), !oldTemperature);
    EXPECT_EQ(radios[1]->isChecked(), oldTemperature);
    EXPECT_TRUE(ChildText(d, "Message")
                    .startsWith(oldTemperature ? "NO NEW RAIN AND TEMP. DATA FOUND.\nOld data\n("
                                               : "NO NEW RAIN DATA FOUND.\nOld data\n("));
    for (QRadioButton* r : radios) {
      if (r->text() == choice) {
        r->click();
      }
    }
    d.accept();
  });
}

struct Seen {
  bool pages = false;
  bool timeLeft = false;
};

// Runs a download to its end, noting what the status window showed on the way.
Seen RunDownload(CMainFrame& frame) {
  Seen seen;
  frame.Run(ShellCommand::Download);
  EXPECT_TRUE(RunUntil([&] {
    if (const CDownloadStatusDlg* status = frame.DownloadStatus(); status != nullptr && status->isVisible()) {
      seen.pages = seen.pages || status->PagesText().contains(" of ");
      seen.timeLeft = seen.timeLeft || status->TimeLeftText().contains(':');
      if (frame.Session()->Downloading()) {
        EXPECT_TRUE(CommandsFollowMenu(frame) || (frame.UpdateCommandUi(), CommandsFollowMenu(frame)));
      }
    }
    return frame.LastDownloadEnd().has_value() && frame.Session()->Idle() && frame.DataWindows().Count() > 0;
  }));
  return seen;
}

TEST(MainFrameEndToEnd, ConnectSetupDownloadBothWaysSaveAndExit) {
  sim::InstrumentState state = MonthOfData();
  state.memory.rain.read = state.memory.rain.write; // no new rain: the options dialog offers both choices
  SimRig rig(std::move(state));
  rig.Link("COM2");
  rig.LinkTo("COM1", "/nonexistent/COM1");
  rig.LinkTo("COM4", "/nonexistent/COM4");
  rig.WritePortIni(2, false);
  ScriptedPrompts prompts;
  ModalScript modals;

  MainFrameOptions options;
  options.programDirectory = rig.dir.Path();
  CPortIniStore store(rig.dir.Path());
  ASSERT_TRUE(store.Read(options.portConfig).ok());
  options.timing = SessionTiming{}.Scaled(10);
  // The probe's answer is read once after this wait: a loaded machine must not make it miss.
  options.timing.probeWait = std::chrono::milliseconds(1000);
  options.prompts = &prompts;
  CMainFrame frame(options);
  frame.show();
  EXPECT_EQ(frame.windowTitle(), "Nimbrel");
  EXPECT_EQ(frame.LinkPane()->text(), "Disconnected");
  ExpectCommandsFollowMenu(frame);

  // Connect by port.ini: the identity opens "Instrument Info"; its OK names the instrument in the title.
  AcceptInstrumentInfo(modals);
  frame.Run(ShellCommand::Connect);
  bool portSettingsReachable = false;
  ASSERT_TRUE(RunUntil([&] {
    if (frame.Session()->Connecting()) {
      portSettingsReachable = portSettingsReachable || frame.Action(ShellCommand::PortSettings)->isEnabled();
    }
    return modals.Done() && frame.Session()->Connected() && frame.Session()->Idle();
  }));
  EXPECT_FALSE(portSettingsReachable);
  EXPECT_EQ(frame.LinkPane()->text(), "Connected to COM2 9600 8,N,1");
  EXPECT_EQ(frame.windowTitle(), "Nimbrel TBR4470 Rain Gauge - 12345678");
  ExpectCommandsFollowMenu(frame);

  AcceptInstrumentInfo(modals); // the menu shows the same dialog again, sending nothing
  const std::size_t sent = rig.Commands().size();
  frame.Run(ShellCommand::InstrInfo);
  ASSERT_TRUE(RunUntil([&] { return modals.Done(); }));
  EXPECT_EQ(rig.Commands().size(), sent);

  // Setup: read, then Apply with the clock box checked writes the clock first, then WD, WC, WB, WA.
  frame.Run(ShellCommand::Setup);
  ASSERT_TRUE(RunUntil([&] { return frame.SetupDialog() != nullptr && frame.SetupDialog()->isVisible(); }));
  CSetupDlg* setup = frame.SetupDialog();
  EXPECT_EQ(ChildText(*setup, "Serial Num."), "12345678");
  EXPECT_EQ(setup->ResolutionEdit()->text(), "0.200");
  setup->UpdateClockBox()->click();
  EXPECT_TRUE(setup->WarningText()->isEnabled());
  const std::size_t beforeApply = rig.Commands().size();
  for (QPushButton* b : setup->findChildren<QPushButton*>()) {
    if (b->text() == "Apply") {
      b->click();
    }
  }
  ASSERT_TRUE(RunUntil([&] { return frame.Session()->Idle() && frame.WaitDialog() == nullptr; }));
  const std::vector<std::string> all = rig.Commands();
  const std::vector<std::string> written(all.begin() + static_cast<std::ptrdiff_t>(beforeApply), all.end());
  ASSERT_EQ(written.size(), 5U);
  EXPECT_EQ(written[0].substr(0, 4), "DA20");
  EXPECT_EQ(std::vector<std::string>(written.begin() + 1, written.end()),
            (std::vector<std::string>{"WD0", "WC0", "WB0", "WA0.200"}));

  // New temperature only; the memory is released afterwards.
  const auto expectedNew = rig.server.WithInstrument([](sim::Instrument& i) { return i.ExpectedDump(false); });
  ASSERT_TRUE(expectedNew.has_value());
  ChooseOption(modals, false, kNewTemperatureOnlyText);
  prompts.ExpectQuestion("WARNING\nDo you want to clear instrument memory ?", Answer::Yes);
  const Seen seen = RunDownload(frame);
  EXPECT_TRUE(seen.pages);
  EXPECT_TRUE(seen.timeLeft);
  EXPECT_EQ(frame.LastDownloadEnd(), DownloadEnd::Complete);
  EXPECT_EQ(ReadFileBytes(rig.dir / "DumpFile.rlg"), *expectedNew);
  const auto texts = prompts.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Download Complete"), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Clear memory successfull."), texts.end());
  ExpectCommandsFollowMenu(frame);
  EXPECT_FALSE(frame.Action(ShellCommand::Download)->isEnabled()); // until the data are saved or discarded

  // Disconnect through the save prompt: the saved copy is the downloaded file.
  prompts.ExpectQuestion("Do you want to save current data ?", Answer::Yes);
  prompts.ExpectFile(rig.dir / "saved.rlg");
  frame.Run(ShellCommand::Disconnect);
  EXPECT_EQ(ReadFileBytes(rig.dir / "saved.rlg"), *expectedNew);
  EXPECT_EQ(frame.LinkPane()->text(), "Disconnected");
  EXPECT_EQ(frame.DataWindows().Count(), 0U);
  ExpectCommandsFollowMenu(frame);

  // Connect by scan: Port Setup chooses COM4 with automatic detection; COM4 does not answer, the
  // scan finds the instrument on COM2 and writes it to port.ini.
  modals.Then([](QDialog& d) {
    EXPECT_EQ(d.windowTitle(), "Port Setup");
    for (QComboBox* list : d.findChildren<QComboBox*>()) {
      EXPECT_EQ(list->isEnabled(), list->accessibleName() == "Port") << list->accessibleName().toStdString();
      if (list->accessibleName() == "Port") {
        list->setCurrentIndex(list->findText("COM4"));
      }
    }
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

  // Nothing new is left: only the old data can be had, and they never ask to clear the memory.
  const auto expectedOld = rig.server.WithInstrument([](sim::Instrument& i) { return i.ExpectedDump(true); });
  ASSERT_TRUE(expectedOld.has_value());
  ChooseOption(modals, true, kOldDataText);
  (void)RunDownload(frame);
  EXPECT_EQ(frame.LastDownloadEnd(), DownloadEnd::Complete);
  EXPECT_EQ(ReadFileBytes(rig.dir / "DumpFile.rlg"), *expectedOld);
  EXPECT_TRUE(prompts.AllAnswersUsed());

  // Exit asks first; No leaves everything open.
  prompts.ExpectQuestion("Confirm Exit ?", Answer::No);
  frame.Run(ShellCommand::Exit);
  EXPECT_TRUE(frame.isVisible());
  EXPECT_TRUE(frame.Session()->Connected());
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
