#pragma once

#include "base/prompts.h"
#include "base/status.h"
#include "protocol/command_queue.h"
#include "protocol/session_view.h"

#include <filesystem>

namespace nimbrel {

inline constexpr const char* kProductionMarkerName = "Produzione.dll";
inline constexpr const char* kEraseMarkerName = "Ermem.dll";

// The marker files that unlock the factory commands on a factory PC, found in the program
// directory at start-up. Only their presence counts; their content is never read.
struct FactoryMarkers {
  bool production = false; // "Produzione.dll": both factory commands
  bool erase = false;      // "Ermem.dll": erasing the memory only

  [[nodiscard]] bool EraseOffered() const { return production || erase; }
  [[nodiscard]] bool SetSerialOffered() const { return production; }

  // A marker counts when it is a file that can be opened for reading.
  static FactoryMarkers Find(const std::filesystem::path& programDirectory);
};

// Clearing the counters, erasing the memory and setting the serial number: confirm or ask, queue,
// report the acknowledgement. The last action's outcome is kept for front ends that wait for it.
class CMaintenance {
public:
  enum class Action { None, ClearPartial, ClearTotal, EraseMemory, SetSerial };

  CMaintenance(CCommandQueue& queue, IPrompts& prompts, ISessionView& view, FactoryMarkers markers);

  void OnClearPartialCounter();
  void OnClearTotalCounter();
  void OnEraseMemory();
  void OnSetSerialNumber();

  // The acknowledgement of one of the maintenance commands: true when it was one.
  bool OnAcknowledged(int number);
  // A maintenance command was given up: the action failed (its message is already shown).
  void OnGivenUp(int number, const std::string& message);

  [[nodiscard]] const FactoryMarkers& Markers() const { return markers_; }
  // The last action asked for and how it ended: Ok once acknowledged, Cancelled when the user
  // declined or nothing could be done, the failure when given up; Incomplete while it runs.
  [[nodiscard]] Action LastAction() const { return action_; }
  [[nodiscard]] const Status& Outcome() const { return outcome_; }

private:
  void Start(Action action);
  bool Confirm(const char* question);

  CCommandQueue& queue_;
  IPrompts& prompts_;
  ISessionView& view_;
  FactoryMarkers markers_;
  Action action_ = Action::None;
  Status outcome_;
};

} // namespace nimbrel
