#include "core/program_arguments.h"

namespace qz {

std::vector<std::string> program_arguments(int argc, const char* const* argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return args;
}

}  // namespace qz
