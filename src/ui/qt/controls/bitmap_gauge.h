// A level gauge whose outline is a bitmap: the window takes the bitmap's shape (grown by
// one pixel for its edge), fills the shape from one end up to the position, solid or in a
// gradient between two colours, and draws a one-pixel sunken edge around it. The main
// window's signal meter is one, shaped as a stack of bars.
#pragma once

#include <QColor>
#include <QImage>
#include <QRegion>
#include <QWidget>

#include "core/colors.h"
#include "ui/gauge_fill.h"

namespace qz::ui {

class CBitmapGauge : public QWidget {
  Q_OBJECT

 public:
  using FillStyle = GaugeStyle;

  // A visible child of `parent` at (x, y), one pixel narrower and lower than `shape`, whose
  // black (any not pure white) pixels form the gauge. Null when `parent` or `shape` is
  // null. An all-white shape leaves the window rectangular.
  static CBitmapGauge* Create(QWidget* parent, int x, int y, const QImage& shape);

  void SetRange(int minimum, int maximum);
  // Each returns the previous value and repaints only on a change.
  int SetPosition(int position);
  FillStyle SetStyle(FillStyle style);
  void SetColours(Colour first, Colour second);

  int Minimum() const { return minimum_; }
  int Maximum() const { return maximum_; }
  int Position() const { return position_; }
  FillStyle Style() const { return style_; }
  QColor FirstColour() const { return first_; }
  QColor SecondColour() const { return second_; }
  QColor BackgroundColour() const { return background_; }
  const QRegion& ShapeRegion() const { return shape_region_; }

  // The client area as painted: background, fill clipped to the shape, sunken edge.
  QImage Render() const;
  // Paint passes so far, for checking what repaints.
  int PaintCount() const { return paint_count_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  CBitmapGauge(QWidget* parent, const QImage& shape);
  void FillLevel(QImage& image) const;
  void Invalidate();

  int minimum_ = 0;
  int maximum_ = 100;
  int position_ = 0;
  QColor first_{0, 0, 255};
  QColor second_{255, 0, 0};
  QColor background_;
  QImage shape_;
  QRegion shape_region_;
  FillStyle style_ = FillStyle::GradientRight;
  int paint_count_ = 0;
};

}  // namespace qz::ui
