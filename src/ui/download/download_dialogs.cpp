#include "ui/download/download_dialogs.h"

#include "ui/base/dialog_parts.h"
#include "ui/base/qt_text.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace nimbrel {

// NOLINTBEGIN(cppcoreguidelines-owning-memory): Qt widgets are owned by their parents

CDownloadOptDlg::CDownloadOptDlg(const std::string& message, bool oldTemperature, QWidget* parent)
    : QDialog(parent), newOnly_(new QRadioButton(QString::fromLatin1(kNewTemperatureOnlyText), this)),
      oldData_(new QRadioButton(QString::fromLatin1(kOldDataText), this)) {
  setWindowTitle(QStringLiteral("Nimbrel"));
  auto* text = new QLabel(Lines(message), this);
  text->setAccessibleName(QStringLiteral("Message"));
  text->setAccessibleDescription(text->text());
  auto* group = new QGroupBox(QStringLiteral("Select Download Options"), this);
  auto* choices = new QVBoxLayout(group);
  choices->addWidget(newOnly_);
  choices->addWidget(oldData_);
  if (oldTemperature) {
    oldData_->setChecked(true);
    newOnly_->setEnabled(false);
  } else {
    newOnly_->setChecked(true);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* row = new QHBoxLayout;
  row->addWidget(ProgramIconLabel(this), 0, Qt::AlignTop);
  row->addSpacing(8);
  row->addWidget(text, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(group);
  layout->addWidget(buttons);
}

DownloadOption CDownloadOptDlg::Choice() const {
  return oldData_->isChecked() ? DownloadOption::RainAndTemperatureOld : DownloadOption::NewTemperatureOnly;
}

CDownloadStatusDlg::CDownloadStatusDlg(std::function<void()> onStop, QWidget* parent)
    : QDialog(parent), onStop_(std::move(onStop)), pageNum_(new QLineEdit(this)), lines_(new QLineEdit(this)),
      activity_(new QProgressBar(this)), pages_(new QProgressBar(this)), pagesText_(new QLabel(this)),
      timeLeft_(new QLabel(this)), waiting_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("Download Status"));
  setModal(false);
  for (QLineEdit* edit : {pageNum_, lines_}) {
    edit->setReadOnly(true);
    edit->setAlignment(Qt::AlignRight);
    edit->setMaximumWidth(90);
  }
  pageNum_->setAccessibleName(QStringLiteral("Page Num."));
  lines_->setAccessibleName(QStringLiteral("Data downloaded"));
  activity_->setTextVisible(false);
  activity_->setAccessibleName(QStringLiteral("Activity"));
  pages_->setAccessibleName(QStringLiteral("Pages downloaded"));
  pages_->setFormat(QStringLiteral("%p%"));
  pagesText_->setAccessibleName(QStringLiteral("Pages"));
  timeLeft_->setAccessibleName(QStringLiteral("Time left"));
  waiting_->setAccessibleName(QStringLiteral("Waiting"));
  waiting_->setWordWrap(true);
  waiting_->setText(QStringLiteral("Waiting: the download cannot go on by itself (the instrument gave no usable "
                                   "answer).\nPress Stop Download to end it; the file keeps what arrived."));
  waiting_->hide();

  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("Page Num."), pageNum_);
  fields->addRow(QStringLiteral("Data downloaded"), lines_);
  auto* stop = new QPushButton(QStringLiteral("Stop Download"), this);
  connect(stop, &QPushButton::clicked, this, [this] {
    if (onStop_) {
      onStop_();
    }
  });
  auto* top = new QHBoxLayout;
  top->addLayout(fields, 1);
  top->addWidget(stop, 0, Qt::AlignBottom);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(activity_);
  layout->addWidget(pagesText_);
  layout->addWidget(pages_);
  layout->addWidget(timeLeft_);
  layout->addWidget(waiting_);
  setMinimumWidth(340);
}

void CDownloadStatusDlg::Show(const DownloadStatusValues& values) {
  Update(values);
  show();
  raise();
}

void CDownloadStatusDlg::Update(const DownloadStatusValues& values) {
  pageNum_->setText(Q(values.pageNum));
  lines_->setText(Q(values.dataDownloaded));
  activity_->setRange(0, values.activityMax);
  activity_->setValue(values.activity);
  const DownloadProgress& p = values.progress;
  pages_->setRange(0, std::max(1, p.pagesTotal));
  pages_->setValue(std::min(p.pagesDone, std::max(1, p.pagesTotal)));
  pagesText_->setText(p.pagesTotal > 0
                          ? QStringLiteral("%1 pages: %2 of %3 done")
                                .arg(values.rainPhase ? QStringLiteral("Rain") : QStringLiteral("Temperature"))
                                .arg(p.pagesDone)
                                .arg(p.pagesTotal)
                          : QStringLiteral("Reading the memory pointers..."));
  timeLeft_->setText(p.remaining ? QStringLiteral("Time left: about %1").arg(TimeLeft(*p.remaining))
                                 : QStringLiteral("Time left: estimated after the first page"));
}

void CDownloadStatusDlg::SetStalled() {
  stalled_ = true;
  waiting_->show();
}

QString CDownloadStatusDlg::PageNum() const {
  return pageNum_->text();
}
QString CDownloadStatusDlg::DataDownloaded() const {
  return lines_->text();
}
QString CDownloadStatusDlg::PagesText() const {
  return pagesText_->text();
}
QString CDownloadStatusDlg::TimeLeftText() const {
  return timeLeft_->text();
}

void CDownloadStatusDlg::reject() {
  if (onStop_) {
    onStop_();
  }
}

QString TimeLeft(std::chrono::milliseconds left) {
  const auto total = std::chrono::duration_cast<std::chrono::seconds>(left + std::chrono::milliseconds(999)).count();
  const auto h = total / 3600;
  const auto m = (total / 60) % 60;
  const auto s = total % 60;
  return h > 0 ? QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'))
               : QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

// NOLINTEND(cppcoreguidelines-owning-memory)

} // namespace nimbrel
