#pragma once

#include <QStringList>

#include <memory>

namespace nimbrel {

class CMainFrame;
class CSimulatedInstrument;

// The application: the start-up sequence (program directory, Nimbrel.ini, the marker files,
// port.ini, the main window, a file named on the command line, the simulated instrument of
// --simulate) and the main window's life.
class CNimbrelApp {
public:
  CNimbrelApp();
  ~CNimbrelApp();
  CNimbrelApp(const CNimbrelApp&) = delete;
  CNimbrelApp& operator=(const CNimbrelApp&) = delete;

  // Runs the start-up sequence in the running QApplication with the program's arguments (the first
  // is the program's name); false when the program must end.
  bool InitInstance(const QStringList& arguments);
  [[nodiscard]] CMainFrame* MainFrame() const { return frame_.get(); }

private:
  std::unique_ptr<CSimulatedInstrument> simulated_; // lives longer than the window that uses it
  std::unique_ptr<CMainFrame> frame_;
};

} // namespace nimbrel
