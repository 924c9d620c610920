#include "headless.h"

int main(int argc, char** argv) { return qzgsmsd_main(argc, argv); }
