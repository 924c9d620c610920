#include "ui/controls/color_label.h"

#include <QFontDatabase>
#include <QFontInfo>

#include "ui/colour_ref.h"

namespace qz::ui {

CColorLabel::CColorLabel(QWidget* parent)
    : QLabel(parent),
      system_text_colour_(palette().color(QPalette::WindowText)),
      text_colour_(system_text_colour_),
      background_(palette().color(QPalette::Button)) {
  setAutoFillBackground(true);
  ApplyColours();
}

CColorLabel& CColorLabel::SetText(const QString& text) {
  setText(text);
  RedrawNow();
  return *this;
}

CColorLabel& CColorLabel::SetTextColour(Colour colour) {
  text_colour_ = ToQColor(colour);
  ApplyColours();
  RedrawNow();
  return *this;
}

CColorLabel& CColorLabel::SetSystemTextColour() {
  text_colour_ = system_text_colour_;
  ApplyColours();
  RedrawNow();
  return *this;
}

CColorLabel& CColorLabel::SetBackgroundColour(Colour colour) {
  background_ = ToQColor(colour);
  ApplyColours();
  RedrawNow();
  return *this;
}

CColorLabel& CColorLabel::SetFontName(const QString& face) {
  QFont description = font();
  // The fixed-pitch system font names an alias ("monospace"); the face it resolves to is
  // what the font matcher needs as a second choice.
  const QString fixed = QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family();
  description.setFamilies({face, fixed});
  setFont(description);
  RedrawNow();
  return *this;
}

CColorLabel& CColorLabel::SetFontSize(int height) {
  QFont description = font();
  description.setPixelSize(height);
  setFont(description);
  RedrawNow();
  return *this;
}

void CColorLabel::paintEvent(QPaintEvent* event) {
  ++paint_count_;
  QLabel::paintEvent(event);
}

void CColorLabel::ApplyColours() {
  QPalette colours = palette();
  // A disabled label keeps the style's grey text.
  for (const auto group : {QPalette::Active, QPalette::Inactive})
    colours.setColor(group, QPalette::WindowText, text_colour_);
  colours.setColor(QPalette::All, QPalette::Window, background_);
  setPalette(colours);
}

void CColorLabel::RedrawNow() { repaint(); }

}  // namespace qz::ui
