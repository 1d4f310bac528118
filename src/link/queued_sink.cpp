#include "link/queued_sink.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <deque>
#include <memory>
#include <mutex>
#include <utility>

namespace nimbrel {

namespace {

// Events travel through a queue of our own under a std::mutex; Qt only carries the wake-up. The
// hand-over is then visible to the thread checker, and the lines never live inside Qt's objects.
struct Channel {
  std::mutex mutex;
  std::deque<LinkEvent> events;
  QObject* pump = nullptr; // cleared when the receiver goes, under the mutex
};

const QEvent::Type kLinkEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// Lives in the receiver's thread as its child, so it goes with the receiver.
class CLinkEventPump final : public QObject {
public:
  CLinkEventPump(QObject* receiver, std::shared_ptr<Channel> channel, std::function<void(LinkEvent)> handler)
      : channel_(std::move(channel)), handler_(std::move(handler)) {
    moveToThread(receiver->thread());
    setParent(receiver);
    channel_->pump = this;
  }
  CLinkEventPump(const CLinkEventPump&) = delete;
  CLinkEventPump& operator=(const CLinkEventPump&) = delete;
  ~CLinkEventPump() override {
    const std::lock_guard lock(channel_->mutex);
    channel_->pump = nullptr;
  }

  // Only the wake-ups of MakeQueuedSink are custom events here; Qt has checked the type already.
  void customEvent(QEvent* /*wakeUp*/) override {
    LinkEvent next;
    {
      const std::lock_guard lock(channel_->mutex);
      if (channel_->events.empty()) {
        return;
      }
      next = std::move(channel_->events.front());
      channel_->events.pop_front();
    }
    handler_(std::move(next));
  }

private:
  std::shared_ptr<Channel> channel_;
  std::function<void(LinkEvent)> handler_;
};

} // namespace

LinkEventSink MakeQueuedSink(QObject* receiver, std::function<void(LinkEvent)> handler) {
  // The pump is the receiver's child; when the last copy of the sink goes (the port closed), it
  // is deleted after the events already queued, so reconnecting does not pile pumps up.
  struct Life {
    explicit Life(std::shared_ptr<Channel> c) : channel(std::move(c)) {}
    Life(const Life&) = delete;
    Life& operator=(const Life&) = delete;
    ~Life() {
      const std::lock_guard lock(channel->mutex);
      if (channel->pump != nullptr) {
        channel->pump->deleteLater();
      }
    }
    std::shared_ptr<Channel> channel;
  };
  auto channel = std::make_shared<Channel>();
  static_cast<void>(
      new CLinkEventPump(receiver, channel, std::move(handler))); // NOLINT(cppcoreguidelines-owning-memory)
  auto life = std::make_shared<const Life>(std::move(channel));
  return [life](LinkEvent event) {
    Channel& c = *life->channel;
    const std::lock_guard lock(c.mutex);
    if (c.pump == nullptr) {
      return; // the receiver is gone
    }
    c.events.push_back(std::move(event));
    QCoreApplication::postEvent(c.pump, new QEvent(kLinkEventType)); // NOLINT(cppcoreguidelines-owning-memory)
  };
}

} // namespace nimbrel
