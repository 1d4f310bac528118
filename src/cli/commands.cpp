#include "cli/commands.h"

#include "cli/data_commands.h"
#include "cli/instrument_commands.h"
#include "cli/print_command.h"

#include <cstdio>

namespace nimbrel::cli {

std::span<const Command> Commands() {
  static const Command commands[] = {
      {"info", "connect to the instrument and show its identity", RunInfo},
      {"download", "download the instrument memory into DumpFile.rlg", RunDownload},
      {"clear-counter", "clear the partial or total rain counter", RunClearCounter},
      {"erase-memory", "erase the instrument memory (factory PCs)", RunEraseMemory},
      {"set-serial", "set the instrument serial number (factory PCs)", RunSetSerial},
      {"table", "write the table text of a .rlg file (as the clipboard gets it)", RunTable},
      {"export", "export the table of a .rlg file as a spreadsheet (.xlsx)", RunExport},
      {"stats", "rain, intensity and temperature statistics of a .rlg file", RunStats},
      {"print", "print the table or the graph of a .rlg file to a PDF, as the desktop prints them", RunPrint},
  };
  return commands;
}

} // namespace nimbrel::cli
