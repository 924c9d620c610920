#include "ui/qt/controls/color_label.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStringList>

#include "ui/qt/color_ref_qt.h"

namespace qz::ui {
namespace {

// What a counter shows ("0 / 160"): a face standing in for the LCD face must give all of
// these one width, or the text jitters as the count changes.
const QString kCounterCharacters = QStringLiteral("0123456789 /");

bool GivesOneWidth(const QString& family) {
  QFont font(family);
  font.setPixelSize(18);
  // A family the matcher replaces by another says nothing about itself.
  if (QFontInfo(font).family().compare(family, Qt::CaseInsensitive) != 0) return false;
  const QFontMetrics metrics(font);
  const int width = metrics.horizontalAdvance(kCounterCharacters.front());
  for (const QChar c : kCounterCharacters) {
    if (metrics.horizontalAdvance(c) != width) return false;
  }
  return width > 0;
}

// A face that is fixed-pitch, as the font database says and the glyphs measure: the
// system's fixed-pitch face where it is one (the alias "monospace" may resolve to a face
// that is not), else the first installed face that is. Failing that, any face that measures
// fixed; failing that, the system's choice, as good as any.
QString FixedPitchFace() {
  const QString system = QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family();
  QStringList candidates{system};
  candidates << QFontDatabase::families();
  for (const QString& family : candidates) {
    if (QFontDatabase::isFixedPitch(family) && GivesOneWidth(family)) return family;
  }
  for (const QString& family : candidates) {
    if (GivesOneWidth(family)) return family;
  }
  return system;
}

}  // namespace

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
  if (QFontDatabase::hasFamily(face)) {
    description.setFamilies({face});
  } else {
    description.setFamilies({face, FixedPitchFace()});
  }
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
