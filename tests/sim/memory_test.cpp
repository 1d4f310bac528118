#include "sim/memory.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

TEST(SimClock, HexStampsAndDateTextsConvertBothWaysAndOnlyRealDatesAreAccepted) {
  struct Case {
    const char* stamp;
    const char* text;
  };
  for (const Case& c : {Case{"0000003C", "2000/01/01 00:01:00"}, Case{"0B5C2E41", "2006/01/14 21:48:49"},
                        Case{"04AFB500", "2002/06/29 00:00:00"}, Case{"FFCEDD7F", "2135/12/31 23:59:59"}}) {
    SCOPED_TRACE(c.stamp);
    const std::uint32_t seconds = ParseHexStamp(c.stamp);
    EXPECT_EQ(FormatDateTime(seconds), c.text);
    EXPECT_EQ(HexStamp(seconds), c.stamp);
    EXPECT_EQ(ParseDateTime(c.text), std::optional<std::int64_t>(seconds));
  }
  // Only real dates in the exact layout; the command line also takes dashes (and a date alone).
  for (const char* bad : {"2026/13/01 00:00:00", "2026/02/29 00:00:00", "2026/01/01 24:00:00", "2026/01/01 00:60:00",
                          "1999/12/31 23:59:59", "2026-01-01 00:00:00", "2026/01/01 00:00", "2026/01/01  0:00:00",
                          "2026/01/01 00:00:00x", "", "26/01/01 00:00:00"}) {
    EXPECT_FALSE(ParseDateTime(bad).has_value()) << bad;
  }
  EXPECT_EQ(ParseDateTime("2026-01-01 06:30:00", true), ParseDateTime("2026/01/01 06:30:00"));
  EXPECT_FALSE(ParseDateTime("2026-01-01", false).has_value());
}

// Appends n records "R<i>" to the ring.
void Fill(PageRing& ring, int records, int& counter) {
  for (int i = 0; i < records; ++i) {
    ring.Append("R" + std::to_string(counter++), "H");
  }
}

TEST(SimPageRing, OverrunOnlyWhenUnreadPagesAreOverwritten) {
  // A ring of 4 pages holds at most 3 pages of data.
  PageRing ring(0, 4);
  int n = 0;
  Fill(ring, 3 * PageRing::kRecordsPerPage, n);
  EXPECT_EQ(ring.write, 3);
  EXPECT_EQ(ring.hist, 0);
  EXPECT_FALSE(ring.overrun);
  ASSERT_TRUE(ring.SetRead(1)); // page 1 downloaded and released
  Fill(ring, 1, n);             // opens page 0: the oldest page held (1, already read) is given up
  EXPECT_EQ(ring.hist, 1);
  EXPECT_FALSE(ring.overrun);
  Fill(ring, PageRing::kRecordsPerPage, n); // opens page 1: page 2 was never read
  EXPECT_EQ(ring.hist, 2);
  EXPECT_EQ(ring.read, 2);
  EXPECT_TRUE(ring.overrun);
  ASSERT_TRUE(ring.SetRead(ring.write));
  EXPECT_FALSE(ring.overrun);
}

TEST(SimPageRing, WritePointerWrapsAndTheReadPointerStaysWithinHeldPages) {
  PageRing ring(0, 1453);
  ring.write = ring.read = ring.hist = 1450;
  int n = 0;
  Fill(ring, 4 * PageRing::kRecordsPerPage - 10, n); // pages 1451, 1452, 0, 1 (partly)
  EXPECT_EQ(ring.write, 1);
  for (const int page : {2, 1449, 1453, -1}) {
    EXPECT_FALSE(ring.SetRead(page)) << page;
  }
  EXPECT_EQ(ring.read, 1450);
  ASSERT_TRUE(ring.SetRead(1));
  EXPECT_TRUE(ring.sealed); // what a new record does then shows in the expected-dump tests
}

} // namespace
} // namespace sim
