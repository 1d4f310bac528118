// nimbrel_screenshots FOLDER: pictures of every window of the program, against the simulated
// instrument, as FOLDER/NAME.png. Run under Xvfb by scripts/screenshots, which also copies the ones
// the handbook shows into docs/handbook/images.

#include "data/open_save.h"
#include "support/child_process.h"
#include "support/instrument_memory.h"
#include "ui/app/main_frame.h"
#include "ui/app/shell_dialogs.h"
#include "ui/base/qt_prompts.h"
#include "ui/download/download_dialogs.h"
#include "ui/print/sel_doc_to_print_dlg.h"
#include "ui/protocol/connection_dialogs.h"
#include "ui/setup/setup_dlg.h"
#include "ui/viewer/sel_excel_interval.h"
#include "ui/widgets/picture_button.h"
#include "widget_rig.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

namespace nimbrel::test {
namespace {

class Shots {
public:
  explicit Shots(QString dir) : dir_(std::move(dir)) {}
  void Save(const QPixmap& picture, const char* name) const {
    const QString file = QStringLiteral("%1/%2.png").arg(dir_, name);
    EXPECT_TRUE(picture.save(file)) << file.toStdString();
  }
  void Take(QWidget& window, const char* name, QRect part = {}) const {
    window.repaint();
    Save(window.grab(part.isNull() ? QRect(QPoint(0, 0), QSize(-1, -1)) : part), name);
  }
  // The screen where `window` stands, with `front` in front of it, outlined (there is no window
  // manager to draw its frame).
  void Screen(const QWidget& window, const QWidget& front, const char* name) const {
    QApplication::processEvents();
    const QRect at = window.frameGeometry();
    QPixmap picture = window.screen()->grabWindow(0, at.x(), at.y(), at.width(), at.height());
    QPainter painter(&picture);
    painter.setPen(QColor(80, 80, 80));
    painter.drawRect(front.frameGeometry().translated(-at.topLeft()).adjusted(0, 0, -1, -1));
    painter.end();
    Save(picture, name);
  }
  // A modal dialog that the next step opens: photographed, then closed.
  void Modal(ModalScript& modals, const char* name, bool accept = true) const {
    modals.Then([this, name, accept](QDialog& d) {
      Take(d, name);
      accept ? d.accept() : d.reject();
    });
  }
  [[nodiscard]] const QString& Dir() const { return dir_; }

private:
  QString dir_;
};

// Thirty days in inches, and 65000 quarter hours of temperature alone (an export in three pieces).
std::filesystem::path InchFile() {
  return Simulated("inch.rlg", {"--days", "30", "--unit", "1"});
}

std::filesystem::path QuarterHoursFile() {
  static TempDir dir;
  if (!std::filesystem::exists(dir / "quarters.rlg")) {
    std::string text = "TEMPERATURE (-TBR4470- Serial Num: 55555555)\r\n0A000000\r\n";
    for (int i = 0; i < 65000; ++i) {
      text += i % 97 == 5 ? " ERR\r\n" : " " + std::to_string(10 + i % 13) + ".25\r\n";
    }
    dir.Write("quarters.rlg", text);
  }
  return dir / "quarters.rlg";
}

// The point of the heaviest rain after the first quarter of a data window, or its neighbours, in the
// chart's pixels.
QPoint StormPixel(const CViewFileDlg& window, int offset = 0) {
  const auto& rows = window.View().Series().rows;
  const auto wettest = std::max_element(rows.begin() + static_cast<std::ptrdiff_t>(rows.size() / 4), rows.end(),
                                        [](const auto& a, const auto& b) { return a.rain < b.rain; });
  const int point = static_cast<int>(wettest - rows.begin()) + offset;
  const auto pixel = window.Chart().Chart().PointPixel(1, 1, std::clamp(point, 0, static_cast<int>(rows.size()) - 1));
  return pixel ? pixel->toPoint() : window.Chart().Chart().PlotRect().center();
}

// The chart of the first download: the hover label over the storm, the rubber band of a zoom
// dragged around it, and the zoomed chart.
void ChartScenes(const Shots& shots, CViewFileDlg& window, CZoomMode& zoom) {
  CChartWidget& chart = ChartOf(window);
  const QRect plot = window.Chart().Chart().PlotRect();
  const QPoint storm = StormPixel(window);
  SendMouse(chart, QEvent::MouseMove, QPoint(storm.x(), (storm.y() + plot.bottom()) / 2), Qt::NoButton);
  shots.Take(chart, "chart-hover");
  const QPoint from(StormPixel(window, -60).x(), plot.top() + plot.height() / 8);
  const QPoint to(StormPixel(window, 60).x(), plot.bottom() - plot.height() / 8);
  Button(window, "Zoom +")->click();
  SendMouse(chart, QEvent::MouseMove, from, Qt::NoButton);
  SendMouse(chart, QEvent::MouseButtonPress, from, Qt::LeftButton);
  SendMouse(chart, QEvent::MouseMove, to, Qt::LeftButton);
  shots.Take(chart, "chart-zoom-band");
  SendMouse(chart, QEvent::MouseButtonRelease, to, Qt::NoButton);
  // The band goes when the pointer moves on (until then the released band stays drawn).
  SendMouse(chart, QEvent::MouseMove, QPoint(plot.left() + plot.width() / 8, plot.top() + plot.height() / 3),
            Qt::NoButton);
  shots.Take(chart, "chart-zoomed");
  Button(window, "Zoom -")->click();
  if (zoom.IsOn()) {
    Button(window, "Zoom +")->click();
  }
}

// The instrument session: the main window, connection, setup, the first download with its data
// window, the second download's options, and the dialogs of the menus.
void SessionScenes(const Shots& shots) {
  SimRig rig(MonthOfData(7)); // the weather of `nimbrel --simulate`
  rig.Link("COM1");
  rig.WritePortIni(1, false);
  rig.dir.Write("License.txt", ReadFileBytes(std::filesystem::path(NIMBREL_TEST_DATA_DIR) / "../../License.txt"));
  std::filesystem::create_directories(rig.dir / "Help_Nimbrel");
  rig.dir.Write("Help_Nimbrel/HomeNBR.htm",
                "<html><body><h1>Nimbrel Handbook</h1><p>How to connect the TBR4470, download its memory and "
                "read the data window.</p></body></html>");
  ScriptedPrompts prompts;
  ModalScript modals;
  MainFrameOptions options;
  options.programDirectory = rig.dir.Path();
  EXPECT_TRUE(CPortIniStore(rig.dir.Path()).Read(options.portConfig).ok());
  options.handbookPage = "Help_Nimbrel\\HomeNBR.htm";
  options.timing = SessionTiming{}.Scaled(4);
  options.prompts = &prompts;
  CMainFrame frame(options);
  frame.move(0, 0);
  frame.resize(640, 440);
  frame.show();
  RunUntil([&] { return frame.isVisible(); });
  shots.Take(frame, "main-disconnected");

  modals.Then([&shots](QDialog& d) {
    Named<QComboBox>(d, "Port")->setCurrentIndex(Named<QComboBox>(d, "Port")->findText("COM1"));
    shots.Take(d, "port-settings");
    d.reject();
  });
  frame.Run(ShellCommand::PortSettings);

  shots.Modal(modals, "instrument-info");
  frame.Run(ShellCommand::Connect);
  bool connecting = false;
  EXPECT_TRUE(RunUntil([&] {
    if (!connecting && frame.ConnectingDialog() != nullptr && frame.ConnectingDialog()->isVisible() &&
        frame.ConnectingDialog()->Text().contains("Port")) {
      connecting = true;
      shots.Take(*frame.ConnectingDialog(), "connecting");
    }
    return modals.Done() && frame.Session()->Connected() && frame.Session()->Idle();
  }));
  shots.Take(frame, "main-connected");
  shots.Take(*frame.statusBar(), "status-pane");

  frame.Run(ShellCommand::Setup);
  EXPECT_TRUE(RunUntil([&] { return frame.SetupDialog() != nullptr && frame.SetupDialog()->isVisible(); }));
  frame.SetupDialog()->UpdateClockBox()->click();
  frame.SetupDialog()->resize(640, frame.SetupDialog()->height());
  shots.Take(*frame.SetupDialog(), "setup");
  frame.SetupDialog()->reject();

  // The first download, its status window and its data window in front of the main window.
  prompts.ExpectQuestion("WARNING\nDo you want to clear instrument memory ?", Answer::Yes);
  // Paced like a real line, so the status window shows a page half done.
  rig.server.SetFaults(Faults([](sim::Faults& f) {
    f.splitBytes = 40;
    f.splitDelayMs = 100;
  }));
  frame.Run(ShellCommand::Download);
  bool status = false;
  EXPECT_TRUE(RunUntil([&] {
    const CDownloadStatusDlg* d = frame.DownloadStatus();
    if (!status && d != nullptr && d->isVisible() && d->DataDownloaded().toInt() > 20 &&
        d->TimeLeftText().contains("about")) {
      status = true;
      shots.Take(*frame.DownloadStatus(), "download-status");
      rig.server.SetFaults({});
    }
    return frame.LastDownloadEnd().has_value() && frame.Session()->Idle() && frame.DataWindows().Active();
  }));
  EXPECT_TRUE(status) << "no picture of the download status";
  auto* data = qobject_cast<CViewFileDlg*>(frame.DataWindows().Active());
  if (data == nullptr) {
    ADD_FAILURE() << "no data window after the download";
    return;
  }
  ChooseInterval(*data, "1 hour");
  const QRect central = frame.centralWidget()->geometry();
  data->setGeometry(frame.x(), frame.y() + central.top() + 8, 640, central.height() - 16);
  shots.Screen(frame, *data, "start-first-download");
  data->resize(640, 560);
  shots.Take(*data, "data-window");
  const QRect saveAs = Button(*data, "Save As...")->geometry();
  const QRect print = Button(*data, "Print")->geometry();
  shots.Take(*data, "data-buttons", QRect(saveAs.left() - 6, 0, print.right() - saveAs.left() + 13, 40));
  ChartScenes(shots, *data, frame.ZoomMode());
  ChooseInterval(*data, "1 min");
  OnModal<CSelExcelInterval>([&shots](CSelExcelInterval& chooser) {
    auto* list = chooser.findChild<QTreeWidget*>();
    list->setCurrentItem(list->topLevelItem(1));
    shots.Take(chooser, "export-select-interval");
    chooser.reject();
  });
  Button(*data, "Export to Excel")->click();

  // The data are discarded as the window closes; the second download offers the old data.
  prompts.ExpectQuestion(kSaveCurrentDataText, Answer::No);
  data->close();
  EXPECT_TRUE(RunUntil([&] { return frame.Action(ShellCommand::Download)->isEnabled(); }, 5000));
  shots.Modal(modals, "download-options", false);
  frame.Run(ShellCommand::Download);
  EXPECT_TRUE(RunUntil([&] { return modals.Done() && frame.Session()->Idle(); }));

  CQtPrompts boxes(&frame, &frame.Gate());
  shots.Modal(modals, "save-prompt", false);
  (void)boxes.Question(kSaveCurrentDataText, Buttons::YesNoCancel, Icon::Question, Answer::Cancel);
  shots.Modal(modals, "about");
  frame.Run(ShellCommand::About);
  modals.Then([&shots](QDialog& d) {
    shots.Take(d, "licence");
    d.accept();
  });
  frame.Run(ShellCommand::Licence);
  modals.Then([&shots](QDialog& d) {
    d.findChildren<QRadioButton*>().at(1)->click(); // CUSTOM
    for (QLineEdit* box : d.findChildren<QLineEdit*>()) {
      box->setText(box->accessibleName().startsWith("Width") ? "2000" : "2700");
    }
    shots.Take(d, "print-graph-setting");
    d.reject();
  });
  frame.Run(ShellCommand::PrintGraphSetting);
  frame.Run(ShellCommand::Handbook);
  EXPECT_TRUE(RunUntil([&] { return frame.Handbook() != nullptr && frame.Handbook()->isVisible(); }));
  shots.Take(*frame.Handbook(), "handbook");
  EXPECT_TRUE(modals.Done());
}

// Data windows of simulated files, their printouts (page 1 rendered from the PDF), the print choice
// and the export chooser.
void DataWindowScenes(const Shots& shots) {
  FakeHost host;
  const auto printed = [&](CViewFileDlg& window, bool graph, const char* name) {
    const std::filesystem::path pdf = host.dir / "page.pdf";
    host.setUpPrinter = [pdf, graph](QPrinter& printer) {
      printer.setOutputFileName(QString::fromStdString(pdf.string()));
      printer.setPageSize(QPageSize(QPageSize::A4));
      printer.setPageOrientation(graph ? QPageLayout::Landscape : QPageLayout::Portrait);
      return true;
    };
    OnModal<CSelDocToPrintDlg>([graph](CSelDocToPrintDlg& dialog) {
      dialog.findChild<QLineEdit*>()->setText(QStringLiteral("Rain gauge 12345678 - 2024"));
      dialog.findChildren<QRadioButton*>().at(graph ? 1 : 0)->setChecked(true);
      PushButton(dialog, "OK")->click();
    });
    Button(window, "Print")->click();
    const std::string out = (std::filesystem::path(shots.Dir().toStdString()) / name).string();
    EXPECT_EQ(RunChild("/usr/bin/pdftoppm", {"-png", "-r", "80", "-singlefile", pdf.string(), out}).exit, 0);
  };

  CViewFileDlg year(YearFile(), host, nullptr, host.Services());
  year.resize(1000, 700);
  year.show();
  shots.Take(year, "data-window-year");
  printed(year, true, "printed-graph");
  printed(year, false, "printed-table");
  DragZoom(year, host.zoom);
  DragZoom(year, host.zoom);
  const QRect plot = year.Chart().Chart().PlotRect();
  SendMouse(ChartOf(year), QEvent::MouseMove, QPoint(plot.left() + plot.width() / 3, plot.center().y()), Qt::NoButton);
  shots.Take(year, "data-window-zoomed");
  OnModal<CSelDocToPrintDlg>([&shots](CSelDocToPrintDlg& dialog) {
    shots.Take(dialog, "print-choice");
    dialog.reject();
  });
  Button(year, "Print")->click();

  CViewFileDlg inch(InchFile(), host, nullptr, host.Services());
  inch.resize(1000, 700);
  inch.show();
  shots.Take(inch, "data-window-inch");

  CViewFileDlg quarters(QuarterHoursFile(), host, nullptr, host.Services());
  ChooseInterval(quarters, "15 min");
  OnModal<CSelExcelInterval>([&shots](CSelExcelInterval& chooser) {
    auto* list = chooser.findChild<QTreeWidget*>();
    list->setCurrentItem(list->topLevelItem(1));
    shots.Take(chooser, "export-chooser");
    chooser.reject();
  });
  Button(quarters, "Export to Excel")->click();
}

} // namespace
} // namespace nimbrel::test

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: nimbrel_screenshots FOLDER (under an X server: scripts/screenshots)\n";
    return 2;
  }
  QApplication app(argc, argv);
  const nimbrel::test::Shots shots(QString::fromLocal8Bit(argv[1]));
  nimbrel::test::SessionScenes(shots);
  nimbrel::test::DataWindowScenes(shots);
  const bool failed = testing::UnitTest::GetInstance()->ad_hoc_test_result().Failed();
  std::cerr << (failed ? "some pictures are missing or wrong (see above)\n" : "");
  return failed ? 1 : 0;
}
