#include "viewer_support.h"

#include "support/child_process.h"

#include <QMouseEvent>

#include <gtest/gtest.h>

#include <memory>

namespace nimbrel::test {

namespace {

// One application object for the whole program, made before the first test.
class ApplicationEnvironment : public testing::Environment {
public:
  void SetUp() override {
    if (QApplication::instance() == nullptr) {
      setenv("QT_QPA_PLATFORM", "offscreen", 0);
      app_ = std::make_unique<QApplication>(argc_, argv_);
    }
  }
  void TearDown() override { app_.reset(); }

private:
  int argc_ = 1;
  char name_[8] = "test_ui";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};
// NOLINTNEXTLINE(cppcoreguidelines-owning-memory): GoogleTest owns and deletes its environments
testing::Environment* const kApplication = testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

std::filesystem::path Shared(const std::string& name, const std::vector<std::string>& simulator) {
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

} // namespace

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

std::filesystem::path YearFile() {
  return Shared("year.rlg", {"--days", "365"});
}

std::filesystem::path InchFile() {
  return Shared("inch.rlg", {"--days", "30", "--unit", "1"});
}

std::filesystem::path QuarterHoursFile(int samples) {
  static TempDir dir;
  const std::string name = "quarters" + std::to_string(samples) + ".rlg";
  if (!std::filesystem::exists(dir / name)) {
    std::string text = "TEMPERATURE (-TBR4470- Serial Num: 55555555)\r\n0A000000\r\n";
    for (int i = 0; i < samples; ++i) {
      text += i % 97 == 5 ? " ERR\r\n" : " " + std::to_string(10 + i % 13) + ".25\r\n";
    }
    dir.Write(name, text);
  }
  return dir / name;
}

std::filesystem::path TestData(const std::string& name) {
  return std::filesystem::path(NIMBREL_TEST_DATA_DIR) / name;
}

std::string Cli(const std::vector<std::string>& args) {
  const ChildResult result = RunChild(BuiltProgram("nimbrel-cli"), args);
  EXPECT_EQ(result.exit, 0) << result.err;
  return result.out;
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

void DragZoom(CViewFileDlg& window, FakeHost& host) {
  if (!host.zoom.IsOn()) {
    Button(window, "Zoom +")->click();
  }
  const QRect plot = window.Chart().Chart().PlotRect();
  const QPoint from(plot.left() + plot.width() / 4, plot.center().y());
  const QPoint to(plot.left() + 3 * plot.width() / 4, plot.center().y() + plot.height() / 4);
  SendMouse(ChartOf(window), QEvent::MouseButtonPress, from, Qt::LeftButton);
  SendMouse(ChartOf(window), QEvent::MouseMove, to, Qt::LeftButton);
  SendMouse(ChartOf(window), QEvent::MouseButtonRelease, to, Qt::NoButton);
}

} // namespace nimbrel::test
