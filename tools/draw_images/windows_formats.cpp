#include "windows_formats.h"

#include <QBuffer>
#include <cstdint>

namespace qz::images {
namespace {

void Put16(QByteArray& out, uint16_t v) {
  out.append(static_cast<char>(v & 0xFF));
  out.append(static_cast<char>(v >> 8));
}
void Put32(QByteArray& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.append(static_cast<char>((v >> shift) & 0xFF));
}

// BITMAPINFOHEADER, then the pixels bottom-up as B, G, R, A; `height_factor` 2 for an
// icon, whose header counts the AND mask's rows too.
QByteArray Dib(const QImage& source, int height_factor) {
  const QImage image = source.convertToFormat(QImage::Format_ARGB32);
  QByteArray out;
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(image.width()));
  Put32(out, static_cast<uint32_t>(image.height() * height_factor));
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, 0);  // BI_RGB
  Put32(out, static_cast<uint32_t>(image.width() * image.height() * 4));
  Put32(out, 2835);  // 72 dots per inch
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  for (int y = image.height() - 1; y >= 0; --y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) Put32(out, row[x]);  // 0xAARRGGBB: B, G, R, A in memory
  }
  return out;
}

}  // namespace

QByteArray BmpFile(const QImage& image) {
  const QByteArray dib = Dib(image, 1);
  QByteArray out("BM");
  Put32(out, static_cast<uint32_t>(14 + dib.size()));
  Put32(out, 0);
  Put32(out, 14 + 40);
  return out + dib;
}

QByteArray IcoFile(const std::vector<QImage>& images) {
  std::vector<QByteArray> entries;
  for (const QImage& image : images) {
    if (image.width() > 64) {
      QByteArray png;
      QBuffer buffer(&png);
      buffer.open(QIODevice::WriteOnly);
      image.save(&buffer, "PNG");
      entries.push_back(png);
      continue;
    }
    QByteArray entry = Dib(image, 2);
    // The AND mask: all 0, the alpha channel says what is transparent. Rows of whole
    // 32-bit words.
    const int mask_row = ((image.width() + 31) / 32) * 4;
    entry.append(QByteArray(mask_row * image.height(), '\0'));
    entries.push_back(entry);
  }
  QByteArray out;
  Put16(out, 0);
  Put16(out, 1);  // icon
  Put16(out, static_cast<uint16_t>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    out.append(static_cast<char>(images[i].width() >= 256 ? 0 : images[i].width()));
    out.append(static_cast<char>(images[i].height() >= 256 ? 0 : images[i].height()));
    out.append('\0');  // no palette
    out.append('\0');
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, static_cast<uint32_t>(entries[i].size()));
    Put32(out, offset);
    offset += static_cast<uint32_t>(entries[i].size());
  }
  for (const QByteArray& entry : entries) out += entry;
  return out;
}

}  // namespace qz::images
