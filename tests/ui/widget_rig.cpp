#include "widget_rig.h"

#include "support/child_process.h"
#include "ui/app/main_frame.h"
#include "ui/viewer/wait_dialogs.h"
#include "ui/widgets/picture_button.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace nimbrel::test {

namespace {

// The application object of the tests lives from before the first test to after the last one.
class ApplicationEnvironment : public testing::Environment {
public:
  void SetUp() override {
    if (QApplication::instance() == nullptr) {
      app_ = std::make_unique<QApplication>(argc_, argv_.data());
    }
  }
  void TearDown() override { app_.reset(); }

private:
  int argc_ = 1;
  char name_[13] = "nimbrel-test";
  std::array<char*, 2> argv_{name_, nullptr};
  std::unique_ptr<QApplication> app_;
};
// NOLINTNEXTLINE(cppcoreguidelines-owning-memory): GoogleTest owns and deletes its environments
testing::Environment* const kApplication = testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

} // namespace

bool RunUntil(const std::function<bool()>& done, int limitMs) {
  return QTest::qWaitFor(done, limitMs);
}

ModalScript::ModalScript() {
  poll_.setInterval(5);
  QObject::connect(&poll_, &QTimer::timeout, [this] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
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

void SimRig::Link(const std::string& name, const std::string& target) const {
  std::error_code ec;
  std::filesystem::remove(dir / name, ec);
  std::filesystem::create_symlink(target.empty() ? server.SlavePath() : target, dir / name);
}

void SimRig::WritePortIni(int port, bool autoDetect) const {
  dir.Write("port.ini", std::string("AUTODETECT=") + (autoDetect ? "1" : "0") + "\r\nCOM= COM" + std::to_string(port) +
                            "\r\nBAUDRATE= 9600\r\nPARITY= N\r\nNUMBIT= 8\r\nBITSTOP= 1\r\nFLOW_CTRL= H\r\n");
}

sim::InstrumentState MonthOfData(std::uint64_t seed) {
  sim::GeneratorOptions g;
  g.seed = seed;
  g.days = 30;
  const std::int64_t now = sim::HostLocalNow();
  g.start = now - static_cast<std::int64_t>(g.days) * 86400;
  return sim::MakeInstrumentState(g, {}, now);
}

CDataWindowServices FakeHost::Services() {
  CDataWindowServices services;
  services.documents = [this] { return dir / "Documents"; };
  services.openSheet = [this](const std::filesystem::path& workbook) {
    opened.push_back(workbook);
    return sheetOpens;
  };
  services.setUpPrinter = [this](QPrinter& printer, QWidget* /*parent*/) { return setUpPrinter(printer); };
  return services;
}

std::filesystem::path Simulated(const std::string& name, const std::vector<std::string>& simulator) {
  static TempDir dir;
  std::filesystem::path file = dir / name;
  if (!std::filesystem::exists(file)) {
    std::vector<std::string> args = simulator;
    args.insert(args.end(), {"--start", "2024-01-01", "--expect", file.string()});
    const ChildResult made = RunChild(BuiltProgram("tbr4470-sim"), args);
    EXPECT_EQ(made.exit, 0) << made.err;
  }
  return file;
}

std::filesystem::path YearFile() {
  return Simulated("year.rlg", {"--days", "365"});
}

QString ChildText(const QWidget& parent, const QString& accessibleName) {
  if (const auto* label = Named<QLabel>(parent, accessibleName)) {
    return label->text();
  }
  if (const auto* edit = Named<QLineEdit>(parent, accessibleName)) {
    return edit->text();
  }
  ADD_FAILURE() << "no control named " << accessibleName.toStdString();
  return {};
}

CPictureButton* Button(const QWidget& window, const QString& toolTip) {
  for (CPictureButton* button : window.findChildren<CPictureButton*>()) {
    if (button->toolTip() == toolTip && !button->isHidden()) {
      return button;
    }
  }
  ADD_FAILURE() << "no button " << toolTip.toStdString();
  return nullptr;
}

QPushButton* PushButton(const QWidget& dialog, const QString& text) {
  for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
    if (button->text() == text) {
      return button;
    }
  }
  ADD_FAILURE() << "no button " << text.toStdString();
  return nullptr;
}

std::string LineText(const QTableView& table, int line) {
  std::string text;
  for (int column = 0; column < 3; ++column) {
    text += (column > 0 ? "\t\t" : "") + table.model()->index(line, column).data().toString().toStdString();
  }
  return text;
}

void SendMouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, QPointF(at), QPointF(widget.mapToGlobal(at)), button, held, Qt::NoModifier);
  QCoreApplication::sendEvent(&widget, &event);
}

void DragZoom(CViewFileDlg& window, CZoomMode& zoom) {
  if (!zoom.IsOn()) {
    Button(window, "Zoom +")->click();
  }
  const QRect plot = window.Chart().Chart().PlotRect();
  const QPoint from(plot.left() + plot.width() / 4, plot.center().y());
  const QPoint to(plot.left() + 3 * plot.width() / 4, plot.center().y() + plot.height() / 4);
  SendMouse(ChartOf(window), QEvent::MouseButtonPress, from, Qt::LeftButton);
  SendMouse(ChartOf(window), QEvent::MouseMove, to, Qt::LeftButton);
  SendMouse(ChartOf(window), QEvent::MouseButtonRelease, to, Qt::NoButton);
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

} // namespace nimbrel::test
