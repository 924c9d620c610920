// Where the report-table wrapper sends its errors: a modal box in the window front end
// (the caller waits until it is closed), a red log line in the headless one.
#pragma once

#include <string>

namespace qz {

class ErrorBox {
 public:
  virtual ~ErrorBox() = default;
  virtual void show(const std::string& title, const std::string& text) = 0;
};

}  // namespace qz
