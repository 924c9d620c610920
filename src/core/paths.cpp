#include "core/paths.h"

#include <cctype>
#include <system_error>

#include "core/utf8.h"

namespace qz {

std::filesystem::path path_from_text(std::string_view text) {
  if (is_utf8(text)) return std::filesystem::path(std::u8string(text.begin(), text.end()));
  return std::filesystem::path(std::string(text));
}

std::filesystem::path folder_from_setting(const std::filesystem::path& instance_folder,
                                          std::string_view value) {
  std::string text(value);
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  // A drive prefix means something only where paths have drives (Windows); elsewhere it
  // goes, and "\qzt\qzgsms" is the same folder as "C:\qzt\qzgsms". Where they have drives,
  // "\qzt\qzgsms" lies on the instance folder's drive, the current one.
  static const bool paths_have_drives = std::filesystem::path("C:").has_root_name();
  if (!paths_have_drives && text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) &&
      text[1] == ':') {
    text.erase(0, 2);
  }
  std::filesystem::path folder = path_from_text(text);
  folder = folder.is_absolute() ? folder.lexically_normal() : (instance_folder / folder).lexically_normal();
  // "jobs\" and "jobs" are one folder; the path keeps no empty last element, so its
  // parent is the folder above.
  if (!folder.has_filename() && folder.has_relative_path()) folder = folder.parent_path();
  return folder;
}

std::filesystem::path join_folder_and_name(const std::filesystem::path& instance_folder,
                                           std::string_view folder, std::string_view name) {
  return folder_from_setting(instance_folder, folder) / path_from_text(name);
}

std::string absolute_text(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return (ec ? path : absolute).lexically_normal().string();
}

}  // namespace qz
