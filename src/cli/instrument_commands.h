#pragma once

#include "base/scheduler.h"
#include "link/session_port.h"
#include "protocol/timing.h"

#include <QStringList>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace nimbrel::cli {

// Where an instrument command runs. The program uses DefaultInstrumentEnv(); tests run the same
// commands in-process with an in-memory port in virtual time, or a pseudo-terminal with the
// simulator and scaled timing.
struct InstrumentEnv {
  std::filesystem::path programDirectory; // port.ini, debug.txt, DumpFile.rlg, the marker files
  std::function<std::unique_ptr<ISessionPort>(const std::filesystem::path& programDirectory)> makePort;
  // Null: Qt timers on this thread's event loop.
  IScheduler* scheduler = nullptr;
  // Runs the events until done() holds. Null: a Qt event loop that checks done() every few ms.
  std::function<void(const std::function<bool()>& done)> runUntil;
  // Wraps the listener's sink. Null: a queued hand-over to this thread (MakeQueuedSink).
  std::function<LinkEventSink(LinkEventSink)> marshal;
  SessionTiming timing;                        // the product's values; tests may scale them
  std::function<void(const std::string&)> out; // results (standard output)
  std::function<void(const std::string&)> err; // messages and progress (standard error)
  bool progress = true;                        // report the download's progress (not --quiet)
  bool terminal = false;                       // standard error is a terminal: a bar refreshed in place
  std::function<bool()> interrupted;           // Ctrl+C, SIGTERM, SIGHUP: stop what is running
};

// The current directory, the real serial port, Qt timers, standard output and error, SIGINT.
InstrumentEnv DefaultInstrumentEnv();

// `command` is one of info, download, clear-counter, erase-memory, set-serial; `args` starts with
// the program and command name (as QCommandLineParser expects). Returns an ExitCode.
int RunInstrumentCommand(const std::string& command, const QStringList& args, InstrumentEnv& env);

// The entries of nimbrel-cli's command table: RunInstrumentCommand with DefaultInstrumentEnv().
int RunInfo(const QStringList& args);
int RunDownload(const QStringList& args);
int RunClearCounter(const QStringList& args);
int RunEraseMemory(const QStringList& args);
int RunSetSerial(const QStringList& args);

} // namespace nimbrel::cli
