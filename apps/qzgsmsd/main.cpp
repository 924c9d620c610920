#include "headless.h"

int main() { return run_headless_gateway(); }
