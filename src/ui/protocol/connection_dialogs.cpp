#include "ui/protocol/connection_dialogs.h"

#include "ui/base/dialog_parts.h"
#include "ui/base/qt_text.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace nimbrel {

namespace {

constexpr int kSerialNumberLength = 8;

QProgressBar* StepBar(QWidget* parent) {
  auto* bar = new QProgressBar(parent); // NOLINT(cppcoreguidelines-owning-memory): owned by its parent
  bar->setRange(0, CWaitProgress::kRange);
  bar->setValue(0);
  bar->setTextVisible(false);
  bar->setAccessibleName(QStringLiteral("Progress"));
  return bar;
}

} // namespace

// NOLINTBEGIN(cppcoreguidelines-owning-memory): Qt widgets are owned by their parents

CTryConnDlg::CTryConnDlg(IScheduler& scheduler, IPrompts& prompts, QWidget* parent)
    : QDialog(parent), progress_(scheduler, prompts), text_(new QLabel(QStringLiteral("Connecting to..."), this)),
      bar_(StepBar(this)) {
  setWindowTitle(QStringLiteral("Nimbrel"));
  setModal(false);
  text_->setAccessibleName(QStringLiteral("Connecting"));
  // Room for the four lines of "Connecting to...\r\rPort = COMn\rBaudrate = n".
  text_->setMinimumSize(240, text_->fontMetrics().lineSpacing() * 4 + 4);
  text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  auto* row = new QHBoxLayout;
  row->addWidget(ProgramIconLabel(this), 0, Qt::AlignTop);
  row->addWidget(text_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(bar_);
  progress_.onStep = [this] { bar_->setValue(progress_.Position()); };
}

CTryConnDlg::~CTryConnDlg() = default;

void CTryConnDlg::ShowText(const std::string& text) {
  text_->setText(text.empty() ? QString() : Lines(text));
  text_->setAccessibleDescription(text_->text());
  if (!progress_.Visible()) {
    progress_.Show(text);
    bar_->setValue(progress_.Position());
  }
  show();
  raise();
  repaint(); // painted at once: the probe that follows keeps the user waiting
}

void CTryConnDlg::HideDialog() {
  progress_.Hide();
  hide();
}

void CTryConnDlg::hideEvent(QHideEvent* event) {
  progress_.Hide();
  QDialog::hideEvent(event);
}

QString CTryConnDlg::Text() const {
  return text_->text();
}

CWaitGetStatusDlg::CWaitGetStatusDlg(IScheduler& scheduler, IPrompts& prompts, std::function<void()> onCancel,
                                     QWidget* parent)
    : QDialog(parent), progress_(scheduler, prompts), onCancel_(std::move(onCancel)), text_(new QPlainTextEdit(this)),
      bar_(StepBar(this)) {
  setWindowTitle(QStringLiteral("Nimbrel Setup"));
  setModal(false);
  text_->setReadOnly(true);
  text_->setAccessibleName(QStringLiteral("Status"));
  text_->setFixedHeight(54);
  text_->setMinimumWidth(300);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  connect(cancel, &QPushButton::clicked, this, &CWaitGetStatusDlg::reject);
  auto* row = new QHBoxLayout;
  row->addWidget(ProgramIconLabel(this), 0, Qt::AlignTop);
  row->addWidget(text_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(bar_);
  layout->addLayout(buttons);
  progress_.onStep = [this] { bar_->setValue(progress_.Position()); };
}

CWaitGetStatusDlg::~CWaitGetStatusDlg() = default;

void CWaitGetStatusDlg::ShowText(const std::string& text) {
  text_->setPlainText(Lines(text));
  progress_.Show(text);
  bar_->setValue(progress_.Position());
  show();
  raise();
}

void CWaitGetStatusDlg::hideEvent(QHideEvent* event) {
  progress_.Hide();
  QDialog::hideEvent(event);
}

QString CWaitGetStatusDlg::Text() const {
  return text_->toPlainText();
}

void CWaitGetStatusDlg::reject() {
  progress_.Hide();
  hide();
  if (onCancel_) {
    onCancel_();
  }
}

CInstrInfoDlg::CInstrInfoDlg(const std::string& text, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Instrument Info"));
  auto* label = new QLabel(Lines(text), this);
  label->setAccessibleName(QStringLiteral("Instrument"));
  label->setAccessibleDescription(label->text());
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setMinimumWidth(240);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* row = new QHBoxLayout;
  row->addWidget(ProgramIconLabel(this), 0, Qt::AlignTop);
  row->addSpacing(8);
  row->addWidget(label, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(buttons);
}

CSetSerialNumDlg::CSetSerialNumDlg(const std::string& prompt, QWidget* parent)
    : QDialog(parent), field_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Nimbrel"));
  auto* label = new QLabel(Q(prompt), this);
  label->setBuddy(field_);
  field_->setMaxLength(kSerialNumberLength);
  field_->setAccessibleName(Q(prompt));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(field_);
  layout->addWidget(buttons);
}

std::string CSetSerialNumDlg::Value() const {
  return Std(field_->text());
}

// NOLINTEND(cppcoreguidelines-owning-memory)

} // namespace nimbrel
