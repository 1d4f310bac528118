#include "ui/widgets/pictures.h"

#include <QFont>
#include <QGuiApplication>
#include <QIconEngine>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QTransform>

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <vector>

namespace nimbrel::pictures {
namespace {

// One palette for every picture: a dark slate outline, flat fills, water blue as the accent.
const QColor kInk{0x26, 0x36, 0x4a};
const QColor kPaper{0xff, 0xff, 0xff};
const QColor kWater{0x2f, 0x80, 0xd1};
const QColor kWaterLight{0xa6, 0xd4, 0xf7};
const QColor kLens{0xea, 0xf4, 0xfd};
const QColor kSteel{0x8b, 0x9a, 0xab};
const QColor kSteelDark{0x4d, 0x5d, 0x70};
const QColor kSteelLight{0xd3, 0xdc, 0xe6};
const QColor kFolderBack{0xd9, 0x9a, 0x2b};
const QColor kFolderFront{0xf5, 0xc9, 0x5c};
const QColor kGreen{0x2f, 0x9e, 0x4f};
const QColor kRed{0xd9, 0x43, 0x3b};
const QColor kOrange{0xf0, 0x96, 0x2a};
const QColor kYellow{0xf7, 0xc5, 0x31};
const QColor kSheetGreen{0x2a, 0x8a, 0x55};
const QColor kCover{0x2f, 0x6d, 0xb5};
const QColor kBoard{0xb4, 0x84, 0x4e};
const QColor kLcd{0x22, 0x30, 0x41};
const QColor kLcdDigit{0x7e, 0xe2, 0x8f};
const QColor kAmber{0xff, 0xbf, 0x47};
const QColor kTile{0x2b, 0x78, 0xb8};
const QColor kTileDark{0x1d, 0x2f, 0x45};

// The small pictures are drawn in a box of 24 x 24 units, the program icon in 256 x 256.
constexpr qreal kGlyphBox = 24.0;
constexpr qreal kProgramBox = 256.0;
constexpr qreal kOutline = 1.4;

QPen InkPen(qreal width, const QColor& colour = kInk) {
  QPen pen(colour, width);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

QPainterPath Polygon(std::initializer_list<QPointF> points) {
  QPainterPath path;
  path.addPolygon(QPolygonF(QList<QPointF>(points)));
  path.closeSubpath();
  return path;
}

QPainterPath RoundedRect(const QRectF& r, qreal radius) {
  QPainterPath path;
  path.addRoundedRect(r, radius, radius);
  return path;
}

QPainterPath Circle(QPointF centre, qreal radius) {
  QPainterPath path;
  path.addEllipse(centre, radius, radius);
  return path;
}

void Fill(QPainter& p, const QPainterPath& path, const QColor& fill, qreal outline = kOutline) {
  if (outline > 0) {
    p.setPen(InkPen(outline));
  } else {
    p.setPen(Qt::NoPen);
  }
  p.setBrush(fill);
  p.drawPath(path);
}

void Box(QPainter& p, const QRectF& r, const QColor& fill, qreal outline = kOutline, qreal radius = 0) {
  Fill(p, RoundedRect(r, radius), fill, outline);
}

void Line(QPainter& p, QPointF a, QPointF b, qreal width, const QColor& colour = kInk) {
  p.setPen(InkPen(width, colour));
  p.drawLine(a, b);
}

// A drop whose tip is at the top; fits the 24-unit box.
QPainterPath Drop() {
  QPainterPath path;
  path.moveTo(12, 2.5);
  path.cubicTo(14, 6, 19, 10, 19, 14.5);
  path.arcTo(QRectF(5, 7.5, 14, 14), 0, -180);
  path.cubicTo(5, 10, 10, 6, 12, 2.5);
  path.closeSubpath();
  return path;
}

// --- tool bar ---------------------------------------------------------------------------------

void DrawOpen(QPainter& p) {
  Fill(p, Polygon({{2.5, 5}, {9, 5}, {11, 7.5}, {20.5, 7.5}, {20.5, 19.5}, {2.5, 19.5}}), kFolderBack);
  Box(p, {6, 8.5, 12, 7}, kPaper, 1.0);
  Fill(p, Polygon({{5.5, 11}, {22.5, 11}, {19.5, 19.5}, {2.5, 19.5}}), kFolderFront);
}

void DrawSaveAs(QPainter& p) {
  Fill(p, Polygon({{2.5, 2.5}, {15.5, 2.5}, {19.5, 6.5}, {19.5, 19.5}, {2.5, 19.5}}), kCover);
  Box(p, {6, 2.5, 9, 6}, kSteelLight, 1.0);
  Box(p, {11.5, 3.7, 2, 3.6}, kSteelDark, 0);
  Box(p, {5.5, 11.5, 11, 8}, kPaper, 1.0);
  Line(p, {7.5, 14}, {14.5, 14}, 1.0, kSteel);
  Line(p, {7.5, 16.8}, {12.5, 16.8}, 1.0, kSteel);
  // A pencil across the corner: "as" a new name.
  p.save();
  p.translate(16.5, 15.5);
  p.rotate(45);
  Box(p, {-1.8, -6.5, 3.6, 7}, kOrange, 1.0);
  Box(p, {-1.8, -8, 3.6, 1.5}, kRed, 1.0);
  Fill(p, Polygon({{-1.8, 0.5}, {1.8, 0.5}, {0, 4}}), QColor(0xf3, 0xdc, 0xb5), 1.0);
  p.restore();
}

void DrawConnect(QPainter& p) {
  Line(p, {1, 12}, {6, 12}, 2.6);
  Line(p, {18, 12}, {23, 12}, 2.6);
  Box(p, {5.5, 7.5, 6.5, 9}, kSteelDark, kOutline, 1.5);
  Box(p, {12.5, 6.5, 6, 11}, kSteelLight, kOutline, 1.5);
  Fill(p, Circle({15.5, 3.3}, 2.1), kGreen, 1.0);
}

void DrawDisconnect(QPainter& p) {
  Line(p, {1, 12}, {3.5, 12}, 2.6);
  Line(p, {21, 12}, {23, 12}, 2.6);
  Box(p, {9.5, 9, 3.5, 1.6}, kSteelLight, 0.8);
  Box(p, {9.5, 13.4, 3.5, 1.6}, kSteelLight, 0.8);
  Box(p, {3, 7.5, 6.5, 9}, kSteelDark, kOutline, 1.5);
  Box(p, {15, 6.5, 6, 11}, kSteelLight, kOutline, 1.5);
  Box(p, {15.7, 9, 1.2, 1.6}, kInk, 0);
  Box(p, {15.7, 13.4, 1.2, 1.6}, kInk, 0);
  Fill(p, Circle({18, 3.3}, 2.1), kRed, 1.0);
}

void DrawDownloadData(QPainter& p) {
  Fill(p, Polygon({{2, 13.5}, {6.5, 13.5}, {8.5, 16.5}, {15.5, 16.5}, {17.5, 13.5}, {22, 13.5}, {22, 21}, {2, 21}}),
       kSteelLight);
  Fill(p, Polygon({{9.5, 2}, {14.5, 2}, {14.5, 9}, {18.5, 9}, {12, 16}, {5.5, 9}, {9.5, 9}}), kWater);
}

void DrawInstrSetup(QPainter& p) {
  const QPointF centre(12, 12);
  QPainterPath gear = Circle(centre, 7.2);
  for (int i = 0; i < 8; ++i) {
    QTransform t;
    t.translate(centre.x(), centre.y());
    t.rotate(i * 45.0);
    gear = gear.united(t.map(Polygon({{-1.8, -10.2}, {1.8, -10.2}, {2.4, -6}, {-2.4, -6}})));
  }
  gear = gear.subtracted(Circle(centre, 2.8));
  Fill(p, gear, kSteel);
  p.setPen(InkPen(1.0, kSteelDark));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(centre, 4.8, 4.8);
}

// A counter display with a red reset badge; `letter` tells the total (T) from the partial (P) one.
void DrawClearCounter(QPainter& p, char letter) {
  Box(p, {1.5, 9, 19, 11.5}, kLcd, kOutline, 2);
  if (letter == 'T') {
    Line(p, {3.8, 11.8}, {8.2, 11.8}, 1.8, kAmber);
    Line(p, {6, 11.8}, {6, 17.8}, 1.8, kAmber);
  } else {
    QPainterPath bowl;
    bowl.moveTo(4.6, 17.8);
    bowl.lineTo(4.6, 11.8);
    bowl.lineTo(6.4, 11.8);
    bowl.cubicTo(9.2, 11.8, 9.2, 15.2, 6.4, 15.2);
    bowl.lineTo(4.6, 15.2);
    p.setPen(InkPen(1.8, kAmber));
    p.setBrush(Qt::NoBrush);
    p.drawPath(bowl);
  }
  p.setPen(InkPen(1.3, kLcdDigit));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(10.2, 11.8, 3.2, 6), 1.4, 1.4);
  p.drawRoundedRect(QRectF(15.2, 11.8, 3.2, 6), 1.4, 1.4);

  const QPointF c(18, 5.8);
  Fill(p, Circle(c, 5.2), kRed, 1.2);
  const qreal r = 2.7;
  const qreal start = 120;
  const qreal span = 270;
  QPainterPath arc;
  arc.arcMoveTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), start);
  arc.arcTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), start, span);
  p.setPen(InkPen(1.3, kPaper));
  p.setBrush(Qt::NoBrush);
  p.drawPath(arc);
  const qreal end = (start + span) * std::numbers::pi / 180.0;
  const QPointF tip = c + QPointF(std::cos(end), -std::sin(end)) * r;
  const QPointF along(-std::sin(end), -std::cos(end)); // direction of travel, counter-clockwise
  const QPointF across(std::cos(end), -std::sin(end));
  Fill(p, Polygon({tip + along * 1.8, tip + across * 1.6 - along * 0.4, tip - across * 1.6 - along * 0.4}), kPaper, 0);
}

void DrawHandbook(QPainter& p) {
  Box(p, {5.5, 4, 14, 18}, kPaper, 1.2, 1);
  Box(p, {3.5, 2, 14, 18}, kCover, kOutline, 1.5);
  Line(p, {6, 2.8}, {6, 19.2}, 1.2, QColor(0x1f, 0x4f, 0x88));
  QPainterPath question;
  question.moveTo(8.4, 8);
  question.cubicTo(8.4, 4.6, 14, 4.6, 14, 8);
  question.cubicTo(14, 10.2, 11.2, 10.4, 11.2, 12.6);
  p.setPen(InkPen(2.1, kPaper));
  p.setBrush(Qt::NoBrush);
  p.drawPath(question);
  Fill(p, Circle({11.2, 15.8}, 1.3), kPaper, 0);
}

// --- data window ------------------------------------------------------------------------------

void DrawClipboard(QPainter& p) {
  Box(p, {3.5, 3, 17, 19.5}, kBoard, kOutline, 1.5);
  Box(p, {5.5, 6, 13, 14.5}, kPaper, 1.0);
  Box(p, {8.5, 1.5, 7, 4}, kSteel, kOutline, 1.2);
}

void DrawCopyTable(QPainter& p) {
  DrawClipboard(p);
  Box(p, {5.5, 6, 13, 3}, kWaterLight, 0);
  for (const qreal y : {9.0, 12.8, 16.6}) {
    Line(p, {5.5, y}, {18.5, y}, 0.9, kSteelDark);
  }
  Line(p, {10.5, 6}, {10.5, 20.5}, 0.9, kSteelDark);
  p.setPen(InkPen(1.0));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(5.5, 6, 13, 14.5));
}

void DrawCopyGraph(QPainter& p) {
  DrawClipboard(p);
  p.setPen(InkPen(1.0));
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(QPolygonF({{7.5, 8}, {7.5, 18.5}, {17, 18.5}}));
  p.setPen(InkPen(1.2, kOrange));
  p.drawPolyline(QPolygonF({{8.5, 12.5}, {12, 13.2}, {16.5, 11.5}}));
  p.setPen(InkPen(1.6, kWater));
  p.drawPolyline(QPolygonF({{8.5, 16.5}, {11, 11}, {13.5, 14}, {16.5, 8.5}}));
}

void DrawMagnifier(QPainter& p, bool plus, bool lit) {
  Line(p, {15, 15}, {21, 21}, 4.2, kSteelDark);
  Fill(p, Circle({10, 10}, 7), lit ? kWater : kLens, 2.0);
  const QColor sign = lit ? kPaper : kInk;
  Line(p, {6.5, 10}, {13.5, 10}, 2.2, sign);
  if (plus) {
    Line(p, {10, 6.5}, {10, 13.5}, 2.2, sign);
  }
}

void DrawExportSheet(QPainter& p) {
  Box(p, {2.5, 2.5, 14, 19}, kPaper, 1.2);
  Box(p, {2.5, 2.5, 14, 4}, kSheetGreen, 1.2);
  for (const qreal y : {10.0, 14.0, 18.0}) {
    Line(p, {2.5, y}, {16.5, y}, 0.8, kSheetGreen);
  }
  Line(p, {7.5, 6.5}, {7.5, 21.5}, 0.8, kSheetGreen);
  Line(p, {12, 6.5}, {12, 21.5}, 0.8, kSheetGreen);
  Fill(p, Polygon({{11, 12.5}, {17, 12.5}, {17, 9}, {22.5, 14.5}, {17, 20}, {17, 16.5}, {11, 16.5}}), kSheetGreen, 1.2);
}

void DrawPrint(QPainter& p) {
  Box(p, {6.5, 2.5, 11, 8}, kPaper, 1.2);
  Box(p, {2.5, 8.5, 19, 9.5}, kSteel, kOutline, 2);
  Box(p, {5.5, 14.5, 13, 1.6}, kInk, 0);
  Box(p, {6.5, 15.5, 11, 7}, kPaper, 1.2);
  Line(p, {8.5, 18}, {15.5, 18}, 0.9, kSteel);
  Line(p, {8.5, 20.2}, {13.5, 20.2}, 0.9, kSteel);
  Fill(p, Circle({18.5, 11.5}, 1.1), kGreen, 0);
}

// --- table rows -------------------------------------------------------------------------------

void DrawRowPlain(QPainter& p) {
  Fill(p, Circle({12, 12}, 5), QColor(0xc7, 0xd2, 0xde), kOutline);
}

void DrawRowRain(QPainter& p) {
  Fill(p, Drop(), kWater, kOutline);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 190));
  p.drawEllipse(QRectF(8, 12.5, 2.4, 4.5));
}

void DrawRowWarning(QPainter& p) {
  Fill(p, Polygon({{12, 2.5}, {22.5, 20.5}, {1.5, 20.5}}), kYellow, 1.5);
  Line(p, {12, 8.5}, {12, 14}, 2.6);
  Fill(p, Circle({12, 17.3}, 1.5), kInk, 0);
}

// --- program icon -----------------------------------------------------------------------------

// The program icon is a list of flat shapes so that the same drawing gives the pixmaps and the SVG.
struct Shape {
  QPainterPath path;
  QColor fill;   // invalid: not filled
  QColor stroke; // invalid: not stroked
  qreal width = 0;
};

std::vector<Shape> ProgramShapes() {
  std::vector<Shape> shapes;
  const qreal w = 7;
  shapes.push_back({RoundedRect({8, 8, 240, 240}, 48), kTile, {}, 0});

  // Rain falling into the funnel.
  const std::array<QPointF, 3> drops{QPointF(56, 24), QPointF(104, 14), QPointF(152, 24)};
  for (const QPointF at : drops) {
    QTransform t;
    t.translate(at.x(), at.y());
    t.scale(2.0, 2.0);
    shapes.push_back({t.map(Drop()), QColor(0xcf, 0xe9, 0xff), kTileDark, 5});
  }

  // The gauge: funnel and rim on a cylinder with a window on the tipping bucket.
  shapes.push_back({Polygon({{50, 84}, {206, 84}, {148, 124}, {108, 124}}), QColor(0xee, 0xf3, 0xf8), kTileDark, w});
  shapes.push_back({RoundedRect({40, 70, 176, 18}, 6), kPaper, kTileDark, w});
  shapes.push_back({RoundedRect({70, 118, 116, 108}, 10), QColor(0xd9, 0xe2, 0xec), kTileDark, w});
  shapes.push_back({RoundedRect({84, 134, 88, 74}, 8), kTileDark, {}, 0});

  // The bucket tipped to the left: its left cup holds water, the pivot stands below.
  QTransform tilt;
  tilt.translate(128, 186);
  tilt.rotate(-14);
  shapes.push_back({tilt.map(Polygon({{-34.5, -15}, {-30, -2.5}, {-3.5, -2.5}, {-3.5, -15}})), kWaterLight, {}, 0});
  QPainterPath bucket;
  bucket.moveTo(-37, -20);
  bucket.lineTo(-31, 0);
  bucket.lineTo(31, 0);
  bucket.lineTo(37, -20);
  bucket.moveTo(0, 0);
  bucket.lineTo(0, -27);
  shapes.push_back({tilt.map(bucket), {}, kOrange, 8});
  shapes.push_back({Polygon({{128, 189}, {116, 204}, {140, 204}}), kSteel, {}, 0});

  shapes.push_back({RoundedRect({56, 220, 144, 18}, 6), QColor(0x54, 0x65, 0x7a), kTileDark, 6});
  return shapes;
}

void DrawProgram(QPainter& p) {
  for (const Shape& s : ProgramShapes()) {
    if (s.stroke.isValid()) {
      p.setPen(InkPen(s.width, s.stroke));
    } else {
      p.setPen(Qt::NoPen);
    }
    p.setBrush(s.fill.isValid() ? QBrush(s.fill) : QBrush(Qt::NoBrush));
    p.drawPath(s.path);
  }
}

// --- dispatch ---------------------------------------------------------------------------------

void DrawGlyph(QPainter& p, Id id) {
  switch (id) {
  case Id::Program:
    DrawProgram(p);
    break;
  case Id::Open:
    DrawOpen(p);
    break;
  case Id::SaveAs:
    DrawSaveAs(p);
    break;
  case Id::Connect:
    DrawConnect(p);
    break;
  case Id::Disconnect:
    DrawDisconnect(p);
    break;
  case Id::DownloadData:
    DrawDownloadData(p);
    break;
  case Id::InstrSetup:
    DrawInstrSetup(p);
    break;
  case Id::ClearTotalCounter:
    DrawClearCounter(p, 'T');
    break;
  case Id::ClearPartialCounter:
    DrawClearCounter(p, 'P');
    break;
  case Id::Handbook:
    DrawHandbook(p);
    break;
  case Id::CopyTable:
    DrawCopyTable(p);
    break;
  case Id::CopyGraph:
    DrawCopyGraph(p);
    break;
  case Id::ZoomIn:
    DrawMagnifier(p, true, false);
    break;
  case Id::ZoomInPressed:
    DrawMagnifier(p, true, true);
    break;
  case Id::ZoomOut:
    DrawMagnifier(p, false, false);
    break;
  case Id::ExportSheet:
    DrawExportSheet(p);
    break;
  case Id::Print:
    DrawPrint(p);
    break;
  case Id::RowPlain:
    DrawRowPlain(p);
    break;
  case Id::RowRain:
    DrawRowRain(p);
    break;
  case Id::RowWarning:
    DrawRowWarning(p);
    break;
  }
}

// Paints the picture into the largest square centred in `area`.
void Paint(QPainter& p, Id id, const QRectF& area) {
  const qreal side = std::min(area.width(), area.height());
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(area.x() + (area.width() - side) / 2, area.y() + (area.height() - side) / 2);
  const qreal box = id == Id::Program ? kProgramBox : kGlyphBox;
  p.scale(side / box, side / box);
  DrawGlyph(p, id);
  p.restore();
}

// The disabled look: grey, light and half transparent, whatever the colours were.
void Fade(QPixmap& pixmap) {
  QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = line[x];
      const int grey = 128 + qGray(c) / 2;
      line[x] = qRgba(grey, grey, grey, qAlpha(c) / 2);
    }
  }
  const qreal dpr = pixmap.devicePixelRatio();
  pixmap = QPixmap::fromImage(image);
  pixmap.setDevicePixelRatio(dpr);
}

QList<QSize> NaturalSizes(Id id) {
  if (id == Id::Program) {
    return {{16, 16}, {22, 22}, {24, 24}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}};
  }
  if (id >= Id::Open && id <= Id::Handbook) {
    return {kToolBarSize};
  }
  if (id >= Id::CopyTable && id <= Id::Print) {
    return {kDataButtonSize};
  }
  return {kRowIconSize};
}

class CPictureEngine final : public QIconEngine {
public:
  explicit CPictureEngine(Id id) : id_(id) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State /*state*/) override {
    const qreal dpr = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawPixmap(rect, Pixmap(id_, rect.size(), dpr, mode == QIcon::Disabled));
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State /*state*/) override {
    return Pixmap(id_, size, 1.0, mode == QIcon::Disabled);
  }
  // QIcon asks in device pixels and sets the ratio on what it gets back.
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal /*scale*/) override {
    return pixmap(size, mode, state);
  }
  QSize actualSize(const QSize& size, QIcon::Mode /*mode*/, QIcon::State /*state*/) override { return size; }
  QList<QSize> availableSizes(QIcon::Mode /*mode*/, QIcon::State /*state*/) override { return NaturalSizes(id_); }
  [[nodiscard]] QString key() const override { return QStringLiteral("nimbrel-picture"); }
  [[nodiscard]] QIconEngine* clone() const override {
    return new CPictureEngine(id_); // NOLINT(cppcoreguidelines-owning-memory): QIcon owns its engine
  }

private:
  Id id_;
};

QString Number(qreal value) {
  return QString::number(value, 'f', 2).remove(QRegularExpression("\\.?0+$"));
}

QString SvgPath(const QPainterPath& path) {
  QStringList d;
  for (int i = 0; i < path.elementCount(); ++i) {
    const QPainterPath::Element e = path.elementAt(i);
    switch (e.type) {
    case QPainterPath::MoveToElement:
      d << "M" + Number(e.x) + "," + Number(e.y);
      break;
    case QPainterPath::LineToElement:
      d << "L" + Number(e.x) + "," + Number(e.y);
      break;
    case QPainterPath::CurveToElement:
      d << "C" + Number(e.x) + "," + Number(e.y);
      break;
    case QPainterPath::CurveToDataElement:
      d << Number(e.x) + "," + Number(e.y);
      break;
    }
  }
  return d.join(' ');
}

} // namespace

QString Name(Id id) {
  switch (id) {
  case Id::Program:
    return QStringLiteral("program");
  case Id::Open:
    return QStringLiteral("open");
  case Id::SaveAs:
    return QStringLiteral("save-as");
  case Id::Connect:
    return QStringLiteral("connect");
  case Id::Disconnect:
    return QStringLiteral("disconnect");
  case Id::DownloadData:
    return QStringLiteral("download-data");
  case Id::InstrSetup:
    return QStringLiteral("instr-setup");
  case Id::ClearTotalCounter:
    return QStringLiteral("clear-total-counter");
  case Id::ClearPartialCounter:
    return QStringLiteral("clear-partial-counter");
  case Id::Handbook:
    return QStringLiteral("handbook");
  case Id::CopyTable:
    return QStringLiteral("copy-table");
  case Id::CopyGraph:
    return QStringLiteral("copy-graph");
  case Id::ZoomIn:
    return QStringLiteral("zoom-in");
  case Id::ZoomInPressed:
    return QStringLiteral("zoom-in-pressed");
  case Id::ZoomOut:
    return QStringLiteral("zoom-out");
  case Id::ExportSheet:
    return QStringLiteral("export-sheet");
  case Id::Print:
    return QStringLiteral("print");
  case Id::RowPlain:
    return QStringLiteral("row-plain");
  case Id::RowRain:
    return QStringLiteral("row-rain");
  case Id::RowWarning:
    return QStringLiteral("row-warning");
  }
  return {};
}

QPixmap Pixmap(Id id, QSize size, qreal devicePixelRatio, bool disabled) {
  QPixmap pixmap(size * devicePixelRatio);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  pixmap.fill(Qt::transparent);
  {
    QPainter p(&pixmap);
    Paint(p, id, QRectF(QPointF(0, 0), QSizeF(size)));
  }
  if (disabled) {
    Fade(pixmap);
  }
  return pixmap;
}

QIcon Icon(Id id) {
  return QIcon(new CPictureEngine(id)); // NOLINT(cppcoreguidelines-owning-memory): QIcon owns its engine
}

QPixmap Splash(qreal devicePixelRatio) {
  const QSize size(420, 260);
  QPixmap pixmap(size * devicePixelRatio);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  QLinearGradient sky(0, 0, 0, size.height());
  sky.setColorAt(0, kTile.lighter(115));
  sky.setColorAt(1, kTileDark);
  p.fillRect(QRect(QPoint(0, 0), size), sky);

  // Light rain across the card.
  p.setPen(InkPen(1.5, QColor(255, 255, 255, 40)));
  for (int i = 0; i < 26; ++i) {
    const qreal x = 12 + i * 16.5;
    const qreal y = 14 + (i * 37 % 90);
    p.drawLine(QPointF(x, y), QPointF(x - 6, y + 18));
  }

  Paint(p, Id::Program, QRectF(28, 62, 136, 136));

  QFont title(QStringLiteral("Liberation Sans"));
  title.setPixelSize(46);
  title.setBold(true);
  p.setFont(title);
  p.setPen(kPaper);
  p.drawText(QRectF(180, 78, 230, 56), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Nimbrel"));

  QFont line(QStringLiteral("Liberation Sans"));
  line.setPixelSize(15);
  p.setFont(line);
  p.setPen(QColor(0xd6, 0xe8, 0xf8));
  p.drawText(QRectF(182, 136, 230, 48), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
             QStringLiteral("Rain and temperature from the TBR4470 rain gauge"));

  p.setPen(InkPen(1, QColor(255, 255, 255, 90)));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1));
  return pixmap;
}

QCursor ZoomCursor() {
  const qreal dpr = qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
  const int side = 32;
  QPixmap pixmap(QSize(side, side) * dpr);
  pixmap.setDevicePixelRatio(dpr);
  pixmap.fill(Qt::transparent);
  {
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(28.0 / kGlyphBox, 28.0 / kGlyphBox);
    // A white rim under every stroke keeps it visible on the dark chart lines and on white alike.
    Line(p, {15, 15}, {21, 21}, 6.4, kPaper);
    Line(p, {15, 15}, {21, 21}, 4.0, kInk);
    p.setPen(InkPen(4.0, kPaper));
    p.setBrush(QColor(255, 255, 255, 110));
    p.drawEllipse(QPointF(10, 10), 7, 7);
    p.setPen(InkPen(2.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(10, 10), 7, 7);
    Line(p, {6.5, 10}, {13.5, 10}, 2.0);
    Line(p, {10, 6.5}, {10, 13.5}, 2.0);
  }
  const int hot = static_cast<int>(std::lround(10 * 28.0 / kGlyphBox));
  return QCursor(pixmap, hot, hot);
}

QString ProgramIconSvg() {
  QStringList out;
  out << R"(<?xml version="1.0" encoding="UTF-8"?>)";
  out << R"(<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">)";
  for (const Shape& s : ProgramShapes()) {
    QString element = QStringLiteral(R"(  <path d="%1" fill="%2")")
                          .arg(SvgPath(s.path), s.fill.isValid() ? s.fill.name() : QStringLiteral("none"));
    if (s.path.fillRule() == Qt::OddEvenFill) {
      element += QStringLiteral(R"( fill-rule="evenodd")");
    }
    if (s.stroke.isValid()) {
      element += QStringLiteral(R"( stroke="%1" stroke-width="%2" stroke-linecap="round" stroke-linejoin="round")")
                     .arg(s.stroke.name(), Number(s.width));
    }
    out << element + "/>";
  }
  out << "</svg>";
  return out.join('\n') + '\n';
}

} // namespace nimbrel::pictures
