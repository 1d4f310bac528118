#include "protocol/command.h"
#include "setup/setup_model.h"
#include "setup/wait_progress.h"
#include "support/scripted_prompts.h"

#include <gtest/gtest.h>

#include <tuple>

namespace nimbrel::test {
namespace {

using namespace std::chrono;
using Commands = std::vector<SetupCommand>;

struct Rig {
  CInstrStatus status;
  ManualScheduler scheduler{system_clock::time_point(sys_days(year(2024) / March / 5) + 10h + 17s)};
  ScriptedPrompts prompts;
  CSetupModel model{status, scheduler};
  explicit Rig(int unit = 0) {
    status.Unit = unit;
    status.TipValue = 0.5F;
    model.Show();
  }
};

TEST(SetupApply, ChecksTheResolutionOfEachUnit) {
  const std::string decimal = "ERROR: Insert decimal digit.";
  const std::string mm = "ERROR: mmH2O for tip range is 0.050 - 1.599.";
  const std::string inch = "ERROR: inch for tip range is 0.0020 - 0.0629.";
  // The unit, the text typed, then the refusal or the SET_TIP_VALUE parameter sent.
  const std::tuple<int, const char*, std::string> cases[] = {
      {0, "0,2", "0.200"},     {0, "1", decimal},   {0, "1.599", "1.599"},    {0, "1.6", mm},
      {0, "0.05", "0.050"},    {0, "0.0499", mm},   {1, "0.0629", "0.06290"}, {1, "0.063", inch},
      {1, "0,002", "0.00200"}, {1, "0.0019", inch}, {1, "", decimal},
  };
  for (const auto& [unit, text, outcome] : cases) {
    SCOPED_TRACE(text);
    Rig rig(unit);
    rig.model.values.resolution = text;
    const auto plan = rig.model.Apply({}, rig.prompts);
    const bool refused = outcome.starts_with("ERROR");
    EXPECT_EQ(rig.prompts.Texts(), refused ? std::vector{outcome} : std::vector<std::string>{});
    EXPECT_EQ(plan ? plan->commands.back() : SetupCommand{},
              (refused ? SetupCommand{} : SetupCommand{SET_TIP_VALUE, outcome}));
    EXPECT_FLOAT_EQ(rig.status.TipValue, plan ? std::stof(outcome) : 0.5F); // taken over only when sent
  }
}

TEST(SetupApply, ClockDifferenceAndWriteOrder) {
  const std::string question = "WARNING: Instrument and PC date and time are different for more than 5 minutes.\nTo "
                               "avoid data mismatch please clear instrument memory.\nDo you want clear memory now?";
  const Commands settings = {{SET_ALERT_MODE, "1"}, {SET_CONTACT_TYPE, "1"}, {SET_UNIT, "0"}, {SET_TIP_VALUE, "0.200"}};
  Commands clock = {{SET_DATE_TIME, "2024/03/05 00:03:00"}};
  clock.insert(clock.end(), settings.begin(), settings.end());
  Commands cleared = {{SET_MEM_POINTER_R, "0012"}, {SET_MEM_POINTER_T, "1460"}};
  cleared.insert(cleared.end(), clock.begin(), clock.end());
  // Whether "update clock" is ticked, how far the instrument clock is behind the PC's (across midnight), the
  // answer to the question if asked, and the commands sent.
  const std::tuple<const char*, bool, seconds, std::optional<Answer>, std::optional<Commands>> cases[] = {
      {"6 min behind, clear", true, 6min, Answer::Yes, cleared},
      {"5 min 59 s behind", true, 5min + 59s, {}, clock},
      {"6 min ahead, keep", true, -6min, Answer::No, clock},
      {"6 min behind, cancel", true, 6min, Answer::Cancel, std::nullopt},
      {"box clear, 1 h behind", false, 1h, {}, settings},
  };
  for (const auto& [name, box, behind, answer, sent] : cases) {
    SCOPED_TRACE(name);
    Rig rig;
    auto& v = rig.model.values;
    v.pc = PickedDateTime::Of(local_days(year(2024) / March / 5) + 3min);
    v.instrument = PickedDateTime::Of(v.pc.Combined() - behind);
    rig.status.DateTime = InstrumentFromLocal(v.instrument.Combined());
    v.resolution = "0.2";
    v.contactType = v.alertMode = 1;
    if (box) {
      rig.model.ToggleUpdateClock();
    }
    if (answer) {
      rig.prompts.ExpectQuestion(question, *answer);
    }
    const auto plan = rig.model.Apply({12, 1460}, rig.prompts);
    EXPECT_TRUE(rig.prompts.AllAnswersUsed());
    EXPECT_EQ(rig.prompts.shown.size(), answer ? 1U : 0U);
    EXPECT_EQ(plan ? std::optional(plan->commands) : std::nullopt, sent);
    const auto clockNow = (plan && box ? v.pc : v.instrument).Combined();
    EXPECT_NEAR(rig.status.DateTime.days, InstrumentFromLocal(clockNow).days, 1e-9);
    EXPECT_EQ(rig.status.AlertMode, plan ? 1 : 0);
  }
}

TEST(SetupClock, TicksThePcTimeUntilTheTimeIsEditedOrTheBoxCleared) {
  Rig rig;
  const local_days otherDay = local_days(year(2001) / January / 1);
  auto& pc = rig.model.values.pc;
  pc = {otherDay, 0s};
  rig.scheduler.Advance(1s);
  EXPECT_EQ(pc.date, otherDay); // only the time follows the PC clock
  EXPECT_EQ(pc.time, PickedDateTime::Of(LocalTimeOf(rig.scheduler.WallNow())).time);

  rig.model.PcTimeFocused();
  pc.time = 0s;
  rig.scheduler.Advance(5s);
  EXPECT_EQ(pc.time, 0s);
  rig.model.ToggleUpdateClock();
  EXPECT_TRUE(rig.model.WarningEnabled() && rig.model.PcPickersEnabled());
  rig.scheduler.Advance(1s);
  EXPECT_NE(pc.time, 0s);
  rig.model.ToggleUpdateClock();
  EXPECT_FALSE(rig.model.WarningEnabled() || rig.model.PcPickersEnabled() || rig.model.ClockRunning());
}

TEST(WaitProgress, StepsWrapAndTimeOutOnceAcrossHideAndShow) {
  ManualScheduler scheduler;
  ScriptedPrompts prompts;
  CWaitProgress wait(scheduler, prompts);
  wait.Show("Receiving");
  scheduler.Advance(Millis(10 * 250));
  EXPECT_EQ(wait.Position(), 100);
  scheduler.Advance(Millis(250));
  EXPECT_EQ(wait.Position(), 0);

  scheduler.Advance(Millis(89 * 250));
  wait.Hide();
  scheduler.Advance(Millis(60000));
  EXPECT_EQ(wait.Steps(), 100); // no steps while hidden

  wait.Show("Sending"); // shown again, not made again: the count goes on
  EXPECT_EQ(wait.Position(), 0);
  scheduler.Advance(Millis(20 * 250));
  EXPECT_TRUE(prompts.shown.empty());
  scheduler.Advance(Millis(250));
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"ERROR: timeout expired"});
  scheduler.Advance(Millis(60000));
  EXPECT_EQ(prompts.shown.size(), 1U);
  EXPECT_TRUE(wait.Visible()); // the dialog stays open
}

} // namespace
} // namespace nimbrel::test
