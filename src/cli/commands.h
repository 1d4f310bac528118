#pragma once

#include <QStringList>

#include <span>

namespace nimbrel::cli {

// Exit codes of nimbrel-cli (documented in the README).
enum ExitCode : int {
  kExitOk = 0,          // done
  kExitFailed = 1,      // the operation failed; standard error says why
  kExitUsage = 2,       // bad arguments, or a choice the user must make (an interval, a chunk, --old-data)
  kExitMemoryEmpty = 3, // download: the instrument had nothing to download
  kExitIncomplete = 4,  // download: some pages could not be read (the memory was not released)
};

struct Command {
  const char* name;
  const char* summary;
  // Receives the arguments after the command name, with the program name in front (as
  // QCommandLineParser expects them).
  int (*run)(const QStringList& args);
};

// Every command of nimbrel-cli, in the order `--help` lists them.
std::span<const Command> Commands();

} // namespace nimbrel::cli
