#include "support/child_process.h"
#include "ui/chart/chart_widget.h"
#include "ui/widgets/picture_button.h"
#include "viewer_support.h"

#include <QClipboard>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace nimbrel::test {
namespace {

std::string ClipboardBytes() {
  return QApplication::clipboard()->text().toLatin1().toStdString();
}

// What the clipboard receives is what nimbrel-cli writes for the same file and interval, byte for
// byte, in millimetres and in inches, after a regrouping too.
TEST(DataWindowClipboard, TableTextIsTheCommandLineTable) {
  FakeHost host;
  const std::pair<std::filesystem::path, const char*> cases[] = {{YearFile(), "1 hour"}, {InchFile(), nullptr}};
  for (const auto& [file, interval] : cases) {
    SCOPED_TRACE(file.string());
    CViewFileDlg window(file, host);
    if (interval != nullptr) {
      ChooseInterval(window, interval);
    }
    QApplication::clipboard()->clear();
    Button(window, "Copy Table to Clipboard")->click();
    const std::string copied = ClipboardBytes();
    EXPECT_EQ(copied, Cli({"table", file.string(), "--interval", std::to_string(window.View().Interval())}));
    EXPECT_NE(copied.find(interval != nullptr ? "Rain [mm H2O]" : "Rain [inch H2O]"), std::string::npos);
  }
}

TEST(DataWindowClipboard, GraphPictureIsTheChartAtItsSize) {
  FakeHost host;
  CViewFileDlg window(YearFile(), host);
  window.show();
  QApplication::clipboard()->clear();
  Button(window, "Copy Graph to Clipboard")->click();
  const QImage picture = QApplication::clipboard()->image();
  EXPECT_EQ(picture.size(), ChartOf(window)->size() * ChartOf(window)->devicePixelRatio());
  std::set<QRgb> colours;
  for (int y = 0; y < picture.height(); y += 3) {
    for (int x = 0; x < picture.width(); x += 3) {
      colours.insert(picture.pixel(x, y));
    }
  }
  EXPECT_GT(colours.size(), 3U) << "the picture shows no chart";
}

// The real X clipboard: this program runs itself under Xvfb on the X11 platform, where the copy is
// read back by another X client.
TEST(DataWindowClipboard, ReadBackFromTheXClipboard) {
  if (std::getenv("NIMBREL_X_CLIPBOARD_CHILD") != nullptr) {
    GTEST_SKIP() << "the child's own part runs in XChild";
  }
  if (QStandardPaths::findExecutable("xvfb-run").isEmpty() || QStandardPaths::findExecutable("xclip").isEmpty()) {
    GTEST_SKIP() << "needs xvfb-run and xclip";
  }
  const ChildResult child =
      RunChild("/usr/bin/env",
               {"xvfb-run", "-a", "env", "QT_QPA_PLATFORM=xcb", "NIMBREL_X_CLIPBOARD_CHILD=1",
                std::filesystem::read_symlink("/proc/self/exe").string(), "--gtest_filter=DataWindowClipboard.XChild"});
  EXPECT_EQ(child.exit, 0) << child.out << child.err;
  EXPECT_NE(child.out.find("[  PASSED  ] 1 test"), std::string::npos) << child.out;
}

TEST(DataWindowClipboard, XChild) {
  if (std::getenv("NIMBREL_X_CLIPBOARD_CHILD") == nullptr) {
    GTEST_SKIP() << "runs under Xvfb from ReadBackFromTheXClipboard";
  }
  FakeHost host;
  CViewFileDlg window(InchFile(), host);
  window.show();
  Button(window, "Copy Table to Clipboard")->click();
  QProcess xclip;
  xclip.start("xclip", {"-selection", "clipboard", "-o"});
  // The copy is served by this program while xclip asks for it.
  while (!xclip.waitForFinished(10)) {
    QCoreApplication::processEvents();
    ASSERT_NE(xclip.state(), QProcess::NotRunning) << xclip.errorString().toStdString();
  }
  EXPECT_EQ(xclip.exitCode(), 0) << xclip.readAllStandardError().toStdString();
  EXPECT_EQ(xclip.readAllStandardOutput().toStdString(),
            Cli({"table", InchFile().string(), "--interval", std::to_string(window.View().Interval())}));
}

} // namespace
} // namespace nimbrel::test
