// Send MMS: a text, a subject and up to two files (an image and a sound) to one number.
// The dialog only collects them; after it closes with Send, the window builds the file
// table and calls send_mms.
#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "ui/phone_number_history.h"
#include "ui/qt/dialogs/field_widgets.h"
#include "ui/send_fields.h"
#include "ui/qt/dialogs/prompt_box.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace qz {
class SettingsFile;
}

namespace qz::ui {

class CSendMmsDialog : public QDialog {
  Q_OBJECT

 public:
  // Longest values the fields take and Send accepts, in characters.
  static constexpr int kMaxPhoneNumber = kMaxMmsPhoneNumber;
  static constexpr int kMaxImagePath = kMaxMmsImagePath;
  static constexpr int kMaxSubject = kMaxMmsSubject;
  static constexpr int kMaxText = kMaxMmsText;

  // The phone-number history is read from, and after Send written to, `settings_file`.
  explicit CSendMmsDialog(SettingsFile& settings_file, QWidget* parent = nullptr);

  // How a refused field is reported; a modal box unless replaced.
  void SetPromptHandler(PromptHandler handler) { prompt_ = std::move(handler); }

  // The values as they stand (after Send: as sent). Number, subject and text are the
  // gateway's 8-bit text; the paths are file names as this system spells them.
  std::string PhoneNumber() const;
  std::string Text() const;
  std::string Subject() const;
  std::string ImagePath() const;
  std::string AudioPath() const;

 public slots:
  // Send: a field over its limit (put in whole, not typed) is refused and the dialog stays open; otherwise it closes
  // as confirmed. Either way the number goes into the history.
  void accept() override;

 private:
  std::optional<FieldProblem> FirstFieldOverItsLimit() const;
  void PickFile(QLineEdit* field, const QString& caption, const QString& filter);

  PhoneNumberHistory history_;
  PromptHandler prompt_ = ShowModalPromptBox;
  QComboBox* phone_number_ = nullptr;
  QPlainTextEdit* subject_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
  QLineEdit* image_path_ = nullptr;
  QLineEdit* audio_path_ = nullptr;
};

}  // namespace qz::ui
