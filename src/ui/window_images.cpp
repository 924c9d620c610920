#include "ui/window_images.h"

#include <array>

// The resources live in a static library: without a reference from code that is linked
// anyway, the linker would drop them.
static void RegisterWindowImages() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(images);
    return true;
  }();
  (void)registered;
}

namespace qz::ui {

QString PhoneImagePath(int index) {
  RegisterWindowImages();
  static constexpr std::array<const char*, kPhoneImageCount> kNames = {
      "grey", "green", "blue", "yellow", "red", "orange", "magenta"};
  if (index < 0 || index >= kPhoneImageCount) return {};
  return QStringLiteral(":/images/phone-%1.png").arg(QLatin1String(kNames[index]));
}

QString SignalShapePath() {
  RegisterWindowImages();
  return QStringLiteral(":/images/signal-shape.png");
}

QString AboutLogoPath() {
  RegisterWindowImages();
  return QStringLiteral(":/images/about-logo.png");
}

QIcon ApplicationIcon() {
  RegisterWindowImages();
  QIcon icon;
  for (const int size : {32, 48, 64, 256})
    icon.addFile(QStringLiteral(":/images/app-icon-%1.png").arg(size), QSize(size, size));
  return icon;
}

}  // namespace qz::ui
