#pragma once

#include "protocol/maintenance.h"

#include <string>

namespace nimbrel {

// What the instrument commands of the menus depend on.
struct MenuInputs {
  bool connected = false;
  bool downloading = false;
  bool dataPresent = false; // a downloaded file is current (CurrentDumpPath not empty)
  FactoryMarkers markers;
};

struct MenuItem {
  bool enabled = false;
  std::string text; // empty for a factory command whose marker file is absent
};

struct InstrumentMenu {
  MenuItem connect, disconnect, instrInfo, download, setup, clearPartial, clearTotal, eraseMemory, setSerial,
      portSettings;
};

// The enabling rule of every instrument command, in one place.
InstrumentMenu MenuState(const MenuInputs& in);

} // namespace nimbrel
