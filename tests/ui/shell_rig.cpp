#include "shell_rig.h"

#include "ui/viewer/wait_dialogs.h"

#include "ui/app/main_frame.h"
#include "ui/widgets/picture_button.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <fstream>

namespace nimbrel::test {

namespace {

// The application object lives from before the first test to after the last one.
class CApplicationEnvironment : public testing::Environment {
public:
  void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_.data()); }
  void TearDown() override { app_.reset(); }

private:
  int argc_ = 1;
  char name_[8] = "test_ui";
  std::array<char*, 2> argv_{name_, nullptr};
  std::unique_ptr<QApplication> app_;
};
// NOLINTNEXTLINE(cppcoreguidelines-owning-memory): GoogleTest owns and deletes its environments
testing::Environment* const kApplication = testing::AddGlobalTestEnvironment(new CApplicationEnvironment);

} // namespace

bool RunUntil(const std::function<bool()>& done, int limitMs) {
  return QTest::qWaitFor(done, limitMs);
}

ModalScript::ModalScript() {
  poll_.setInterval(5);
  QObject::connect(&poll_, &QTimer::timeout, [this] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    // The data window's reading notice comes and goes by itself, when a reading is long enough.
    if (dialog == nullptr || !dialog->isVisible() || qobject_cast<CWaitElabInfoDlg*>(dialog) != nullptr) {
      return;
    }
    if (handlers_.empty()) {
      ADD_FAILURE() << "unexpected modal dialog: " << dialog->windowTitle().toStdString();
      dialog->reject();
      return;
    }
    auto handler = std::move(handlers_.front());
    handlers_.pop_front();
    handler(*dialog);
    if (dialog->isVisible()) {
      ADD_FAILURE() << "the handler left the dialog open: " << dialog->windowTitle().toStdString();
      dialog->reject();
    }
  });
  poll_.start();
}

SimRig::SimRig(sim::InstrumentState state) : server(sim::Instrument(std::move(state))) {
  std::string error;
  if (!server.Start(&error)) {
    ADD_FAILURE() << "simulator: " << error;
  }
}

void SimRig::Link(const std::string& name) const {
  LinkTo(name, server.SlavePath());
}

void SimRig::LinkTo(const std::string& name, const std::string& target) const {
  std::error_code ec;
  std::filesystem::remove(dir / name, ec);
  std::filesystem::create_symlink(target, dir / name);
}

void SimRig::WritePortIni(int port, bool autoDetect) const {
  dir.Write("port.ini", std::string("AUTODETECT=") + (autoDetect ? "1" : "0") + "\r\nCOM= COM" + std::to_string(port) +
                            "\r\nBAUDRATE= 9600\r\nPARITY= N\r\nNUMBIT= 8\r\nBITSTOP= 1\r\n"
                            "FLOW_CTRL= H\r\n");
}

std::vector<std::string> SimRig::Commands() const {
  std::vector<std::string> out;
  for (const auto& c : server.Received()) {
    out.push_back(c.text);
  }
  return out;
}

sim::InstrumentState MonthOfData() {
  sim::GeneratorOptions g;
  g.seed = 11;
  g.days = 30;
  const std::int64_t now = sim::HostLocalNow();
  g.start = now - static_cast<std::int64_t>(g.days) * 86400;
  return sim::MakeInstrumentState(g, {}, now);
}

QString ChildText(const QWidget& parent, const QString& accessibleName) {
  for (const QWidget* w : parent.findChildren<QWidget*>()) {
    if (w->accessibleName() != accessibleName) {
      continue;
    }
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
      return label->text();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(w)) {
      return edit->text();
    }
  }
  ADD_FAILURE() << "no control named " << accessibleName.toStdString();
  return {};
}

bool CommandsFollowMenu(const CMainFrame& frame) {
  if (frame.Session() == nullptr) {
    return false;
  }
  const ShellMenuState state = frame.Session()->Menu();
  for (std::size_t i = 0; i < kShellCommandCount; ++i) {
    const auto c = static_cast<ShellCommand>(i);
    const CPictureButton* button = frame.Button(c);
    if (frame.Action(c)->isEnabled() != state[c].enabled || frame.Action(c)->text().toStdString() != state[c].text ||
        (button != nullptr && button->isEnabled() != state[c].enabled)) {
      return false;
    }
  }
  return true;
}

void ExpectCommandsFollowMenu(const CMainFrame& frame) {
  EXPECT_TRUE(RunUntil([&frame] { return CommandsFollowMenu(frame); }, 2000));
}

} // namespace nimbrel::test
