// Reports written to files: the recorder's folder, the selection, and files that are missing,
// cut short, of another model or garbage.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "report_test_util.h"
#include "zel/core/report.h"
#include "zel/core/report_selection.h"
#include "zel/testing/temp_folder.h"

namespace zel::core {
namespace {

namespace fs = std::filesystem;
using testing::Date;
using testing::EventFile;
using testing::Lines;

const uint16_t kDay = Date(24, 3, 15);

class ReportFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = root_ / "North Yard";
    fs::create_directories(folder_);
    recorder_.id = "North Yard";
    recorder_.type = 5;  // KRV-517XL/A
  }

  SetupDatabase Setup() const {
    SetupDatabase s(5);
    s.SetUnitName("North Yard XL");
    s.SetName(0, "Home Signal");
    s.SetIdentifier(0, "HOME");
    s.SetName(1, "Distant");
    s.SetIdentifier(1, "DIST");
    s.SetOnName(0, "On");
    s.SetOffName(0, "Off");
    return s;
  }
  void SaveSetup() const { ASSERT_TRUE(Setup().SaveFile(folder_ / "setupdata.bin")); }

  static void WriteBytes(const fs::path& p, const std::vector<uint8_t>& b) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  }
  static std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::vector<uint8_t> ThreeRecords() const {
    return EventFile(testing::k517XLShape, kDay, 0, kDay, 8639999,
                     {{0x40, 100, 0, 0, kDay}, {0x40, 200, 1, 0, kDay}, {0x40, 300, 560, 0, kDay}});
  }
  int FilesIn(const fs::path& dir) const {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
    return n;
  }

  zeltest::TempFolder temp_{"report"};
  fs::path root_ = temp_.path();
  fs::path folder_;
  RecorderRecord recorder_;
};

TEST_F(ReportFileTest, PollReportBesideTheEventFileWithTheRecorderSetup) {
  SaveSetup();
  const fs::path event = folder_ / "240315-120000.bin";
  WriteBytes(event, ThreeRecords());
  const fs::path report = ReportPathBeside(event, true);
  EXPECT_EQ(report, folder_ / "240315-120000.txt");
  const ReportResult r = MakeReport(recorder_, root_, event, report);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.records, 3);
  EXPECT_EQ(r.lines, 3);
  EXPECT_TRUE(r.warning.empty()) << r.warning;

  std::string expected;
  const auto bytes = ThreeRecords();
  ASSERT_TRUE(RenderReport(5, Setup(), bytes.data(), bytes.size(), InputFilter(), expected).ok());
  EXPECT_EQ(ReadText(report), expected);
  const auto lines = Lines(expected);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[1], "North Yard XL");
  EXPECT_EQ(lines[3], "00:00:01.00  03/15/24  Home Signal           HOME            On  D001");
  // Setup, event file and report: no temporary file stays behind.
  EXPECT_EQ(FilesIn(folder_), 3);
}

TEST_F(ReportFileTest, QueryFileInASubfolderUsesTheRecorderFolderSetup) {
  SaveSetup();
  fs::create_directories(folder_ / "Query");
  const fs::path event = folder_ / "Query" / "interval.bin";
  WriteBytes(event, ThreeRecords());
  const fs::path report = ReportPathBeside(event, false);
  EXPECT_EQ(report.filename(), "interval.wri");
  ASSERT_TRUE(MakeReport(recorder_, root_, event, report).ok());
  EXPECT_NE(ReadText(report).find("Home Signal"), std::string::npos);
}

TEST_F(ReportFileTest, AskWithNothingSelectedOrCancelReportsEveryInput) {
  SaveSetup();
  const fs::path event = folder_ / "e.bin";
  WriteBytes(event, ThreeRecords());
  const fs::path report = EventsReportPath(event, true);
  EXPECT_EQ(report, folder_ / "Events.txt");

  int shown = 0;
  ReportSelector none = [&](ReportSelection& sel) -> std::optional<std::vector<int>> {
    ++shown;
    EXPECT_EQ(sel.RowCount(), 571);
    return std::vector<int>{};
  };
  ReportResult r = MakeReport(recorder_, root_, event, report, &none);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.lines, 3);
  ReportSelector cancel = [&](ReportSelection&) -> std::optional<std::vector<int>> {
    ++shown;
    return std::nullopt;
  };
  r = MakeReport(recorder_, root_, event, report, &cancel);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.lines, 3);
  EXPECT_EQ(shown, 2);
}

TEST_F(ReportFileTest, AskWithTwoInputsSelectedReportsOnlyThem) {
  SaveSetup();
  const fs::path event = folder_ / "e.bin";
  WriteBytes(event, EventFile(testing::k517XLShape, kDay, 0, kDay, 0,
                              {{0x40, 1, 0, 0, kDay},
                               {0x40, 2, 1, 0, kDay},
                               {0x40, 3, 560, 0, kDay},
                               {0x40, 4, 2, 0, kDay},
                               {0x40, 5, 1, 0, kDay}}));
  ReportSelector pick = [](ReportSelection& sel) -> std::optional<std::vector<int>> {
    sel.ClickHeader(SelectionColumn::kName);  // positions refer to the sorted list
    std::vector<int> positions;
    for (int i = 0; i < sel.RowCount(); ++i) {
      const int n = sel.rows()[static_cast<std::size_t>(i)].input;
      if (n == 1 || n == 560) positions.push_back(i);
    }
    return sel.InputsOfRows(positions);
  };
  const fs::path report = folder_ / "Events.txt";
  const ReportResult r = MakeReport(recorder_, root_, event, report, &pick);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.records, 5);
  const auto lines = Lines(ReadText(report));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_NE(lines[3].find("Distant"), std::string::npos);
  EXPECT_NE(lines[4].find("System Power"), std::string::npos);
  EXPECT_NE(lines[5].find("Distant"), std::string::npos);
  EXPECT_EQ(lines[6], "End of report");
}

TEST_F(ReportFileTest, MissingSetupWritesNothingAndSaysSo) {
  const fs::path event = folder_ / "e.bin";
  WriteBytes(event, ThreeRecords());
  const fs::path report = folder_ / "e.txt";
  bool asked = false;
  ReportSelector ask = [&](ReportSelection&) -> std::optional<std::vector<int>> {
    asked = true;
    return std::nullopt;
  };
  const ReportResult r = MakeReport(recorder_, root_, event, report, &ask);
  EXPECT_EQ(r.status, ReportStatus::kSetupMissing);
  EXPECT_NE(r.error.find("setupdata.bin"), std::string::npos) << r.error;
  EXPECT_FALSE(asked);
  EXPECT_FALSE(fs::exists(report));
  EXPECT_EQ(FilesIn(folder_), 1);

  ReportRequest req;
  req.type = 5;
  req.eventFile = event;
  req.setupFile = root_ / "nowhere" / "setupdata.bin";
  req.reportFile = report;
  EXPECT_EQ(WriteReport(req).status, ReportStatus::kSetupMissing);
}

TEST_F(ReportFileTest, MissingEventFileOrReportFolder) {
  SaveSetup();
  ReportResult r = MakeReport(recorder_, root_, folder_ / "absent.bin", folder_ / "a.txt");
  EXPECT_EQ(r.status, ReportStatus::kEventFileError);
  EXPECT_FALSE(r.error.empty());
  EXPECT_FALSE(fs::exists(folder_ / "a.txt"));

  const fs::path event = folder_ / "e.bin";
  WriteBytes(event, ThreeRecords());
  r = MakeReport(recorder_, root_, event, folder_ / "no such folder" / "e.txt");
  EXPECT_EQ(r.status, ReportStatus::kReportFileError);
  EXPECT_NE(r.error.find("no such folder"), std::string::npos) << r.error;
}

TEST_F(ReportFileTest, FileCutInsideTheHeaderIsRefusedAndOldReportKept) {
  SaveSetup();
  const fs::path report = folder_ / "e.txt";
  WriteBytes(report, {'o', 'l', 'd'});
  auto bytes = ThreeRecords();
  // Header line 21, fixed fields 14, state block 45: 80 bytes before the first record.
  for (std::size_t cut : {std::size_t{0}, std::size_t{10}, std::size_t{21}, std::size_t{79}}) {
    const fs::path event = folder_ / "e.bin";
    WriteBytes(event, std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut));
    const ReportResult r = MakeReport(recorder_, root_, event, report);
    EXPECT_EQ(r.status, ReportStatus::kEventFileError) << cut;
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(ReadText(report), "old") << cut;
  }
  EXPECT_EQ(FilesIn(folder_), 3);
}

TEST_F(ReportFileTest, FileCutInsideARecordEndsTheReportWithAWarning) {
  SaveSetup();
  auto bytes = ThreeRecords();
  bytes.resize(bytes.size() - 7);  // the third record loses 7 of its 20 bytes
  const fs::path event = folder_ / "e.bin";
  WriteBytes(event, bytes);
  const fs::path report = folder_ / "e.txt";
  const ReportResult r = MakeReport(recorder_, root_, event, report);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.records, 2);
  EXPECT_NE(r.warning.find("13 bytes"), std::string::npos) << r.warning;
  const auto lines = Lines(ReadText(report));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[5], "End of report");

  // A file that ends right behind the header is a report without events.
  bytes.resize(80);
  WriteBytes(event, bytes);
  const ReportResult empty = MakeReport(recorder_, root_, event, report);
  ASSERT_TRUE(empty.ok());
  EXPECT_TRUE(empty.warning.empty());
  EXPECT_EQ(Lines(ReadText(report)).size(), 4u);
}

TEST_F(ReportFileTest, FileOfAnotherModelIsRefused) {
  SaveSetup();
  const fs::path report = folder_ / "e.txt";
  const fs::path event = folder_ / "e.bin";
  WriteBytes(event, EventFile(testing::k517Shape, kDay, 0, kDay, 0, {{0x01, 1, 0, 0, kDay}}));
  const ReportResult r = MakeReport(recorder_, root_, event, report);
  EXPECT_EQ(r.status, ReportStatus::kEventFileError);
  EXPECT_NE(r.error.find("KRV517 3.00"), std::string::npos) << r.error;
  EXPECT_NE(r.error.find("KRV-517XL/A"), std::string::npos) << r.error;
  EXPECT_FALSE(fs::exists(report));

  // KRV-583 and KRV-583E files differ only by one header byte: still told apart.
  std::string text;
  const auto e583 = EventFile(testing::k583EShape, kDay, 0, kDay, 0, {});
  SetupDatabase s583(7);
  EXPECT_EQ(RenderReport(7, s583, e583.data(), e583.size(), InputFilter(), text).status,
            ReportStatus::kEventFileError);
}

TEST_F(ReportFileTest, UnknownHeaderLineIsReadAsTheRecorderModel) {
  SaveSetup();
  auto bytes = ThreeRecords();
  const std::string odd = "KRV517XL 9.99 binary\n";  // as long as the real line
  std::copy(odd.begin(), odd.end(), bytes.begin());
  const fs::path event = folder_ / "e.bin";
  WriteBytes(event, bytes);
  const ReportResult r = MakeReport(recorder_, root_, event, folder_ / "e.txt");
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.lines, 3);
  EXPECT_FALSE(r.warning.empty());
}

TEST_F(ReportFileTest, ModelWithoutWriterWritesNothing) {
  recorder_.type = 17;
  const fs::path event = folder_ / "e.bin";
  WriteBytes(event, ThreeRecords());
  const ReportResult r = MakeReport(recorder_, root_, event, folder_ / "e.txt");
  EXPECT_EQ(r.status, ReportStatus::kNoWriter);
  EXPECT_FALSE(fs::exists(folder_ / "e.txt"));
}

TEST(ReportPaths, Extensions) {
  EXPECT_EQ(ReportExtension(true), ".txt");
  EXPECT_EQ(ReportExtension(false), ".wri");
  EXPECT_EQ(ReportPathBeside(fs::path("d") / "240315-083000.bin", false),
            fs::path("d") / "240315-083000.wri");
  EXPECT_EQ(EventsReportPath(fs::path("d") / "Query" / "q.bin", false),
            fs::path("d") / "Query" / "Events.wri");
}

// Garbage of every length for every model, with garbage setup databases: never a crash, and a
// report that is written is whole.
TEST(ReportGarbage, RandomBytesForEveryModel) {
  std::mt19937 rng(12345);
  for (RecorderType type = 0; type <= 18; ++type) {
    const ReportModel* model = FindReportModel(type);
    const EventLayout* layout = FindEventLayout(EventFileTypeOfModel(type));
    for (int round = 0; round < 12; ++round) {
      SetupDatabase setup(type);
      std::vector<uint8_t> setupBytes(rng() % 200000);
      for (auto& b : setupBytes) b = static_cast<uint8_t>(rng());
      setup.LoadBytes(setupBytes);
      std::vector<uint8_t> file(rng() % 3000);
      for (auto& b : file) b = static_cast<uint8_t>(rng() | 1);
      if (layout != nullptr && round % 2 == 0) {
        const std::string line = layout->headerLine;
        if (file.size() >= line.size()) std::copy(line.begin(), line.end(), file.begin());
      }
      std::string text;
      const ReportResult r =
          RenderReport(type, setup, file.data(), file.size(), InputFilter(), text);
      if (model == nullptr) {
        EXPECT_EQ(r.status, ReportStatus::kNoWriter);
        continue;
      }
      if (r.ok()) {
        ASSERT_GE(text.size(), 14u);
        EXPECT_EQ(text.substr(text.size() - 14), "End of report\n");
        EXPECT_EQ(text.rfind(model->title, 0), 0u);
        EXPECT_LE(r.lines, r.records);
      } else {
        EXPECT_EQ(r.status, ReportStatus::kEventFileError);
        EXPECT_FALSE(r.error.empty());
        EXPECT_TRUE(text.empty());
      }
    }
  }
}

}  // namespace
}  // namespace zel::core
