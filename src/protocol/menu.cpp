#include "protocol/menu.h"

namespace nimbrel {

InstrumentMenu MenuState(const MenuInputs& in) {
  const bool C = in.connected;
  const bool D = in.downloading;
  const bool P = in.dataPresent;
  const bool idle = C && !D; // connected and no download running
  InstrumentMenu m;
  m.connect = {!D && !C && !P, "Connect"};
  m.disconnect = {idle, "Disconnect"};
  m.instrInfo = {idle, "Instr. Info"};
  m.download = {idle && !P, "Download Data"};
  m.setup = {idle, "Instr. Setup "};
  m.clearPartial = {idle, "Clear Partial Counter"};
  m.clearTotal = {idle, "Clear Total Counter"};
  const bool canErase = in.markers.production || in.markers.erase;
  m.eraseMemory = {idle && canErase, canErase ? "ERASE MEMORY" : ""};
  m.setSerial = {idle && in.markers.production, in.markers.production ? "SET SERIAL NUM" : ""};
  m.portSettings = {!C, "Port settings"};
  return m;
}

} // namespace nimbrel
