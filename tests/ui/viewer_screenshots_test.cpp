// Pictures of the data window and its dialogs for docs/screenshots, taken only when
// NIMBREL_SCREENSHOT_DIR names a folder (run under Xvfb):
//
//   NIMBREL_SCREENSHOT_DIR=$PWD/docs/screenshots xvfb-run -a -s "-screen 0 1280x800x24"
//       build/dev/tests/test_ui --gtest_filter=Screenshots.DataWindow*

#include "support/child_process.h"
#include "ui/print/sel_doc_to_print_dlg.h"
#include "ui/viewer/sel_excel_interval.h"
#include "viewer_support.h"

#include <QLineEdit>
#include <QPageSize>
#include <QPrinter>
#include <QRadioButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace nimbrel::test {
namespace {

TEST(Screenshots, DataWindowAndItsDialogs) {
  const char* dir = std::getenv("NIMBREL_SCREENSHOT_DIR");
  if (dir == nullptr) {
    GTEST_SKIP() << "set NIMBREL_SCREENSHOT_DIR to take the pictures";
  }
  const auto take = [dir](QWidget& window, const char* name) {
    window.repaint();
    EXPECT_TRUE(window.grab().save(QStringLiteral("%1/%2.png").arg(dir, name)));
  };
  FakeHost host;
  // Page 1 of a printout, rendered from the PDF as the printer puts it on paper.
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
    const std::string out = (std::filesystem::path(dir) / name).string();
    EXPECT_EQ(RunChild("/usr/bin/pdftoppm", {"-png", "-r", "80", "-singlefile", pdf.string(), out}).exit, 0);
  };

  CViewFileDlg year(YearFile(), host, nullptr, host.Services());
  year.resize(1000, 700);
  year.show();
  take(year, "data-window-year");
  printed(year, true, "printed-graph");
  printed(year, false, "printed-table");
  DragZoom(year, host);
  DragZoom(year, host);
  const QRect plot = year.Chart().Chart().PlotRect();
  SendMouse(ChartOf(year), QEvent::MouseMove, QPoint(plot.left() + plot.width() / 3, plot.center().y()), Qt::NoButton);
  take(year, "data-window-zoomed");
  OnModal<CSelDocToPrintDlg>([&take](CSelDocToPrintDlg& dialog) {
    take(dialog, "print-choice");
    dialog.reject();
  });
  Button(year, "Print")->click();

  CViewFileDlg inch(InchFile(), host, nullptr, host.Services());
  inch.resize(1000, 700);
  inch.show();
  take(inch, "data-window-inch");

  CViewFileDlg quarters(QuarterHoursFile(65000), host, nullptr, host.Services());
  ChooseInterval(quarters, "15 min");
  OnModal<CSelExcelInterval>([&take](CSelExcelInterval& chooser) {
    auto* list = chooser.findChild<QTreeWidget*>();
    list->setCurrentItem(list->topLevelItem(1));
    take(chooser, "export-chooser");
    chooser.reject();
  });
  Button(quarters, "Export to Excel")->click();
}

} // namespace
} // namespace nimbrel::test
