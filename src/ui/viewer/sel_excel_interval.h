#pragma once

#include "viewer/sheet.h"

#include <QDialog>

#include <optional>
#include <vector>

class QCheckBox;
class QPushButton;
class QTreeWidget;

namespace nimbrel {

// What the user picked in the chooser: the chunk (from 0) of the whole table or of the zoomed range.
struct CExportChunkPick {
  bool zoomed = false;
  int chunk = 0;
};

// "Select interval to Export": one row per chunk of 30000 lines ("Interval  1", "Interval  2"... with
// the date-time of the chunk's first line); "OK" only once a row is selected. When the chart is
// zoomed, "Only the zoomed range" lists the chunks of the zoomed lines instead.
class CSelExcelInterval final : public QDialog {
  Q_OBJECT

public:
  CSelExcelInterval(std::vector<CChunkChoice> whole, std::optional<std::vector<CChunkChoice>> zoomed,
                    QWidget* parent = nullptr);

  // The row selected when "OK" was pressed.
  [[nodiscard]] CExportChunkPick Pick() const;

private:
  void Fill();

  std::vector<CChunkChoice> whole_;
  std::optional<std::vector<CChunkChoice>> zoomed_;
  QTreeWidget* list_;     // owned by the dialog
  QCheckBox* zoomedOnly_; // owned by the dialog; hidden without a zoomed range
  QPushButton* ok_;       // owned by the dialog
};

} // namespace nimbrel
