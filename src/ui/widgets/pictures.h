#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

// The program's pictures, painted in code so that they stay sharp at every size and screen scale:
// the program icon, the tool bar, the data window's buttons, the table's row icons, the start-up
// picture and the zoom cursor. Every picture keeps its proportions and is centred in the size asked.
namespace nimbrel::pictures {

enum class Id {
  Program, // a tipping-bucket rain gauge

  // Tool bar of the main window
  Open,
  SaveAs,
  Connect,
  Disconnect,
  DownloadData,
  InstrSetup,
  ClearTotalCounter,
  ClearPartialCounter,
  Handbook,

  // Buttons of the data window ("Save As..." uses SaveAs)
  CopyTable,
  CopyGraph,
  ZoomIn,
  ZoomInPressed, // the same magnifier, lit: zoom mode is on
  ZoomOut,
  ExportSheet,
  Print,

  // Icons of the data window's table rows
  RowPlain,
  RowRain,
  RowWarning, // temperature missing or invalid
};
inline constexpr Id kFirst = Id::Program;
inline constexpr Id kLast = Id::RowWarning;

// The sizes the windows show them at.
inline constexpr QSize kToolBarSize{26, 24};
inline constexpr QSize kDataButtonSize{34, 17};
inline constexpr QSize kRowIconSize{16, 16};

// A short lower-case name ("zoom-in-pressed"), for files and test messages.
QString Name(Id id);

// The picture painted into a transparent pixmap of `size` device-independent pixels at the given
// device pixel ratio. The disabled look is grey and faded.
QPixmap Pixmap(Id id, QSize size, qreal devicePixelRatio = 1.0, bool disabled = false);

// An icon that paints the picture afresh at whatever size and mode a widget asks for.
QIcon Icon(Id id);

// The start-up picture: the program icon, its name and what it is for, on a 420 x 260 card.
QPixmap Splash(qreal devicePixelRatio = 1.0);

// A magnifier with a plus sign; its hot spot is the centre of the lens.
QCursor ZoomCursor();

// The program icon as a scalable vector image (SVG text), drawn from the same shapes as `Pixmap`.
QString ProgramIconSvg();

} // namespace nimbrel::pictures
