// What the dialog tests share: a fresh instance folder with its settings file, boxes
// recorded instead of shown, and a check that a window's controls all fit.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QTemporaryDir>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/settings.h"
#include "ui/qt/dialogs/prompt_box.h"

namespace qz::ui::testing {

// The boxes a dialog would have shown, in order; the dialog carries on as after OK.
class RecordedPrompts {
 public:
  PromptHandler Handler() {
    return [this](QWidget*, const PromptBox& box) { boxes.push_back(box); };
  }
  std::vector<PromptBox> boxes;
};

class InstanceFolder {
 public:
  InstanceFolder() : folder_(dir_.path().toStdString()), file_(folder_) {}

  SettingsFile& file() { return file_; }
  const std::filesystem::path& folder() const { return folder_; }

  // The settings file as stored, byte for byte ("" when there is none).
  std::string Bytes() const {
    std::ifstream in(file_.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  void Write(const std::string& bytes) { std::ofstream(file_.path(), std::ios::binary) << bytes; }

 private:
  QTemporaryDir dir_;
  std::filesystem::path folder_;
  SettingsFile file_;
};

// Shows the window and lets it lay itself out.
inline void ShowNow(QWidget& window) {
  window.show();
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

// The application font for one scope; dialogs take their size from it when made.
class ScopedAppFont {
 public:
  explicit ScopedAppFont(int pixel_size) : saved_(QApplication::font()) {
    QFont font = saved_;
    font.setPixelSize(pixel_size);
    QApplication::setFont(font);
  }
  ~ScopedAppFont() { QApplication::setFont(saved_); }

 private:
  QFont saved_;
};

// Every visible control directly inside `container` lies within it, overlaps no other
// and has at least the room its content asks for, so no text is cut (a text box scrolls
// instead, so it only has to lie within its window).
inline void ExpectControlsFit(const QWidget& container) {
  std::vector<const QWidget*> controls;
  for (const QObject* child : container.children()) {
    const auto* widget = qobject_cast<const QWidget*>(child);
    if (widget && widget->isVisible() && !widget->isWindow()) controls.push_back(widget);
  }
  ASSERT_FALSE(controls.empty());
  auto name = [](const QWidget* w) {
    std::string text = w->metaObject()->className();
    if (const auto* label = qobject_cast<const QLabel*>(w))
      text += " \"" + label->text().toStdString() + '"';
    if (const auto* button = qobject_cast<const QAbstractButton*>(w))
      text += " \"" + button->text().toStdString() + '"';
    if (!w->objectName().isEmpty()) text += " " + w->objectName().toStdString();
    return text;
  };
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const QWidget* a = controls[i];
    EXPECT_TRUE(container.rect().contains(a->geometry())) << name(a) << " leaves its window";
    if (!qobject_cast<const QAbstractScrollArea*>(a)) {
      EXPECT_GE(a->width(), a->minimumSizeHint().width()) << name(a) << " is cut";
      EXPECT_GE(a->height(), a->minimumSizeHint().height()) << name(a) << " is cut";
    }
    for (std::size_t j = i + 1; j < controls.size(); ++j)
      EXPECT_FALSE(a->geometry().intersects(controls[j]->geometry()))
          << name(a) << " overlaps " << name(controls[j]);
  }
}

}  // namespace qz::ui::testing
