// Pixel pictures for the control tests: a bitmap written as rows of characters, and an
// image read back as rows of characters, so a failing comparison shows where it differs.
#pragma once

#include <QImage>
#include <QRgb>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace qz::ui::testing {

// '#' pure black, anything else pure white.
inline QImage Bitmap(std::initializer_list<const char*> rows) {
  const int height = static_cast<int>(rows.size());
  const int width = height ? static_cast<int>(std::string(*rows.begin()).size()) : 0;
  QImage image(width, height, QImage::Format_RGB32);
  int y = 0;
  for (const char* row : rows) {
    for (int x = 0; x < width; ++x) image.setPixel(x, y, row[x] == '#' ? 0xFF000000u : 0xFFFFFFFFu);
    ++y;
  }
  return image;
}

// Each pixel as the character its colour is named by in `legend`, '?' for any other.
inline std::vector<std::string> Picture(const QImage& image, const std::map<QRgb, char>& legend) {
  const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
  std::vector<std::string> rows;
  for (int y = 0; y < pixels.height(); ++y) {
    std::string row;
    for (int x = 0; x < pixels.width(); ++x) {
      const auto it = legend.find(pixels.pixel(x, y) | 0xFF000000u);
      row += it == legend.end() ? '?' : it->second;
    }
    rows.push_back(row);
  }
  return rows;
}

}  // namespace qz::ui::testing
