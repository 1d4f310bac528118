#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

namespace nimbrel {

// A status bar pane of fixed width whose text and background colour always change together, as the
// link state does ("Disconnected" on yellow, a connection on green, a failure on red). The text is
// drawn dark or light, whichever reads better on the colour. Its accessible name is the pane's
// purpose and its accessible description the current text, so a screen reader says both.
class CColourStatusPane : public QLabel {
  Q_OBJECT
public:
  CColourStatusPane(const QString& accessibleName, int width, const QString& text, const QColor& background,
                    QWidget* parent = nullptr);

  void SetState(const QString& text, const QColor& background);
  [[nodiscard]] QColor Background() const { return background_; }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QColor background_;
};

} // namespace nimbrel
