// Draws the window's images into a folder (normally src/ui/images):
//   qzgsms-draw-images FOLDER
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>
#include <vector>

#include "drawings.h"
#include "windows_formats.h"

namespace {

using qz::images::PhoneColours;

struct NamedPhone {
  const char* name;
  PhoneColours colours;
};

// Index order of the job cells' images: grey and white first (a free slot), then green,
// blue (a job being sent), yellow, red, orange, magenta.
const NamedPhone kPhones[] = {
    {"grey", {QColor(0xF4, 0xF6, 0xF8), QColor(0x8C, 0x94, 0x9C), QColor(0x5F, 0x66, 0x6D), QColor(0xFF, 0xFF, 0xFF)}},
    {"green", {QColor(0x2E, 0xA0, 0x4A), QColor(0x25, 0x8A, 0x3E), QColor(0x14, 0x55, 0x24), QColor(0xF2, 0xFA, 0xF3)}},
    {"blue", {QColor(0x2F, 0x74, 0xD0), QColor(0x27, 0x62, 0xB4), QColor(0x15, 0x39, 0x6E), QColor(0xF1, 0xF6, 0xFD)}},
    {"yellow", {QColor(0xF5, 0xC5, 0x18), QColor(0xE3, 0xB0, 0x0C), QColor(0x8A, 0x68, 0x00), QColor(0xFF, 0xFC, 0xEE)}},
    {"red", {QColor(0xD8, 0x34, 0x2C), QColor(0xBE, 0x2A, 0x24), QColor(0x74, 0x16, 0x12), QColor(0xFD, 0xF1, 0xF0)}},
    {"orange", {QColor(0xF2, 0x8A, 0x1E), QColor(0xDB, 0x76, 0x12), QColor(0x86, 0x44, 0x05), QColor(0xFF, 0xF6, 0xEC)}},
    {"magenta", {QColor(0xC8, 0x3A, 0xB8), QColor(0xAE, 0x2E, 0xA0), QColor(0x68, 0x15, 0x5F), QColor(0xFC, 0xF0, 0xFB)}},
};

bool Save(const QImage& image, const QDir& folder, const QString& name) {
  const QString path = folder.filePath(name);
  if (!image.save(path, "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s  %dx%d\n", qPrintable(path), image.width(), image.height());
  return true;
}

bool SaveBytes(const QByteArray& bytes, const QDir& folder, const QString& name) {
  QFile file(folder.filePath(name));
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
    return false;
  }
  std::printf("%s  %lld bytes\n", qPrintable(file.fileName()), static_cast<long long>(bytes.size()));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  // Drawing needs fonts but no screen.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!folder.exists()) {
    std::fprintf(stderr, "no folder %s\n", argv[1]);
    return 1;
  }

  // Each image twice: a PNG for the Qt window, a BMP (and the icon file) for the Windows
  // window's resource script.
  bool ok = true;
  auto save_both = [&](const QImage& image, const QString& name) {
    ok &= Save(image, folder, name + QStringLiteral(".png"));
    ok &= SaveBytes(qz::images::BmpFile(image), folder, name + QStringLiteral(".bmp"));
  };
  for (const NamedPhone& phone : kPhones)
    save_both(qz::images::DrawTelephone(phone.colours), QStringLiteral("phone-%1").arg(QLatin1String(phone.name)));
  save_both(qz::images::DrawSignalShape(), QStringLiteral("signal-shape"));
  save_both(qz::images::DrawAboutLogo(), QStringLiteral("about-logo"));
  std::vector<QImage> icons;
  for (const int size : {32, 48, 64, 256}) {
    icons.push_back(qz::images::DrawApplicationIcon(size));
    ok &= Save(icons.back(), folder, QStringLiteral("app-icon-%1.png").arg(size));
  }
  ok &= SaveBytes(qz::images::IcoFile(icons), folder, QStringLiteral("app-icon.ico"));
  return ok ? 0 : 1;
}
