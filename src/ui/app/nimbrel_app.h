#pragma once

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

  // Runs the start-up sequence in the running QApplication; false when the program must end.
  bool InitInstance(int argc, char** argv);
  [[nodiscard]] CMainFrame* MainFrame() const { return frame_.get(); }

private:
  std::unique_ptr<CSimulatedInstrument> simulated_; // lives longer than the window that uses it
  std::unique_ptr<CMainFrame> frame_;
};

} // namespace nimbrel
