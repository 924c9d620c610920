// One QApplication for all the control tests, on Qt's offscreen platform: no display, and
// the same style, palette and fonts on every machine (only the DejaVu faces the project
// installs, through a font configuration of the tests' own).
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("FONTCONFIG_FILE", QZGSMS_UI_FONTS_CONF);
  QApplication::setStyle(QStringLiteral("Fusion"));
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
