#pragma once

#include "base/scheduler.h"
#include "protocol/instr_status.h"
#include "setup/setup_commands.h"

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace nimbrel {

class IPrompts;

inline constexpr std::array<const char*, 2> kUnitItems = {"mm H2O", "inch H2O"};
inline constexpr std::array<const char*, 2> kContactTypeItems = {"Normally close", "Normally open"};
inline constexpr std::array<const char*, 2> kAlertModeItems = {"Disabled", "Enabled"};
inline constexpr const char* kMmResolutionLabel = "resolution (mm/tip)";
inline constexpr const char* kInchResolutionLabel = "resolution (inch/tip)";
inline constexpr const char* kUpdateClockText = "Update Instrument  Date-Time to PC Date-Time";
inline constexpr const char* kUpdateClockWarningText =
    "WARNING : When push Apply button,  Instrument date-time will be set to PC date-time";

// A date picker and a time picker side by side: a local calendar day and the time into it.
struct PickedDateTime {
  std::chrono::local_days date{};
  std::chrono::seconds time{0};
  [[nodiscard]] std::chrono::local_seconds Combined() const { return date + time; }
  static PickedDateTime Of(std::chrono::local_seconds when);
};

// The record's clock as the pickers show it, and back.
PickedDateTime PickedFromInstrument(const InstrDateTime& when);
InstrDateTime InstrumentFromLocal(std::chrono::local_seconds when);
// The PC's local time at a wall-clock instant.
std::chrono::local_seconds LocalTimeOf(std::chrono::system_clock::time_point when);

// The values of the setup dialog's controls. The dialog writes what the user types or selects here
// before every action and shows them again after the model changes them.
struct SetupValues {
  std::string instrType, serialNum, fwVersion, fwDate;
  PickedDateTime instrument; // read-only pickers
  PickedDateTime pc;         // the "Computer" pickers
  bool updateClock = false;  // the check box
  int unit = 0;              // selection of kUnitItems
  std::string resolution;    // the resolution edit
  int contactType = 0;       // selection of kContactTypeItems
  int alertMode = 0;         // selection of kAlertModeItems
};

// The rules of the setup dialog without the dialog: filling it from the instrument record, the live
// PC clock, the unit change, and Apply's checks that end in the commands to send.
class CSetupModel {
public:
  // `status` is the program's instrument record: the unit changes in it at once, Apply writes the
  // new settings into it.
  CSetupModel(CInstrStatus& status, IScheduler& scheduler);
  ~CSetupModel();
  CSetupModel(const CSetupModel&) = delete;
  CSetupModel& operator=(const CSetupModel&) = delete;

  // The dialog is shown: values from the record and the PC clock, the warning disabled, and the
  // live clock running.
  void Show();
  // The unit combo changed: the record takes the unit now and the resolution must be typed again.
  void SelectUnit(int unit);
  // The check box was clicked.
  void ToggleUpdateClock();
  // The PC time picker took the focus: the clock stops so the user can edit the time.
  void PcTimeFocused();
  // "Apply": nullopt when the dialog must stay open (a refused value, or Cancel to the clock
  // question); otherwise the commands to queue, and the dialog closes.
  std::optional<SetupWritePlan> Apply(const SetupPointers& pointers, IPrompts& prompts);
  // "Cancel": nothing is sent.
  void Cancel();

  SetupValues values;
  [[nodiscard]] const std::string& ResolutionLabel() const { return label_; }
  [[nodiscard]] bool WarningEnabled() const { return warningEnabled_; }
  [[nodiscard]] bool PcPickersEnabled() const { return pcPickersEnabled_; }
  [[nodiscard]] bool ClockRunning() const { return clock_.has_value(); }

  // Each clock tick: `collect` lets the dialog write its controls into `values` first, `refresh`
  // shows them again afterwards.
  std::function<void()> collect;
  std::function<void()> refresh;

  static constexpr Millis kClockPeriod{1000};
  static constexpr int kMaxClockDifferenceMinutes = 5;

private:
  void StartClock();
  void StopClock();
  void Tick();

  CInstrStatus& status_;
  IScheduler& scheduler_;
  std::optional<IScheduler::TimerId> clock_;
  std::string label_ = kMmResolutionLabel;
  bool warningEnabled_ = false;
  bool pcPickersEnabled_ = false;
};

} // namespace nimbrel
