// FdTransport over socket pairs and pipes: reads never wait, writes go out whole, readiness
// waits end on data, on the time-out, and on a hang-up without spinning.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "zel/comm/fd_transport.h"
#include "zel/platform/clock.h"
#include "zel/testing/wait.h"

namespace zel::comm {
namespace {

using zel::platform::MonotonicMs;

struct Pair {
  int a = -1, b = -1;
  Pair() {
    int sv[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    a = sv[0];
    b = sv[1];
  }
  ~Pair() {
    if (b >= 0) close(b);
  }
};

TEST(FdTransport, ReadByteNeverWaitsAndReturnsEveryByteInOrder) {
  Pair p;
  FdTransport t(p.a);
  EXPECT_EQ(t.ReadByte(), -1);  // a read that waited would hang here on the silent line
  std::vector<uint8_t> sent;
  for (int i = 0; i < 5000; ++i) sent.push_back(static_cast<uint8_t>(i * 7));
  ASSERT_EQ(write(p.b, sent.data(), sent.size()), static_cast<ssize_t>(sent.size()));
  std::vector<uint8_t> got;
  while (got.size() < sent.size() && t.WaitReadable(1000)) {
    int c;
    while ((c = t.ReadByte()) >= 0) got.push_back(static_cast<uint8_t>(c));
  }
  EXPECT_EQ(got, sent);
  EXPECT_EQ(t.ReadByte(), -1);
  EXPECT_FALSE(t.HungUp());
}

TEST(FdTransport, HighByteValuesAreNotNegative) {
  Pair p;
  FdTransport t(p.a);
  const uint8_t v[] = {0x00, 0xFF, 0x80, 0x1B};
  ASSERT_EQ(write(p.b, v, 4), 4);
  ASSERT_TRUE(t.WaitReadable(1000));
  EXPECT_EQ(t.ReadByte(), 0x00);
  EXPECT_EQ(t.ReadByte(), 0xFF);
  EXPECT_EQ(t.ReadByte(), 0x80);
  EXPECT_EQ(t.ReadByte(), 0x1B);
}

TEST(FdTransport, WriteSendsEverythingEvenWhenTheLineIsFull) {
  Pair p;
  int small = 4096;
  setsockopt(p.a, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
  FdTransport t(p.a);
  std::vector<uint8_t> data(1 << 20);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i ^ (i >> 8));
  std::vector<uint8_t> got;
  std::thread reader([&] {
    uint8_t buf[1000];
    while (got.size() < data.size()) {
      ssize_t r = read(p.b, buf, sizeof buf);
      if (r <= 0) break;
      got.insert(got.end(), buf, buf + r);
    }
  });
  EXPECT_EQ(t.Write(data.data(), data.size()), static_cast<int>(data.size()));
  reader.join();
  EXPECT_EQ(got, data);
}

TEST(FdTransport, WriteGivesUpWhenTheLineTakesNothing) {
  Pair p;
  FdTransport t(p.a);
  t.SetWriteStallMs(100);
  std::vector<uint8_t> data(8 << 20, 0x55);  // far more than a socket buffer holds
  EXPECT_EQ(t.Write(data.data(), data.size()), -1);
}

TEST(FdTransport, WriteToAClosedPeerFailsWithoutKillingTheProcess) {
  Pair p;
  FdTransport t(p.a);
  close(p.b);
  p.b = -1;
  const uint8_t x[] = {1, 2, 3};
  // The first write may still be accepted by the kernel; a later one must fail.
  int r1 = t.Write(x, 3);
  int r2 = t.Write(x, 3);
  EXPECT_TRUE(r1 == -1 || r2 == -1);
}

TEST(FdTransport, WaitReadableTimesOutAndWakesOnData) {
  Pair p;
  FdTransport t(p.a);
  int64_t t0 = MonotonicMs();
  EXPECT_FALSE(t.WaitReadable(60));
  int64_t waited = MonotonicMs() - t0;
  EXPECT_GE(waited, 55);
  // The byte goes once this thread is about to wait (or already does).
  std::atomic<bool> waiting{false};
  std::thread writer([&] {
    if (!zeltest::WaitUntil([&] { return waiting.load(); })) return;
    uint8_t c = 'A';
    (void)!write(p.b, &c, 1);
  });
  waiting = true;
  EXPECT_TRUE(t.WaitReadable(20000));  // true only when the byte came
  EXPECT_EQ(t.ReadByte(), 'A');
  writer.join();
}

TEST(FdTransport, HangUpIsSeenAndWaitsStillLastTheirTime) {
  Pair p;
  FdTransport t(p.a);
  const uint8_t x[] = {'Z'};
  ASSERT_EQ(write(p.b, x, 1), 1);
  close(p.b);
  p.b = -1;
  // The byte sent before the hang-up is still delivered.
  ASSERT_TRUE(t.WaitReadable(1000));
  EXPECT_EQ(t.ReadByte(), 'Z');
  EXPECT_EQ(t.ReadByte(), -1);
  EXPECT_TRUE(t.HungUp());
  int64_t t0 = MonotonicMs();
  EXPECT_FALSE(t.WaitReadable(50));
  EXPECT_GE(MonotonicMs() - t0, 45);
}

TEST(FdTransport, CloseIsIdempotentAndEndsAllOperations) {
  Pair p;
  FdTransport t(p.a);
  t.Close();
  t.Close();
  EXPECT_FALSE(t.IsOpen());
  const uint8_t x[] = {1};
  EXPECT_EQ(t.Write(x, 1), -1);
  EXPECT_EQ(t.ReadByte(), -1);
  EXPECT_FALSE(t.WaitReadable(1));
  t.Drain();
  // The peer sees the end of the stream.
  uint8_t c;
  EXPECT_EQ(read(p.b, &c, 1), 0);
}

TEST(FdTransport, NotOwnedDescriptorStaysOpen) {
  Pair p;
  {
    FdTransport t(p.a, false);
    t.Close();
  }
  const uint8_t x[] = {'q'};
  EXPECT_EQ(write(p.a, x, 1), 1);
  uint8_t c = 0;
  EXPECT_EQ(read(p.b, &c, 1), 1);
  EXPECT_EQ(c, 'q');
  close(p.a);
}

TEST(FdTransport, PipeWritesWork) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  FdTransport w(fds[1]);
  FdTransport r(fds[0]);
  const uint8_t x[] = {'o', 'k'};
  EXPECT_EQ(w.Write(x, 2), 2);
  ASSERT_TRUE(r.WaitReadable(1000));
  EXPECT_EQ(r.ReadByte(), 'o');
  EXPECT_EQ(r.ReadByte(), 'k');
  w.Close();
  EXPECT_FALSE(r.WaitReadable(10));
  EXPECT_TRUE(r.HungUp());
}

TEST(FdTransport, WriteToAPipeWithoutReaderFailsWithoutKillingTheProcess) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  FdTransport w(fds[1]);
  const uint8_t x[] = {'a'};
  EXPECT_EQ(w.Write(x, 1), -1);
  EXPECT_EQ(w.Write(x, 1), -1);
  sigset_t pending;
  sigpending(&pending);
  EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);  // no signal left behind either
}

}  // namespace
}  // namespace zel::comm
