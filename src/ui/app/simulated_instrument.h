#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace sim {
class PtyServer;
}

namespace nimbrel {

// What may be done with the COMn entry of the program directory that should lead to the
// simulated instrument.
enum class SimLinkAction {
  Create,  // nothing is there
  Replace, // a link to a pseudo-terminal that no longer exists: left over by an earlier simulation
  Refuse,  // anything else (a file, a link to a real device, a simulation still running): left alone
};
SimLinkAction DecideSimLink(const std::filesystem::path& entry);

// `nimbrel --simulate`: a TBR4470 with a month of generated data on a pseudo-terminal inside the
// program, reachable as COMn of the program directory for as long as the object lives.
class CSimulatedInstrument {
public:
  ~CSimulatedInstrument();
  CSimulatedInstrument(const CSimulatedInstrument&) = delete;
  CSimulatedInstrument& operator=(const CSimulatedInstrument&) = delete;

  // Starts the instrument and links "COM<port>" to it; on failure `error` says why and what to do.
  static std::unique_ptr<CSimulatedInstrument> Start(const std::filesystem::path& programDirectory, int port,
                                                     std::string& error);

  [[nodiscard]] const std::string& PortName() const { return portName_; }
  [[nodiscard]] sim::PtyServer& Server() { return *server_; }

private:
  CSimulatedInstrument() = default;

  std::unique_ptr<sim::PtyServer> server_;
  std::string portName_;
};

} // namespace nimbrel
