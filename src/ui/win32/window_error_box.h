// Report-table errors in the window program: a modal box on the window's thread. The
// report thread that hit the error waits until the operator closes it (a message sent
// across threads returns only once handled), and meanwhile no job is reported or freed.
#pragma once

#include <windows.h>

#include <string>

#include "core/error_box.h"

namespace qz::ui::win32 {

struct ErrorBoxRequest {
  std::string title;
  std::string text;
};

class WindowErrorBox : public ErrorBox {
 public:
  // `window` outlives every worker thread that can report an error.
  explicit WindowErrorBox(HWND window) : window_(window) {}
  void show(const std::string& title, const std::string& text) override;

 private:
  HWND window_;
};

}  // namespace qz::ui::win32
