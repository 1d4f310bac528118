#include "link/queued_sink.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <memory>
#include <utility>

namespace nimbrel {

LinkEventSink MakeQueuedSink(QObject* receiver, std::function<void(LinkEvent)> handler) {
  auto shared = std::make_shared<const std::function<void(LinkEvent)>>(std::move(handler));
  QPointer<QObject> target(receiver);
  return [target, shared](LinkEvent event) {
    // A receiver already gone drops the event; one deleted later takes its queued calls with it.
    QObject* obj = target.data();
    if (obj == nullptr) {
      return;
    }
    QMetaObject::invokeMethod(
        obj, [shared, ev = std::move(event)]() mutable { (*shared)(std::move(ev)); }, Qt::QueuedConnection);
  };
}

} // namespace nimbrel
