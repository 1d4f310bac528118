#pragma once

#include "support/scripted_prompts.h"
#include "support/temp_dir.h"
#include "ui/chart/chart_widget.h"
#include "ui/viewer/data_window_host.h"
#include "ui/viewer/view_file_dlg.h"
#include "ui/widgets/picture_button.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace nimbrel::test {

// The main window as a data window sees it, and the desktop services it uses: exports go to
// `documents`, the spreadsheet application records what it is given, the print dialog is
// `setUpPrinter`.
class FakeHost final : public IDataWindowHost {
public:
  IPrompts& Prompts() override { return prompts; }
  CZoomMode& ZoomMode() override { return zoom; }
  std::atomic<bool>& CancelRequest() override { return cancel; }
  [[nodiscard]] std::filesystem::path ProgramDirectory() const override { return dir.Path(); }
  void SaveDataWindowAs(const std::filesystem::path& /*file*/) override {}
  bool MayClose() override { return mayClose; }
  void Closed(CViewFileDlg* window) override { closed.push_back(window); }
  CDataWindowServices Services();

  TempDir dir;
  ScriptedPrompts prompts;
  CZoomMode zoom;
  std::atomic<bool> cancel{false};
  bool mayClose = true;
  std::vector<CViewFileDlg*> closed;
  bool sheetOpens = true;
  std::vector<std::filesystem::path> opened;
  std::function<bool(QPrinter&)> setUpPrinter = [](QPrinter&) { return false; };
};

// Data files made once by the simulator: a year in millimetres (a full memory), thirty days in
// inches; and `samples` quarter hours of temperature alone.
std::filesystem::path YearFile();
std::filesystem::path InchFile();
std::filesystem::path QuarterHoursFile(int samples);
std::filesystem::path TestData(const std::string& name);
// The standard output of nimbrel-cli; the test fails when it reports an error.
std::string Cli(const std::vector<std::string>& args);

// Controls as the user finds them: a picture button by its tool tip (the one shown), a push button
// by its caption.
CPictureButton* Button(const QWidget& window, const QString& toolTip);
QPushButton* PushButton(const QWidget& dialog, const QString& text);
inline QTableView& Table(const QWidget& window) {
  return *window.findChild<QTableView*>();
}
inline CChartWidget& ChartOf(const QWidget& window) {
  return *window.findChild<CChartWidget*>();
}
inline QString ListText(const QWidget& window) {
  return window.findChild<QComboBox*>()->currentText();
}
inline void ChooseInterval(const QWidget& window, const QString& text) {
  auto* list = window.findChild<QComboBox*>();
  list->setCurrentIndex(list->findText(text));
}
// The texts of a table line as the clipboard joins them.
std::string LineText(const QTableView& table, int line);

// Runs `act` on the next modal dialog of type T once it shows.
template <typename T> void OnModal(std::function<void(T&)> act, int triesLeft = 1000) {
  QTimer::singleShot(0, [act = std::move(act), triesLeft] {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
      act(*dialog);
    } else if (triesLeft > 0) {
      OnModal<T>(act, triesLeft - 1);
    }
  });
}

void SendMouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButtons held);
// One zoom level more: "Zoom +" when zoom mode is off, then a drag across the middle of the plot.
void DragZoom(CViewFileDlg& window, FakeHost& host);

} // namespace nimbrel::test
