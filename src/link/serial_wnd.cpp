#include "link/queued_sink.h"
#include "link/serial.h"

#include <utility>

namespace nimbrel {

void CSerialWnd::HandOver(LinkEvent event) {
  if (sink_) {
    sink_(std::move(event));
  }
}

CSerialMFC::~CSerialMFC() {
  CSerialWnd::Close();
}

std::uint32_t CSerialMFC::Open(const std::string& device, QObject* target, std::function<void(LinkEvent)> handler,
                               std::uint32_t inQueue, std::uint32_t outQueue) {
  LinkEventSink sink;
  if (target != nullptr && handler) {
    sink = MakeQueuedSink(target, std::move(handler));
  }
  return CSerialWnd::Open(device, std::move(sink), inQueue, outQueue);
}

} // namespace nimbrel
