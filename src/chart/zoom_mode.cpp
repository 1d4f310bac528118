#include "chart/zoom_mode.h"

#include <vector>

namespace nimbrel {

CZoomMode::CSubscription::CSubscription(CSubscription&& other) noexcept
    : state_(std::move(other.state_)), id_(other.id_) {
  other.id_ = 0;
}

CZoomMode::CSubscription& CZoomMode::CSubscription::operator=(CSubscription&& other) noexcept {
  if (this != &other) {
    Reset();
    state_ = std::move(other.state_);
    id_ = other.id_;
    other.id_ = 0;
  }
  return *this;
}

CZoomMode::CSubscription::~CSubscription() {
  Reset();
}

void CZoomMode::CSubscription::Reset() {
  if (const auto state = state_.lock()) {
    state->observers.erase(id_);
  }
  state_.reset();
  id_ = 0;
}

CZoomMode::CZoomMode() : state_(std::make_shared<CSubscription::CState>()) {}

bool CZoomMode::IsOn() const {
  return state_->on;
}

void CZoomMode::Toggle() {
  state_->on = !state_->on;
  // An observer may end its own or another's subscription while being told.
  std::vector<std::uint64_t> ids;
  ids.reserve(state_->observers.size());
  for (const auto& [id, observer] : state_->observers) {
    ids.push_back(id);
  }
  for (const std::uint64_t id : ids) {
    const auto it = state_->observers.find(id);
    if (it != state_->observers.end()) {
      const Observer observer = it->second;
      observer(state_->on);
    }
  }
}

CZoomMode::CSubscription CZoomMode::Observe(Observer observer) {
  const std::uint64_t id = state_->nextId++;
  state_->observers.emplace(id, std::move(observer));
  return {state_, id};
}

} // namespace nimbrel
