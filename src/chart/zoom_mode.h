#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace nimbrel {

// The chart zoom mode: one on/off switch that the main window holds and every data window shares.
// Windows observe it to show the right "Zoom +" picture; off when the program starts.
class CZoomMode {
public:
  using Observer = std::function<void(bool on)>;

  // Keeps an observer registered while it lives; safe to outlive the zoom mode itself.
  class CSubscription {
  public:
    CSubscription() = default;
    CSubscription(const CSubscription&) = delete;
    CSubscription& operator=(const CSubscription&) = delete;
    CSubscription(CSubscription&& other) noexcept;
    CSubscription& operator=(CSubscription&& other) noexcept;
    ~CSubscription();
    void Reset();

  private:
    friend class CZoomMode;
    struct CState;
    CSubscription(std::weak_ptr<CState> state, std::uint64_t id) : state_(std::move(state)), id_(id) {}
    std::weak_ptr<CState> state_;
    std::uint64_t id_ = 0;
  };

  CZoomMode();

  [[nodiscard]] bool IsOn() const;
  // Flips the mode and tells every observer, the one of the window that flipped it included.
  void Toggle();
  [[nodiscard]] CSubscription Observe(Observer observer);

private:
  std::shared_ptr<CSubscription::CState> state_;
};

struct CZoomMode::CSubscription::CState {
  bool on = false;
  std::uint64_t nextId = 1;
  std::map<std::uint64_t, Observer> observers;
};

} // namespace nimbrel
