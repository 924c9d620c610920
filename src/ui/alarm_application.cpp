#include "ui/alarm_application.h"

#include "core/profile_file.h"
#include "ui/window_texts.h"

namespace qz::ui {

std::string AskSendWithQzgsms(const std::filesystem::path& alarm_folder,
                              const std::function<bool(const char* title, const char* text)>& ask) {
  ProfileFile flags(alarm_folder, "qzalarm.ini");
  if (flags.read_int("qzasms", "SendWithQzgsms", 0) != 0) return {};
  if (!ask(kQuestionTitle, kQuestionText)) return {};
  if (flags.write_text("qzasms", "SendWithQzgsms", "1")) return {};
  return "Could not set SendWithQzgsms=1 in " + flags.path().string();
}

}  // namespace qz::ui
