#include "setup/setup_model.h"

#include "base/numbers.h"
#include "base/prompts.h"
#include "base/text.h"
#include "protocol/command.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace nimbrel {

using namespace std::chrono;

namespace {

constexpr const char* kClockQuestionText =
    "WARNING: Instrument and PC date and time are different for more than 5 minutes.\nTo avoid data mismatch please "
    "clear instrument memory.\nDo you want clear memory now?";

// Instrument clock values count days from this date.
constexpr local_days kDayZero = local_days(year(1899) / December / 30);

std::string CommandDateTime(local_seconds when) {
  const local_days day = floor<days>(when);
  const year_month_day date{day};
  const hh_mm_ss<seconds> time{when - day};
  return Printf("%04d/%02u/%02u %02d:%02d:%02d", static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()));
}

struct TipRange {
  double low, high;
  const char* refusal;
  int decimals; // of the parameter sent
};

// The tip resolution each unit accepts, and how it is sent.
std::optional<TipRange> RangeOf(int unit) {
  if (unit == 0) {
    return TipRange{0.05, 1.599, "ERROR: mmH2O for tip range is 0.050 - 1.599.", 3};
  }
  if (unit == 1) {
    return TipRange{0.002, 0.0629, "ERROR: inch for tip range is 0.0020 - 0.0629.", 5};
  }
  return std::nullopt;
}

} // namespace

PickedDateTime PickedDateTime::Of(local_seconds when) {
  const local_days day = floor<days>(when);
  return {day, when - day};
}

PickedDateTime PickedFromInstrument(const InstrDateTime& when) {
  return PickedDateTime::Of(kDayZero + seconds(std::llround(when.days * 86400.0)));
}

InstrDateTime InstrumentFromLocal(local_seconds when) {
  const auto since = when - local_seconds(kDayZero);
  return {static_cast<double>(since.count()) / 86400.0, true};
}

local_seconds LocalTimeOf(system_clock::time_point when) {
  const std::time_t t = system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&t, &local);
  const local_days day = local_days(year(local.tm_year + 1900) / (local.tm_mon + 1) / local.tm_mday);
  return day + hours(local.tm_hour) + minutes(local.tm_min) + seconds(std::min(local.tm_sec, 59));
}

CSetupModel::CSetupModel(CInstrStatus& status, IScheduler& scheduler) : status_(status), scheduler_(scheduler) {}

CSetupModel::~CSetupModel() {
  StopClock();
}

void CSetupModel::Show() {
  warningEnabled_ = false;
  pcPickersEnabled_ = values.updateClock;
  StartClock();
  values.instrument = PickedFromInstrument(status_.DateTime);
  values.pc = PickedDateTime::Of(LocalTimeOf(scheduler_.WallNow()));
  values.instrType = status_.InstrType;
  values.serialNum = status_.SerialNum;
  values.fwVersion = status_.FwVersion;
  values.fwDate = status_.FwDate;
  values.unit = status_.Unit;
  const bool mm = status_.Unit == 0;
  label_ = mm ? kMmResolutionLabel : kInchResolutionLabel;
  values.resolution = Printf("%.*f", mm ? 3 : 5, static_cast<double>(status_.TipValue));
  values.contactType = status_.ContactType;
  values.alertMode = status_.AlertMode;
}

void CSetupModel::SelectUnit(int unit) {
  values.unit = unit;
  status_.Unit = unit;
  label_ = unit == 1 ? kInchResolutionLabel : kMmResolutionLabel;
  values.resolution.clear();
}

void CSetupModel::ToggleUpdateClock() {
  values.updateClock = !values.updateClock;
  warningEnabled_ = values.updateClock;
  pcPickersEnabled_ = values.updateClock;
  if (values.updateClock) {
    StartClock();
  } else {
    StopClock();
  }
}

void CSetupModel::PcTimeFocused() {
  StopClock();
}

std::optional<SetupWritePlan> CSetupModel::Apply(const SetupPointers& pointers, IPrompts& prompts) {
  StopClock();
  if (collect) {
    collect();
  }
  std::string text = values.resolution;
  if (text.find_first_of(".,") == std::string::npos) {
    prompts.Message("ERROR: Insert decimal digit.", Icon::Error);
    return std::nullopt;
  }
  std::replace(text.begin(), text.end(), ',', '.');
  const double tip = LeadingNumber(text);
  const std::optional<TipRange> range = RangeOf(values.unit);
  if (range && !(tip >= range->low && tip <= range->high)) {
    prompts.Message(range->refusal, Icon::Error);
    return std::nullopt;
  }

  SetupWritePlan plan;
  if (values.updateClock) {
    const local_seconds instrument = values.instrument.Combined();
    const local_seconds pc = values.pc.Combined();
    // Whole minutes, truncated toward zero: 5 min 59 s is still 5.
    const auto minutes = duration_cast<std::chrono::minutes>(pc - instrument).count();
    if (std::abs(minutes) > kMaxClockDifferenceMinutes) {
      switch (prompts.Question(kClockQuestionText, Buttons::YesNoCancel, Icon::Warning, Answer::Yes)) {
      case Answer::Yes:
        plan.clearsMemory = true;
        plan.commands.push_back({SET_MEM_POINTER_R, Printf("%.4d", pointers.writePointerR)});
        plan.commands.push_back({SET_MEM_POINTER_T, Printf("%.4d", pointers.writePointerT)});
        break;
      case Answer::No:
        break;
      default:
        return std::nullopt;
      }
    }
    status_.DateTime = InstrumentFromLocal(pc);
    plan.commands.push_back({SET_DATE_TIME, CommandDateTime(pc)});
  }
  status_.AlertMode = values.alertMode;
  plan.commands.push_back({SET_ALERT_MODE, Printf("%d", values.alertMode)});
  status_.ContactType = values.contactType;
  plan.commands.push_back({SET_CONTACT_TYPE, Printf("%d", values.contactType)});
  status_.Unit = values.unit;
  plan.commands.push_back({SET_UNIT, Printf("%d", values.unit)});
  status_.TipValue = static_cast<float>(tip);
  plan.commands.push_back({SET_TIP_VALUE, range ? Printf("%.*f", range->decimals, tip) : std::string()});
  return plan;
}

void CSetupModel::Cancel() {
  StopClock();
}

void CSetupModel::StartClock() {
  StopClock();
  clock_ = scheduler_.Start(kClockPeriod, true, [this] { Tick(); });
}

void CSetupModel::StopClock() {
  if (clock_) {
    scheduler_.Stop(*clock_);
    clock_.reset();
  }
}

void CSetupModel::Tick() {
  if (collect) {
    collect();
  }
  values.pc.time = PickedDateTime::Of(LocalTimeOf(scheduler_.WallNow())).time;
  if (refresh) {
    refresh();
  }
}

} // namespace nimbrel
