// A static text with its own font, text colour and background, such as the character
// counter of the Send SMS dialog. Each setter redraws the label at once and returns it, so
// calls chain: label.SetFontName("LcdD").SetFontSize(18).SetText("0 / 160").
#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

#include "core/colors.h"

namespace qz::ui {

class CColorLabel : public QLabel {
  Q_OBJECT

 public:
  // Starts with the application's font, and the window-text colour and button-face
  // background of the palette it is created under: the system colours.
  explicit CColorLabel(QWidget* parent = nullptr);

  CColorLabel& SetText(const QString& text);
  CColorLabel& SetTextColour(Colour colour);
  // Back to the window-text colour it started with.
  CColorLabel& SetSystemTextColour();
  CColorLabel& SetBackgroundColour(Colour colour);
  // A face missing on this system falls back to a face that really is fixed-pitch (the
  // font database says so and its digits measure one width), never to a proportional one.
  CColorLabel& SetFontName(const QString& face);
  // The character height in pixels (the em height, without the line's extra leading).
  CColorLabel& SetFontSize(int height);

  QColor TextColour() const { return text_colour_; }
  QColor BackgroundColour() const { return background_; }
  // Paint passes so far, for checking that a setter redraws.
  int PaintCount() const { return paint_count_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void ApplyColours();
  void RedrawNow();

  QColor system_text_colour_;
  QColor text_colour_;
  QColor background_;
  int paint_count_ = 0;
};

}  // namespace qz::ui
