#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "zel/testing/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class ZelSetup : public ::testing::Test {
 protected:
  Outcome Exec(const std::string& args) {
    const fs::path err = dir_ / "stderr.txt";
    const std::string cmd =
        std::string(ZEL_BIN_DIR) + "/zelsetup " + args + " 2>'" + err.string() + "'";
    Outcome r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (p == nullptr) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ifstream e(err);
    r.err.assign(std::istreambuf_iterator<char>(e), {});
    fs::remove(err);
    return r;
  }

  std::string P(const std::string& name) const { return "'" + (dir_ / name).string() + "'"; }

  std::vector<uint8_t> Read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream out(dir_ / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  }

  zeltest::TempFolder temp_{"zelsetup"};
  const fs::path dir_ = temp_.path();
};

TEST_F(ZelSetup, DefaultsThenDumpGivesEveryFieldInLayoutOrder) {
  ASSERT_EQ(Exec("defaults --model KRV-517 " + P("a.bin")).status, 0);
  EXPECT_EQ(Read("a.bin").size(), 18176u);
  const Outcome r = Exec("dump --model 3 " + P("a.bin"));
  ASSERT_EQ(r.status, 0) << r.err;
  const Json j = Json::parse(r.out);
  std::vector<std::string> keys;
  for (const auto& item : j.items()) keys.push_back(item.key());
  const std::vector<std::string> expected{"baud_index",
                                          "unit_name",
                                          "administrative_password",
                                          "restricted_password",
                                          "passcode",
                                          "ring_count",
                                          "input_names",
                                          "input_identifiers",
                                          "on_event_names",
                                          "off_event_names",
                                          "event_pair",
                                          "detect_times",
                                          "flash_enable_bits",
                                          "analog_range",
                                          "analog_filter",
                                          "analog_high_thresholds",
                                          "analog_low_thresholds",
                                          "virtual_inputs",
                                          "primary_dial_number",
                                          "secondary_dial_number",
                                          "clock_sync_input",
                                          "high_temperature_limit",
                                          "low_temperature_limit",
                                          "speed_monitors",
                                          "timer_from_input",
                                          "timer_from_state",
                                          "timer_to_input",
                                          "timer_to_state",
                                          "timer_low_limit",
                                          "timer_high_limit"};
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(j["baud_index"], 7);
  EXPECT_EQ(j["unit_name"], "***** NOT SET *****");
  ASSERT_EQ(j["input_names"].size(), 480u);
  EXPECT_EQ(j["input_names"][479], "Timer 200");
  EXPECT_EQ(j["input_identifiers"][263], "Battery");
  EXPECT_EQ(j["flash_enable_bits"], Json(std::vector<int>(32, 0)));
  EXPECT_EQ(j["analog_low_thresholds"][0], -256);
  EXPECT_EQ(j["clock_sync_input"], 65535);
  EXPECT_EQ(j["timer_from_input"][0], -1);
  const Json& v = j["virtual_inputs"][15];
  std::vector<std::string> members;
  for (const auto& item : v.items()) members.push_back(item.key());
  EXPECT_EQ(members,
            (std::vector<std::string>{"source_inputs", "truth_table", "relay_flags", "dial_out"}));
  EXPECT_EQ(v["source_inputs"], Json({65535, 65535, 65535, 65535}));
  EXPECT_EQ(j["speed_monitors"][7]["sensor_1"], 65535);
}

TEST_F(ZelSetup, DumpOfAHandMadeFileShowsBytesRecordsAndNoReservedBytes) {
  // KRV-583E: IP address at 13399, MAC at 13411, speed record at 13391.
  std::vector<uint8_t> file(13440, 0);
  file[0] = 'I';
  file[1] = 0xE9;  // Latin-1 e-acute
  file[13391] = 0x34;
  file[13392] = 0x12;
  file[13397] = 0xFF;  // excessive speed limit -1 (i16)
  file[13398] = 0xFF;
  for (int i = 0; i < 4; ++i) file[13399 + i] = static_cast<uint8_t>(10 + i);
  for (int i = 0; i < 6; ++i) file[13411 + i] = static_cast<uint8_t>(0xA0 + i);
  Write("e.bin", file);
  const Outcome r = Exec("dump --model KRV-583E " + P("e.bin"));
  ASSERT_EQ(r.status, 0) << r.err;
  const Json j = Json::parse(r.out);
  EXPECT_EQ(j.begin().key(), "input_names");
  EXPECT_EQ(j["input_names"][0], "I\xC3\xA9");
  ASSERT_TRUE(j.contains("coding_event_names"));
  EXPECT_EQ(j["ip_address"], Json({10, 11, 12, 13}));
  EXPECT_EQ(j["mac_address"], Json({0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5}));
  EXPECT_EQ(j["speed_measurement"]["sensor_1"], 0x1234);
  EXPECT_EQ(j["speed_measurement"]["excessive_speed_limit"], -1);
  std::vector<std::string> tail;
  for (const auto& item : j.items()) tail.push_back(item.key());
  ASSERT_GE(tail.size(), 9u);
  EXPECT_EQ(std::vector<std::string>(tail.end() - 9, tail.end()),
            (std::vector<std::string>{"speed_measurement", "ip_address", "subnet_mask", "gateway",
                                      "mac_address", "tcp_ip_port", "tcp_ip_mode", "time_zone",
                                      "daylight_saving_time"}));
  // KRV-517AX: reserved bytes are never listed; its UDP port follows the bauds.
  ASSERT_EQ(Exec("defaults --model KRV-517AX " + P("ax.bin")).status, 0);
  const Json ax = Json::parse(Exec("dump --model 18 " + P("ax.bin")).out);
  std::vector<std::string> keys;
  for (const auto& item : ax.items()) keys.push_back(item.key());
  EXPECT_EQ(std::count(keys.begin(), keys.end(), "reserved"), 0);
  const auto at = std::find(keys.begin(), keys.end(), "baud_index_port_2");
  ASSERT_NE(at, keys.end());
  EXPECT_EQ(*(at + 1), "udp_port");
  EXPECT_EQ(ax["secondary_ip_addresses"].size(), 16u);
  EXPECT_EQ(ax["secondary_ip_addresses"][15], Json({0, 0, 0, 0}));
}

TEST_F(ZelSetup, DiffExitCodes) {
  ASSERT_EQ(Exec("defaults --model KRV-517XL " + P("a.bin")).status, 0);
  auto b = Read("a.bin");
  ASSERT_EQ(b.size(), 23552u);
  b[23500] = 0x11;  // padding only
  Write("b.bin", b);
  Outcome r = Exec("diff --model 5 " + P("a.bin") + " " + P("b.bin"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  b[0] = 0x01;  // first MAC octet
  b[21] = 3;    // baud index port 1
  Write("c.bin", b);
  r = Exec("diff --model KRV-517XL/A " + P("a.bin") + " " + P("c.bin"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "mac_address byte 0: 0 != 1\nbaud_index_port_1: 7 != 3\n");
}

TEST_F(ZelSetup, CopyNormalisesAndNamesOfAModelAgree) {
  std::mt19937 rng(5);
  std::vector<uint8_t> raw(2515);
  for (auto& x : raw) x = static_cast<uint8_t>(rng());
  Write("raw.bin", raw);
  ASSERT_EQ(Exec("copy --model KRV-37E " + P("raw.bin") + " " + P("out.bin")).status, 0);
  const auto out = Read("out.bin");
  ASSERT_EQ(out.size(), 2560u);
  for (std::size_t i = 2515; i < out.size(); ++i) EXPECT_EQ(out[i], 0);
  EXPECT_EQ(Exec("diff --model 10 " + P("raw.bin") + " " + P("out.bin")).status, 0);
  // Only the target file remains: the temporary file was renamed.
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir_)) files += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 2);
  for (const char* m : {"5", "KRV-517XL/A", "krv-517xl"}) {
    ASSERT_EQ(
        Exec(std::string("defaults --model '") + m + "' " + P(std::string("m") + m[0])).status, 0)
        << m;
  }
  EXPECT_EQ(Read("m5"), Read("mK"));
  EXPECT_EQ(Read("m5"), Read("mk"));
}

TEST_F(ZelSetup, ErrorsExitTwoWithAMessage) {
  ASSERT_EQ(Exec("defaults --model 3 " + P("a.bin")).status, 0);
  Outcome r = Exec("dump --model KRV-999 " + P("a.bin"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("KRV-999"), std::string::npos);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Exec("dump --model 17 " + P("a.bin")).status, 2);
  EXPECT_EQ(Exec("dump --model 19 " + P("a.bin")).status, 2);
  r = Exec("dump --model 3 " + P("missing.bin"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("missing.bin"), std::string::npos);
  EXPECT_EQ(Exec("diff --model 3 " + P("a.bin") + " " + P("missing.bin")).status, 2);
  EXPECT_EQ(Exec("copy --model 3 " + P("missing.bin") + " " + P("x.bin")).status, 2);
  EXPECT_FALSE(fs::exists(dir_ / "x.bin"));
  EXPECT_EQ(Exec("defaults --model 3 " + P("no/such/dir/x.bin")).status, 2);
  EXPECT_EQ(Exec("dump --model 3 " + P("")).status, 2);  // a folder is no setup file
  EXPECT_EQ(Exec("frobnicate").status, 2);
  EXPECT_EQ(Exec("dump " + P("a.bin")).status, 2);  // --model is required
}

}  // namespace
