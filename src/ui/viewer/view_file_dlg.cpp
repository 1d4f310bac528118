#include "ui/viewer/view_file_dlg.h"

#include "base/prompts.h"
#include "print/print_job.h"
#include "ui/chart/chart_widget.h"
#include "ui/viewer/data_table_model.h"
#include "ui/viewer/data_window_host.h"
#include "ui/viewer/sel_excel_interval.h"
#include "ui/viewer/wait_dialogs.h"
#include "ui/widgets/picture_button.h"
#include "ui/widgets/pictures.h"
#include "viewer/export_file.h"
#include "viewer/intervals.h"
#include "viewer/table_model.h"
#include "viewer/window_layout.h"
#include "viewer/zoomed_range.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QScreen>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QTableView>
#include <QUrl>

#include <algorithm>
#include <system_error>
#include <utility>

namespace nimbrel {

namespace {

constexpr QSize kDefaultSize{1000, 700};
constexpr int kPagesShownAtOnce = 10;
constexpr const char* kXlsxType = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

bool OpenWithDesktop(const std::filesystem::path& workbook) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
  // xdg-open starts in the background and never reports that nothing took the file: ask first
  // whether any application is registered for workbooks. Without xdg-mime, trust the opener.
  QProcess query;
  query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), kXlsxType});
  if (query.waitForFinished(3000) && query.exitStatus() == QProcess::NormalExit &&
      query.readAllStandardOutput().trimmed().isEmpty()) {
    return false;
  }
#endif
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(workbook.string())));
}

std::filesystem::path DocumentsFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty()) {
    folder = QDir::home().filePath(QStringLiteral("Documents"));
  }
  return folder.toStdString();
}

bool RunPrintDialog(QPrinter& printer, QWidget* parent) {
  QPrintDialog dialog(&printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  dialog.setMinMax(1, 0xFFFF);
  printer.setFromTo(1, 1);
  return dialog.exec() == QDialog::Accepted;
}

// Clears a flag when it goes out of scope, whichever way the command ends.
class CBusy {
public:
  explicit CBusy(bool& flag) : flag_(flag) { flag_ = true; }
  ~CBusy() { flag_ = false; }
  CBusy(const CBusy&) = delete;
  CBusy& operator=(const CBusy&) = delete;

private:
  bool& flag_;
};

class CWaitCursor {
public:
  CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
};

} // namespace

CDataWindowServices CDataWindowServices::Desktop() {
  CDataWindowServices services;
  services.openSheet = OpenWithDesktop;
  services.documents = DocumentsFolder;
  services.setUpPrinter = RunPrintDialog;
  return services;
}

// The prompts of the reading: a message that comes after the reading has rebuilt the rows (a tip
// resolution that was not found, too many rows) runs an event loop, so the table must stop showing
// the old rows first. The interval question comes before any row changes and goes straight through.
class CViewFileDlg::CReadingPrompts final : public IPrompts {
public:
  CReadingPrompts(IPrompts& prompts, std::function<void()> beforeMessage)
      : prompts_(prompts), beforeMessage_(std::move(beforeMessage)) {}

  void Message(const std::string& text, Icon icon) override {
    beforeMessage_();
    prompts_.Message(text, icon);
  }
  Answer Question(const std::string& text, Buttons buttons, Icon icon, Answer defaultAnswer) override {
    return prompts_.Question(text, buttons, icon, defaultAnswer);
  }
  std::optional<std::filesystem::path> ChooseFile(const FileChoice& choice) override {
    return prompts_.ChooseFile(choice);
  }

private:
  IPrompts& prompts_;
  std::function<void()> beforeMessage_;
};

CViewFileDlg::CViewFileDlg(std::filesystem::path path, IDataWindowHost& host, QWidget* parent,
                           CDataWindowServices services)
    : QDialog(parent), host_(host), services_(std::move(services)),
      readingPrompts_(std::make_unique<CReadingPrompts>(host.Prompts(), [this] { model_->BeginReading(); })),
      view_(std::move(path), *readingPrompts_, &host.CancelRequest(), [this] { Poll(); }), chart_(host.ZoomMode()) {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  setAttribute(Qt::WA_DeleteOnClose, false); // the main window's table of data windows destroys it
  setWindowIcon(pictures::Icon(pictures::Id::Program));
  QSize size = kDefaultSize;
  if (const QScreen* screen = QApplication::primaryScreen()) {
    size = size.boundedTo(screen->availableSize() * 9 / 10);
  }
  resize(size);
  BuildControls();
  ApplyChart(CChartController::Initial());
  zoomSubscription_ = host_.ZoomMode().Observe([this](bool /*on*/) { ApplyChart(chart_.ZoomModeChanged()); });

  {
    const CBusy busy(busy_);
    (void)view_.Open(); // a file that cannot be read shows its total line alone
    EndReading(true);
  }
  setWindowTitle(Text(view_.Title()));
  ShowListPosition();
}

CViewFileDlg::~CViewFileDlg() = default;

// NOLINTBEGIN(cppcoreguidelines-owning-memory): Qt widgets are owned by their parents
void CViewFileDlg::BuildControls() {
  strip_ = new QWidget(this);
  intervalCaption_ = new QLabel(QStringLiteral("GROUP INTERVAL"), strip_);
  intervals_ = new QComboBox(strip_);
  intervals_->setEditable(false);
  for (const CInterval& interval : kIntervals) {
    intervals_->addItem(QString::fromLatin1(interval.text));
  }
  intervals_->setAccessibleName(QStringLiteral("GROUP INTERVAL"));
  intervalCaption_->setBuddy(intervals_);
  resolution_ = new QLabel(QStringLiteral("mm H20 per Tip"), strip_);
  resolution_->setAlignment(Qt::AlignCenter);

  const auto button = [this](pictures::Id id, const char* tip) {
    return new CPictureButton(pictures::Icon(id), QString::fromLatin1(tip), pictures::kDataButtonSize, strip_);
  };
  saveAs_ = button(pictures::Id::SaveAs, "Save As...");
  copyTable_ = button(pictures::Id::CopyTable, "Copy Table to Clipboard");
  copyGraph_ = button(pictures::Id::CopyGraph, "Copy Graph to Clipboard");
  zoomPlus_ = button(pictures::Id::ZoomIn, "Zoom +");
  zoomPlusPressed_ = button(pictures::Id::ZoomInPressed, "Zoom +");
  zoomMinus_ = button(pictures::Id::ZoomOut, "Zoom -");
  export_ = button(pictures::Id::ExportSheet, "Export to Excel");
  print_ = button(pictures::Id::Print, "Print");

  auto* row = new QHBoxLayout(strip_);
  row->setContentsMargins(8, 4, 8, 4);
  row->addWidget(intervalCaption_);
  row->addWidget(intervals_);
  row->addWidget(resolution_, 1);
  for (CPictureButton* b :
       {saveAs_, copyTable_, copyGraph_, zoomPlus_, zoomPlusPressed_, zoomMinus_, export_, print_}) {
    row->addWidget(b);
  }

  model_ = new CDataTableModel(view_.Series(), this);
  table_ = new QTableView(this);
  table_->setModel(model_);
  table_->setAccessibleName(QStringLiteral("Table"));
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setShowGrid(false);
  table_->setWordWrap(false);
  table_->setIconSize(pictures::kRowIconSize);
  table_->verticalHeader()->hide();
  // Every row has the same height, so a table of a million rows costs the view nothing per row.
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(
      std::max(pictures::kRowIconSize.height() + 2, table_->fontMetrics().height() + 4));
  QHeaderView* header = table_->horizontalHeader();
  header->setStretchLastSection(false);
  header->setHighlightSections(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->resizeSection(CDataTableModel::DateTime, 200);
  header->resizeSection(CDataTableModel::Rain, 100);
  header->resizeSection(CDataTableModel::Temperature, 100);

  chartWidget_ = new CChartWidget(chart_, this);
  chartWidget_->setAccessibleName(QStringLiteral("Chart"));

  connect(intervals_, &QComboBox::currentIndexChanged, this, &CViewFileDlg::SelectInterval);
  connect(saveAs_, &QAbstractButton::clicked, this, &CViewFileDlg::SaveAs);
  connect(copyTable_, &QAbstractButton::clicked, this, &CViewFileDlg::CopyTable);
  connect(copyGraph_, &QAbstractButton::clicked, this, &CViewFileDlg::CopyGraph);
  for (CPictureButton* b : {zoomPlus_, zoomPlusPressed_}) {
    connect(b, &QAbstractButton::clicked, this, [this] { ApplyChart(chart_.ZoomPlus()); });
  }
  connect(zoomMinus_, &QAbstractButton::clicked, this, [this] { ApplyChart(chart_.ZoomMinus()); });
  connect(export_, &QAbstractButton::clicked, this, &CViewFileDlg::Export);
  connect(print_, &QAbstractButton::clicked, this, &CViewFileDlg::Print);
  connect(chartWidget_, &CChartWidget::showRowRequested, this, &CViewFileDlg::ShowRow);
  connect(chartWidget_, &CChartWidget::zoomPlusPressedChanged, this, [this](bool pressed) {
    zoomPlus_->setVisible(!pressed);
    zoomPlusPressed_->setVisible(pressed);
  });
  connect(chartWidget_, &CChartWidget::zoomMinusEnabledChanged, zoomMinus_, &QWidget::setEnabled);
  PlaceControls();
}

// NOLINTEND(cppcoreguidelines-owning-memory)

void CViewFileDlg::PlaceControls() {
  const CDataWindowLayout layout = DataWindowLayout(size());
  strip_->setGeometry(0, 0, width(), 40);
  table_->setGeometry(layout.table);
  chartWidget_->setGeometry(layout.chart);
}

void CViewFileDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  PlaceControls();
}

void CViewFileDlg::closeEvent(QCloseEvent* event) {
  if (busy_ || !host_.MayClose()) {
    event->ignore();
    return;
  }
  event->accept();
  host_.Closed(this);
}

void CViewFileDlg::reject() {
  close();
}

void CViewFileDlg::SelectInterval(int position) {
  if (busy_) {
    ShowListPosition(); // the list keeps the interval in force until the running command ends
    return;
  }
  {
    const CBusy busy(busy_);
    const CDataView::Change change = view_.SelectPosition(position);
    EndReading(change != CDataView::Change::Unchanged || model_->Reading());
  }
  ShowListPosition();
}

void CViewFileDlg::Poll() {
  if (!polled_) {
    // The rows are being rebuilt: from here on events run, so nothing may look at the old ones.
    polled_ = true;
    model_->BeginReading();
    chartWidget_->setEnabled(false);
    if (wait_ == nullptr) {
      wait_ = new CWaitElabInfoDlg(host_.CancelRequest(), this); // NOLINT(cppcoreguidelines-owning-memory)
    }
    wait_->show();
    wait_->raise();
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  QCoreApplication::processEvents();
}

void CViewFileDlg::EndReading(bool rowsChanged) {
  if (rowsChanged) {
    ShowRows();
  }
  if (polled_) {
    polled_ = false;
    wait_->hide();
    QApplication::restoreOverrideCursor();
    chartWidget_->setEnabled(true);
  }
}

void CViewFileDlg::ShowRows() {
  const CDataSeries& series = view_.Series();
  model_->EndReading();
  resolution_->setText(Text(ResolutionText(series)));
  // The strip of controls never narrows below its texts and buttons.
  setMinimumWidth(strip_->minimumSizeHint().width());
  if (polled_) {
    // A long reading: the table paints its new rows before the chart takes its share of the time,
    // so the two never hold the event loop together. The wait dialog still keeps the input.
    QCoreApplication::processEvents();
  }
  ApplyChart(chart_.Fill(series));
}

void CViewFileDlg::ShowListPosition() {
  const QSignalBlocker blocker(intervals_);
  intervals_->setCurrentIndex(view_.ListPosition());
}

void CViewFileDlg::ApplyChart(const CChartActions& actions) {
  chartWidget_->Apply(actions);
}

void CViewFileDlg::ShowRow(int row) {
  table_->scrollTo(model_->index(row, 0), QAbstractItemView::EnsureVisible);
}

std::unique_ptr<CDataSeries> CViewFileDlg::ZoomedRows() const {
  if (chart_.Level() == 0) {
    return nullptr;
  }
  const CViewRange& view = chart_.Entry(chart_.Level());
  return std::make_unique<CDataSeries>(ZoomedSeries(view_.Series(), view.first, view.last));
}

void CViewFileDlg::CopyTable() {
  if (busy_) {
    return;
  }
  const std::string text = TableText(view_.Series());
  QApplication::clipboard()->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void CViewFileDlg::CopyGraph() {
  if (busy_) {
    return;
  }
  QApplication::clipboard()->setImage(chartWidget_->Picture());
}

void CViewFileDlg::SaveAs() {
  if (busy_) {
    return;
  }
  host_.SaveDataWindowAs(view_.Path());
}

void CViewFileDlg::Export() {
  if (busy_) {
    return;
  }
  const CBusy busy(busy_);
  IPrompts& prompts = host_.Prompts();
  const CDataSeries& whole = view_.Series();
  if (whole.RowCount() == 0) {
    prompts.Message(kNoDataToExport, Icon::Information);
    return;
  }
  const std::unique_ptr<CDataSeries> zoomed = ZoomedRows();
  CExportChunkPick pick;
  if (ExportNeedsChooser(whole.LineCount(), zoomed != nullptr)) {
    if (whole.LineCount() > kSheetChunkLines) {
      prompts.Message(kExportChooseChunk, Icon::Information);
    }
    std::optional<std::vector<CChunkChoice>> zoomedChoices;
    if (zoomed) {
      zoomedChoices = ChunkChoices(*zoomed);
    }
    CSelExcelInterval chooser(ChunkChoices(whole), std::move(zoomedChoices), this);
    if (chooser.exec() != QDialog::Accepted) {
      return;
    }
    pick = chooser.Pick();
  }
  const CDataSeries& series = pick.zoomed && zoomed ? *zoomed : whole;
  if (series.RowCount() == 0) {
    prompts.Message(kNoDataToExport, Icon::Information);
    return;
  }
  const std::vector<CLineRange> chunks = SheetChunks(series.LineCount());
  const auto k = static_cast<std::size_t>(std::clamp(pick.chunk, 0, static_cast<int>(chunks.size()) - 1));
  const std::filesystem::path folder = ExportFolder(services_.documents());
  const int chunkNumber = chunks.size() > 1 ? static_cast<int>(k) + 1 : 0;
  const Result<std::filesystem::path> target =
      ReserveExportFile(folder, ExportBaseName(view_.Path(), chunkNumber, pick.zoomed), ".xlsx");
  if (!target.ok()) {
    prompts.Message("ERROR: " + target.status().message(), Icon::Error);
    return;
  }

  if (exporting_ == nullptr) {
    exporting_ = new CWaitExportingToExcelDlg(this); // NOLINT(cppcoreguidelines-owning-memory)
  }
  exporting_->show();
  exporting_->raise();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); // the notice paints before the work
  const auto failed = [&](const std::string& message) {
    std::error_code ec;
    std::filesystem::remove(target.value(), ec); // the file this export made, and nothing else
    exporting_->hide();
    prompts.Message(message, Icon::Error);
  };
  Status written;
  {
    const CWaitCursor cursor;
    written = WriteSheetXlsx(series, chunks[k], target.value());
  }
  if (!written.ok()) {
    failed("ERROR: the workbook could not be written: " + written.message() + "\nCheck that " + folder.string() +
           " may be written to and has room, then export again.");
    return;
  }
  if (!services_.openSheet(target.value())) {
    failed(kSpreadsheetMissing);
  }
}

void CViewFileDlg::Print() {
  if (busy_) {
    return;
  }
  const CBusy busy(busy_);
  const std::unique_ptr<CDataSeries> zoomed = ZoomedRows();
  CPrintChoice choice;
  {
    CSelDocToPrintDlg chooser(zoomed != nullptr, this);
    if (chooser.exec() != QDialog::Accepted) {
      return;
    }
    choice = chooser.Choice();
  }
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(Text(choice.title));
  if (!services_.setUpPrinter(printer, this)) {
    return;
  }
  const CDataSeries& series = choice.zoomedOnly && zoomed ? *zoomed : view_.Series();

  // A long table shows its progress and can be stopped between pages.
  QProgressDialog progress(QStringLiteral("Printing..."), QStringLiteral("Cancel"), 0, 1, this);
  progress.setWindowTitle(QStringLiteral("Print"));
  progress.setWindowModality(Qt::ApplicationModal);
  progress.setAutoReset(false);
  CPrintJob job;
  job.title = choice.title;
  bool started = false;
  job.progress = [&progress, &started](int done, int pageCount) {
    if (!started) {
      // A job of many pages shows its progress at once; a short one only if it is slow.
      started = true;
      progress.setMinimumDuration(pageCount > kPagesShownAtOnce ? 0 : 2000);
      progress.setMaximum(pageCount);
      progress.setValue(0);
    }
    progress.setLabelText(QStringLiteral("Printing page %1 of %2...").arg(done + 1).arg(pageCount));
    progress.setValue(done);
    return !progress.wasCanceled();
  };
  job.abort = [&printer] { printer.abort(); };

  Status status;
  {
    const CWaitCursor cursor;
    if (choice.graph) {
      CGraphPrintout graph;
      graph.windowSize = chartWidget_->size();
      graph.draw = [this](QPainter& painter, const QRect& rect) { chart_.DrawForPrinter(painter, rect); };
      status = PrintGraph(printer, series, graph, job);
    } else {
      status = PrintTable(printer, series, job);
    }
  }
  progress.reset();
  if (!status.ok() && status.code() != StatusCode::Cancelled) {
    host_.Prompts().Message(status.message(), Icon::Error);
  }
}

} // namespace nimbrel
