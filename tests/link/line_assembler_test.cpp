#include "link/link_event.h"

#include <gtest/gtest.h>

#include <vector>

namespace nimbrel {
namespace {

struct Collected {
  std::vector<LinkEvent> events;
  LinkEventSink Sink() {
    return [this](LinkEvent e) { events.push_back(std::move(e)); };
  }
};

void FeedAll(CLineAssembler& a, CLinkShared& shared, const std::string& bytes, const LinkEventSink& sink) {
  for (char c : bytes) {
    a.Feed(c, shared, sink);
  }
}

TEST(LineAssembler, RepliesEndAtLineFeedAndStopReception) {
  CLineAssembler a;
  CLinkShared shared;
  Collected got;
  shared.ReceiveEnabled = true;
  FeedAll(a, shared, "OK", got.Sink());
  EXPECT_TRUE(got.events.empty());
  FeedAll(a, shared, "\r\n", got.Sink());
  ASSERT_EQ(got.events.size(), 1U);
  EXPECT_EQ(got.events[0].kind, LinkEvent::Kind::Reply);
  EXPECT_EQ(got.events[0].line, "OK\r\n");
  EXPECT_FALSE(shared.ReceiveEnabled);

  shared.ReceiveEnabled = true;
  FeedAll(a, shared, "\n", got.Sink());
  ASSERT_EQ(got.events.size(), 2U);
  EXPECT_EQ(got.events[1].line, "\n");
}

TEST(LineAssembler, PageLinesKeepReceptionOnButRefusalsDoNot) {
  CLineAssembler a;
  CLinkShared shared;
  Collected got;
  shared.ReceiveEnabled = true;
  shared.Downloading = true;
  FeedAll(a, shared, "0B5C2E41\r\nFFFFFFFF\r\n", got.Sink());
  ASSERT_EQ(got.events.size(), 2U);
  EXPECT_EQ(got.events[0].kind, LinkEvent::Kind::PageLine);
  EXPECT_EQ(got.events[1].line, "FFFFFFFF\r\n");
  EXPECT_TRUE(shared.ReceiveEnabled);

  FeedAll(a, shared, "?\r\n", got.Sink());
  ASSERT_EQ(got.events.size(), 3U);
  EXPECT_EQ(got.events[2].kind, LinkEvent::Kind::Reply);
  EXPECT_FALSE(shared.ReceiveEnabled);
}

TEST(LineAssembler, OverflowDropsThePartialLineOnceAndAnEmptyRequestClearsIt) {
  CLineAssembler a;
  CLinkShared shared;
  Collected got;
  shared.ReceiveEnabled = true;
  FeedAll(a, shared, std::string(511, 'x'), got.Sink());
  EXPECT_TRUE(got.events.empty());
  FeedAll(a, shared, "x", got.Sink());
  ASSERT_EQ(got.events.size(), 1U);
  EXPECT_EQ(got.events[0].kind, LinkEvent::Kind::Overflow);
  EXPECT_TRUE(a.Buffer().empty());
  FeedAll(a, shared, "AB\n", got.Sink());
  ASSERT_EQ(got.events.size(), 2U);
  EXPECT_EQ(got.events[1].line, "AB\n"); // the 513th byte starts the new line

  shared.ReceiveEnabled = true;
  FeedAll(a, shared, "stale", got.Sink());
  shared.EmptyBufferRequest = true;
  FeedAll(a, shared, "new\n", got.Sink());
  ASSERT_EQ(got.events.size(), 3U);
  EXPECT_EQ(got.events[2].line, "new\n");
}

} // namespace
} // namespace nimbrel
