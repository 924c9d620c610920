// Change SMSC: the SMS service centre's number and numbering plan. The dialog only edits
// them; after it closes with OK, the window stores them and calls set_smsc.
#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>
#include <string>

#include "ui/qt/dialogs/field_widgets.h"
#include "ui/send_fields.h"
#include "ui/qt/dialogs/prompt_box.h"

class QLineEdit;

namespace qz::ui {

class CSmscDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kMaxNumberLength = kMaxSmscNumber;

  // Opens on the service centre as the gateway holds it now.
  CSmscDialog(const std::string& number, int32_t numbering_plan, QWidget* parent = nullptr);

  // How a refused field is reported; a modal box unless replaced.
  void SetPromptHandler(PromptHandler handler) { prompt_ = std::move(handler); }

  // The number as the gateway's 8-bit text, and the plan (0 to 255 once OK has closed the
  // dialog; until then the plan it was opened with).
  std::string Number() const;
  int32_t NumberingPlan() const { return numbering_plan_; }

 public slots:
  // OK: a plan that is not a number from 0 to 255 is refused and the dialog stays open.
  void accept() override;

 private:
  std::optional<FieldProblem> FirstRefusedField(int64_t* plan) const;

  PromptHandler prompt_ = ShowModalPromptBox;
  QLineEdit* number_ = nullptr;
  QLineEdit* plan_ = nullptr;
  int32_t numbering_plan_;
};

}  // namespace qz::ui
