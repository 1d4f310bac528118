#include "cli/commands.h"

#include "cli/instrument_commands.h"
#include "cli/data_commands.h"

#include <cstdio>

namespace nimbrel::cli {

std::span<const Command> Commands() {
  static const Command commands[] = {
      {"version", "print the program version",
       [](const QStringList&) -> int {
         std::printf("nimbrel-cli " NIMBREL_VERSION "\n");
         return kExitOk;
       }},
      {"info", "connect to the instrument and show its identity",
       [](const QStringList& args) -> int {
         auto env = DefaultInstrumentEnv();
         return RunInstrumentCommand("info", args, env);
       }},
      {"download", "download the instrument memory into DumpFile.rlg",
       [](const QStringList& args) -> int {
         auto env = DefaultInstrumentEnv();
         return RunInstrumentCommand("download", args, env);
       }},
      {"clear-counter", "clear the partial or total rain counter",
       [](const QStringList& args) -> int {
         auto env = DefaultInstrumentEnv();
         return RunInstrumentCommand("clear-counter", args, env);
       }},
      {"erase-memory", "erase the instrument memory (factory PCs)",
       [](const QStringList& args) -> int {
         auto env = DefaultInstrumentEnv();
         return RunInstrumentCommand("erase-memory", args, env);
       }},
      {"set-serial", "set the instrument serial number (factory PCs)",
       [](const QStringList& args) -> int {
         auto env = DefaultInstrumentEnv();
         return RunInstrumentCommand("set-serial", args, env);
       }},
      {"table", "write the table text of a .rlg file (as the clipboard gets it)", RunTable},
      {"export", "export the table of a .rlg file as a spreadsheet (.xlsx)", RunExport},
      {"stats", "rain, intensity and temperature statistics of a .rlg file", RunStats},
  };
  return commands;
}

} // namespace nimbrel::cli
