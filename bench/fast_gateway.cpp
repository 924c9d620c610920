// qzgsmsd on a fast clock, for the soak: the first argument is how many times faster than
// the world the gateway runs, so that hours of traffic fit in minutes; the rest is qzgsmsd's
// own command line. Everything else is the real program; the shipped qzgsmsd always runs
// in real time.
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
