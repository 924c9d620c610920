// qzgsms-bench: speed and memory figures of the gateway.
//
//   pick-up   the real qzgsmsd against the modem simulator: from a job file renamed into
//             the watch folder to the first command of its SMS on the modem line
//   report    one report-table update in a table of 1 000 and of 1 000 000 records
//             (Google Benchmark; --benchmark_* options apply to this part)
//   idle      CPU time and resident memory of an idle qzgsmsd
//   idle-many 32 idle qzgsmsd side by side: CPU time, memory and wake-ups of them all
//   modem-return  the modem unplugged for 90 s with an alarm dropped meanwhile: from its
//             return to that alarm's acceptance, with the gateway restarted after each exit
//   send      qzgsms-send --wait, 20 alarms one at a time: from its start to the modem's
//             AT+CMGS, and from the modem's acceptance to its end with the outcome
//   soak      10 000 jobs (a tenth malformed, one in twenty meeting a modem fault) through
//             qzgsmsd on a fast clock: none lost or sent twice, descriptors, threads and
//             memory flat; only with --only=soak, as it takes minutes
//
// Prints what each part measures as it goes and a summary at the end. Exit code 1 when a
// part could not be measured.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "measurements.h"

namespace {

using qz::bench::Options;

void usage() {
  std::printf(
      "usage: qzgsms-bench [--only=pickup,report,idle,idle-many,modem-return,send,soak] [--jobs=N]\n"
      "                    [--idle-secs=N] [--instances=N] [--gone-secs=N]\n"
      "                    [--sends=N] [--soak-jobs=N] [--soak-speed=X] [--gateway=PATH]\n"
      "                    [--fast-gateway=PATH] [--scratch=DIR] [--keep] [--benchmark_...]\n"
      "  --jobs         job files for the pick-up latency (default 100, at most 1000)\n"
      "  --idle-secs    how long the idle gateway is watched (default 60, at most 600)\n"
      "  --instances    gateways idling side by side (default 32, at most 64)\n"
      "  --gone-secs    how long the modem stays unplugged (default 90, at most 300)\n"
      "  --sends        alarms queued by qzgsms-send --wait (default 20, at most 1000)\n"
      "  --soak-jobs    job files through the soak (default 10000)\n"
      "  --soak-speed   how much faster than the world the soak's gateway runs (default 50)\n"
      "  --gateway      the qzgsmsd program (default: the one built with this program)\n"
      "  --fast-gateway qzgsmsd on a fast clock, for the soak (default: the one built here)\n"
      "  --scratch    where instance folders and tables are made (default: the temp folder)\n"
      "  --keep       leave them there afterwards\n");
}

bool parse(int argc, char** argv, Options& o) {
  o.gateway = QZGSMS_GATEWAY_PROGRAM;
  o.fast_gateway = QZGSMS_FAST_GATEWAY_PROGRAM;
  o.send = QZGSMS_SEND_PROGRAM;
  o.scratch = std::filesystem::temp_directory_path();
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char* key) -> const char* {
      size_t n = std::strlen(key);
      return a.compare(0, n, key) == 0 ? argv[i] + n : nullptr;
    };
    if (const char* v = value("--jobs=")) o.jobs = std::clamp(std::atoi(v), 1, 1000);
    else if (const char* v = value("--idle-secs=")) o.idle_seconds = std::clamp(std::atoi(v), 1, 600);
    else if (const char* v = value("--instances=")) o.idle_instances = std::clamp(std::atoi(v), 1, 64);
    else if (const char* v = value("--gone-secs=")) o.gone_seconds = std::clamp(std::atoi(v), 1, 300);
    else if (const char* v = value("--sends=")) o.sends = std::clamp(std::atoi(v), 1, 1000);
    else if (const char* v = value("--soak-jobs=")) o.soak_jobs = std::clamp(std::atoi(v), 10, 1000000);
    else if (const char* v = value("--soak-speed=")) o.soak_speed = std::clamp(std::atof(v), 1.0, 200.0);
    else if (const char* v = value("--gateway=")) o.gateway = v;
    else if (const char* v = value("--fast-gateway=")) o.fast_gateway = v;
    else if (const char* v = value("--scratch=")) o.scratch = v;
    else if (a == "--keep") o.keep = true;
    else if (const char* v = value("--only=")) {
      std::string parts = std::string(",") + v + ",";
      o.pickup = parts.find(",pickup,") != std::string::npos;
      o.report = parts.find(",report,") != std::string::npos;
      o.idle = parts.find(",idle,") != std::string::npos;
      o.soak = parts.find(",soak,") != std::string::npos;
      o.idle_many = parts.find(",idle-many,") != std::string::npos;
      o.modem_return = parts.find(",modem-return,") != std::string::npos;
      o.send_wait = parts.find(",send,") != std::string::npos;
    } else {
      usage();
      return false;
    }
  }
  return true;
}

void print_spread(const char* what, const qz::bench::Spread& s) {
  if (s.count == 0) {
    std::printf("  %-36s  (none)\n", what);
    return;
  }
  std::printf("  %-36s %8.1f %8.1f %8.1f %8.1f\n", what, s.median, s.p95, s.min, s.max);
}

std::string per_update(double seconds) {
  char text[32];
  if (seconds <= 0) return "-";
  if (seconds >= 1e-3) std::snprintf(text, sizeof text, "%.3f ms", seconds * 1e3);
  else std::snprintf(text, sizeof text, "%.1f us", seconds * 1e6);
  return text;
}

void print_soak(const qz::bench::SoakResult& s, const Options& o) {
  std::printf("Soak, %d jobs through qzgsmsd on a %.0fx clock, at most 30 waiting%s\n", s.jobs, o.soak_speed,
              s.problem.empty() ? "" : (" -- " + s.problem).c_str());
  std::printf("  jobs %d (%d malformed), modem faults %d set up, %d met\n", s.jobs, s.malformed, s.faults,
              s.faults_met);
  std::printf("  sends %d, lost %d, duplicated %d, misfiled %d, report rows wrong %d\n", s.sends, s.lost,
              s.duplicated, s.misfiled, s.rows_wrong);
  std::printf("  reported failed after their tries %d%s%s%s\n", s.failed, s.failed ? " (" : "",
              s.failed_kinds.c_str(), s.failed ? ")" : "");
  std::printf("  done/ %d, error/ %d; exit code after SIGTERM %s\n", s.done_files, s.error_files,
              s.exit_code ? std::to_string(*s.exit_code).c_str() : "none (did not stop)");
  std::printf("  %-14s %8s %8s %8s\n", "", "start", "middle", "end");
  std::printf("  %-14s %8d %8d %8d\n", "jobs filed", s.start.filed, s.middle.filed, s.end.filed);
  std::printf("  %-14s %8d %8d %8d\n", "open fds", s.start.open_fds, s.middle.open_fds, s.end.open_fds);
  std::printf("  %-14s %8d %8d %8d\n", "threads", s.start.threads, s.middle.threads, s.end.threads);
  std::printf("  %-14s %8.1f %8.1f %8.1f  (%s)\n", "RSS MiB", s.start.rss_kib / 1024.0, s.middle.rss_kib / 1024.0,
              s.end.rss_kib / 1024.0, s.flat ? "flat" : "GROWING");
  if (s.wall_seconds > 0)
    std::printf("  wall time %.1f s, %.1f jobs/s\n", s.wall_seconds, s.end.filed / s.wall_seconds);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);  // takes the --benchmark_* options out
  Options options;
  if (!parse(argc, argv, options)) return 2;
  bool failed = false;

  std::vector<qz::bench::ReportUpdateResult> updates;
  if (options.report) {
    std::printf("=== report update ===\n");
    std::fflush(stdout);
    updates = qz::bench::measure_report_updates(options);
    if (updates.empty()) failed = true;
  }

  qz::bench::PickupResult pickup;
  if (options.pickup) {
    std::printf("\n=== pick-up latency: %d jobs, one at a time ===\n", options.jobs);
    std::fflush(stdout);
    pickup = qz::bench::measure_pickup(options);
    if (!pickup.ok) {
      std::printf("  failed: %s\n", pickup.problem.c_str());
      failed = true;
    }
  }

  qz::bench::IdleResult idle;
  if (options.idle) {
    std::printf("\n=== idle gateway: %d s ===\n", options.idle_seconds);
    std::fflush(stdout);
    idle = qz::bench::measure_idle(options);
    if (!idle.ok) {
      std::printf("  failed: %s\n", idle.problem.c_str());
      failed = true;
    }
  }

  qz::bench::IdleManyResult idle_many;
  if (options.idle_many) {
    std::printf("\n=== %d idle gateways: %d s ===\n", options.idle_instances, options.idle_seconds);
    std::fflush(stdout);
    idle_many = qz::bench::measure_idle_many(options);
    if (!idle_many.ok) {
      std::printf("  failed: %s\n", idle_many.problem.c_str());
      failed = true;
    }
  }

  qz::bench::ModemReturnResult modem_return;
  if (options.modem_return) {
    std::printf("\n=== modem return: unplugged for %d s ===\n", options.gone_seconds);
    std::fflush(stdout);
    modem_return = qz::bench::measure_modem_return(options);
    if (!modem_return.ok) {
      std::printf("  failed: %s\n", modem_return.problem.c_str());
      failed = true;
    }
  }

  qz::bench::SendResult send;
  if (options.send_wait) {
    std::printf("\n=== qzgsms-send --wait: %d alarms, one at a time ===\n", options.sends);
    std::fflush(stdout);
    send = qz::bench::measure_send(options);
    if (!send.ok) {
      std::printf("  failed: %s\n", send.problem.c_str());
      failed = true;
    }
  }

  qz::bench::SoakResult soak;
  if (options.soak) {
    std::printf("\n=== soak: %d jobs on a %.0fx clock, at most 30 waiting ===\n", options.soak_jobs,
                options.soak_speed);
    std::fflush(stdout);
    soak = qz::bench::measure_soak(options);
    if (!soak.ok) {
      std::printf("  failed: %s\n", soak.problem.c_str());
      failed = true;
    }
  }

  std::printf("\n================ qzgsms benchmark summary ================\n");
  if (options.pickup) {
    std::printf("Pick-up latency, %d of %d mini-message jobs (ms)\n", pickup.to_first_command.count,
                options.jobs);
    std::printf("  %-36s %8s %8s %8s %8s\n", "", "median", "p95", "min", "max");
    print_spread("job renamed in -> AT+CSMP received", pickup.to_first_command);
    print_spread("job renamed in -> SMS text submitted", pickup.to_submitted);
    print_spread("job renamed in -> filed in done/", pickup.to_filed);
    print_spread("SMS text submitted -> filed in done/", pickup.sent_to_filed);
    if (pickup.startup_seconds > 0)
      std::printf("  start-up of qzgsmsd until it takes jobs: %.1f s\n", pickup.startup_seconds);
  }
  if (options.report) {
    std::printf("Report update (Open, Go, 4 writes, 1 read, Close), record near the end\n");
    std::printf("  %-12s %18s %18s\n", "records", "auto-flush on", "auto-flush off");
    auto find = [&](long records, bool flush) -> double {
      for (const auto& u : updates)
        if (u.records == records && u.auto_flush == flush) return u.seconds_per_update;
      return 0;
    };
    for (long records : {1000L, 1000000L})
      std::printf("  %-12ld %18s %18s\n", records, per_update(find(records, true)).c_str(),
                  per_update(find(records, false)).c_str());
    auto ratio = [&](bool flush) {
      double small = find(1000, flush), large = find(1000000, flush);
      return small > 0 && large > 0 ? large / small : 0.0;
    };
    std::printf("  %-12s %17.2fx %17.2fx\n", "1M / 1k", ratio(true), ratio(false));
  }
  if (options.idle) {
    if (idle.ok) {
      std::printf("Idle gateway over %.0f s (signal poll every 5 s, incoming poll on)\n", idle.seconds);
      std::printf("  CPU time          %.2f s = %.3f %% of one core (run time by schedstat %.3f s)\n",
                  idle.cpu_seconds, 100.0 * idle.cpu_seconds / idle.seconds, idle.on_cpu_seconds);
      std::printf("  resident memory   %.1f MiB at start, %.1f MiB at end, peak %.1f MiB\n",
                  idle.rss_start_kib / 1024.0, idle.rss_end_kib / 1024.0, idle.hwm_kib / 1024.0);
      std::printf("  threads %d, %.1f wake-ups/s; modem commands received: %zu (%s)\n", idle.threads,
                  idle.wakeups_per_second, idle.modem_commands, idle.command_mix.c_str());
    } else {
      std::printf("Idle gateway: not measured (%s)\n", idle.problem.c_str());
    }
  }
  if (options.idle_many) {
    if (idle_many.ok) {
      std::printf("%d idle gateways over %.0f s (signal poll every 5 s, incoming poll on)\n", idle_many.instances,
                  idle_many.seconds);
      std::printf("  CPU time          %.2f s = %.3f %% of one core, %.3f %% of the machine's %u\n",
                  idle_many.cpu_seconds, 100.0 * idle_many.cpu_seconds / idle_many.seconds,
                  100.0 * idle_many.cpu_seconds / idle_many.seconds / std::max(1u, std::thread::hardware_concurrency()),
                  std::max(1u, std::thread::hardware_concurrency()));
      std::printf("  resident memory   %.1f MiB in all, %.1f MiB each\n", idle_many.rss_kib / 1024.0,
                  idle_many.rss_kib / 1024.0 / idle_many.instances);
      std::printf("  %.1f wake-ups/s in all, %.2f each\n", idle_many.wakeups_per_second,
                  idle_many.wakeups_per_second / idle_many.instances);
    } else {
      std::printf("%d idle gateways: not measured (%s)\n", options.idle_instances, idle_many.problem.c_str());
    }
  }
  if (options.modem_return) {
    if (modem_return.ok) {
      std::printf("Modem unplugged for %d s, an alarm dropped meanwhile\n", modem_return.gone_seconds);
      std::printf("  modem back -> status says modem up  %.1f s\n", modem_return.to_modem_up);
      std::printf("  modem back -> that alarm accepted   %.1f s (sent %d time(s), %d gateway start(s))\n",
                  modem_return.to_first_alarm, modem_return.sent, modem_return.starts);
    } else {
      std::printf("Modem return: not measured (%s)\n", modem_return.problem.c_str());
    }
  }
  if (options.send_wait) {
    std::printf("qzgsms-send --wait, %d of %d mini-messages (ms)\n", send.to_cmgs.count, options.sends);
    std::printf("  %-36s %8s %8s %8s %8s\n", "", "median", "p95", "min", "max");
    print_spread("qzgsms-send started -> AT+CMGS", send.to_cmgs);
    print_spread("text accepted -> qzgsms-send ended", send.accepted_to_return);
  }
  if (options.soak) print_soak(soak, options);
  benchmark::Shutdown();
  return failed ? 1 : 0;
}
