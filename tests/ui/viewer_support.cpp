#include "viewer_support.h"

#include "support/child_process.h"
#include "ui/chart/chart_widget.h"
#include "ui/widgets/picture_button.h"

#include <QComboBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <map>
#include <memory>

namespace nimbrel::test {

namespace {

// The application object lives from before the first test to after the last one.
class ApplicationEnvironment : public testing::Environment {
public:
  void SetUp() override {
    if (QApplication::instance() != nullptr) {
      return;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
      setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    app_ = std::make_unique<QApplication>(argc_, argv_.data());
  }
  void TearDown() override { app_.reset(); }

private:
  int argc_ = 1;
  char name_[8] = "test_ui";
  std::array<char*, 2> argv_{name_, nullptr};
  std::unique_ptr<QApplication> app_;
};
// NOLINTNEXTLINE(cppcoreguidelines-owning-memory): GoogleTest owns and deletes its environments
testing::Environment* const kApplication = testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

TempDir& SharedDir() {
  static TempDir dir;
  return dir;
}

std::filesystem::path Simulated(const std::string& name, const std::vector<std::string>& options) {
  const std::filesystem::path file = SharedDir() / name;
  if (!std::filesystem::exists(file)) {
    std::vector<std::string> args = options;
    args.insert(args.end(), {"--start", "2024-01-01", "--expect", file.string()});
    const ChildResult made = RunChild(BuiltProgram("tbr4470-sim"), args);
    EXPECT_EQ(made.exit, 0) << made.err;
  }
  return file;
}

} // namespace

CDataWindowServices FakeServices::Services() {
  CDataWindowServices services;
  services.documents = [this] { return documents; };
  services.openSheet = [this](const std::filesystem::path& workbook) {
    opened.push_back(workbook);
    return sheetOpens;
  };
  services.setUpPrinter = [this](QPrinter& printer, QWidget* /*parent*/) { return setUpPrinter(printer); };
  return services;
}

std::filesystem::path YearFile() {
  return Simulated("year.rlg", {"--days", "365"});
}

std::filesystem::path InchFile() {
  return Simulated("inch.rlg", {"--days", "30", "--unit", "1"});
}

std::filesystem::path QuarterHoursFile(int samples) {
  const std::filesystem::path file = SharedDir() / ("quarters" + std::to_string(samples) + ".rlg");
  if (!std::filesystem::exists(file)) {
    std::string text = "TEMPERATURE (-TBR4470- Serial Num: 55555555)\r\n0A000000\r\n";
    for (int i = 0; i < samples; ++i) {
      text += i % 97 == 5 ? " ERR\r\n" : " " + std::to_string(10 + i % 13) + ".25\r\n";
    }
    SharedDir().Write(file.filename().string(), text);
  }
  return file;
}

std::filesystem::path TestData(const std::string& name) {
  return std::filesystem::path(NIMBREL_TEST_DATA_DIR) / name;
}

std::string Cli(const std::vector<std::string>& args) {
  const ChildResult result = RunChild(BuiltProgram("nimbrel-cli"), args);
  EXPECT_EQ(result.exit, 0) << result.err;
  return result.out;
}

CPictureButton* Button(const QWidget& window, const QString& toolTip, bool visibleOne) {
  for (CPictureButton* button : window.findChildren<CPictureButton*>()) {
    if (button->toolTip() == toolTip && (!visibleOne || !button->isHidden())) {
      return button;
    }
  }
  ADD_FAILURE() << "no button " << toolTip.toStdString();
  return nullptr;
}

QComboBox* IntervalList(const QWidget& window) {
  return window.findChild<QComboBox*>();
}

QTableView* Table(const QWidget& window) {
  return window.findChild<QTableView*>();
}

CChartWidget* ChartOf(const QWidget& window) {
  return window.findChild<CChartWidget*>();
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

void ChooseInterval(const QWidget& window, const QString& text) {
  QComboBox* list = IntervalList(window);
  const int index = list->findText(text);
  ASSERT_GE(index, 0) << text.toStdString();
  list->setCurrentIndex(index);
}

std::string LineText(const QTableView& table, int line) {
  std::string text;
  for (int column = 0; column < 3; ++column) {
    text += table.model()->index(line, column).data().toString().toStdString();
    text += column < 2 ? "\t\t" : "";
  }
  return text;
}

void SendMouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
  QMouseEvent event(type, QPointF(at), QPointF(widget.mapToGlobal(at)), button, held, Qt::NoModifier);
  QCoreApplication::sendEvent(&widget, &event);
}

void DragZoom(CViewFileDlg& window, FakeHost& host) {
  if (!host.zoom.IsOn()) {
    Button(window, "Zoom +")->click();
  }
  CChartWidget& chart = *ChartOf(window);
  const QRect plot = window.Chart().Chart().PlotRect();
  const QPoint from(plot.left() + plot.width() / 4, plot.center().y());
  const QPoint to(plot.left() + 3 * plot.width() / 4, plot.center().y() + plot.height() / 4);
  SendMouse(chart, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  SendMouse(chart, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
  SendMouse(chart, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

} // namespace nimbrel::test
