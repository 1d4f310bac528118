#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace nimbrel {

// State the serial listener and the session share. The listener consumes bytes only while
// ReceiveEnabled is set and clears it when it hands a reply line over; the session sets it again
// once the line has been handled. Downloading tells the listener that lines without "?" are page
// lines, handed over while it goes on reading.
struct CLinkShared {
  std::atomic<bool> ReceiveEnabled{false};
  std::atomic<bool> Downloading{false};
  // Set by the session before each send and on every time-out; the listener empties its
  // ReceiveBuffer before it appends the next byte.
  std::atomic<bool> EmptyBufferRequest{false};
};

// What the listener hands over to the session's thread, one event at a time, in arrival order.
struct LinkEvent {
  enum class Kind {
    Reply,    // a complete line for OnSerialMsg (ReceiveEnabled was cleared)
    PageLine, // a page line during a download (ReceiveEnabled stays set)
    Overflow, // 512 characters without a line end: "ERROR:Serial Buffer full"
    HangUp,   // the other side went away; reported once
  };
  Kind kind = Kind::Reply;
  std::string line; // the whole line, line end included
  std::uint32_t code = 0;
};

// Called on the listener thread. A front end marshals the event to the session's thread
// (Qt: a queued invocation, which keeps the order).
using LinkEventSink = std::function<void(LinkEvent)>;

// Cuts received bytes into LF-terminated lines and decides, for each line, how it is handed over.
// Holds the ReceiveBuffer. Used by the serial listener and by the in-memory port of the tests, so
// both follow the same rules.
class CLineAssembler {
public:
  static constexpr std::size_t kBufferLimit = 512;

  // Takes one byte (the caller checked ReceiveEnabled) and reports zero, one or two events.
  void Feed(char byte, CLinkShared& shared, const LinkEventSink& sink);
  [[nodiscard]] const std::string& Buffer() const { return buffer_; }
  void Clear() { buffer_.clear(); }

private:
  std::string buffer_;
};

} // namespace nimbrel
