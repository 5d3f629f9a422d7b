// One simulated recorder: its setup database, password, clock and event memory, shared by every
// connection to it, and the terminal-style command protocol it speaks on a line.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "zel/catalogue.h"
#include "zel/setup_database.h"
#include "zel/sim/event_source.h"
#include "zel/sim/link.h"
#include "zel/sim/models.h"
#include "zel/sim/xmodem.h"

namespace zel::sim {

struct RecorderConfig {
  std::string name = "recorder";  // for the log
  int type = zel::model::kKrv517;
  std::string password;    // empty: the setup database's administrative password
  std::string setup_file;  // empty: factory defaults
  uint64_t seed = 1;
  double scale = 1.0;  // the recorder's own delays are multiplied by this
  int events_per_day = 24;
  // Faults
  FaultConfig faults;
  double duplicate_rate = 0;  // XMODEM block sent twice after its ACK
  bool no_answer = false;     // the recorder never says anything
  std::string prompt = "Enter password: ";
  // Misbehaviours
  enum class SetupAnswer { kDatabase, kEotOnly, kOneBlock };
  SetupAnswer setup_answer = SetupAnswer::kDatabase;  // what "TD" sends
  int babble_ms = 0;               // > 0: a noise byte this often (scaled) whenever idle
  bool endless_transfers = false;  // every file sent goes on with filler blocks, never EOT
  int drip_ms = 0;                 // > 0: each byte of a block sent alone, this far apart (scaled)
};

// What a recorder did, for tests and the log.
struct RecorderStats {
  int connections = 0;
  int logins = 0;
  int bad_passwords = 0;
  int clock_sets = 0;
  int setup_downloads = 0;
  int setup_uploads = 0;
  int rejected_uploads = 0;
  int queries = 0;
  int empty_queries = 0;
  int failed_transfers = 0;
  FaultCounts line;  // summed over connections
};

class Recorder {
 public:
  // nullptr and `error` set when the model cannot be simulated or the setup file is unusable.
  static std::unique_ptr<Recorder> Create(const RecorderConfig& config, std::string* error);

  // Speaks the protocol on one line until it closes, the peer logs off and leaves, or `stop`.
  void Serve(Link& line, const std::atomic<bool>& stop);

  const RecorderConfig& config() const { return config_; }
  const SimModel& model() const { return model_; }
  const EventSource& events() const { return source_; }

  std::vector<uint8_t> SetupImage() const;  // as "TD" sends it
  std::string Password() const;
  // Replaces the setup database with an uploaded image; false (nothing changed) when the image
  // is shorter than the model's fields.
  bool AcceptSetup(const std::vector<uint8_t>& image);

  // The recorder clock, local civil time in ms since 1 Jan 1970.
  int64_t NowMs() const;
  void SetClockMs(int64_t civil_ms);
  bool ClockWasSet() const;

  // The event file for a query of [start_ms, end_ms] (end inclusive to the whole second);
  // empty when the interval holds no events up to the recorder's present time.
  std::vector<uint8_t> QueryFile(int64_t start_ms, int64_t end_ms) const;

  RecorderStats Stats() const;
  // The analog value text of the live stream ("12.5", "-0.3", "200").
  std::string ValueText(int analog, int value) const;

  // Scaled waits of the recorder (ms).
  int ScaledMs(int ms) const;
  XmodemTimes Xmodem() const;

 private:
  friend class Session;
  Recorder(const RecorderConfig& config, const SimModel& model);
  void Count(int RecorderStats::*field);

  RecorderConfig config_;
  const SimModel& model_;
  EventSource source_;

  mutable std::mutex mu_;
  zel::SetupDatabase setup_;
  std::string password_;
  int64_t clock_offset_ms_ = 0;  // recorder clock minus the steady clock
  bool clock_set_ = false;
  RecorderStats stats_;
};

// Local civil time of the PC, ms since 1 Jan 1970.
int64_t LocalCivilNowMs();
// Civil ms from fields (year full, e.g. 2024).
int64_t CivilMs(int year, int month, int day, int hour, int minute, int second);

}  // namespace zel::sim
