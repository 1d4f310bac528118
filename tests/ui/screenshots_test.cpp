// Pictures of every window of the instrument session for docs/screenshots, taken only when
// NIMBREL_SCREENSHOT_DIR names a folder (run under Xvfb):
//
//   NIMBREL_SCREENSHOT_DIR=$PWD/docs/screenshots xvfb-run -a -s "-screen 0 1280x800x24"
//       build/dev/tests/test_ui --gtest_filter=Screenshots.*

#include "data/open_save.h"
#include "shell_rig.h"
#include "support/scripted_prompts.h"
#include "ui/app/main_frame.h"
#include "ui/app/shell_dialogs.h"
#include "ui/base/qt_prompts.h"
#include "ui/download/download_dialogs.h"
#include "ui/protocol/connection_dialogs.h"
#include "ui/setup/setup_dlg.h"

#include <QCheckBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstdlib>

namespace nimbrel::test {
namespace {

class Shots {
public:
  explicit Shots(const char* dir) : dir_(dir) {}
  void Take(QWidget& window, const char* name) const {
    window.repaint();
    const QString file = QStringLiteral("%1/%2.png").arg(dir_, name);
    EXPECT_TRUE(window.grab().save(file)) << file.toStdString();
  }
  // A modal dialog that the next step opens: photographed, then closed.
  void Modal(ModalScript& modals, const char* name, bool accept = true) const {
    modals.Then([this, name, accept](QDialog& d) {
      Take(d, name);
      accept ? d.accept() : d.reject();
    });
  }

private:
  QString dir_;
};

TEST(Screenshots, EveryWindowOfTheInstrumentSession) {
  const char* dir = std::getenv("NIMBREL_SCREENSHOT_DIR");
  if (dir == nullptr) {
    GTEST_SKIP() << "set NIMBREL_SCREENSHOT_DIR to take the pictures";
  }
  const Shots shots(dir);
  sim::InstrumentState state = MonthOfData();
  state.memory.rain.read = state.memory.rain.write;
  SimRig rig(std::move(state));
  rig.Link("COM1");
  rig.WritePortIni(1, false);
  rig.dir.Write("License.txt", ReadFileBytes(std::filesystem::path(NIMBREL_TEST_DATA_DIR) / "../../License.txt"));
  std::filesystem::create_directories(rig.dir / "Help_Nimbrel");
  rig.dir.Write("Help_Nimbrel/HomeNBR.htm",
                "<html><body><h1>Nimbrel Handbook</h1><p>The handbook is being written. It will describe how to "
                "connect the TBR4470, download its memory and read the data window.</p></body></html>");
  ScriptedPrompts prompts;
  ModalScript modals;
  MainFrameOptions options;
  options.programDirectory = rig.dir.Path();
  ASSERT_TRUE(CPortIniStore(rig.dir.Path()).Read(options.portConfig).ok());
  options.handbookPage = "Help_Nimbrel\\HomeNBR.htm";
  options.timing = SessionTiming{}.Scaled(4);
  options.prompts = &prompts;
  CMainFrame frame(options);
  frame.resize(900, 600);
  frame.show();
  ASSERT_TRUE(RunUntil([&] { return frame.isVisible(); }));
  shots.Take(frame, "main-disconnected");

  shots.Modal(modals, "port-settings", false);
  frame.Run(ShellCommand::PortSettings);

  shots.Modal(modals, "instrument-info");
  frame.Run(ShellCommand::Connect);
  bool connecting = false;
  ASSERT_TRUE(RunUntil([&] {
    if (!connecting && frame.ConnectingDialog() != nullptr && frame.ConnectingDialog()->isVisible() &&
        frame.ConnectingDialog()->Text().contains("Port")) {
      connecting = true;
      shots.Take(*frame.ConnectingDialog(), "connecting");
    }
    return modals.Done() && frame.Session()->Connected() && frame.Session()->Idle();
  }));
  shots.Take(frame, "main-connected");

  frame.Run(ShellCommand::Setup);
  ASSERT_TRUE(RunUntil([&] { return frame.SetupDialog() != nullptr && frame.SetupDialog()->isVisible(); }));
  frame.SetupDialog()->UpdateClockBox()->click();
  shots.Take(*frame.SetupDialog(), "setup");
  frame.SetupDialog()->reject();

  shots.Modal(modals, "download-options");
  prompts.ExpectQuestion("WARNING\nDo you want to clear instrument memory ?", Answer::No);
  frame.Run(ShellCommand::Download);
  bool status = false;
  ASSERT_TRUE(RunUntil([&] {
    const CDownloadStatusDlg* d = frame.DownloadStatus();
    if (!status && d != nullptr && d->isVisible() && d->TimeLeftText().contains(':') && d->PageNum() != "0") {
      status = true;
      shots.Take(*frame.DownloadStatus(), "download-status");
    }
    return frame.LastDownloadEnd().has_value() && frame.Session()->Idle();
  }));

  CQtPrompts boxes(&frame, &frame.Gate());
  modals.Then([&shots](QDialog& d) {
    shots.Take(d, "save-prompt");
    d.reject();
  });
  (void)boxes.Question(kSaveCurrentDataText, Buttons::YesNoCancel, Icon::Question, Answer::Cancel);
  shots.Modal(modals, "about");
  frame.Run(ShellCommand::About);
  shots.Modal(modals, "licence");
  frame.Run(ShellCommand::Licence);
  frame.Run(ShellCommand::Handbook);
  ASSERT_TRUE(RunUntil([&] { return frame.Handbook() != nullptr && frame.Handbook()->isVisible(); }));
  shots.Take(*frame.Handbook(), "handbook");
  EXPECT_TRUE(modals.Done());
}

} // namespace
} // namespace nimbrel::test
