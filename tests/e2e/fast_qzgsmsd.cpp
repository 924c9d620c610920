// qzgsmsd on a fast clock, for the end-to-end tests: the first argument is how many
// times faster than the world the gateway runs. Everything else is the real program.
#include <cstdlib>

#include "core/clock.h"
#include "headless.h"

int main(int argc, char** argv) {
  static qz::ScaledClock clock(argc > 1 ? std::atof(argv[1]) : 1.0);
  qz::set_clock(&clock);
  return run_headless_gateway();
}
