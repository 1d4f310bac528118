#include "ui/app/simulated_instrument.h"

#include "sim/pty_server.h"

#include <cstdint>

namespace nimbrel {

namespace fs = std::filesystem;

namespace {
constexpr int kDays = 30;
constexpr std::uint64_t kSeed = 7;
} // namespace

SimLinkAction DecideSimLink(const fs::path& entry) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(entry, ec);
  if (ec || !fs::exists(status)) {
    return SimLinkAction::Create;
  }
  if (!fs::is_symlink(status)) {
    return SimLinkAction::Refuse;
  }
  const fs::path target = fs::read_symlink(entry, ec);
  const bool pseudoTerminal = !ec && target.string().rfind("/dev/pts/", 0) == 0;
  return pseudoTerminal && !fs::exists(target, ec) ? SimLinkAction::Replace : SimLinkAction::Refuse;
}

CSimulatedInstrument::~CSimulatedInstrument() {
  if (server_) {
    server_->Stop(); // also removes the link
  }
}

std::unique_ptr<CSimulatedInstrument> CSimulatedInstrument::Start(const fs::path& programDirectory, int port,
                                                                  std::string& error) {
  std::unique_ptr<CSimulatedInstrument> simulated(new CSimulatedInstrument);
  simulated->portName_ = "COM" + std::to_string(port > 0 ? port : 1);
  const fs::path entry = programDirectory / simulated->portName_;
  if (DecideSimLink(entry) == SimLinkAction::Refuse) {
    error = simulated->portName_ + " in the program directory (" + entry.string() +
            ") is not a link that Nimbrel made, so it was left as it is and the simulated instrument is not "
            "attached.\nRemove it, or choose another port in Option > Port settings, and start Nimbrel with "
            "--simulate again.";
    return nullptr;
  }
  sim::GeneratorOptions generator;
  generator.seed = kSeed;
  generator.days = kDays;
  const std::int64_t now = sim::HostLocalNow();
  generator.start = now - static_cast<std::int64_t>(kDays) * 86400;
  simulated->server_ = std::make_unique<sim::PtyServer>(sim::Instrument(sim::MakeInstrumentState(generator, {}, now)));
  std::string why;
  if (!simulated->server_->Start(&why)) {
    error = "The simulated instrument could not start: " + why + "\nNimbrel runs without it.";
    return nullptr;
  }
  if (!simulated->server_->LinkAs(entry.string(), &why)) {
    error = "The simulated instrument could not be attached as " + simulated->portName_ + ": " + why +
            "\nCheck that the program directory can be written.";
    return nullptr;
  }
  return simulated;
}

} // namespace nimbrel
