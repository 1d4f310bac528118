#pragma once

#include "chart/chart_controller.h"
#include "chart/zoom_mode.h"
#include "ui/print/sel_doc_to_print_dlg.h"
#include "viewer/data_view.h"

#include <QDialog>

#include <filesystem>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPrinter;
class QTableView;

namespace nimbrel {

class CChartWidget;
class CDataTableModel;
class CPictureButton;
class CWaitElabInfoDlg;
class CWaitExportingToExcelDlg;
class IDataWindowHost;

// What the data window asks of the desktop beyond its host; tests put their own in place.
struct CDataWindowServices {
  // Hands a written workbook to the desktop's spreadsheet application; false when nothing can open it.
  std::function<bool(const std::filesystem::path& workbook)> openSheet;
  // The user's documents folder; exports go into a folder of their own in it.
  std::function<std::filesystem::path()> documents;
  // The platform's print dialog on `printer`; false when the user cancelled it.
  std::function<bool(QPrinter& printer, QWidget* parent)> setUpPrinter;

  // The desktop's own: QDesktopServices, QStandardPaths and QPrintDialog.
  static CDataWindowServices Desktop();
};

// The data window: one data file as a table grouped by a chosen interval, with the chart of the same
// rows below it, and the buttons that copy, zoom, export, print and save it. Modeless, one per file.
// It reads the file while it is being made, with the interval the file's size suggests; the main
// window then shows it. Closing it asks the host first (MayClose); once closed it tells the host
// (Closed), which owns the window and destroys it from the event loop.
class CViewFileDlg final : public QDialog {
  Q_OBJECT

public:
  CViewFileDlg(std::filesystem::path path, IDataWindowHost& host, QWidget* parent = nullptr,
               CDataWindowServices services = CDataWindowServices::Desktop());
  ~CViewFileDlg() override;
  CViewFileDlg(const CViewFileDlg&) = delete;
  CViewFileDlg& operator=(const CViewFileDlg&) = delete;

  [[nodiscard]] const std::filesystem::path& Path() const { return view_.Path(); }
  [[nodiscard]] const CDataView& View() const { return view_; }
  [[nodiscard]] const CChartController& Chart() const { return chart_; }

  // The commands of the button strip (also reachable through the buttons themselves).
  void CopyTable();
  void CopyGraph();
  void Export();
  Q_INVOKABLE void Print(); // also the main window's Ctrl+P
  void SaveAs();

protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override; // Escape closes the window as its close box does

private:
  void BuildControls();
  void PlaceControls();
  void SelectInterval(int position);
  // A reading calls Poll every few thousand lines: the first call empties the table (the rows are
  // being rebuilt), shows the wait dialog and the wait cursor; every call lets the program paint and
  // take the wait dialog's Cancel. EndReading takes the dialog away and shows the new rows.
  void Poll();
  void EndReading(bool rowsChanged);
  void ShowRows();
  void ShowListPosition();
  void ApplyChart(const CChartActions& actions);
  void ShowRow(int row);
  // The rows of the points the zoomed chart shows; nothing at the full view.
  [[nodiscard]] std::unique_ptr<CDataSeries> ZoomedRows() const;

  class CReadingPrompts;

  IDataWindowHost& host_;
  CDataWindowServices services_;
  std::unique_ptr<CReadingPrompts> readingPrompts_;
  CDataView view_;
  CChartController chart_;

  // Controls, owned by the window through Qt's parent chain.
  QLabel* intervalCaption_ = nullptr;
  QComboBox* intervals_ = nullptr;
  QLabel* resolution_ = nullptr;
  CPictureButton* saveAs_ = nullptr;
  CPictureButton* copyTable_ = nullptr;
  CPictureButton* copyGraph_ = nullptr;
  CPictureButton* zoomPlus_ = nullptr;
  CPictureButton* zoomPlusPressed_ = nullptr;
  CPictureButton* zoomMinus_ = nullptr;
  CPictureButton* export_ = nullptr;
  CPictureButton* print_ = nullptr;
  QWidget* strip_ = nullptr;
  QTableView* table_ = nullptr;
  CDataTableModel* model_ = nullptr;
  CChartWidget* chartWidget_ = nullptr;
  CWaitElabInfoDlg* wait_ = nullptr;              // made on the first long reading
  CWaitExportingToExcelDlg* exporting_ = nullptr; // made on the first export

  bool busy_ = false;   // a reading, an export or a print job runs: no other command starts
  bool polled_ = false; // the running reading has shown its wait dialog

  // Last, so it goes first: no zoom-mode change reaches a window being taken apart.
  CZoomMode::CSubscription zoomSubscription_;
};

} // namespace nimbrel
