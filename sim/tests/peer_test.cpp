// The recorder's XMODEM against python3-xmodem, an outside implementation: the setup download
// received by it, and an upload sent by it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "sim_test_util.h"
#include "zel/setup_database.h"
#include "zel/sim/server.h"
#include "zel/testing/temp_folder.h"

namespace zel::sim {
namespace {

namespace fs = std::filesystem;

constexpr char kScript[] = R"PY(
import socket, sys, time
from xmodem import XMODEM
port, mode, path = int(sys.argv[1]), sys.argv[2], sys.argv[3]
s = socket.create_connection(("127.0.0.1", port))
def expect(text, limit=5.0):
    s.settimeout(limit)
    got = b""
    while not got.endswith(text):
        b = s.recv(1)
        if not b:
            sys.exit(3)
        got += b
def quiet(t=0.1):
    s.settimeout(t)
    try:
        while s.recv(1024):
            pass
    except socket.timeout:
        pass
s.sendall(b"\x1b" * 6 + b"XY\x1b")
expect(b"Enter password: ")
s.sendall(b"PYPW\r")
expect(b"> ")
def getc(size, timeout=1):
    s.settimeout(timeout)
    data = b""
    try:
        while len(data) < size:
            b = s.recv(size - len(data))
            if not b:
                return None
            data += b
    except socket.timeout:
        return None
    return data
def putc(data, timeout=1):
    s.sendall(data)
    return len(data)
x = XMODEM(getc, putc)
if mode == "recv":
    s.sendall(b"TD")
    quiet()
    with open(path, "wb") as f:
        ok = x.recv(f, crc_mode=1, retry=16, timeout=2, delay=0)
else:
    s.sendall(b"TU")
    quiet()
    s.sendall(b"Y")
    with open(path, "rb") as f:
        ok = x.send(f, retry=16, timeout=2)
    expect(b"received")
sys.exit(0 if ok else 1)
)PY";

class PythonPeer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists("/usr/bin/python3") ||
        std::system("/usr/bin/python3 -c 'import xmodem' 2>/dev/null") != 0)
      GTEST_SKIP() << "python3-xmodem is not installed";
    std::ofstream(dir_ / "peer.py") << kScript;
    RecorderConfig c;
    c.type = 4;
    c.password = "PYPW";
    c.scale = 0.05;
    std::string err;
    rec_ = Recorder::Create(c, &err);
    ASSERT_NE(rec_, nullptr) << err;
    port_ = fleet_.ListenTcp(*rec_, 0, &err);
    ASSERT_GT(port_, 0) << err;
  }
  void TearDown() override { fleet_.Stop(); }
  int Run(const std::string& mode, const fs::path& file) {
    const std::string cmd = "timeout 60 /usr/bin/python3 " + (dir_ / "peer.py").string() + " " +
                            std::to_string(port_) + " " + mode + " " + file.string();
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  zeltest::TempFolder tmp_{"py"};
  const fs::path dir_ = tmp_.path();
  std::unique_ptr<Recorder> rec_;
  Fleet fleet_;
  int port_ = 0;
};

TEST_F(PythonPeer, ReceivesTheSetupDatabase) {
  ASSERT_EQ(Run("recv", dir_ / "got.bin"), 0);
  std::ifstream in(dir_ / "got.bin", std::ios::binary);
  std::vector<uint8_t> got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(got, rec_->SetupImage());
}

TEST_F(PythonPeer, SendsANewSetupDatabase) {
  SetupDatabase db(4);
  db.RestoreFactoryDefaults();
  db.SetAdministrativePassword("FROMPY");
  db.SetUnitName("Sent by python");
  ASSERT_TRUE(db.SaveFile(dir_ / "up.bin"));
  ASSERT_EQ(Run("send", dir_ / "up.bin"), 0);
  EXPECT_EQ(rec_->Password(), "FROMPY");
  SetupDatabase now(4);
  now.LoadBytes(rec_->SetupImage());
  EXPECT_TRUE(now.Equals(db));
}

}  // namespace
}  // namespace zel::sim
