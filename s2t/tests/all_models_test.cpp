// Every converter: factory-default and random files of its model, every input listed once,
// every stored field visible in the listing, passwords never.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "test_support.h"
#include "zel/identifiers.h"
#include "zel/s2t/converter.h"

namespace zel::s2t {
namespace {

using testing::CountOf;
using testing::Lines;
using testing::SectionLines;

const std::vector<std::string> kSectionStarts{"Event names:",
                                              "Input names/Identifiers:",
                                              "Detect Times/Flash Enable:",
                                              "Analog Configuration:",
                                              "Virtual Configuration:",
                                              "Timer From Event To   Event LowLimit HighLimit",
                                              "Measure Speed Parameters:",
                                              "IP Address:*",
                                              "Primary UDP Port:*",
                                              "UDP Port:*",
                                              "Unit Name:"};

std::vector<std::string> Section(const std::string& text, const std::string& header) {
  return SectionLines(Lines(text), header, kSectionStarts);
}

}  // namespace

// Test names and failure messages show the program, not the bytes of the row.
void PrintTo(const ConverterModel& model, std::ostream* os) { *os << model.program; }

namespace {

class EveryConverter : public ::testing::TestWithParam<ConverterModel> {
 protected:
  RecorderType type() const { return GetParam().type; }

  std::string Convert(const SetupDatabase& db) {
    const std::string in = dir_.File("setupdata.bin");
    const std::string out = dir_.File("setup.txt");
    EXPECT_TRUE(db.SaveFile(in));
    const char* argv[] = {GetParam().program, in.c_str(), out.c_str()};
    std::ostringstream err;
    EXPECT_EQ(RunConverter(type(), 3, argv, err), 0);
    EXPECT_EQ(err.str(), "");
    return testing::ReadText(out);
  }

  // The structure every listing shares, checked against the model's counts.
  void CheckStructure(const SetupDatabase& db, const std::string& text) {
    const auto pairs = Section(text, "Event names:");
    ASSERT_EQ(pairs.size(), static_cast<size_t>(db.EventPairCount()) + 1);

    // Every input of the name arrays once, in order, named by its identifier.
    const auto inputs = Section(text, "Input names/Identifiers:");
    ASSERT_EQ(inputs.size(), static_cast<size_t>(db.NameCount()) + 1);
    std::set<std::string> seen;
    for (int n = 0; n < db.NameCount(); ++n) {
      const std::string& line = inputs[n + 1];
      const std::string id = line.substr(0, line.find(' '));
      EXPECT_EQ(id, SetupIdentifier(type(), n)) << line;
      EXPECT_TRUE(seen.insert(id).second) << "listed twice: " << id;
    }

    const auto detect = Section(text, "Detect Times/Flash Enable:");
    ASSERT_EQ(detect.size(), static_cast<size_t>((db.DigitalCount() + 3) / 4) + 1);
    // Each digital input in exactly one cell.
    std::map<std::string, int> cells;
    for (int n = 0; n < db.DigitalCount(); ++n) cells[SetupIdentifier(type(), n)] = 0;
    for (size_t i = 1; i < detect.size(); ++i) {
      std::istringstream words(detect[i]);
      for (std::string w; words >> w;) {
        auto it = cells.find(w);
        if (it != cells.end()) ++it->second;
      }
    }
    for (const auto& [id, n] : cells) EXPECT_EQ(n, 1) << id;

    const auto analog = Section(text, "Analog Configuration:");
    EXPECT_EQ(analog.size(), static_cast<size_t>(db.AnalogCount()) + 1);
    const auto virt = Section(text, "Virtual Configuration:");
    int heads = 0;
    for (const std::string& line : virt) {
      if (line.rfind(SetupIdentifier(type(), FirstVirtualInput(type())).substr(0, 1), 0) == 0) {
        ++heads;
      }
    }
    EXPECT_EQ(heads, db.VirtualCount());
    EXPECT_EQ(Section(text, "Timer From Event To   Event LowLimit HighLimit").size(),
              static_cast<size_t>(db.TimerCount()));
    const auto speed = Section(text, "Measure Speed Parameters:");
    EXPECT_EQ(speed.size(), db.SpeedMonitorCount() > 0 ? db.SpeedMonitorCount() + 1u : 0u);
    EXPECT_EQ(CountOf(text, "********"), (db.Has(SetupField::kAdministrativePassword) ? 1 : 0) +
                                             (db.Has(SetupField::kRestrictedPassword) ? 1 : 0) +
                                             (db.Has(SetupField::kPasscode) ? 1 : 0));
  }

  testing::TempFolder dir_;
};

TEST_P(EveryConverter, FactoryDefaultFileListsEveryInputOnceWithoutPasswords) {
  SetupDatabase db(type());
  db.RestoreFactoryDefaults();
  const std::string text = Convert(db);
  CheckStructure(db, text);
  EXPECT_EQ(CountOf(text, "QUILLMAN"), 0);
  EXPECT_EQ(CountOf(text, "FERNGATE"), 0);
  EXPECT_EQ(CountOf(text, "40719268"), 0);
  EXPECT_NE(text.find("***** NOT SET *****\n"), std::string::npos);
}

TEST_P(EveryConverter, RandomFilesOfAnyLengthList) {
  std::mt19937 random(1234u + static_cast<unsigned>(type()));
  SetupDatabase probe(type());
  const size_t lengths[] = {probe.WrittenLength(), probe.FieldLength() / 3,
                            probe.WrittenLength() + 1000};
  for (size_t length : lengths) {
    std::vector<uint8_t> bytes(length);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    SetupDatabase db(type());
    db.LoadBytes(bytes);
    // Distinctive passwords, so their absence from the listing means something.
    db.SetAdministrativePassword("Adm1nPw!");
    db.SetRestrictedPassword("Rstr1cT?");
    db.SetPasscode("P4ssC0de");
    const std::string text = Convert(db);
    CheckStructure(db, text);
    EXPECT_EQ(CountOf(text, "Adm1nPw!"), 0);
    EXPECT_EQ(CountOf(text, "Rstr1cT?"), 0);
    EXPECT_EQ(CountOf(text, "P4ssC0de"), 0);
  }
}

// A change to any stored field shows in the listing, except the passwords, which never do.
TEST_P(EveryConverter, EveryFieldOfTheLayoutIsListed) {
  SetupDatabase base(type());
  base.RestoreFactoryDefaults();
  // One used source, so the truth table has rows to show.
  if (base.VirtualCount() > 0) base.SetVirtualSource(0, 0, 0);
  const std::string baseText = ListSetup(base, GetParam());
  const std::set<SetupField> passwords{SetupField::kAdministrativePassword,
                                       SetupField::kRestrictedPassword, SetupField::kPasscode};
  int checked = 0;
  for (const LayoutField& f : base.layout()->fields()) {
    if (f.reserved()) continue;
    auto check = [&](SetupDatabase& changed, const std::string& what) {
      ASSERT_FALSE(changed.Equals(base)) << what << ": the change did not take";
      const std::string text = ListSetup(changed, GetParam());
      if (passwords.count(f.id) != 0) {
        EXPECT_EQ(text, baseText) << what << " shows in the listing";
      } else {
        EXPECT_NE(text, baseText) << what << " is missing from the listing";
      }
      ++checked;
    };
    if (f.kind == FieldKind::kText) {
      SetupDatabase changed = base;
      changed.SetText(f.id, 0, "Zq9");
      check(changed, f.name);
    } else if (f.kind == FieldKind::kNumber) {
      SetupDatabase changed = base;
      changed.SetNumber(f.id, 0, base.Number(f.id, 0) + 1);
      check(changed, f.name);
    } else if (f.kind == FieldKind::kBytes) {
      SetupDatabase changed = base;
      std::vector<uint8_t> bytes = base.Bytes(f.id, 0);
      ASSERT_FALSE(bytes.empty()) << f.name;
      bytes[0] ^= 0x01;
      changed.SetBytes(f.id, 0, bytes);
      check(changed, f.name);
    } else if (f.kind == FieldKind::kRecords) {
      for (const LayoutMember& m : f.members) {
        if (m.reserved()) continue;
        SetupDatabase changed = base;
        const int value = base.Number(f.id, 0, m.id, 0);
        changed.SetNumber(f.id, 0, m.id == SetupMember::kRelayFlags ? value ^ 0xFF : value + 1,
                          m.id, 0);
        check(changed, std::string(f.name) + "." + m.name);
      }
    }
  }
  EXPECT_GT(checked, 20);
}

// The program of the model, as built, writes what the listing code gives.
TEST_P(EveryConverter, ProgramWritesTheModelsListing) {
  SetupDatabase db(type());
  db.RestoreFactoryDefaults();
  db.SetUnitName("Program check");
  const std::string in = dir_.File("defaults.bin");
  ASSERT_TRUE(db.SaveFile(in));
  std::vector<std::string> programs{GetParam().program};
  if (GetParam().alias != nullptr) programs.push_back(GetParam().alias);
  for (const std::string& program : programs) {
    const std::string out = dir_.File(program + ".txt");
    const std::string command = "'" + std::string(ZEL_BIN_DIR) + "/" + program + "' '" + in +
                                "' '" + out + "' 2>'" + dir_.File("stderr") + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << command;
    EXPECT_EQ(WEXITSTATUS(status), 0) << command;
    EXPECT_EQ(testing::ReadText(out), ListSetup(db, GetParam())) << program;
    EXPECT_EQ(testing::ReadText(dir_.File("stderr")), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Models, EveryConverter, ::testing::ValuesIn(ConverterModels()),
                         [](const ::testing::TestParamInfo<ConverterModel>& info) {
                           return std::string(info.param.program);
                         });

TEST(ConverterTable, OneProgramPerModelWithALayout) {
  std::set<std::string> programs;
  for (const ConverterModel& m : ConverterModels()) {
    EXPECT_TRUE(programs.insert(m.program).second) << m.program;
    // The catalogue names the same program, with ".exe".
    ASSERT_TRUE(ConverterOf(m.type).has_value()) << m.type;
    EXPECT_EQ(*ConverterOf(m.type), std::string(m.program) + ".exe");
    EXPECT_TRUE(SetupDatabase(m.type).valid()) << m.program;
  }
  EXPECT_EQ(programs.size(), 17u);
  EXPECT_EQ(FindConverterModel(15), FindConverterModel(14));
  EXPECT_EQ(FindConverterModel(17), nullptr);
  EXPECT_EQ(FindConverterModel(19), nullptr);
  EXPECT_EQ(FindConverterModel(-1), nullptr);
}

}  // namespace
}  // namespace zel::s2t
