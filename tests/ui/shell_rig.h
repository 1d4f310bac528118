#pragma once
// Widget tests: the application object, waiting on the event loop, answering modal dialogs from a
// script, and the simulated instrument on a pseudo-terminal in a temporary program directory.

#include "sim/pty_server.h"
#include "support/temp_dir.h"

#include <QDialog>
#include <QTimer>

#include <deque>
#include <functional>
#include <string>

namespace nimbrel {
class CMainFrame;
}

namespace nimbrel::test {

// Runs the event loop until `done` holds; false after `limitMs` (a hung test, not a timing check).
bool RunUntil(const std::function<bool()>& done, int limitMs = 60000);

// Answers the modal dialogs that the program opens, in order: each handler gets the dialog (and
// checks what it shows, then accepts or rejects it). A modal dialog without a handler fails the
// test and is rejected.
class ModalScript {
public:
  ModalScript();
  void Then(std::function<void(QDialog&)> handler) { handlers_.push_back(std::move(handler)); }
  [[nodiscard]] bool Done() const { return handlers_.empty(); }

private:
  QTimer poll_;
  std::deque<std::function<void(QDialog&)>> handlers_;
};

// The simulated instrument and the program directory the program runs in.
struct SimRig {
  explicit SimRig(sim::InstrumentState state);
  // "COMn" of the program directory leads to the instrument, or to `target`.
  void Link(const std::string& name) const;
  void LinkTo(const std::string& name, const std::string& target) const;
  void WritePortIni(int port, bool autoDetect) const;
  [[nodiscard]] std::vector<std::string> Commands() const;

  TempDir dir;
  sim::PtyServer server;
};

// A month of generated data whose instrument clock is the PC's.
sim::InstrumentState MonthOfData();

// The text of the child label (or edit) named `name`.
QString ChildText(const QWidget& parent, const QString& accessibleName);

// Every enabled state and text of the menus and tool bar equals the session's menu state now.
bool CommandsFollowMenu(const CMainFrame& frame);
// ... within a moment, by the window's own refresh (the menus are not opened).
void ExpectCommandsFollowMenu(const CMainFrame& frame);

} // namespace nimbrel::test
