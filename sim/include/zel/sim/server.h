// Where the simulated recorders can be reached: TCP ports on 127.0.0.1, ptys as direct lines,
// and ptys with an emulated modem. One thread waits on every TCP listener at once; each open
// connection, direct line and modem has a thread of its own.
#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "zel/sim/modem.h"
#include "zel/sim/recorder.h"

namespace zel::sim {

// A pseudo-terminal whose slave side is published as a symlink.
class Pty {
 public:
  // Opens a pty pair in raw mode; `link_path` (may be empty) becomes a symlink to the slave.
  static std::unique_ptr<Pty> Open(const std::string& link_path, std::string* error);
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  int master() const { return master_; }
  int close_watch() const { return watch_; }  // inotify: closes of the slave, -1 if none
  const std::string& slave_path() const { return slave_; }
  const std::string& link_path() const { return link_; }

 private:
  Pty() = default;
  int master_ = -1;
  int watch_ = -1;
  std::string slave_;
  std::string link_;
};

class Fleet {
 public:
  Fleet() = default;
  ~Fleet();
  Fleet(const Fleet&) = delete;
  Fleet& operator=(const Fleet&) = delete;

  // Listens on 127.0.0.1:port (0 = any free port). Returns the port, or -1 with `error` set.
  int ListenTcp(Recorder& recorder, int port, std::string* error);
  // A direct line on a pty. Returns the slave path, or "" with `error` set.
  std::string AttachPty(Recorder& recorder, const std::string& link_path, std::string* error);
  // A modem on a pty. Returns the slave path, or "" with `error` set.
  std::string AttachModem(std::vector<DialEntry> plan, double scale, const std::string& link_path,
                          std::string* error);

  // Stops every listener and connection and waits for their threads.
  void Stop();
  const std::atomic<bool>& stop_flag() const { return stop_; }

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  struct Listener {
    int fd = -1;
    Recorder* recorder = nullptr;
    std::atomic<int> active{0};  // open connections, at most kMaxConnectionsPerPort
  };
  void Spawn(std::function<void()> body);
  void Reap();
  bool StartAcceptorLocked(std::string* error);
  void AcceptLoop();

  std::atomic<bool> stop_{false};
  std::mutex mu_;
  std::list<Worker> workers_;
  std::vector<std::unique_ptr<Listener>> listeners_;
  int epoll_fd_ = -1;  // every listener and the wake-up
  int wake_fd_ = -1;   // written by Stop
  std::vector<std::unique_ptr<Pty>> ptys_;
  std::vector<std::unique_ptr<Modem>> modems_;
};

constexpr int kMaxConnectionsPerPort = 32;

}  // namespace zel::sim
