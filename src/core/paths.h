// Folder settings are Windows-style strings. Read on Linux, every backslash is a slash
// and a drive prefix such as "C:" is dropped, so "\qzt\qzgsms" names /qzt/qzgsms; on
// Windows the drive stays and "\qzt\qzgsms" is on the current drive. A relative folder
// lies in the instance folder.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qz {

std::filesystem::path folder_from_setting(const std::filesystem::path& instance_folder,
                                          std::string_view value);

// The gateway's "%s.\%s" join of a folder setting and a file name.
std::filesystem::path join_folder_and_name(const std::filesystem::path& instance_folder,
                                           std::string_view folder, std::string_view name);

// The path a text names: folder settings, job values, names from a listing and the job
// journal are UTF-8 or, from older programs, bytes of the system's code page. UTF-8 is
// taken as UTF-8 (on Windows a plain string would be read in the code page, and a job file
// named "Störung.sms" would not be found again); anything else as the system takes bytes.
std::filesystem::path path_from_text(std::string_view text);

// `path` made absolute and normal, as the gateway shows a path in its lines.
std::string absolute_text(const std::filesystem::path& path);

}  // namespace qz
