#pragma once

#include "link/link_event.h"

#include <functional>

class QObject;

namespace nimbrel {

// A sink for the listener thread that hands each event to `handler` on `receiver`'s thread by a
// queued invocation, so events arrive in order and only while the receiver exists.
LinkEventSink MakeQueuedSink(QObject* receiver, std::function<void(LinkEvent)> handler);

} // namespace nimbrel
