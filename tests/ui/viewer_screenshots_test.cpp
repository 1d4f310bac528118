// Pictures of the data window and its dialogs for docs/screenshots, taken only when
// NIMBREL_SCREENSHOT_DIR names a folder (run under Xvfb):
//
//   NIMBREL_SCREENSHOT_DIR=$PWD/docs/screenshots xvfb-run -a -s "-screen 0 1280x800x24"
//       build/dev/tests/test_ui --gtest_filter=Screenshots.DataWindow*

#include "support/child_process.h"
#include "ui/chart/chart_widget.h"
#include "ui/print/sel_doc_to_print_dlg.h"
#include "ui/viewer/sel_excel_interval.h"
#include "ui/widgets/picture_button.h"
#include "viewer_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPageSize>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdlib>

namespace nimbrel::test {
namespace {

class Shots {
public:
  explicit Shots(const char* dir) : dir_(dir) {}
  void Take(QWidget& window, const char* name) const {
    window.repaint();
    QCoreApplication::processEvents();
    const QString file = QStringLiteral("%1/%2.png").arg(dir_, name);
    EXPECT_TRUE(window.grab().save(file)) << file.toStdString();
  }
  // Page 1 of a PDF, rendered as the printer would put it on paper.
  void Page(const std::filesystem::path& pdf, const char* name) const {
    const std::string out = (std::filesystem::path(dir_.toStdString()) / name).string();
    const ChildResult render =
        RunChild("/usr/bin/pdftoppm", {"-png", "-r", "80", "-f", "1", "-l", "1", "-singlefile", pdf.string(), out});
    EXPECT_EQ(render.exit, 0) << render.err;
  }

private:
  QString dir_;
};

void PrintToPdf(CViewFileDlg& window, FakeServices& services, const std::filesystem::path& pdf, bool graph) {
  services.setUpPrinter = [pdf, graph](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(graph ? QPageLayout::Landscape : QPageLayout::Portrait);
    return true;
  };
  OnModal<CSelDocToPrintDlg>([graph](CSelDocToPrintDlg& dialog) {
    dialog.findChild<QLineEdit*>()->setText(QStringLiteral("Rain gauge 12345678 - 2024"));
    for (QRadioButton* choice : dialog.findChildren<QRadioButton*>()) {
      choice->setChecked(choice->text() == (graph ? "Print Graph" : "Print Table"));
    }
    PushButton(dialog, "OK")->click();
  });
  Button(window, "Print")->click();
}

TEST(Screenshots, DataWindowAndItsDialogs) {
  const char* dir = std::getenv("NIMBREL_SCREENSHOT_DIR");
  if (dir == nullptr) {
    GTEST_SKIP() << "set NIMBREL_SCREENSHOT_DIR to take the pictures";
  }
  const Shots shots(dir);
  FakeHost host;
  FakeServices services;
  services.documents = host.dir / "Documents";
  {
    CViewFileDlg window(YearFile(), host, nullptr, services.Services());
    window.resize(1000, 700);
    window.show();
    shots.Take(window, "data-window-year");

    DragZoom(window, host);
    DragZoom(window, host);
    const QRect plot = window.Chart().Chart().PlotRect();
    SendMouse(*ChartOf(window), QEvent::MouseMove, QPoint(plot.left() + plot.width() / 3, plot.center().y()),
              Qt::NoButton, Qt::NoButton);
    shots.Take(window, "data-window-zoomed");

    OnModal<CSelDocToPrintDlg>([&shots](CSelDocToPrintDlg& dialog) {
      shots.Take(dialog, "print-choice");
      dialog.reject();
    });
    Button(window, "Print")->click();
  }
  {
    CViewFileDlg window(YearFile(), host, nullptr, services.Services());
    window.resize(1000, 700);
    window.show();
    PrintToPdf(window, services, host.dir / "graph.pdf", true);
    shots.Page(host.dir / "graph.pdf", "printed-graph");
    PrintToPdf(window, services, host.dir / "table.pdf", false);
    shots.Page(host.dir / "table.pdf", "printed-table");
  }
  {
    CViewFileDlg window(InchFile(), host, nullptr, services.Services());
    window.resize(1000, 700);
    window.show();
    shots.Take(window, "data-window-inch");
  }
  {
    CViewFileDlg window(QuarterHoursFile(65000), host, nullptr, services.Services());
    ChooseInterval(window, "15 min");
    OnModal<CSelExcelInterval>([&shots](CSelExcelInterval& chooser) {
      auto* list = chooser.findChild<QTreeWidget*>();
      list->setCurrentItem(list->topLevelItem(1));
      shots.Take(chooser, "export-chooser");
      chooser.reject();
    });
    Button(window, "Export to Excel")->click();
  }
}

} // namespace
} // namespace nimbrel::test
