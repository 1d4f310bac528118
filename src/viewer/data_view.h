#pragma once

#include "data/rlg_reader.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>

namespace nimbrel {

class IPrompts;

// The rules of a data window without the window: opening a file with the interval its size suggests,
// regrouping from the interval list, the fall-back to one day after a cancelled reading, and the title.
// The desktop window owns one, shows `Series()` through the table model and asks it for everything.
class CDataView {
public:
  // `cancel` is the main window's cancel request (set by the wait dialog's Cancel); `poll` lets the
  // desktop paint the wait dialog and take that click every few thousand lines of the reading.
  CDataView(std::filesystem::path path, IPrompts& prompts, std::atomic<bool>* cancel = nullptr,
            std::function<void()> poll = {});

  // Reads the file grouped by the interval its size suggests. A cancelled reading is followed by one
  // that groups by one day and cannot be cancelled. False when the file cannot be read (no rows; the
  // table shows only its total line) or would give too many rows; `LastError()` says why.
  bool Open();

  enum class Change {
    Unchanged,       // the user declined the question, or the position is not in the list
    Regrouped,       // the rows now follow the new interval
    FellBackToOneDay // the reading was cancelled; the rows are grouped by one day
  };
  // The interval list selection changed to `position`.
  Change SelectPosition(int position);

  // The most rows a reading may make (only the memory limits them unless set).
  void SetMaxRows(std::size_t rows) { maxRows_ = rows; }

  [[nodiscard]] const CDataSeries& Series() const { return series_; }
  [[nodiscard]] int Interval() const { return series_.interval; }
  [[nodiscard]] int ListPosition() const;
  // The window title: the file path followed by the caption the reading returned.
  [[nodiscard]] std::string Title() const { return path_.string() + caption_; }
  [[nodiscard]] const std::string& LastError() const { return error_; }
  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

private:
  Status Read(int interval, bool cancellable);
  void ClearCancel();

  std::filesystem::path path_;
  IPrompts& prompts_;
  std::atomic<bool>* cancel_;
  std::function<void()> poll_;
  CDataSeries series_;
  std::string caption_; // from the first reading; regrouping keeps the title
  std::string error_;
  std::size_t maxRows_ = SIZE_MAX;
};

} // namespace nimbrel
