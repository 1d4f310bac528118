#include "ui/setup/setup_dlg.h"

#include "ui/base/dialog_parts.h"
#include "ui/base/qt_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace nimbrel {

namespace {

QDate ToQDate(std::chrono::local_days day) {
  const std::chrono::year_month_day ymd{day};
  return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
          static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

std::chrono::local_days FromQDate(const QDate& date) {
  using namespace std::chrono;
  return local_days{year{date.year()} / month{static_cast<unsigned>(date.month())} /
                    day{static_cast<unsigned>(date.day())}};
}

QTime ToQTime(std::chrono::seconds time) {
  return QTime(0, 0).addSecs(static_cast<int>(time.count()));
}

std::chrono::seconds FromQTime(const QTime& time) {
  return std::chrono::seconds(time.msecsSinceStartOfDay() / 1000);
}

template <std::size_t N> void Fill(QComboBox* combo, const std::array<const char*, N>& items) {
  for (const char* item : items) {
    combo->addItem(QString::fromLatin1(item));
  }
}

void SetIfChanged(QLineEdit* edit, const QString& text) {
  if (edit->text() != text) {
    edit->setText(text);
  }
}

} // namespace

// NOLINTBEGIN(cppcoreguidelines-owning-memory): Qt widgets are owned by their parents

CSetupDlg::CSetupDlg(CSetupModel& model, std::function<bool()> apply, std::function<void()> closed, QWidget* parent)
    : QDialog(parent), model_(model), apply_(std::move(apply)), closed_(std::move(closed)),
      instrType_(new QLineEdit(this)), serialNum_(new QLineEdit(this)), fwVersion_(new QLineEdit(this)),
      fwDate_(new QLineEdit(this)), instrDate_(new QDateEdit(this)), instrTime_(new QTimeEdit(this)),
      pcDate_(new QDateEdit(this)), pcTime_(new QTimeEdit(this)),
      updateClock_(new QCheckBox(QString::fromLatin1(kUpdateClockText), this)),
      warningIcon_(StandardIconLabel(QMessageBox::Warning, QStringLiteral("Warning"), this)),
      warning_(new QLabel(QString::fromLatin1(kUpdateClockWarningText), this)), unit_(new QComboBox(this)),
      resolutionLabel_(new QLabel(QString::fromLatin1(kMmResolutionLabel), this)), resolution_(new QLineEdit(this)),
      contact_(new QComboBox(this)), alert_(new QComboBox(this)) {
  setWindowTitle(QStringLiteral("Nimbrel Setup"));
  setModal(false);

  auto* instrument = new QGroupBox(QStringLiteral("Instrument"), this);
  auto* identity = new QFormLayout(instrument);
  const auto field = [identity](const QString& label, QLineEdit* edit) {
    edit->setReadOnly(true);
    edit->setAccessibleName(label);
    identity->addRow(label, edit);
  };
  field(QStringLiteral("Instr. Type"), instrType_);
  field(QStringLiteral("Serial Num."), serialNum_);
  field(QStringLiteral("Firmware Ver."), fwVersion_);
  field(QStringLiteral("Firmware Date"), fwDate_);

  auto* clock = new QGroupBox(QStringLiteral("Date-Time"), this);
  auto* clocks = new QGridLayout(clock);
  for (QDateEdit* date : {instrDate_, pcDate_}) {
    date->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    date->setCalendarPopup(true);
  }
  for (QTimeEdit* time : {instrTime_, pcTime_}) {
    time->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  }
  instrDate_->setEnabled(false);
  instrTime_->setEnabled(false);
  instrDate_->setAccessibleName(QStringLiteral("Instrument date"));
  instrTime_->setAccessibleName(QStringLiteral("Instrument time"));
  pcDate_->setAccessibleName(QStringLiteral("Computer date"));
  pcTime_->setAccessibleName(QStringLiteral("Computer time"));
  clocks->addWidget(new QLabel(QStringLiteral("Instrument"), clock), 0, 0);
  clocks->addWidget(instrDate_, 0, 1);
  clocks->addWidget(instrTime_, 0, 2);
  clocks->addWidget(new QLabel(QStringLiteral("Computer"), clock), 1, 0);
  clocks->addWidget(pcDate_, 1, 1);
  clocks->addWidget(pcTime_, 1, 2);
  clocks->addWidget(updateClock_, 2, 0, 1, 3);
  warning_->setWordWrap(true);
  warning_->setMinimumWidth(
      warning_->fontMetrics().horizontalAdvance(QStringLiteral("Instrument date-time will be set to PC date-time")) +
      8);
  warning_->setAccessibleName(QStringLiteral("Warning"));
  auto* warningRow = new QHBoxLayout;
  warningRow->addWidget(warningIcon_, 0, Qt::AlignTop);
  warningRow->addWidget(warning_, 1);
  clocks->addLayout(warningRow, 3, 0, 1, 3);
  pcTime_->installEventFilter(this);

  auto* bucket = new QGroupBox(QStringLiteral("Tipping bucket settings"), this);
  auto* settings = new QFormLayout(bucket);
  Fill(unit_, kUnitItems);
  Fill(contact_, kContactTypeItems);
  Fill(alert_, kAlertModeItems);
  unit_->setAccessibleName(QStringLiteral("Unit Measurement"));
  contact_->setAccessibleName(QStringLiteral("Contact type"));
  alert_->setAccessibleName(QStringLiteral("Alert Mode"));
  settings->addRow(QStringLiteral("Unit Measurement"), unit_);
  settings->addRow(resolutionLabel_, resolution_);
  settings->addRow(QStringLiteral("Contact type"), contact_);
  settings->addRow(QStringLiteral("Alert Mode"), alert_);

  auto* applyButton = new QPushButton(QStringLiteral("Apply"), this);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  applyButton->setDefault(true);
  connect(applyButton, &QPushButton::clicked, this, &CSetupDlg::Apply);
  connect(cancel, &QPushButton::clicked, this, &CSetupDlg::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(applyButton);
  buttons->addWidget(cancel);

  auto* columns = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addWidget(instrument);
  left->addWidget(bucket);
  left->addStretch(1);
  columns->addLayout(left);
  auto* right = new QVBoxLayout;
  right->addWidget(clock);
  right->addStretch(1);
  columns->addLayout(right);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns);
  layout->addLayout(buttons);

  connect(unit_, &QComboBox::activated, this, [this](int index) {
    Collect();
    model_.SelectUnit(index);
    Refresh();
  });
  connect(updateClock_, &QCheckBox::clicked, this, [this] {
    Collect();
    model_.ToggleUpdateClock();
    Refresh();
  });
  model_.collect = [this] { Collect(); };
  model_.refresh = [this] { Refresh(); };
}

// NOLINTEND(cppcoreguidelines-owning-memory)

CSetupDlg::~CSetupDlg() {
  model_.collect = nullptr;
  model_.refresh = nullptr;
}

void CSetupDlg::ShowSetup() {
  model_.Show();
  Refresh();
  show();
  raise();
  activateWindow();
}

void CSetupDlg::Collect() {
  SetupValues& v = model_.values;
  v.instrument.date = FromQDate(instrDate_->date());
  v.instrument.time = FromQTime(instrTime_->time());
  v.pc.date = FromQDate(pcDate_->date());
  v.pc.time = FromQTime(pcTime_->time());
  // The check box's flag is the model's: it changes only through ToggleUpdateClock.
  v.unit = unit_->currentIndex();
  v.resolution = Std(resolution_->text());
  v.contactType = contact_->currentIndex();
  v.alertMode = alert_->currentIndex();
}

void CSetupDlg::Refresh() {
  const SetupValues& v = model_.values;
  SetIfChanged(instrType_, Q(v.instrType));
  SetIfChanged(serialNum_, Q(v.serialNum));
  SetIfChanged(fwVersion_, Q(v.fwVersion));
  SetIfChanged(fwDate_, Q(v.fwDate));
  instrDate_->setDate(ToQDate(v.instrument.date));
  instrTime_->setTime(ToQTime(v.instrument.time));
  pcDate_->setDate(ToQDate(v.pc.date));
  pcTime_->setTime(ToQTime(v.pc.time));
  updateClock_->setChecked(v.updateClock);
  warning_->setEnabled(model_.WarningEnabled());
  warningIcon_->setEnabled(model_.WarningEnabled());
  pcDate_->setEnabled(model_.PcPickersEnabled());
  pcTime_->setEnabled(model_.PcPickersEnabled());
  unit_->setCurrentIndex(v.unit);
  resolutionLabel_->setText(Q(model_.ResolutionLabel()));
  resolution_->setAccessibleName(resolutionLabel_->text());
  SetIfChanged(resolution_, Q(v.resolution));
  contact_->setCurrentIndex(v.contactType);
  alert_->setCurrentIndex(v.alertMode);
}

bool CSetupDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == pcTime_ && event->type() == QEvent::FocusIn) {
    model_.PcTimeFocused();
  }
  return QDialog::eventFilter(watched, event);
}

void CSetupDlg::Apply() {
  Collect();
  if (apply_ && apply_()) {
    Close();
    return;
  }
  Refresh();
}

void CSetupDlg::reject() {
  model_.Cancel();
  Close();
}

void CSetupDlg::Close() {
  hide();
  if (closed_) {
    closed_(); // the main window destroys the dialog
  }
}

} // namespace nimbrel
