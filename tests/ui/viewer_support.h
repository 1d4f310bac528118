#pragma once

#include "chart/zoom_mode.h"
#include "support/scripted_prompts.h"
#include "support/temp_dir.h"
#include "ui/viewer/data_window_host.h"
#include "ui/viewer/view_file_dlg.h"

#include <QApplication>
#include <QTimer>

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QPushButton;
class QTableView;

namespace nimbrel {
class CChartWidget;
class CPictureButton;
} // namespace nimbrel

namespace nimbrel::test {

// The main window as a data window sees it: scripted prompts, the shared zoom mode, the cancel
// request, and a record of the save and close requests.
class FakeHost final : public IDataWindowHost {
public:
  IPrompts& Prompts() override { return prompts; }
  CZoomMode& ZoomMode() override { return zoom; }
  std::atomic<bool>& CancelRequest() override { return cancel; }
  [[nodiscard]] std::filesystem::path ProgramDirectory() const override { return dir.Path(); }
  void SaveDataWindowAs(const std::filesystem::path& file) override { savedAs.push_back(file); }
  bool MayClose() override { return mayClose; }
  void Closed(CViewFileDlg* window) override { closed.push_back(window); }

  TempDir dir;
  ScriptedPrompts prompts;
  CZoomMode zoom;
  std::atomic<bool> cancel{false};
  bool mayClose = true;
  std::vector<std::filesystem::path> savedAs;
  std::vector<CViewFileDlg*> closed;
};

// The services of a window under test: exports go to `documents`, the spreadsheet application is
// `openSheet` (recording what it was given), the print dialog is `setUpPrinter`.
struct FakeServices {
  std::filesystem::path documents;
  bool sheetOpens = true;
  std::vector<std::filesystem::path> opened;
  std::function<bool(QPrinter&)> setUpPrinter = [](QPrinter&) { return false; };
  CDataWindowServices Services();
};

// The data files the tests share, made once by the simulator: a year in millimetres (a full
// memory), thirty days in inches, and `samples` quarter hours of temperature alone.
std::filesystem::path YearFile();
std::filesystem::path InchFile();
std::filesystem::path QuarterHoursFile(int samples);
std::filesystem::path TestData(const std::string& name);

// The standard output of nimbrel-cli with `args`; the test fails when it exits with an error.
std::string Cli(const std::vector<std::string>& args);

// The window's controls, as the user finds them.
CPictureButton* Button(const QWidget& window, const QString& toolTip, bool visibleOne = true);
QComboBox* IntervalList(const QWidget& window);
QTableView* Table(const QWidget& window);
CChartWidget* ChartOf(const QWidget& window);
// The push button captioned `text`.
QPushButton* PushButton(const QWidget& dialog, const QString& text);
// Selects a list text as the user does.
void ChooseInterval(const QWidget& window, const QString& text);
// The table's texts of `line`, joined by "\t\t" as the clipboard joins them.
std::string LineText(const QTableView& table, int line);

// Runs `act` on the next modal dialog of type T once it shows (while its exec() runs).
template <typename T> void OnModal(std::function<void(T&)> act, int triesLeft = 200) {
  QTimer::singleShot(0, [act = std::move(act), triesLeft] {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
      act(*dialog);
    } else if (triesLeft > 0) {
      OnModal<T>(act, triesLeft - 1);
    }
  });
}

// A mouse event with the buttons held, sent straight to `widget`.
void SendMouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held);
// One zoom level more: zoom mode on (by "Zoom +" when it is off) and a drag across the middle half
// of the plot.
void DragZoom(CViewFileDlg& window, FakeHost& host);

} // namespace nimbrel::test
