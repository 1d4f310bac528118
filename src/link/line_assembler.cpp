#include "link/link_event.h"

namespace nimbrel {

void CLineAssembler::Feed(char byte, CLinkShared& shared, const LinkEventSink& sink) {
  if (shared.EmptyBufferRequest.exchange(false)) {
    buffer_.clear();
  }
  buffer_.push_back(byte);
  if (buffer_.size() >= kBufferLimit) {
    // The partial line is dropped; reception goes on with the next byte.
    buffer_.clear();
    sink(LinkEvent{LinkEvent::Kind::Overflow, {}, 0});
  }
  if (byte != '\n') {
    return;
  }
  LinkEvent ev;
  ev.line.swap(buffer_);
  const bool refusal = ev.line.find('?') != std::string::npos;
  if (!shared.Downloading.load() || refusal) {
    shared.ReceiveEnabled.store(false);
    ev.kind = LinkEvent::Kind::Reply;
  } else {
    ev.kind = LinkEvent::Kind::PageLine;
  }
  sink(std::move(ev));
}

} // namespace nimbrel
