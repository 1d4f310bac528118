#include "ui/widgets/colour_status_pane.h"
#include "ui/widgets/picture_button.h"
#include "ui/widgets/pictures.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QMainWindow>
#include <QPainter>
#include <QPainterPath>
#include <QStatusBar>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace nimbrel {
namespace {

namespace pictures = nimbrel::pictures;
using pictures::Id;

int CountDifferentPixels(const QImage& a, const QImage& b, int tolerance) {
  int count = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y);
      const QRgb q = b.pixel(x, y);
      if (std::abs(qRed(p) - qRed(q)) > tolerance || std::abs(qGreen(p) - qGreen(q)) > tolerance ||
          std::abs(qBlue(p) - qBlue(q)) > tolerance || std::abs(qAlpha(p) - qAlpha(q)) > tolerance) {
        ++count;
      }
    }
  }
  return count;
}

TEST(Pictures, EveryPictureIsItsOwnAtTheAskedSizeRatioAndMode) {
  std::vector<QImage> drawn;
  for (int i = static_cast<int>(pictures::kFirst); i <= static_cast<int>(pictures::kLast); ++i) {
    const auto id = static_cast<Id>(i);
    SCOPED_TRACE(pictures::Name(id).toStdString());
    const QIcon icon = pictures::Icon(id);
    for (const qreal ratio : {1.0, 2.0}) {
      const QPixmap pixmap = icon.pixmap(pictures::kToolBarSize, ratio);
      EXPECT_EQ(pixmap.size(), pictures::kToolBarSize * ratio);
      EXPECT_EQ(pixmap.devicePixelRatio(), ratio);
    }

    const QImage image = icon.pixmap(QSize(48, 48)).toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage faded = icon.pixmap(QSize(48, 48), QIcon::Disabled).toImage().convertToFormat(QImage::Format_ARGB32);
    constexpr std::ptrdiff_t kPixels = 2304; // 48 x 48
    const auto* ink = reinterpret_cast<const QRgb*>(image.constBits());
    const auto* grey = reinterpret_cast<const QRgb*>(faded.constBits());
    EXPECT_GT(std::count_if(ink, ink + kPixels, [](QRgb c) { return qAlpha(c) > 0; }), kPixels / 10) << "nothing drawn";
    EXPECT_TRUE(std::all_of(grey, grey + kPixels, [](QRgb c) {
      return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c) && qAlpha(c) <= 128;
    })) << "the disabled look keeps colours or full opacity";
    for (std::size_t other = 0; other < drawn.size(); ++other) {
      EXPECT_GT(CountDifferentPixels(image, drawn[other], 40), 8)
          << "looks like " << pictures::Name(static_cast<Id>(other)).toStdString();
    }
    drawn.push_back(image);
  }
}

// Reads back the path data the scalable icon is written with ("M x,y", "L x,y", "C x,y x,y x,y").
QPainterPath ParsePath(const QString& d) {
  QPainterPath path;
  QChar command;
  std::vector<QPointF> curve;
  for (QString token : d.split(' ', Qt::SkipEmptyParts)) {
    if (token[0].isLetter()) {
      command = token[0];
      token = token.mid(1);
    }
    const QStringList xy = token.split(',');
    const QPointF point(xy.value(0).toDouble(), xy.value(1).toDouble());
    if (command == 'M') {
      path.moveTo(point);
    } else if (command == 'L') {
      path.lineTo(point);
    } else if (command == 'C') {
      curve.push_back(point);
      if (curve.size() == 3) {
        path.cubicTo(curve[0], curve[1], curve[2]);
        curve.clear();
      }
    }
  }
  return path;
}

TEST(Pictures, ScalableProgramIconLooksLikeThePaintedOne) {
  QImage fromSvg(128, 128, QImage::Format_ARGB32);
  fromSvg.fill(Qt::transparent);
  QPainter p(&fromSvg);
  p.setRenderHint(QPainter::Antialiasing);
  QXmlStreamReader svg(pictures::ProgramIconSvg());
  int paths = 0;
  while (!svg.atEnd()) {
    svg.readNext();
    if (svg.isStartElement() && svg.name() == u"svg") {
      ASSERT_EQ(svg.attributes().value("viewBox"), u"0 0 256 256");
      p.scale(128.0 / 256, 128.0 / 256);
      continue;
    }
    if (!svg.isStartElement() || svg.name() != u"path") {
      continue;
    }
    ++paths;
    const QXmlStreamAttributes a = svg.attributes();
    QPainterPath path = ParsePath(a.value("d").toString());
    path.setFillRule(a.value("fill-rule") == u"evenodd" ? Qt::OddEvenFill : Qt::WindingFill);
    const QString fill = a.value("fill").toString();
    p.setBrush(fill == "none" ? QBrush(Qt::NoBrush) : QBrush(QColor(fill)));
    if (a.hasAttribute("stroke")) {
      p.setPen(QPen(QColor(a.value("stroke").toString()), a.value("stroke-width").toDouble(), Qt::SolidLine,
                    Qt::RoundCap, Qt::RoundJoin));
    } else {
      p.setPen(Qt::NoPen);
    }
    p.drawPath(path);
  }
  p.end();
  ASSERT_FALSE(svg.hasError()) << svg.errorString().toStdString();
  ASSERT_GT(paths, 5);

  const QImage painted =
      pictures::Pixmap(Id::Program, QSize(128, 128)).toImage().convertToFormat(QImage::Format_ARGB32);
  EXPECT_LT(CountDifferentPixels(fromSvg, painted, 40), 128 * 128 / 100);
}

TEST(PictureButton, NamedByItsToolTipAtAFixedSizeWithADistinctLookPerState) {
  CPictureButton button(pictures::Icon(Id::ZoomIn), "Zoom +", pictures::kDataButtonSize);
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&button);
  ASSERT_NE(accessible, nullptr);
  EXPECT_EQ(accessible->text(QAccessible::Name), "Zoom +");
  EXPECT_EQ(accessible->role(), QAccessible::Button);
  EXPECT_EQ(button.toolTip(), "Zoom +");
  button.resize(80, 40);
  EXPECT_EQ(button.size(), pictures::kDataButtonSize);

  const QImage rest = button.grab().toImage();
  button.setDown(true);
  const QImage pressed = button.grab().toImage();
  button.setDown(false);
  button.setEnabled(false);
  const QImage disabled = button.grab().toImage();
  EXPECT_GT(CountDifferentPixels(rest, pressed, 8), 20);
  EXPECT_GT(CountDifferentPixels(rest, disabled, 8), 20);
  EXPECT_GT(CountDifferentPixels(pressed, disabled, 8), 20);
}

TEST(ColourStatusPane, TextAndColourChangeTogetherAndTheWidthStays) {
  QMainWindow window;
  window.resize(900, 300);
  // NOLINTNEXTLINE(cppcoreguidelines-owning-memory): the status bar takes it
  auto* pane = new CColourStatusPane("Connection", 200, "Disconnected", QColor(255, 255, 0));
  window.statusBar()->addPermanentWidget(pane);
  window.show();
  for (const auto& [text, colour] :
       {std::pair<QString, QColor>{"Connected to COM1 9600 8,N,1", QColor(0, 255, 0)},
        {"Error : connection failure, and a text much longer than the pane is wide", QColor(255, 0, 0)},
        {"Disconnected", QColor(255, 255, 0)}}) {
    SCOPED_TRACE(text.toStdString());
    pane->SetState(text, colour);
    QApplication::processEvents();
    EXPECT_EQ(pane->text(), text);
    EXPECT_EQ(pane->width(), 200);
    EXPECT_EQ(pane->accessibleName(), "Connection");
    EXPECT_EQ(pane->accessibleDescription(), text);
    const QImage shot = pane->grab().toImage();
    EXPECT_EQ(shot.pixelColor(shot.width() - 4, 2), colour);
  }
}

} // namespace
} // namespace nimbrel
