#include "zel/setup_database.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "zel/testing/temp_folder.h"

namespace zel {
namespace {

const RecorderType kTypes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 18};

std::vector<uint8_t> RandomBytes(std::size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// What a save of `input` must write, worked out from the layout offsets alone: reserved bytes
// and padding zero, texts zero from their terminator on (the last byte always zero).
std::vector<uint8_t> ExpectedSave(const SetupLayout& l, std::vector<uint8_t> input) {
  input.resize(l.writtenLength, 0);
  for (std::size_t i = l.fieldLength; i < l.writtenLength; ++i) input[i] = 0;
  for (const auto& f : l.fields()) {
    for (int e = 0; e < f.count; ++e) {
      const std::size_t start = f.offset + static_cast<std::size_t>(e) * f.width;
      if (f.kind == FieldKind::kReserved) {
        input[start] = 0;
      } else if (f.kind == FieldKind::kText) {
        bool ended = false;
        for (int k = 0; k < f.width; ++k) {
          if (k == f.width - 1 || input[start + k] == 0) ended = true;
          if (ended) input[start + k] = 0;
        }
      } else if (f.kind == FieldKind::kRecords) {
        for (const auto& m : f.members) {
          if (m.reserved()) std::memset(&input[start + m.offset], 0, m.size());
        }
      }
    }
  }
  return input;
}

int Le16(const std::vector<uint8_t>& v, std::size_t at) { return v[at] | (v[at + 1] << 8); }

TEST(SetupDatabase, RandomFilesRoundTripForEveryModel) {
  for (RecorderType t : kTypes) {
    SCOPED_TRACE(t);
    SetupDatabase db(t);
    ASSERT_TRUE(db.valid());
    const auto input = RandomBytes(db.WrittenLength(), 1000u + static_cast<uint32_t>(t));
    EXPECT_EQ(db.LoadBytes(input), db.FieldLength());
    const auto saved = db.SaveBytes();
    ASSERT_EQ(saved.size(), db.WrittenLength());
    EXPECT_EQ(saved, ExpectedSave(*db.layout(), input));
    SetupDatabase again(t);
    again.LoadBytes(saved);
    EXPECT_TRUE(again.Equals(db));
    EXPECT_TRUE(again.Differences(db).empty());
    EXPECT_EQ(again.SaveBytes(), saved);  // a second save changes nothing more
  }
}

TEST(SetupDatabase, DefaultDatabaseWritesTheWrittenLength) {
  for (RecorderType t : kTypes) {
    SCOPED_TRACE(t);
    SetupDatabase db(t);
    db.RestoreFactoryDefaults();
    const auto saved = db.SaveBytes();
    EXPECT_EQ(saved.size(), db.layout()->writtenLength);
    EXPECT_EQ(saved.size() % 128, 0u);
    for (std::size_t i = db.FieldLength(); i < saved.size(); ++i) ASSERT_EQ(saved[i], 0) << i;
    SetupDatabase back(t);
    back.LoadBytes(saved);
    EXPECT_EQ(back, db);
  }
}

TEST(SetupDatabase, Krv517WritesFieldsThenTwoZeroBytes) {
  SetupDatabase db(3);
  const auto input = RandomBytes(18174, 7);
  db.LoadBytes(input);
  const auto saved = db.SaveBytes();
  ASSERT_EQ(saved.size(), 18176u);
  EXPECT_EQ(saved[18174], 0);
  EXPECT_EQ(saved[18175], 0);
  // The timer high limits end the fields: the last two field bytes come back unchanged.
  EXPECT_EQ(saved[18172], input[18172]);
  EXPECT_EQ(saved[18173], input[18173]);
  SetupDatabase back(3);
  back.LoadBytes(saved);
  EXPECT_EQ(back, db);
}

TEST(SetupDatabase, Krv517AccessorsHitTheirOffsets) {
  SetupDatabase db(3);
  db.SetBaud(9);
  db.SetUnitName("Yard North");
  db.SetAdministrativePassword("ADMIN");
  db.SetRestrictedPassword("RESTR");
  db.SetPasscode("1234");
  db.SetRingCount(5);
  db.SetName(479, "Last timer");
  db.SetIdentifier(1, "ID2");
  db.SetOnName(15, "Up");
  db.SetOffName(0, "Down");
  db.SetEventPair(479, 15);
  db.SetDetectTime(255, 0x1234);
  db.SetFlashEnabled(9, true);
  db.SetAnalogRange(7, 1);
  db.SetAnalogFilter(0, 1);
  db.SetHighThreshold(0, -2);
  db.SetLowThreshold(7, 300);
  db.SetVirtualSource(1, 3, 0x0102);
  db.SetTruthTable(1, 0xABCD);
  db.SetRelayFlags(15, 0x60);
  db.SetDialOut(15, 1);
  db.SetPrimaryDialNumber("5551234");
  db.SetSecondaryDialNumber("5554321");
  db.SetClockSyncInput(-1);
  db.SetHighTemperatureLimit(257);
  db.SetLowTemperatureLimit(-67);
  db.SetSpeedSensor2(7, 12);
  db.SetSpeedThreshold(7, -5);
  db.SetTimerFrom(0, -1);
  db.SetTimerFromState(199, 1);
  db.SetTimerTo(1, 300);
  db.SetTimerToState(0, 1);
  db.SetTimerLowLimit(199, 77);
  db.SetTimerHighLimit(199, -3);
  const auto b = db.SaveBytes();
  EXPECT_EQ(b[0], 9);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[1])), "Yard North");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[82])), "ADMIN");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[91])), "RESTR");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[100])), "1234");
  EXPECT_EQ(b[109], 5);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[110 + 479 * 21])), "Last timer");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[10190 + 9])), "ID2");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[14510 + 15 * 9])), "Up");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[14654])), "Down");
  EXPECT_EQ(b[14798 + 479], 15);
  EXPECT_EQ(Le16(b, 15278 + 510), 0x1234);
  EXPECT_EQ(b[15790 + 1], 0x02);  // input 9: bit 1 of byte 1
  EXPECT_EQ(b[15822 + 7], 1);
  EXPECT_EQ(b[15830], 1);
  EXPECT_EQ(Le16(b, 15838), 0xFFFE);
  EXPECT_EQ(Le16(b, 15854 + 14), 300);
  EXPECT_EQ(Le16(b, 15870 + 12 + 6), 0x0102);
  EXPECT_EQ(Le16(b, 15870 + 12 + 8), 0xABCD);
  EXPECT_EQ(b[15870 + 15 * 12 + 10], 0x60);
  EXPECT_EQ(b[15870 + 15 * 12 + 11], 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[16062])), "5551234");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[16083])), "5554321");
  EXPECT_EQ(Le16(b, 16104), 0xFFFF);
  EXPECT_EQ(Le16(b, 16106), 257);
  EXPECT_EQ(Le16(b, 16108), 0x10000 - 67);
  EXPECT_EQ(Le16(b, 16110 + 56 + 2), 12);
  EXPECT_EQ(Le16(b, 16110 + 56 + 6), 0xFFFB);
  EXPECT_EQ(Le16(b, 16174), 0xFFFF);
  EXPECT_EQ(b[16574 + 199], 1);
  EXPECT_EQ(Le16(b, 16774 + 2), 300);
  EXPECT_EQ(b[17174], 1);
  EXPECT_EQ(Le16(b, 17374 + 398), 77);
  EXPECT_EQ(Le16(b, 17774 + 398), 0xFFFD);

  // Reading back widens by signedness: u16 fields zero-extend, i16 fields sign-extend.
  EXPECT_EQ(db.ClockSyncInput(), 65535);
  EXPECT_EQ(db.TimerFrom(0), -1);
  EXPECT_EQ(db.HighThreshold(0), -2);
  EXPECT_EQ(db.TruthTable(1), 0xABCD);
  EXPECT_EQ(db.LowTemperatureLimit(), -67);
  EXPECT_EQ(db.SpeedThreshold(7), -5);
  EXPECT_TRUE(db.IsNoInput(SetupField::kClockSyncInput, db.ClockSyncInput()));
  EXPECT_TRUE(db.IsNoInput(SetupField::kTimerFromInput, db.TimerFrom(0)));
  EXPECT_FALSE(db.IsNoInput(SetupField::kTimerToInput, db.TimerTo(1)));
  EXPECT_TRUE(db.FlashEnabled(9));
  EXPECT_FALSE(db.FlashEnabled(8));
  EXPECT_EQ(db.AdministrativePassword(), "ADMIN");
}

TEST(SetupDatabase, TextsStoreAtMostWidthMinusOneCharacters) {
  SetupDatabase db(3);
  db.SetIdentifier(0, "ABCDEFGHIJKL");
  EXPECT_EQ(db.Identifier(0), "ABCDEFGH");
  db.SetUnitName(std::string(100, 'u'));
  EXPECT_EQ(db.UnitName(), std::string(80, 'u'));
  const auto b = db.SaveBytes();
  EXPECT_EQ(std::memcmp(&b[10190], "ABCDEFGH\0", 9), 0);
  EXPECT_EQ(b[1 + 80], 0);
  // A shorter text set later clears the rest of the field.
  db.SetIdentifier(0, "AB");
  const auto c = db.SaveBytes();
  EXPECT_EQ(std::memcmp(&c[10190], "AB\0\0\0\0\0\0\0", 9), 0);
  // A text that fills its width without a terminator reads as its first width-1 characters.
  std::vector<uint8_t> file = db.SaveBytes();
  std::memset(&file[10190], 'X', 9);
  std::memset(&file[10199], 'Y', 9);
  db.LoadBytes(file);
  EXPECT_EQ(db.Identifier(0), "XXXXXXXX");
  EXPECT_EQ(db.Identifier(1), "YYYYYYYY");
  // Wide names of the KRV-583 family: 26 characters, identifiers 12.
  SetupDatabase k(7);
  k.SetName(0, std::string(40, 'n'));
  k.SetIdentifier(287, std::string(40, 'i'));
  k.SetCodingName(15, "CODING-NAME-TOO-LONG");
  EXPECT_EQ(k.Name(0).size(), 26u);
  EXPECT_EQ(k.Identifier(287).size(), 12u);
  EXPECT_EQ(k.CodingName(15), "CODING-NAME-");
}

TEST(SetupDatabase, CompareIgnoresBytesAfterTerminatorsPaddingAndReserved) {
  SetupDatabase a(3);
  a.RestoreFactoryDefaults();
  auto file = a.SaveBytes();
  file[1 + 19 + 1] = 'Z';  // behind "***** NOT SET *****" and its terminator
  file[110 + 20] = 'Q';    // last byte of name 0 (after its terminator)
  file[18175] = 0x55;      // padding
  SetupDatabase b(3);
  b.LoadBytes(file);
  EXPECT_TRUE(a.Equals(b));
  EXPECT_TRUE(b.Differences(a).empty());

  SetupDatabase ax(18);
  ax.RestoreFactoryDefaults();
  auto axFile = ax.SaveBytes();
  axFile[23] = 0x77;      // reserved after the bauds
  axFile[143453] = 0x77;  // reserved after the from-states
  axFile[143751] = 0x77;  // reserved after the to-states
  SetupDatabase ax2(18);
  ax2.LoadBytes(axFile);
  EXPECT_EQ(ax2, ax);
  const auto saved = ax2.SaveBytes();
  EXPECT_EQ(saved[23], 0);
  EXPECT_EQ(saved[143453], 0);
  EXPECT_EQ(saved[143751], 0);

  // Flash bits beyond the digital inputs are kept but not compared (KRV-19: 18 of 24 bits).
  SetupDatabase n(0);
  auto nf = n.SaveBytes();
  nf[1290 + 2] = 0xFC;  // bits 18-23
  SetupDatabase n2(0);
  n2.LoadBytes(nf);
  EXPECT_EQ(n2, n);
  EXPECT_EQ(n2.SaveBytes()[1292], 0xFC);
}

TEST(SetupDatabase, CompareFindsOneFlashBitTruthTableOrTimerState) {
  SetupDatabase base(3);
  base.RestoreFactoryDefaults();
  {
    SetupDatabase d = base;
    d.SetFlashEnabled(255, true);
    EXPECT_FALSE(d.Equals(base));
    const auto diffs = d.Differences(base);
    ASSERT_EQ(diffs.size(), 1u);
    EXPECT_EQ(diffs[0].field->id, SetupField::kFlashEnableBits);
    EXPECT_EQ(diffs[0].slot, 255);
    EXPECT_EQ(diffs[0].left, "1");
    EXPECT_EQ(diffs[0].right, "0");
  }
  {
    SetupDatabase d = base;
    d.SetTruthTable(15, 1);
    const auto diffs = d.Differences(base);
    ASSERT_EQ(diffs.size(), 1u);
    EXPECT_EQ(diffs[0].field->id, SetupField::kVirtualInputs);
    EXPECT_EQ(diffs[0].index, 15);
    ASSERT_NE(diffs[0].member, nullptr);
    EXPECT_EQ(diffs[0].member->id, SetupMember::kTruthTable);
    EXPECT_EQ(diffs[0].Describe(), "virtual_inputs[15].truth_table: 1 != 0");
  }
  {
    SetupDatabase d = base;
    d.SetTimerToState(123, 1);
    EXPECT_NE(d, base);
    const auto diffs = d.Differences(base);
    ASSERT_EQ(diffs.size(), 1u);
    EXPECT_EQ(diffs[0].field->id, SetupField::kTimerToState);
    EXPECT_EQ(diffs[0].index, 123);
  }
  {
    SetupDatabase d = base;
    d.SetVirtualSource(2, 3, 7);
    d.SetName(0, "Renamed");
    const auto diffs = d.Differences(base);
    ASSERT_EQ(diffs.size(), 2u);
    EXPECT_EQ(diffs[0].Describe(), "input_names[0]: \"Renamed\" != \"Digital Input 001\"");
    EXPECT_EQ(diffs[1].Describe(), "virtual_inputs[2].source_inputs[3]: 7 != 65535");
  }
  // Different models never compare equal.
  SetupDatabase other(4);
  EXPECT_FALSE(other.Equals(base));
  ASSERT_EQ(other.Differences(base).size(), 1u);
  EXPECT_EQ(other.Differences(base)[0].field, nullptr);
  // Types 14 and 15 share their layout and compare as one model.
  SetupDatabase s14(14), s15(15);
  s14.RestoreFactoryDefaults();
  s15.RestoreFactoryDefaults();
  EXPECT_EQ(s14, s15);
  EXPECT_EQ(s14.SaveBytes(), s15.SaveBytes());
}

TEST(SetupDatabase, VirtualWithSourcesInSlotsOneAndThree) {
  // Slots 1 and 3 used: two inputs, four truth-table rows; bits above 3 mean nothing but are
  // stored and compared as the recorder wrote them.
  SetupDatabase db(3);
  db.RestoreFactoryDefaults();
  db.SetVirtualSource(0, 1, 5);
  db.SetVirtualSource(0, 3, 9);
  db.SetTruthTable(0, 0b1010);
  EXPECT_TRUE(
      db.IsNoInput(SetupField::kVirtualInputs, db.VirtualSource(0, 0), SetupMember::kSourceInputs));
  EXPECT_FALSE(
      db.IsNoInput(SetupField::kVirtualInputs, db.VirtualSource(0, 1), SetupMember::kSourceInputs));
  EXPECT_EQ(db.VirtualSource(0, 3), 9);
  EXPECT_EQ(db.TruthTable(0) & 0xF, 0b1010);
}

TEST(SetupDatabase, RelayFlagsKeepBitsTheModelDoesNotUse) {
  SetupDatabase db(3);  // relays at bits 5 and 6
  db.SetRelayFlags(0, 0x81);
  db.SetRelay(0, 1, true);
  EXPECT_EQ(db.RelayFlags(0), 0xC1);
  EXPECT_TRUE(db.Relay(0, 1));
  EXPECT_FALSE(db.Relay(0, 0));
  db.SetRelay(0, 1, false);
  EXPECT_EQ(db.RelayFlags(0), 0x81);
  db.SetRelay(0, 2, true);  // KRV-517 has two relays
  EXPECT_EQ(db.RelayFlags(0), 0x81);
  SetupDatabase xc(6);  // relays 1-4 at bits 0-3
  EXPECT_EQ(xc.RelayCount(), 4);
  xc.SetRelay(31, 3, true);
  EXPECT_EQ(xc.RelayFlags(31), 0x08);
  SetupDatabase k19(0);  // one relay at bit 4
  k19.SetRelay(7, 0, true);
  EXPECT_EQ(k19.RelayFlags(7), 0x10);
  SetupDatabase xl(5);
  xl.SetRelay(95, 1, true);
  EXPECT_EQ(xl.RelayFlags(95), 0x02);
}

TEST(SetupDatabase, OutOfRangeIndexesReadEmptyAndWriteNothing) {
  SetupDatabase db(3);
  db.RestoreFactoryDefaults();
  const auto before = db.SaveBytes();
  EXPECT_EQ(db.Name(-1), "");
  EXPECT_EQ(db.Name(480), "");
  EXPECT_EQ(db.Identifier(480), "");
  EXPECT_EQ(db.EventPair(480), 0);
  EXPECT_EQ(db.OnName(16), "");
  EXPECT_EQ(db.OffName(-1), "");
  EXPECT_EQ(db.CodingName(0), "");  // no CODING names in KRV-517
  EXPECT_EQ(db.DetectTime(256), 0);
  EXPECT_FALSE(db.FlashEnabled(256));
  EXPECT_FALSE(db.FlashEnabled(-1));
  EXPECT_EQ(db.AnalogRange(8), 0);
  EXPECT_EQ(db.HighThreshold(-1), 0);
  EXPECT_EQ(db.VirtualSource(0, 4), 0);
  EXPECT_EQ(db.VirtualSource(16, 0), 0);
  EXPECT_EQ(db.TruthTable(-1), 0);
  EXPECT_EQ(db.SpeedSensor1(8), 0);
  EXPECT_EQ(db.TimerFrom(200), 0);
  EXPECT_EQ(db.TimerHighLimit(-1), 0);
  EXPECT_EQ(db.TimeZone(), 0);  // no such field in KRV-517
  EXPECT_EQ(db.SecondaryIp(0), (std::array<uint8_t, 4>{}));
  db.SetName(480, "x");
  db.SetName(-1, "x");
  db.SetIdentifier(1000, "x");
  db.SetEventPair(480, 3);
  db.SetOnName(16, "x");
  db.SetCodingName(0, "x");
  db.SetDetectTime(256, 1);
  db.SetFlashEnabled(256, true);
  db.SetFlashEnabled(-8, true);
  db.SetAnalogRange(8, 3);
  db.SetLowThreshold(-1, 3);
  db.SetVirtualSource(0, 4, 1);
  db.SetVirtualSource(0, -1, 1);
  db.SetVirtualSource(16, 0, 1);
  db.SetTruthTable(16, 1);
  db.SetRelay(16, 0, true);
  db.SetSpeedDistance(8, 1);
  db.SetSpeedDistanceUnit(0, 1);  // no distance unit in KRV-517
  db.SetTimerTo(200, 1);
  db.SetTimerLowLimit(-1, 1);
  db.SetTimeZone(3);
  db.SetSntpServer({1, 2, 3, 4});
  db.SetSecondaryIp(0, {1, 2, 3, 4});
  db.SetPeerType(0, 1);
  EXPECT_FALSE(db.SetNumber("no_such_field", 0, 1));
  EXPECT_FALSE(db.SetNumber("detect_times", 256, 1));
  EXPECT_FALSE(db.SetNumber("virtual_inputs", 0, 1));  // a record needs a member
  EXPECT_FALSE(db.SetNumber("virtual_inputs", 0, 1, "no_member"));
  EXPECT_FALSE(db.SetText("input_names", 480, "x"));
  EXPECT_FALSE(db.SetText("detect_times", 0, "x"));
  EXPECT_EQ(db.SaveBytes(), before);
  // An invalid model: everything empty, nothing crashes.
  SetupDatabase none(17);
  EXPECT_FALSE(none.valid());
  EXPECT_TRUE(none.SaveBytes().empty());
  EXPECT_EQ(none.LoadBytes(before), 0u);
  none.RestoreFactoryDefaults();
  none.SetName(0, "x");
  EXPECT_EQ(none.Name(0), "");
  EXPECT_EQ(none.NameOfInput(0), "");
  EXPECT_EQ(none.NameCount(), 0);
}

TEST(SetupDatabase, ShortEmptyAndLongFiles) {
  SetupDatabase db(3);
  db.RestoreFactoryDefaults();
  const SetupDatabase defaults = db;
  // A short file changes only the bytes it reaches; later fields keep their values.
  const std::vector<uint8_t> shortFile{4, 'A', 'B', 'C', 0};
  EXPECT_EQ(db.LoadBytes(shortFile), 5u);
  EXPECT_EQ(db.Baud(), 4);
  EXPECT_EQ(db.UnitName(), "ABC");
  EXPECT_EQ(db.AdministrativePassword(), "QUILLMAN");
  EXPECT_EQ(db.Name(0), "Digital Input 001");
  // Four bytes reach into the unit name: the rest of the old name stays behind.
  SetupDatabase partial = defaults;
  partial.LoadBytes(std::vector<uint8_t>{1, 'x', 'y', 'z'});
  EXPECT_EQ(partial.UnitName(), "xyz** NOT SET *****");
  // An empty file changes nothing.
  SetupDatabase empty = defaults;
  EXPECT_EQ(empty.LoadBytes(std::vector<uint8_t>{}), 0u);
  EXPECT_EQ(empty, defaults);
  std::istringstream emptyStream("");
  EXPECT_EQ(empty.Load(emptyStream), 0u);
  EXPECT_EQ(empty, defaults);
  // A long file: whatever follows the last field is ignored.
  auto longFile = RandomBytes(18176 + 5000, 3);
  SetupDatabase a(3), b(3);
  a.LoadBytes(longFile);
  longFile.resize(18174);
  b.LoadBytes(longFile);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.SaveBytes(), b.SaveBytes());
  // Every cut of a random file loads without reading past it (checked by the sanitizers).
  for (RecorderType t : kTypes) {
    SetupDatabase x(t);
    const auto bytes = RandomBytes(x.FieldLength(), 99);
    for (std::size_t cut :
         {std::size_t{0}, std::size_t{1}, x.FieldLength() / 3, x.FieldLength() - 1}) {
      std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(cut));
      EXPECT_EQ(x.LoadBytes(part), cut);
      EXPECT_EQ(x.SaveBytes().size(), x.WrittenLength());
    }
  }
}

TEST(SetupDatabase, StreamsAndFiles) {
  const zeltest::TempFolder temp("setup_db");
  const auto& dir = temp.path();
  const auto path = dir / "setupdata.bin";
  SetupDatabase db(5);
  db.RestoreFactoryDefaults();
  db.SetUnitName("Stream test");
  ASSERT_TRUE(db.SaveFile(path));
  EXPECT_EQ(std::filesystem::file_size(path), 23552u);
  SetupDatabase back(5);
  ASSERT_TRUE(back.LoadFile(path));
  EXPECT_EQ(back, db);
  // No temporary file stays behind.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
  // Load seeks to the start of the stream.
  std::stringstream ss;
  ASSERT_TRUE(db.Save(ss));
  ss.seekg(100);
  SetupDatabase fromStream(5);
  EXPECT_EQ(fromStream.Load(ss), 23430u);
  EXPECT_EQ(fromStream, db);
  // A missing file leaves the record as it was; a save into a missing folder fails cleanly.
  SetupDatabase keep = db;
  EXPECT_FALSE(keep.LoadFile(dir / "missing.bin"));
  EXPECT_EQ(keep, db);
  EXPECT_FALSE(db.SaveFile(dir / "no" / "such" / "folder.bin"));
}

TEST(SetupDatabase, GenericAccessByKey) {
  SetupDatabase db(5);
  db.RestoreFactoryDefaults();
  db.SetTruthTable(3, -7);
  EXPECT_EQ(db.Number("virtual_inputs", 3, "truth_table"), -7);
  EXPECT_EQ(db.Number("detect_times", 255), 300);
  EXPECT_EQ(db.Number("detect_times", 256), std::nullopt);
  EXPECT_EQ(db.Number("unit_name", 0), std::nullopt);
  EXPECT_EQ(db.Text("unit_name"), "***** NOT SET *****");
  EXPECT_EQ(db.Text("input_names", 559), "Timer 200");
  EXPECT_EQ(db.Text("input_names", 560), std::nullopt);
  EXPECT_EQ(db.Text("nothing"), std::nullopt);
  EXPECT_TRUE(db.SetNumber("ip_address", 0, 192, {}, 0));
  EXPECT_TRUE(db.SetNumber("ip_address", 0, 168, {}, 1));
  EXPECT_FALSE(db.SetNumber("ip_address", 0, 1, {}, 4));
  EXPECT_EQ(db.IpAddress(), (std::array<uint8_t, 4>{192, 168, 0, 0}));
  EXPECT_TRUE(db.SetNumber("speed_monitors", 3, 1000, "distance"));
  EXPECT_EQ(db.SpeedDistance(3), 1000);
  EXPECT_TRUE(db.SetText("on_event_names", 19, "Alarm"));
  EXPECT_EQ(db.OnName(19), "Alarm");
  EXPECT_EQ(db.Number(SetupField::kBaudPort2), 7);
  EXPECT_EQ(db.Number(SetupField::kVirtualInputs, 0, SetupMember::kDistance), 0);
}

TEST(SetupDatabase, NamesOfSystemInputs) {
  SetupDatabase db(3);
  db.RestoreFactoryDefaults();
  EXPECT_EQ(db.NameOfInput(0), "Digital Input 001");
  EXPECT_EQ(db.IdentifierOfInput(263), "Battery");
  EXPECT_EQ(db.NameOfInput(479), "Timer 200");
  EXPECT_EQ(db.NameOfInput(480), "System Power");
  EXPECT_EQ(db.IdentifierOfInput(480), "Power");
  EXPECT_EQ(db.NameOfInput(483), "Speed Monitor 1");
  EXPECT_EQ(db.IdentifierOfInput(490), "SpeedLim");
  EXPECT_EQ(db.NameOfInput(-1), "");
  SetupDatabase xl(5);
  EXPECT_EQ(xl.NameOfInput(563), "Sntp Clock Sync");
  EXPECT_EQ(xl.IdentifierOfInput(566), "ClockSet");
}

TEST(SetupDatabase, ModelSpecificPlacesOfSpeedNetworkAndNames) {
  // KRV-19: the one speed measurement is plain fields at the end of the file.
  SetupDatabase k19(0);
  k19.SetSpeedSensor1(0, 5);
  k19.SetSpeedSensor2(0, -1);
  k19.SetSpeedDistance(0, 5280);
  k19.SetSpeedThreshold(0, 180);
  k19.SetSpeedDistanceUnit(0, 1);
  k19.SetSpeedSensor1(1, 9);  // only one monitor
  auto b = k19.SaveBytes();
  EXPECT_EQ(b[1630], 5);
  EXPECT_EQ(b[1631], 255);
  EXPECT_EQ(Le16(b, 1632), 5280);
  EXPECT_EQ(Le16(b, 1634), 180);
  EXPECT_EQ(b[1636], 1);
  EXPECT_EQ(k19.SpeedSensor2(0), 255);
  EXPECT_TRUE(k19.IsNoInput(SetupField::kSpeedSensor2, k19.SpeedSensor2(0)));
  EXPECT_EQ(k19.SpeedSensor1(1), 0);
  // KRV-583: one speed record; KRV-583E: network bytes near the end, IP before MAC.
  SetupDatabase e(8);
  e.SetSpeedThreshold(0, 79);
  e.SetIpAddress({10, 1, 2, 3});
  e.SetMacAddress({0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x01});
  e.SetTcpPort(2001);
  e.SetTimeZone(2);
  b = e.SaveBytes();
  EXPECT_EQ(Le16(b, 13391 + 6), 79);
  EXPECT_EQ(b[13399], 10);
  EXPECT_EQ(b[13402], 3);
  EXPECT_EQ(b[13411], 0xDE);
  EXPECT_EQ(b[13416], 0x01);
  EXPECT_EQ(Le16(b, 13417), 2001);
  EXPECT_EQ(b[13420], 2);
  // KRV-517XC: names last.
  SetupDatabase xc(6);
  xc.SetName(0, "First");
  xc.SetIdentifier(5254, "Last");
  xc.SetUdpPort(5000);
  xc.SetSecondaryUdpPort(5001);
  b = xc.SaveBytes();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[183417 - 5255 * 30])), "First");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[183417 - 9])), "Last");
  EXPECT_EQ(Le16(b, 23), 5000);
  EXPECT_EQ(Le16(b, 25), 5001);
  // KRV-517AX: timers around their reserved bytes; 16-bit sources are signed.
  SetupDatabase ax(18);
  ax.SetTimerFromState(98, 1);
  ax.SetTimerTo(0, 4290);
  ax.SetTimerToState(98, 1);
  ax.SetTimerLowLimit(0, 12);
  ax.SetVirtualSource(0, 0, -1);
  b = ax.SaveBytes();
  EXPECT_EQ(b[143354 + 98], 1);
  EXPECT_EQ(b[143453], 0);
  EXPECT_EQ(Le16(b, 143454), 4290);
  EXPECT_EQ(b[143652 + 98], 1);
  EXPECT_EQ(Le16(b, 143752), 12);
  EXPECT_EQ(ax.VirtualSource(0, 0), -1);
  EXPECT_EQ(ax.UdpPort(), 0);
  // SLGML peer links and the tail fields.
  SetupDatabase ml(12);
  ml.SetPeerSourceAddress(1, 65535);
  ml.SetPeerBooleanInputBits(1, 128);
  ml.SetStaleDataTimeout(25);
  ml.SetMicrolokClockSync(1);
  EXPECT_EQ(ml.PeerLinkCount(), 2);
  EXPECT_EQ(ml.PeerSourceAddress(1), 65535);
  EXPECT_EQ(ml.PeerBooleanInputBits(1), 128);
  b = ml.SaveBytes();
  EXPECT_EQ(b[9764], 1);
  EXPECT_EQ(Le16(b, 9760), 25);
  EXPECT_EQ(Le16(b, 9744 + 8), 65535);
  // KRV-61: one-byte signed timer inputs.
  SetupDatabase k61(2);
  k61.SetTimerFrom(0, -1);
  EXPECT_EQ(k61.TimerFrom(0), -1);
  k61.SetTimerFrom(1, 119);
  EXPECT_EQ(k61.TimerFrom(1), 119);
}

TEST(SetupDatabase, PresenceOfInputModules) {
  SetupDatabase ax(18), xc(6);
  EXPECT_EQ(ax.SecondaryIpCount(), 16);
  EXPECT_EQ(SetupDatabase(3).SecondaryIpCount(), 0);
  EXPECT_FALSE(ax.ModulePresent(0));
  ax.SetSecondaryIp(0, {255, 255, 255, 255});
  xc.SetSecondaryIp(0, {255, 255, 255, 255});
  EXPECT_FALSE(ax.ModulePresent(0));
  EXPECT_TRUE(xc.ModulePresent(0));
  ax.SetSecondaryIp(15, {0, 0, 0, 1});
  EXPECT_TRUE(ax.ModulePresent(15));
  EXPECT_FALSE(ax.ModulePresent(16));
  EXPECT_FALSE(xc.ModulePresent(1));
}

}  // namespace
}  // namespace zel
