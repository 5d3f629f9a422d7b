// A fleet of TCP/IP recorders in one process: every listener answers, the listeners cost no
// thread of their own, a port refuses connections beyond its bound, and stopping ends open
// connections.
#include "zel/sim/server.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "sim_test_util.h"

namespace zel::sim {
namespace {

const std::string kWake = "\x1b\x1b\x1b\x1b\x1b\x1bXY\x1b";

int ThreadsOfThisProcess() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
  }
  return -1;
}

TEST(Fleet, ManyListenersShareOneThreadAndEachAnswersItsOwnRecorder) {
  constexpr int kCount = 200;
  std::vector<std::unique_ptr<Recorder>> recorders;
  for (int i = 0; i < kCount; ++i) {
    RecorderConfig c;
    c.type = 3;
    c.password = "PW" + std::to_string(i);
    c.scale = 0.01;
    std::string err;
    recorders.push_back(Recorder::Create(c, &err));
    ASSERT_NE(recorders.back(), nullptr) << err;
  }
  const int before = ThreadsOfThisProcess();
  ASSERT_GT(before, 0);
  Fleet fleet;
  std::vector<int> ports;
  for (auto& r : recorders) {
    std::string err;
    ports.push_back(fleet.ListenTcp(*r, 0, &err));
    ASSERT_GT(ports.back(), 0) << err;
  }
  // One thread waits on every listener.
  EXPECT_LE(ThreadsOfThisProcess(), before + 1);

  // The last, the first and one in the middle at once, each logging in with its own password.
  std::vector<simtest::Client> clients;
  const std::vector<int> picked{kCount - 1, 0, kCount / 2};
  for (int i : picked) {
    clients.push_back(simtest::Client::Tcp(ports[i]));
    ASSERT_TRUE(clients.back().ok()) << i;
    clients.back().Send(kWake);
  }
  for (std::size_t k = 0; k < picked.size(); ++k) {
    ASSERT_TRUE(clients[k].WaitFor("Enter password: ", 5000)) << picked[k];
    clients[k].Send("PW" + std::to_string(picked[k]) + "\r");
    EXPECT_TRUE(clients[k].WaitFor("> ", 5000)) << picked[k] << " did not take its password";
  }
  for (int i : picked) EXPECT_EQ(recorders[i]->Stats().logins, 1) << i;
  EXPECT_EQ(recorders[1]->Stats().logins, 0);

  // Stopping ends the open connections and returns.
  fleet.Stop();
  for (auto& c : clients) {
    int b = 0;
    for (int n = 0; n < 10000 && b >= 0; ++n) b = c.ReadByte(5000);
    EXPECT_EQ(b, -2) << "the connection was closed";
  }
}

TEST(Fleet, APortRefusesConnectionsBeyondItsBound) {
  RecorderConfig c;
  c.type = 3;
  c.password = "PW";
  c.scale = 0.01;
  std::string err;
  auto rec = Recorder::Create(c, &err);
  ASSERT_NE(rec, nullptr) << err;
  Fleet fleet;
  const int port = fleet.ListenTcp(*rec, 0, &err);
  ASSERT_GT(port, 0) << err;
  std::vector<simtest::Client> held;
  for (int i = 0; i < kMaxConnectionsPerPort; ++i) {
    held.push_back(simtest::Client::Tcp(port));
    ASSERT_TRUE(held.back().ok());
    held.back().Send(kWake);
    // Served: the prompt comes.
    ASSERT_TRUE(held.back().WaitFor("Enter password: ", 5000)) << i;
  }
  auto extra = simtest::Client::Tcp(port);
  ASSERT_TRUE(extra.ok());
  EXPECT_EQ(extra.ReadByte(5000), -2) << "the connection over the bound is closed at once";
  // A place that becomes free is taken again.
  held.front().Close();
  bool served = false;
  for (int i = 0; i < 50 && !served; ++i) {
    auto again = simtest::Client::Tcp(port);
    again.Send(kWake);
    served = again.WaitFor("Enter password: ", 200);
  }
  EXPECT_TRUE(served);
}

}  // namespace
}  // namespace zel::sim
