// zelsim: recorders of every model on TCP ports, ptys and an emulated modem, for tests and
// demonstrations. One recorder from the command line, or a fleet from a configuration file.
#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <thread>

#include "zel/catalogue.h"
#include "zel/platform/guarded_main.h"
#include "zel/sim/config.h"
#include "zel/sim/server.h"

namespace {

std::atomic<bool> g_stop{false};
void OnSignal(int) { g_stop.store(true); }

void Say(const std::string& text) {
  std::fputs(("zelsim: " + text + "\n").c_str(), stdout);
  std::fflush(stdout);
}

int Fail(const std::string& text) {
  std::fputs(("zelsim: " + text + "\n").c_str(), stderr);
  return 1;
}

}  // namespace

int Run(int argc, char** argv) {
  CLI::App app{
      "Recorder simulator: serves simulated event recorders on 127.0.0.1 ports, ptys "
      "and an emulated modem until SIGINT or SIGTERM."};
  std::string config_file, model, password, setup, prompt, pty;
  int tcp = -1;
  uint64_t seed = 1;
  double scale = 1.0;
  zel::sim::RecorderConfig rc;
  app.add_option("--config", config_file, "fleet configuration file (see sim/examples)");
  app.add_option("--model", model, "model: type number, display name or short name");
  app.add_option("--password", password, "administrative password (1-8 characters)");
  app.add_option("--tcp", tcp, "TCP port on 127.0.0.1 (0 picks a free one)");
  app.add_option("--pty", pty, "also a direct line: symlink to a new pty");
  app.add_option("--setup", setup, "setup database file (default: factory defaults)");
  app.add_option("--seed", seed, "seed of the event history");
  app.add_option("--scale", scale, "factor on the recorder's own delays")
      ->check(CLI::Range(1e-6, 100.0));
  app.add_option("--events-per-day", rc.events_per_day, "pulses a day in the event history")
      ->check(CLI::Range(0, 5000));
  app.add_option("--corrupt-rate", rc.faults.corrupt_rate, "rate of corrupted bytes sent")
      ->check(CLI::Range(0.0, 1.0));
  app.add_option("--drop-rate", rc.faults.drop_rate, "rate of lost bytes sent")
      ->check(CLI::Range(0.0, 1.0));
  app.add_option("--duplicate-rate", rc.duplicate_rate, "rate of XMODEM blocks sent twice")
      ->check(CLI::Range(0.0, 1.0));
  app.add_option("--disconnect-after", rc.faults.disconnect_after,
                 "cut the line after this many bytes sent");
  app.add_option("--bytes-per-second", rc.faults.bytes_per_second, "line speed (0: unpaced)")
      ->check(CLI::Range(0, 10000000));
  app.add_flag("--no-answer", rc.no_answer, "never answer anything");
  app.add_option("--prompt", prompt, "password prompt text (a wrong one, for fault tests)");
  std::string setup_answer;
  app.add_option("--setup-answer", setup_answer,
                 "what \"TD\" sends: database (default), eot (EOT only), one_block");
  app.add_option("--babble-ms", rc.babble_ms, "a noise byte this often: the line never falls quiet")
      ->check(CLI::Range(0, 600000));
  app.add_flag("--endless-transfers", rc.endless_transfers,
               "files sent never end: filler blocks follow, no EOT");
  app.add_option("--drip-ms", rc.drip_ms, "send each byte of a block alone, this far apart")
      ->check(CLI::Range(0, 600000));
  CLI11_PARSE(app, argc, argv);

  zel::sim::SimConfig cfg;
  if (!config_file.empty()) {
    if (!model.empty() || tcp >= 0) return Fail("give either --config or --model/--tcp, not both");
    std::ifstream in(config_file);
    if (!in) return Fail("cannot open the configuration file " + config_file);
    std::string err;
    if (!zel::sim::ParseConfig(in, cfg, &err)) return Fail(config_file + ": " + err);
  } else {
    if (model.empty() || (tcp < 0 && pty.empty()))
      return Fail("give --model and --tcp PORT (or --pty PATH), or --config FILE; see --help");
    rc.type = zel::ParseModel(model);
    if (rc.type < 0 || zel::sim::FindSimModel(rc.type) == nullptr)
      return Fail("unknown or unsupported model " + model + " (types 0-16 and 18)");
    if (!password.empty() && password.size() > 8)
      return Fail("a password has at most 8 characters");
    rc.name = "recorder";
    rc.password = password;
    rc.setup_file = setup;
    rc.seed = seed;
    rc.scale = scale;
    rc.faults.seed = static_cast<unsigned>(seed);
    if (!prompt.empty()) rc.prompt = prompt;
    if (!setup_answer.empty() && !zel::sim::ParseSetupAnswer(setup_answer, rc.setup_answer))
      return Fail("--setup-answer takes database, eot or one_block");
    zel::sim::RecorderEntry e;
    e.config = rc;
    e.tcp = tcp;
    e.pty = pty;
    cfg.recorders.push_back(e);
  }

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGPIPE, SIG_IGN);

  std::vector<std::unique_ptr<zel::sim::Recorder>> recorders;
  zel::sim::Fleet fleet;
  std::vector<zel::sim::DialEntry> dial_plan;
  for (const auto& e : cfg.recorders) {
    std::string err;
    auto r = zel::sim::Recorder::Create(e.config, &err);
    if (!r) return Fail(e.config.name + ": " + err);
    if (e.tcp >= 0) {
      int port = fleet.ListenTcp(*r, e.tcp, &err);
      if (port < 0) return Fail(e.config.name + ": " + err);
      Say(e.config.name + " (" + zel::TypeName(e.config.type) +
          ") listening on 127.0.0.1:" + std::to_string(port));
    }
    if (!e.pty.empty()) {
      std::string slave = fleet.AttachPty(*r, e.pty, &err);
      if (slave.empty()) return Fail(e.config.name + ": " + err);
      Say(e.config.name + " (" + zel::TypeName(e.config.type) + ") direct line on " + e.pty +
          " -> " + slave);
    }
    if (!e.phone.empty()) {
      zel::sim::DialEntry d;
      d.number = e.phone;
      d.recorder = r.get();
      dial_plan.push_back(d);
    }
    recorders.push_back(std::move(r));
  }
  for (const auto& m : cfg.modems) {
    std::vector<zel::sim::DialEntry> plan = m.numbers;
    plan.insert(plan.end(), dial_plan.begin(), dial_plan.end());
    std::string err;
    std::string slave = fleet.AttachModem(plan, cfg.scale, m.pty, &err);
    if (slave.empty()) return Fail(m.name + ": " + err);
    Say(m.name + " modem on " + m.pty + " -> " + slave);
  }
  Say("ready");
  while (!g_stop.load()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  fleet.Stop();
  for (const auto& r : recorders) {
    auto s = r->Stats();
    Say(r->config().name + ": " + std::to_string(s.connections) + " connections, " +
        std::to_string(s.logins) + " logins, " + std::to_string(s.queries) + " queries, " +
        std::to_string(s.setup_downloads) + " setup downloads, " + std::to_string(s.setup_uploads) +
        " uploads, " + std::to_string(s.failed_transfers) + " failed transfers");
  }
  return 0;
}

int main(int argc, char** argv) { return zel::platform::GuardedMain("zelsim", Run, argc, argv); }
