// qzgsmsd on a fast clock, for the end-to-end tests: the first argument is how many
// times faster than the world the gateway runs; the rest is qzgsmsd's own command line.
// Everything else is the real program.
#include <cstdlib>

#include "core/clock.h"
#include "headless.h"

int main(int argc, char** argv) {
  static qz::ScaledClock clock(argc > 1 ? std::atof(argv[1]) : 1.0);
  qz::set_clock(&clock);
  // The speed takes the place of the program's name, which qzgsmsd does not look at.
  if (argc > 1) return qzgsmsd_main(argc - 1, argv + 1);
  return qzgsmsd_main(argc, argv);
}
