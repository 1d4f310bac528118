#include "viewer/data_view.h"

#include "base/prompts.h"
#include "viewer/intervals.h"

#include <system_error>
#include <utility>

namespace nimbrel {

CDataView::CDataView(std::filesystem::path path, IPrompts& prompts, std::atomic<bool>* cancel,
                     std::function<void()> poll)
    : path_(std::move(path)), prompts_(prompts), cancel_(cancel), poll_(std::move(poll)) {}

Status CDataView::Read(int interval, bool cancellable) {
  ClearCancel(); // a Cancel belongs to the reading it was pressed in
  CReadOptions options;
  options.cancel = cancellable ? cancel_ : nullptr;
  options.poll = poll_;
  options.maxRows = maxRows_;
  Status status = ReadRlgFile(path_, interval, series_, options);
  if (series_.resolutionDefaulted) {
    prompts_.Message(kResolutionMessage, Icon::Error);
  }
  error_ = status.message();
  return status;
}

bool CDataView::Open() {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path_, ec);
  Status status = Read(DefaultInterval(ec ? 0 : size), true);
  if (status.code() == StatusCode::Cancelled) {
    status = Read(kOneDay, false);
    ClearCancel();
  }
  caption_ = series_.caption;
  return status.ok();
}

CDataView::Change CDataView::SelectPosition(int position) {
  const auto next = IntervalAt(position);
  const int current = series_.interval;
  if (!next || *next == current || !ConfirmIntervalChange(series_.RowCount(), current, *next, prompts_)) {
    return Change::Unchanged;
  }
  const Status status = Read(*next, true);
  if (status.code() == StatusCode::Cancelled) {
    // The fall-back reading is not cancellable; its own failure shows in the table and LastError.
    (void)Read(kOneDay, false);
    ClearCancel();
    return Change::FellBackToOneDay;
  }
  if (status.code() == StatusCode::TooLarge) {
    // Nothing is lost: tell the user and keep the interval that was in force.
    prompts_.Message(status.message(), Icon::Warning);
    (void)Read(current, false); // it fitted before, so it fits again
    error_ = status.message();
    return Change::Unchanged;
  }
  return Change::Regrouped;
}

void CDataView::ClearCancel() {
  if (cancel_ != nullptr) {
    cancel_->store(false);
  }
}

int CDataView::ListPosition() const {
  return PositionOf(series_.interval).value_or(PositionOf(kOneDay).value_or(0));
}

} // namespace nimbrel
