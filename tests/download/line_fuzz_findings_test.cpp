// Faults the line fuzzer (fuzz/line_fuzz.cpp) found, each as the smallest run that shows it.
#include "support/session_rig.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace nimbrel::test {
namespace {

// A connected session whose instrument holds new rain (pages 11, 12) and new temperature; `flags`
// is how it answers GET_FLAGS, four times (empty: as the simulator does).
struct FindingRig : SessionRig {
  explicit FindingRig(const std::string& flags = "") : SessionRig(MakePointerState({12, 10, 3, 1460, 1458, 1455})) {
    if (!flags.empty()) {
      script["RQ\r"] = {flags, flags, flags, flags};
    }
    ConnectAndSettle();
    prompts.ExpectQuestion("WARNING\nDo you want to clear instrument memory ?", Answer::No);
    session->OnDownload();
  }
  void RunUntil(const std::function<bool()>& done) {
    while (!done()) {
      ASSERT_TRUE(sched.RunNext());
    }
  }
};

// The answer to GET_FLAGS puts the listener in page mode at once, while the first page request
// still waits for the tick: a line arriving in between is not an answer to any page request.
TEST(LineFuzzFindings, ALineBeforeTheFirstPageRequestStaysOutOfTheDumpFile) {
  FindingRig rig;
  rig.RunUntil([&] { return rig.session->Download().GetState() == CDownload::State::RainPages; });
  ASSERT_EQ(std::count(rig.port.writes.begin(), rig.port.writes.end(), "KR0011\r"), 0);
  rig.port.Arrive("00\r\n"); // the flags once more
  rig.Settle();
  EXPECT_EQ(rig.Dump().find("\n00\r\r\n"), std::string::npos);
}

// A hang-up while the pointers are read leaves the download reading them for ever: it never ends,
// and the status window waits for nothing.
TEST(LineFuzzFindings, AHangUpWhileThePointersAreReadEndsTheDownload) {
  FindingRig rig;
  rig.RunUntil([&] { return std::count(rig.port.writes.begin(), rig.port.writes.end(), "RM\r") == 1; });
  rig.port.HangUp();
  rig.Settle();
  EXPECT_FALSE(rig.session->Connected());
  EXPECT_EQ(rig.session->Download().GetState(), CDownload::State::Idle);
  EXPECT_EQ(rig.view.ended, std::vector<DownloadEnd>{DownloadEnd::Interrupted});
}

// GET_FLAGS given up after four refusals or wrong-state answers: no decision can be taken, but
// only the time-out makes the download wait for Stop; otherwise it reads its pointers for ever.
TEST(LineFuzzFindings, GetFlagsGivenUpByTheInstrumentStallsTheDownload) {
  for (const char* answer : {"?\r\n", "#\r\n"}) {
    SCOPED_TRACE(answer);
    FindingRig rig(answer);
    rig.Settle();
    EXPECT_EQ(rig.view.ended, std::vector<DownloadEnd>{DownloadEnd::Stalled});
  }
}

} // namespace
} // namespace nimbrel::test
