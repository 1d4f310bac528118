#pragma once

#include "link/link_event.h"

#include <functional>

class QObject;

namespace nimbrel {

// A sink for the listener thread that hands each event to `handler` on `receiver`'s thread through
// its event queue, in arrival order, and only while the receiver exists (events still queued when
// it is destroyed are dropped). Call it on the receiver's thread; it gives the receiver a child.
LinkEventSink MakeQueuedSink(QObject* receiver, std::function<void(LinkEvent)> handler);

} // namespace nimbrel
