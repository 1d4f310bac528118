// Writes the desktop icons of the package from the program's own drawing, and on request a sheet
// of every picture for looking at them:
//   nimbrel-make-icons --hicolor DIR    DIR/hicolor/NxN/apps/nimbrel.png and scalable/apps/nimbrel.svg
//   nimbrel-make-icons --sheet FILE     every picture at its size, enlarged, disabled and on its button
#include "ui/widgets/colour_status_pane.h"
#include "ui/widgets/picture_button.h"
#include "ui/widgets/pictures.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>

#include <array>
#include <cstdio>
#include <vector>

namespace {

using nimbrel::pictures::Id;
namespace pictures = nimbrel::pictures;

bool WriteHicolor(const QString& root) {
  for (const int n : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(root).arg(n);
    if (!QDir().mkpath(dir) || !pictures::Pixmap(Id::Program, QSize(n, n)).save(dir + "/nimbrel.png", "PNG")) {
      std::fprintf(stderr, "nimbrel-make-icons: cannot write %s/nimbrel.png\n", qPrintable(dir));
      return false;
    }
  }
  const QString dir = root + "/hicolor/scalable/apps";
  QFile svg(dir + "/nimbrel.svg");
  if (!QDir().mkpath(dir) || !svg.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
      svg.write(pictures::ProgramIconSvg().toUtf8()) < 0) {
    std::fprintf(stderr, "nimbrel-make-icons: cannot write %s\n", qPrintable(svg.fileName()));
    return false;
  }
  return true;
}

QSize SizeOf(Id id) {
  if (id >= Id::Open && id <= Id::Handbook) {
    return pictures::kToolBarSize;
  }
  if (id >= Id::CopyTable && id <= Id::Print) {
    return pictures::kDataButtonSize;
  }
  if (id == Id::Program) {
    return {32, 32};
  }
  return pictures::kRowIconSize;
}

QImage Grab(QWidget& w) {
  return w.grab().toImage();
}

bool WriteSheet(const QString& file) {
  const int rowHeight = 110;
  const int count = static_cast<int>(pictures::kLast) + 1;
  QImage sheet(1240, 60 + count * rowHeight + 620, QImage::Format_ARGB32);
  sheet.fill(QColor(0xf2, 0xf2, 0xf2));
  QPainter p(&sheet);
  p.setPen(Qt::black);
  p.drawText(10, 20,
             "name | natural size | x4 nearest | 64 px | 64 px at ratio 2 | disabled | on its button: "
             "rest, pressed, disabled (data buttons 34x17, tool bar 26x24)");
  int y = 40;
  for (int i = 0; i < count; ++i, y += rowHeight) {
    const auto id = static_cast<Id>(i);
    const QSize natural = SizeOf(id);
    p.setPen(Qt::black);
    p.drawText(10, y + 20, pictures::Name(id));
    const QPixmap one = pictures::Pixmap(id, natural);
    p.drawPixmap(200, y, one);
    p.drawImage(QRect(250, y, natural.width() * 4, natural.height() * 4), one.toImage());
    p.drawPixmap(400, y, pictures::Pixmap(id, QSize(64, 64)));
    p.drawPixmap(480, y, pictures::Pixmap(id, QSize(64, 64), 2.0));
    p.drawPixmap(560, y, pictures::Pixmap(id, natural, 1.0, true));
    nimbrel::CPictureButton button(pictures::Icon(id), pictures::Name(id), natural);
    int x = 620;
    for (int look = 0; look < 3; ++look) {
      button.setDown(look == 1);
      button.setEnabled(look != 2);
      const QImage shot = Grab(button);
      p.drawImage(x, y, shot);
      p.drawImage(QRect(x, y + 22, shot.width() * 3, shot.height() * 3), shot);
      x += shot.width() * 3 + 16;
    }
  }
  p.drawPixmap(10, y, pictures::Splash());
  const QCursor cursor = pictures::ZoomCursor();
  p.fillRect(QRect(450, y, 140, 70), Qt::white);
  p.fillRect(QRect(590, y, 140, 70), QColor(0x30, 0x30, 0x30));
  p.drawPixmap(480, y + 20, cursor.pixmap());
  p.drawPixmap(620, y + 20, cursor.pixmap());
  p.drawImage(QRect(750, y, 128, 128), cursor.pixmap().toImage());
  int x = 450;
  for (const int n : {16, 22, 24, 32, 48, 64, 128, 256}) {
    p.drawPixmap(x, y + 300, pictures::Pixmap(Id::Program, QSize(n, n)));
    x += n + 10;
  }
  const std::array<std::pair<const char*, QColor>, 3> states{{{"Disconnected", QColor(255, 255, 0)},
                                                              {"Connected to COM1 9600 8,N,1", QColor(0, 255, 0)},
                                                              {"Error : connection failure", QColor(255, 0, 0)}}};
  int paneY = y + 300;
  for (const auto& [text, colour] : states) {
    nimbrel::CColourStatusPane pane("Connection", 200, text, colour);
    pane.resize(200, 22);
    p.drawImage(10, paneY, Grab(pane));
    paneY += 30;
  }
  p.end();
  return sheet.save(file, "PNG");
}

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen"); // a build step has no display
  }
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() == 3 && args[1] == "--hicolor") {
    return WriteHicolor(args[2]) ? 0 : 1;
  }
  if (args.size() == 3 && args[1] == "--sheet") {
    return WriteSheet(args[2]) ? 0 : 1;
  }
  std::fprintf(stderr, "usage: nimbrel-make-icons --hicolor DIR | --sheet FILE.png\n");
  return 2;
}
