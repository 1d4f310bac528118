// tbr4470-sim: the simulated instrument on a pseudo-terminal (see --help).

#include "sim/options.h"
#include "sim/pty_server.h"
#include "sim/state_file.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sys/stat.h>

namespace {

int Fail(const std::string& message, int code = 1) {
  std::cerr << "tbr4470-sim: " << message << '\n';
  return code;
}

} // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = sim::ParseArguments(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!options) {
    return Fail(error + " (see --help)", 2);
  }
  if (options->help) {
    std::cout << sim::HelpText();
    return 0;
  }

  sim::InstrumentState state;
  bool fresh = true;
  if (!options->stateFile.empty() && std::filesystem::exists(options->stateFile)) {
    if (!sim::LoadStateFile(options->stateFile, state, &error)) {
      return Fail("state file " + options->stateFile + ": " + error);
    }
    fresh = false;
    if (options->memoryOptionsGiven) {
      std::cerr << "tbr4470-sim: the instrument comes from " << options->stateFile
                << "; the memory and setting options are ignored\n";
    }
  } else {
    sim::GeneratorOptions gen = options->generator;
    const std::int64_t now = sim::HostLocalNow();
    if (!options->startGiven) {
      gen.start = now - static_cast<std::int64_t>(gen.days) * 86400;
    }
    state = sim::MakeInstrumentState(gen, options->settings, now);
  }
  auto saveState = [&](const sim::InstrumentState& s) {
    if (!options->stateFile.empty() && !sim::SaveStateFile(options->stateFile, s, &error)) {
      Fail(error);
      return false;
    }
    return true;
  };

  if (!options->expectFile.empty() || options->summary) {
    if (fresh && !saveState(state)) {
      return 1;
    }
    if (options->summary) {
      std::cout << sim::SummaryText(state);
    }
    if (!options->expectFile.empty()) {
      const sim::Instrument instrument(state);
      const auto file = instrument.ExpectedDump(options->oldData);
      if (!file) {
        return Fail(options->oldData ? "no old-data download: the memory is empty or new rain is waiting"
                                     : "no new-data download: the memory is empty or holds no new pages",
                    3);
      }
      std::ofstream out(options->expectFile, std::ios::binary | std::ios::trunc);
      out << *file;
      if (!out.flush()) {
        return Fail("cannot write " + options->expectFile);
      }
    }
    return 0;
  }

  // Serving: SIGINT and SIGTERM are taken synchronously by this thread only.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  sim::Instrument instrument(std::move(state));
  instrument.SetFaults(options->faults);
  instrument.SetLive(options->live);
  sim::PtyServer server(std::move(instrument));
  if (!options->logFile.empty() && !server.SetLogFile(options->logFile, &error)) {
    return Fail(error);
  }
  if (!server.Start(&error)) {
    return Fail(error);
  }
  std::cout << "tbr4470-sim: serving on " << server.SlavePath() << std::endl;
  if (!options->link.empty()) {
    if (!server.LinkAs(options->link, &error)) {
      server.Stop();
      return Fail(error);
    }
    std::cout << "tbr4470-sim: " << options->link << " -> " << server.SlavePath() << std::endl;
  }

  const timespec tick{0, 100000000L};
  int code = 0;
  for (;;) {
    const int sig = sigtimedwait(&signals, nullptr, &tick);
    if (sig == SIGINT || sig == SIGTERM) {
      break;
    }
    if (server.HungUp()) {
      std::cout << "tbr4470-sim: line hung up after " << server.WithInstrument([](auto& i) { return i.PagesSent(); })
                << " pages" << std::endl;
      break;
    }
  }
  server.Stop(); // removes the link
  if (!saveState(server.WithInstrument([](sim::Instrument& i) { return i.State(); }))) {
    code = 1;
  }
  return code;
}
