// Why this process may not use a path, said so that its user knows what to do about it:
// which folder on the way stops them, and who may use it ("members of the group qzgsms").
// For programs run by people and scripts beside a gateway, such as qzgsms-send.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qz {

struct AccessProblem {
  std::filesystem::path where;  // the path itself, or the folder on its way that stops us
  int wanted = 0;               // what is needed of `where` (AccessWanted of files.h)
  int error = 0;                // why not (errno): EACCES, ENOENT, ...
};

// Nothing when this process may use `path` as `wanted` (AccessWanted, or-ed), each folder
// on its way included.
std::optional<AccessProblem> access_problem(const std::filesystem::path& path, int wanted);

// One line about `problem` with `path` called `what` ("the watch folder"):
//   "you may not write in the watch folder /srv/jobs (Permission denied): members of the group qzgsms may"
//   "you may not enter /var/lib/qzgsms/a (Permission denied), on the way to the watch folder /var/lib/qzgsms/a/jobs: ..."
//   "the watch folder /srv/jobs does not exist"
std::string access_problem_text(const AccessProblem& problem, const std::filesystem::path& path,
                                std::string_view what);

}  // namespace qz
