#include "app/scheduler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nimbrel {
namespace {

TEST(ManualScheduler, RunsTimersInTimeOrderAndLetsCallbacksRestartThemselves) {
  ManualScheduler s;
  std::vector<std::string> log;
  int ticks = 0;
  IScheduler::TimerId tick = 0;
  tick = s.Start(Millis(500), true, [&] {
    ++ticks;
    log.push_back("tick@" + std::to_string(s.Now().count()));
    if (ticks == 3) {
      s.Stop(tick);
    }
  });
  s.After(Millis(1200), [&] {
    log.push_back("once@" + std::to_string(s.Now().count()));
    // A timer started from a callback runs later, never inside Start.
    s.After(Millis(0), [&] { log.push_back("chained@" + std::to_string(s.Now().count())); });
    log.push_back("after-start");
  });
  s.Advance(Millis(5000));
  EXPECT_EQ(log, (std::vector<std::string>{"tick@500", "tick@1000", "once@1200", "after-start", "chained@1200",
                                           "tick@1500"}));
  EXPECT_EQ(s.Now(), Millis(5000));
  EXPECT_EQ(s.Pending(), 0U);
}

TEST(ManualScheduler, StoppedOrUnknownTimersNeverRunAndIdleStopsAtTheLimit) {
  ManualScheduler s;
  bool ran = false;
  auto id = s.After(Millis(10), [&] { ran = true; });
  s.Stop(id);
  s.Stop(id);
  s.Stop(12345);
  EXPECT_TRUE(s.RunUntilIdle());
  EXPECT_FALSE(ran);

  s.After(Millis(10'000), [&] { ran = true; });
  EXPECT_FALSE(s.RunUntilIdle(Millis(1000)));
  EXPECT_FALSE(ran);
  EXPECT_TRUE(s.RunUntilIdle());
  EXPECT_TRUE(ran);
  EXPECT_EQ(s.Now(), Millis(10'000));
}

} // namespace
} // namespace nimbrel
