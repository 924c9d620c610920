#include "core/paths.h"

#include <cctype>

namespace qz {

std::filesystem::path folder_from_setting(const std::filesystem::path& instance_folder,
                                          std::string_view value) {
  std::string text(value);
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  if (text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':') {
    text.erase(0, 2);
  }
  std::filesystem::path folder(text);
  if (folder.is_absolute()) return folder.lexically_normal();
  return (instance_folder / folder).lexically_normal();
}

std::filesystem::path join_folder_and_name(const std::filesystem::path& instance_folder,
                                           std::string_view folder, std::string_view name) {
  return folder_from_setting(instance_folder, folder) / std::string(name);
}

}  // namespace qz
