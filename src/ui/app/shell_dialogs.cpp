#include "ui/app/shell_dialogs.h"

#include "app/licence_text.h"
#include "ui/base/dialog_parts.h"
#include "ui/base/qt_text.h"
#include "ui/widgets/pictures.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace nimbrel {

namespace fs = std::filesystem;

// NOLINTBEGIN(cppcoreguidelines-owning-memory): Qt widgets are owned by their parents

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Info on Nimbrel..."));
  auto* name = new QLabel(QStringLiteral("Nimbrel  Ver 2.5"), this);
  auto* version =
      new QLabel(QStringLiteral("Build %1, companion of the TBR4470 rain gauge").arg(NIMBREL_VERSION), this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* texts = new QVBoxLayout;
  texts->addWidget(name);
  texts->addWidget(version);
  auto* row = new QHBoxLayout;
  row->addWidget(ProgramIconLabel(this), 0, Qt::AlignTop);
  row->addSpacing(12);
  row->addLayout(texts, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(buttons);
}

CLicenceDlg::CLicenceDlg(const fs::path& programDirectory, QWidget* parent)
    : QDialog(parent), text_(new QPlainTextEdit(this)) {
  setWindowTitle(QStringLiteral("Nimbrel Licence"));
  text_->setReadOnly(true);
  // A box with a vertical scroll bar only: a line wider than the box wraps at a word.
  text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  text_->setAccessibleName(QStringLiteral("Licence"));
  text_->setPlainText(Lines(LicenceText(programDirectory)));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(buttons);
  // Wide enough for the licence's longest line, so that only a line too long for the screen wraps.
  const QFontMetrics metrics(text_->font());
  int widest = metrics.averageCharWidth() * 80;
  for (const QString& line : text_->toPlainText().split(QLatin1Char('\n'))) {
    widest = std::max(widest, metrics.horizontalAdvance(line));
  }
  const int frame =
      2 * static_cast<int>(text_->document()->documentMargin()) + text_->verticalScrollBar()->sizeHint().width() + 40;
  int width = widest + frame;
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    width = std::min(width, screen->availableSize().width() * 9 / 10);
  }
  resize(width, metrics.lineSpacing() * 28);
}

QString CLicenceDlg::Text() const {
  return text_->toPlainText();
}

fs::path HandbookFile(const fs::path& programDirectory, const std::string& page) {
  std::string relative = page;
  for (char& c : relative) {
    if (c == '\\') {
      c = '/';
    }
  }
  return programDirectory / relative;
}

CHandbookDlg::CHandbookDlg(const fs::path& programDirectory, const std::string& page, QWidget* parent)
    : QDialog(parent), browser_(new QTextBrowser(this)) {
  setWindowTitle(QStringLiteral("Handbook"));
  setModal(false);
  browser_->setAccessibleName(QStringLiteral("Handbook"));
  browser_->setOpenExternalLinks(true);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  connect(ok, &QPushButton::clicked, this, &QDialog::hide);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser_, 1);
  layout->addLayout(buttons);
  resize(760, 560);

  QApplication::setOverrideCursor(Qt::WaitCursor);
  const fs::path file = HandbookFile(programDirectory, page);
  std::error_code ec;
  if (!page.empty() && fs::is_regular_file(file, ec)) {
    browser_->setSource(QUrl::fromLocalFile(QString::fromStdString(file.string())));
  } else {
    // The viewer's own page for a page it cannot show.
    browser_->setHtml(
        QStringLiteral("<h2>This page cannot be displayed</h2><p>The handbook page <b>%1</b> was not found.</p>"
                       "<p>Check that the handbook is installed in the program directory and that the first line "
                       "of Nimbrel.ini names it (HANDBOOK = Help_Nimbrel\\HomeNBR.htm).</p>")
            .arg(QString::fromStdString(file.string()).toHtmlEscaped()));
  }
  QApplication::restoreOverrideCursor();
}

CSplashWnd::CSplashWnd(QWidget* over) : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setAttribute(Qt::WA_DeleteOnClose);
  setAccessibleName(QStringLiteral("Nimbrel"));
  auto* picture = new QLabel(this);
  picture->setPixmap(pictures::Splash(devicePixelRatioF()));
  picture->setAccessibleName(QStringLiteral("Nimbrel"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(picture);
  adjustSize();
  const QRect area = over != nullptr && over->isVisible()           ? over->frameGeometry()
                     : over != nullptr && over->screen() != nullptr ? over->screen()->availableGeometry()
                                                                    : QRect(0, 0, width(), height());
  move(area.center() - rect().center());
  QTimer::singleShot(kShownMs, this, &QWidget::close);
}

CPrintGraphSizeDlg::CPrintGraphSizeDlg(CPrintGraphSizeModel& model, QWidget* parent)
    : QDialog(parent), model_(model), auto_(new QRadioButton(QStringLiteral("AUTO"), this)),
      custom_(new QRadioButton(QStringLiteral("CUSTOM"), this)), width_(new QLineEdit(this)),
      length_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Print Graph Setting"));
  auto* group = new QGroupBox(QStringLiteral("Graph Size"), this);
  auto* choices = new QVBoxLayout(group);
  choices->addWidget(auto_);
  choices->addWidget(custom_);
  auto* sizes = new QFormLayout;
  width_->setAccessibleName(QStringLiteral("Width"));
  length_->setAccessibleName(QStringLiteral("Length"));
  sizes->addRow(QStringLiteral("Width"), width_);
  sizes->addRow(QStringLiteral("Length"), length_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CPrintGraphSizeDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(auto_, &QRadioButton::clicked, this, [this] {
    model_.ChooseAuto();
    Refresh();
  });
  connect(custom_, &QRadioButton::clicked, this, [this] {
    model_.ChooseCustom();
    Refresh();
  });
  auto* row = new QHBoxLayout;
  row->addWidget(ProgramIconLabel(this), 0, Qt::AlignTop);
  row->addWidget(group);
  row->addLayout(sizes);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(buttons);
  Refresh();
}

void CPrintGraphSizeDlg::Refresh() {
  const bool custom = model_.Type() == CGraphSizeType::Custom;
  auto_->setChecked(!custom);
  custom_->setChecked(custom);
  width_->setEnabled(model_.BoxesEnabled());
  length_->setEnabled(model_.BoxesEnabled());
  width_->setText(Q(model_.WidthText()));
  length_->setText(Q(model_.LengthText()));
}

void CPrintGraphSizeDlg::accept() {
  model_.SetWidthText(Std(width_->text()));
  model_.SetLengthText(Std(length_->text()));
  QDialog::accept();
}

// NOLINTEND(cppcoreguidelines-owning-memory)

} // namespace nimbrel
