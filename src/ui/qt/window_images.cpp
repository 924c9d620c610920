#include "ui/qt/window_images.h"

#include "ui/cell_images.h"

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
  if (index < 0 || index >= kPhoneImageCount) return {};
  return QStringLiteral(":/images/phone-%1.png").arg(QLatin1String(kPhoneImageNames[index]));
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
