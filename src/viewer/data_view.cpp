#include "viewer/data_view.h"

#include "base/prompts.h"
#include "viewer/intervals.h"

#include <system_error>
#include <utility>

namespace nimbrel {

CDataView::CDataView(std::filesystem::path path, IPrompts& prompts, const std::atomic<bool>* cancel,
                     std::function<void()> poll)
    : path_(std::move(path)), prompts_(prompts), cancel_(cancel), poll_(std::move(poll)) {}

ReadStatus CDataView::Read(int interval, bool cancellable) {
  CReadOptions options;
  options.prompts = &prompts_;
  options.cancel = cancellable ? cancel_ : nullptr;
  options.poll = poll_;
  options.maxRows = maxRows_;
  error_.clear();
  return ReadRlgFile(path_, interval, series_, options, &error_);
}

bool CDataView::Open() {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path_, ec);
  ReadStatus status = Read(DefaultInterval(ec ? 0 : size), true);
  if (status == ReadStatus::Cancelled) {
    status = Read(kOneDay, false);
  }
  caption_ = series_.caption;
  return status == ReadStatus::Ok;
}

CDataView::Change CDataView::SelectPosition(int position) {
  const auto next = IntervalAt(position);
  const int current = series_.interval;
  if (!next || *next == current || !ConfirmIntervalChange(series_.RowCount(), current, *next, prompts_)) {
    return Change::Unchanged;
  }
  const ReadStatus status = Read(*next, true);
  if (status == ReadStatus::Cancelled) {
    Read(kOneDay, false);
    return Change::FellBackToOneDay;
  }
  if (status == ReadStatus::TooManyRows) {
    // Nothing is lost: tell the user and keep the interval that was in force.
    const std::string message = error_;
    prompts_.Message(message, Icon::Warning);
    Read(current, false);
    error_ = message;
    return Change::Unchanged;
  }
  return Change::Regrouped;
}

int CDataView::ListPosition() const {
  return PositionOf(series_.interval).value_or(PositionOf(kOneDay).value_or(0));
}

} // namespace nimbrel
