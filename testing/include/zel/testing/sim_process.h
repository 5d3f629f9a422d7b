// The recorder simulator (zelsim) as a child process: started with a command line, the TCP
// ports of its recorders learnt from the lines it prints, stopped at the end with its closing
// statistics. Every wait is bounded; a child that does not end on SIGTERM is killed.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zeltest {

// What zelsim prints for one recorder when it stops; every field -1 when the line is missing.
struct SimStats {
  int connections = -1;
  int logins = -1;
  int queries = -1;
  int setup_downloads = -1;
  int uploads = -1;
  int failed_transfers = -1;
};

class SimProcess {
 public:
  // zelsim of this build (ProgramPath("zelsim")), or another program file.
  SimProcess();
  explicit SimProcess(std::string program);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Starts the program with `args` (a running child is stopped first) and waits up to
  // `timeout_ms` for "zelsim: ready". False, with the reason and what the child printed in
  // error(), when it did not get there; the child is then gone.
  bool Start(const std::vector<std::string>& args, int timeout_ms = 15000);
  // Writes a fleet configuration into `file` and starts zelsim with --config on it.
  bool StartFleet(const std::filesystem::path& file, const std::string& config,
                  int timeout_ms = 15000);

  bool running() const { return pid_ > 0; }
  // TCP port of the recorder called `name` ("recorder" when started with --model); -1 when no
  // such line was printed.
  int Port(const std::string& name = "recorder") const;

  // SIGTERM, then waits up to `timeout_ms` for the exit (collecting the last output); SIGKILL
  // when it has not ended by then. Returns the exit status (-1 when it was killed, ended by a
  // signal or never ran).
  int Stop(int timeout_ms = 5000);

  // The closing statistics of recorder `name`, after Stop().
  SimStats StatsOf(const std::string& name = "recorder") const;

  // Everything the child printed so far (stdout and stderr).
  const std::string& Output() const { return output_; }
  const std::string& error() const { return error_; }

 private:
  bool Fail(const std::string& why);
  // Reads what is there within `wait_ms`; false at the end of the output.
  bool ReadSome(int wait_ms);

  std::string program_;
  pid_t pid_ = -1;
  int fd_ = -1;
  std::string output_;
  std::string error_;
};

}  // namespace zeltest
