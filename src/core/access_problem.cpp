#include "core/access_problem.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "core/file_owners.h"
#include "core/files.h"
#include "core/system_error.h"

namespace qz {

namespace fs = std::filesystem;

namespace {

// The mode's bits (r 4, w 2, x 1) that `wanted` needs.
unsigned mode_bits(int wanted) {
  return ((wanted & kAccessRead) ? 4u : 0u) | ((wanted & kAccessWrite) ? 2u : 0u) | ((wanted & kAccessEnter) ? 1u : 0u);
}

std::string verb(int wanted, bool folder) {
  if (wanted & kAccessWrite) return folder ? "write in" : "write";
  if (wanted & kAccessRead) return "read";
  return "enter";
}

// Who may do what this process may not, by the mode and the owners of `where`; empty
// where files have no owners.
std::string who_may(const fs::path& where, int wanted) {
  std::optional<FileInfo> info = entry_info(where);
  std::optional<FileOwners> owners = file_owners(where);
  if (!info || !owners || info->kind == FileKind::kSymbolicLink) return "";
  const unsigned need = mode_bits(wanted);
  if ((((info->permissions >> 3) & 7u) & need) == need) return "members of the group " + owners->group + " may";
  if ((((info->permissions >> 6) & 7u) & need) == need) return "only its owner " + owners->user + " may";
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", info->permissions & 07777u);
  return std::string("nobody may (its mode is ") + mode + ")";
}

}  // namespace

std::optional<AccessProblem> access_problem(const fs::path& path, int wanted) {
  std::error_code ec;
  const fs::path full = fs::absolute(path, ec).lexically_normal();
  fs::path folder;
  for (auto part = full.begin(); part != full.end(); ++part) {
    if (std::next(part) == full.end()) break;
    folder /= *part;
    if (!folder.has_relative_path()) continue;  // the root is always entered
    if (int error = access_error(folder, kAccessEnter)) return AccessProblem{folder, kAccessEnter, error};
  }
  if (int error = access_error(full, wanted)) return AccessProblem{full, wanted, error};
  return std::nullopt;
}

std::string access_problem_text(const AccessProblem& problem, const fs::path& path, std::string_view what) {
  const std::string named = std::string(what) + " " + path.string();
  if (problem.error == ENOENT || problem.error == ENOTDIR) return named + " does not exist";
  std::error_code ec;
  const bool is_path = problem.where == fs::absolute(path, ec).lexically_normal();
  std::string text = "you may not " + verb(problem.wanted, fs::is_directory(problem.where, ec)) + " " +
                     (is_path ? named : problem.where.string()) + " (" +
                     error_text(problem.error) + ")";
  if (!is_path) text += ", on the way to " + named;
  if (std::string who = who_may(problem.where, problem.wanted); !who.empty()) text += ": " + who;
  return text;
}

}  // namespace qz
