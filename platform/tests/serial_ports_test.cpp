// Serial port enumeration on a made-up /sys/class/tty tree.
#include "zel/platform/serial_ports.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace zel::platform {
namespace {

namespace fs = std::filesystem;

class SysTree {
 public:
  SysTree() {
    char tmpl[] = "/tmp/zelsysXXXXXX";
    root_ = mkdtemp(tmpl);
    fs::create_directories(root_ / "devices" / "platform");
    fs::create_directories(root_ / "class" / "tty");
  }
  ~SysTree() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  // An entry; `device` adds the link to a device, `type` a type file (-1: none).
  void Add(const std::string& name, bool device, int type = -1) {
    fs::path e = root_ / "class" / "tty" / name;
    fs::create_directories(e);
    if (device) fs::create_directory_symlink(root_ / "devices" / "platform", e / "device");
    if (type >= 0) std::ofstream(e / "type") << type << "\n";
  }
  std::string tty() const { return (root_ / "class" / "tty").string(); }

 private:
  fs::path root_;
};

TEST(SerialPorts, OnlyPortsWithHardwareAreListedNumberedAsComPorts) {
  SysTree t;
  t.Add("console", false);
  t.Add("tty0", false);
  t.Add("ptmx", false);
  t.Add("ttyS0", true, 4);
  t.Add("ttyS1", true, 0);  // empty UART slot
  t.Add("ttyS2", false);    // no device at all
  t.Add("ttyS3", true, 4);
  t.Add("ttyS10", true, 4);
  t.Add("ttyUSB10", true);
  t.Add("ttyUSB2", true);
  t.Add("ttyACM0", true);
  t.Add("ttyS31", true, 0);  // the highest slot decides where the others start
  auto ports = ListSerialPorts(t.tty(), "/dev");
  std::vector<SerialPortInfo> want = {
      {0, "COM1", "/dev/ttyS0"},     {3, "COM4", "/dev/ttyS3"},     {10, "COM11", "/dev/ttyS10"},
      {32, "COM33", "/dev/ttyACM0"}, {33, "COM34", "/dev/ttyUSB2"}, {34, "COM35", "/dev/ttyUSB10"},
  };
  EXPECT_EQ(ports, want);
}

TEST(SerialPorts, UsbAdaptersStartAtComOneWithoutBuiltInPorts) {
  SysTree t;
  t.Add("ttyUSB0", true);
  t.Add("tty1", false);
  auto ports = ListSerialPorts(t.tty(), "/devx");
  ASSERT_EQ(ports.size(), 1u);
  EXPECT_EQ(ports[0], (SerialPortInfo{0, "COM1", "/devx/ttyUSB0"}));
}

TEST(SerialPorts, MissingTreeGivesNoPorts) {
  EXPECT_TRUE(ListSerialPorts("/tmp/zel-no-such-sys-tree").empty());
}

TEST(SerialPorts, RealSystemListsOnlyExistingDevicesWithDistinctNumbers) {
  auto ports = ListSerialPorts();
  for (size_t i = 0; i < ports.size(); ++i) {
    EXPECT_TRUE(fs::exists(ports[i].device)) << ports[i].device;
    if (i > 0) {
      EXPECT_LT(ports[i - 1].number, ports[i].number);
    }
  }
}

}  // namespace
}  // namespace zel::platform
