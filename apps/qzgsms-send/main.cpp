// qzgsms-send: queues one alarm for a gateway and, with --wait, tells its outcome by the
// exit code (see gateway/send_alarm.h and qzgsms-send(1)).
#include <cstdio>

#include "core/program_arguments.h"
#include "gateway/send_alarm.h"

int main(int argc, char** argv) {
  return qz::qzgsms_send(qz::program_arguments(argc, argv), stdin, stdout, stderr);
}
