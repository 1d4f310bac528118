#pragma once
// Widget tests and the screenshot program: the application object, waiting on the event loop,
// modal dialogs answered from a script, the simulated instrument in a temporary program directory,
// a data window's host, and the controls as a user finds them.

#include "sim/pty_server.h"
#include "support/scripted_prompts.h"
#include "support/temp_dir.h"
#include "ui/chart/chart_widget.h"
#include "ui/viewer/data_window_host.h"
#include "ui/viewer/view_file_dlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <atomic>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace nimbrel {
class CMainFrame;
class CPictureButton;
} // namespace nimbrel

namespace nimbrel::test {

// Runs the event loop until `done` holds; false after `limitMs` (a hung test, not a timing check).
bool RunUntil(const std::function<bool()>& done, int limitMs = 60000);

// Answers the modal dialogs that the program opens, in order: each handler gets the dialog (checks
// what it shows, then accepts or rejects it). A modal dialog without a handler fails the test and is
// rejected; the wait notice of a data file being read comes and goes by itself and is left alone.
class ModalScript {
public:
  ModalScript();
  void Then(std::function<void(QDialog&)> handler) { handlers_.push_back(std::move(handler)); }
  [[nodiscard]] bool Done() const { return handlers_.empty(); }

private:
  QTimer poll_;
  std::deque<std::function<void(QDialog&)>> handlers_;
};

// Runs `act` on the next modal dialog of type T once it shows (inside a modal loop of the program).
template <typename T> void OnModal(std::function<void(T&)> act, int triesLeft = 1000) {
  QTimer::singleShot(0, [act = std::move(act), triesLeft] {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
      act(*dialog);
    } else if (triesLeft > 0) {
      OnModal<T>(act, triesLeft - 1);
    }
  });
}

// The simulated instrument and the program directory the program runs in.
struct SimRig {
  explicit SimRig(sim::InstrumentState state);
  // "COMn" of the program directory leads to the instrument, or to `target`.
  void Link(const std::string& name, const std::string& target = {}) const;
  void WritePortIni(int port, bool autoDetect) const;

  TempDir dir;
  sim::PtyServer server;
};

// A month of generated data whose instrument clock is the PC's.
sim::InstrumentState MonthOfData(std::uint64_t seed = 11);

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

// A data file made once by `tbr4470-sim <simulator> --start 2024-01-01`, and the one of a year in
// millimetres (a full memory).
std::filesystem::path Simulated(const std::string& name, const std::vector<std::string>& simulator);
std::filesystem::path YearFile();

// Controls as the user finds them: a control by its accessible name and the text of that label or
// edit, a picture button by its tool tip (the one shown), a push button by its caption.
template <typename T = QWidget> T* Named(const QWidget& parent, const QString& accessibleName) {
  for (T* w : parent.findChildren<T*>()) {
    if (w->accessibleName() == accessibleName) {
      return w;
    }
  }
  return nullptr;
}
QString ChildText(const QWidget& parent, const QString& accessibleName);
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

void SendMouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButtons held);
// One zoom level more: "Zoom +" when zoom mode is off, then a drag across the middle of the plot.
void DragZoom(CViewFileDlg& window, CZoomMode& zoom);

// Every enabled state and text of the menus and tool bar equals the session's menu state now.
bool CommandsFollowMenu(const CMainFrame& frame);

} // namespace nimbrel::test
