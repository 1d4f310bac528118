#pragma once

#include "base/prompts.h"

#include <array>
#include <cstddef>
#include <memory>
#include <utility>

namespace nimbrel {

inline constexpr std::size_t kDataWindowSlots = 32;
inline constexpr const char* kTooManyWindowsText = "Too many windows opened.Please Close window and retry.";

// Tells the user that every slot is in use.
void ReportNoFreeDataWindowSlot(IPrompts& prompts);

// The main window's table of open data windows: a window takes the first free slot, the one opened
// last is the active one, closing a window frees its slot, and the shell's teardown destroys them
// all. `Window` is whatever the front end shows; `Deleter` lets a front end destroy its windows its
// own way (a widget that closes itself is deleted later by its event loop, not from inside its own
// close handler).
template <typename Window, typename Deleter = std::default_delete<Window>> class CDataWindowTable {
public:
  using Owned = std::unique_ptr<Window, Deleter>;

  explicit CDataWindowTable(IPrompts& prompts) : prompts_(prompts) {}
  ~CDataWindowTable() { DestroyAll(); }
  CDataWindowTable(const CDataWindowTable&) = delete;
  CDataWindowTable& operator=(const CDataWindowTable&) = delete;

  // Puts the window `make()` returns into the first free slot and makes it the active one. With
  // every slot in use the user is told, nothing is made and null returned; null too when `make`
  // makes nothing.
  template <typename Make> Window* Open(Make&& make) {
    Owned* free = nullptr;
    for (Owned& slot : slots_) {
      if (!slot) {
        free = &slot;
        break;
      }
    }
    if (free == nullptr) {
      ReportNoFreeDataWindowSlot(prompts_);
      return nullptr;
    }
    Owned window = std::forward<Make>(make)();
    if (!window) {
      return nullptr;
    }
    *free = std::move(window);
    active_ = free->get();
    return active_;
  }

  // Frees the slot of `window` and destroys it; false when it is not in the table.
  bool Close(const Window* window) {
    for (Owned& slot : slots_) {
      if (window != nullptr && slot.get() == window) {
        if (active_ == window) {
          active_ = nullptr;
        }
        Owned gone = std::move(slot); // the slot is free before the window's own teardown runs
        return true;
      }
    }
    return false;
  }

  // The shell's teardown: every window is destroyed and every slot freed.
  void DestroyAll() {
    active_ = nullptr;
    for (Owned& slot : slots_) {
      Owned gone = std::move(slot);
    }
  }

  // The window opened last, while it is still open; null otherwise.
  [[nodiscard]] Window* Active() const { return active_; }
  [[nodiscard]] Window* At(std::size_t slot) const { return slots_.at(slot).get(); }
  [[nodiscard]] std::size_t Count() const {
    std::size_t n = 0;
    for (const Owned& slot : slots_) {
      n += slot ? 1 : 0;
    }
    return n;
  }

private:
  IPrompts& prompts_;
  std::array<Owned, kDataWindowSlots> slots_{};
  Window* active_ = nullptr;
};

} // namespace nimbrel
