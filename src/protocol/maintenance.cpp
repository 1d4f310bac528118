#include "protocol/maintenance.h"

#include "protocol/command.h"

#include <fstream>

namespace nimbrel {

namespace {
bool Readable(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) {
    return false;
  }
  const std::ifstream in(file, std::ios::binary);
  return in.is_open();
}
} // namespace

FactoryMarkers FactoryMarkers::Find(const std::filesystem::path& programDirectory) {
  return {Readable(programDirectory / kProductionMarkerName), Readable(programDirectory / kEraseMarkerName)};
}

CMaintenance::CMaintenance(CCommandQueue& queue, IPrompts& prompts, ISessionView& view, FactoryMarkers markers)
    : queue_(queue), prompts_(prompts), view_(view), markers_(markers) {}

void CMaintenance::Start(Action action) {
  action_ = action;
  outcome_ = Status(StatusCode::Incomplete, "waiting for the instrument");
}

bool CMaintenance::Confirm(const char* question) {
  if (prompts_.Question(question, Buttons::YesNo, Icon::Warning, Answer::No) == Answer::Yes) {
    return true;
  }
  outcome_ = Status(StatusCode::Cancelled, "not confirmed");
  return false;
}

void CMaintenance::OnClearPartialCounter() {
  action_ = Action::ClearPartial;
  if (Confirm("WARNING: Confirm clearing partial counter ?")) {
    Start(Action::ClearPartial);
    queue_.SetReadyToSend();
    queue_.QueueCommand(CLEAR_PARTIAL_COUNTER, "");
  }
}

void CMaintenance::OnClearTotalCounter() {
  action_ = Action::ClearTotal;
  if (Confirm("WARNING: Confirm clearing total counter ?")) {
    Start(Action::ClearTotal);
    queue_.SetReadyToSend();
    queue_.QueueCommand(CLEAR_TOTAL_COUNTER, "");
  }
}

void CMaintenance::OnEraseMemory() {
  action_ = Action::EraseMemory;
  if (!markers_.EraseOffered()) {
    outcome_ = Status(StatusCode::Cancelled, "ERASE MEMORY needs Produzione.dll or Ermem.dll in the program directory");
    return;
  }
  if (Confirm("WARNING: Confirm erase instrument memory ?")) {
    Start(Action::EraseMemory);
    queue_.QueueCommand(ERASE_MEM_1, "");
    queue_.QueueCommand(ERASE_MEM_2, "");
  }
}

void CMaintenance::OnSetSerialNumber() {
  action_ = Action::SetSerial;
  if (!markers_.SetSerialOffered()) {
    outcome_ = Status(StatusCode::Cancelled, "SET SERIAL NUM needs Produzione.dll in the program directory");
    return;
  }
  if (auto number = view_.AskSerialNumber("Inserire numero di serie")) {
    Start(Action::SetSerial);
    queue_.QueueCommand(SET_SERIAL_NUM, number->substr(0, 8));
  } else {
    outcome_ = Status(StatusCode::Cancelled, "no serial number given");
  }
}

bool CMaintenance::OnAcknowledged(int number) {
  const char* text = nullptr;
  switch (number) {
  case SET_SERIAL_NUM:
    text = "Set serial number successfully.";
    break;
  case ERASE_MEM_2:
    text = "Erase memory successfull";
    break;
  case CLEAR_PARTIAL_COUNTER:
    text = "Partial counter clear successfully.";
    break;
  case CLEAR_TOTAL_COUNTER:
    text = "Total counter clear successfully.";
    break;
  default:
    return false;
  }
  prompts_.Message(text, Icon::Information);
  outcome_ = Status::Ok();
  return true;
}

void CMaintenance::OnGivenUp(int number, const std::string& message) {
  switch (number) {
  case SET_SERIAL_NUM:
  case ERASE_MEM_1:
  case ERASE_MEM_2:
  case CLEAR_PARTIAL_COUNTER:
  case CLEAR_TOTAL_COUNTER:
    // The second erase command still goes out after the first was given up; its own answer decides.
    if (number != ERASE_MEM_1) {
      outcome_ = Status(StatusCode::Protocol, message);
    }
    break;
  default:
    break;
  }
}

} // namespace nimbrel
