#include "model/plot_document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "zel/testing/temp_folder.h"

namespace zel::qplot {
namespace {

namespace fs = std::filesystem;

TEST(PlotDocument, NewDocumentShowsTheFirstNInputs) {
  CZelQplotDoc doc;
  doc.SetInputCount(144);  // KRV85E
  doc.NewDocument();
  EXPECT_EQ(doc.Channel(0).input, 0);
  EXPECT_EQ(doc.Channel(143).input, 143);
  EXPECT_EQ(doc.Channel(144).input, kNoInput);
  EXPECT_EQ(doc.Channel(255).input, kNoInput);
  EXPECT_EQ(doc.Channel(7).color, 0u);
  EXPECT_EQ(doc.ChannelsToPrint(), 144);
  EXPECT_FALSE(doc.IsModified());
  doc.SetInputCount(0);
  doc.NewDocument();
  EXPECT_EQ(doc.ChannelsToPrint(), 0);
}

TEST(PlotDocument, TemplateRoundTripAtItsByteOffsets) {
  CZelQplotDoc doc;
  doc.SetInputCount(360);
  doc.NewDocument();
  doc.SetChannelColor(3, 0x00112233);
  doc.SetChannelInput(255, 361);  // equation 2
  doc.SetChannelInput(0, kNoInput);
  CVequation eq;
  eq.in = {5, kNoInput, 7, kNoInput};
  eq.table[2] = 1;
  doc.SetEquation(7, eq);
  EXPECT_TRUE(doc.IsModified());
  const auto bytes = doc.Serialize();
  ASSERT_EQ(bytes.size(), 2304u);
  // Channel 3 colour at 24, little-endian; channel 0's input -1 at 4; channel 255 at 2044.
  EXPECT_EQ(bytes[24], 0x33);
  EXPECT_EQ(bytes[26], 0x11);
  EXPECT_EQ(bytes[4], 0xFF);
  EXPECT_EQ(bytes[7], 0xFF);
  EXPECT_EQ(bytes[2044], 361 & 0xFF);
  EXPECT_EQ(bytes[2045], 361 >> 8);
  // Equation 7: inputs at 2048 + 224, table at 2064 + 224.
  EXPECT_EQ(bytes[2272], 5);
  EXPECT_EQ(bytes[2276], 0xFF);
  EXPECT_EQ(bytes[2280], 7);
  EXPECT_EQ(bytes[2288 + 2], 1);

  const zeltest::TempFolder temp("qplot_doc");
  const fs::path& dir = temp.path();
  std::string error;
  ASSERT_TRUE(doc.Save(dir / "a.zpl", &error)) << error;
  EXPECT_EQ(fs::file_size(dir / "a.zpl"), 2304u);
  EXPECT_FALSE(fs::exists(dir / "a.zpl.tmp"));
  CZelQplotDoc back;
  ASSERT_TRUE(back.Load(dir / "a.zpl", &error)) << error;
  EXPECT_EQ(back.Serialize(), bytes);
  EXPECT_EQ(back.Equation(7), eq);
}

TEST(PlotDocument, AShortTemplateFailsAndChangesNothing) {
  const zeltest::TempFolder temp("qplot_doc");
  const fs::path& dir = temp.path();
  CZelQplotDoc doc;
  doc.SetInputCount(30);
  doc.NewDocument();
  const auto before = doc.Serialize();
  std::vector<uint8_t> bytes(2303, 0x11);
  std::ofstream(dir / "short.zpl", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), 2303);
  std::string error;
  EXPECT_FALSE(doc.Load(dir / "short.zpl", &error));
  EXPECT_NE(error.find("2303 of its 2304 bytes"), std::string::npos) << error;
  EXPECT_EQ(doc.Serialize(), before);
  EXPECT_FALSE(doc.Load(dir / "missing.zpl", &error));
  EXPECT_NE(error.find("Cannot open"), std::string::npos);
  // Longer files load their first 2304 bytes.
  bytes.resize(3000, 0);
  std::ofstream(dir / "long.zpl", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), 3000);
  EXPECT_TRUE(doc.Load(dir / "long.zpl", &error));
  EXPECT_EQ(doc.Channel(0).color, 0x11111111u);
  // Saving into a folder that does not exist fails with a reason and leaves nothing behind.
  EXPECT_FALSE(doc.Save(dir / "no" / "x.zpl", &error));
  EXPECT_NE(error.find("could not be saved"), std::string::npos);
}

// Saving over a template replaces it whole and leaves no temporary file beside it; a save that
// cannot replace the target leaves what is there.
TEST(PlotDocument, SaveReplacesTheTemplateWhole) {
  const zeltest::TempFolder temp("qplot_doc");
  const fs::path& dir = temp.path();
  CZelQplotDoc doc;
  doc.SetInputCount(360);
  doc.NewDocument();
  std::string error;
  ASSERT_TRUE(doc.Save(dir / "a.zpl", &error)) << error;
  doc.SetChannelColor(7, 0x00FF00u);
  ASSERT_TRUE(doc.Save(dir / "a.zpl", &error)) << error;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    ++files;
    EXPECT_EQ(entry.path().filename(), "a.zpl");
  }
  EXPECT_EQ(files, 1);
  CZelQplotDoc back;
  ASSERT_TRUE(back.Load(dir / "a.zpl", &error)) << error;
  EXPECT_EQ(back.Channel(7).color, 0x00FF00u);
  fs::create_directories(dir / "folder.zpl" / "inside");
  EXPECT_FALSE(doc.Save(dir / "folder.zpl", &error));
  EXPECT_NE(error.find("The file on disk is unchanged"), std::string::npos);
  EXPECT_TRUE(fs::is_directory(dir / "folder.zpl" / "inside"));
}

TEST(PlotDocument, MoveChannelClosesTheGapAndEveryChangeNotifies) {
  CZelQplotDoc doc;
  doc.SetInputCount(360);
  doc.NewDocument();
  int changes = 0;
  doc.SetOnChange([&] { ++changes; });
  doc.MoveChannel(10, 3);
  EXPECT_EQ(doc.Channel(3).input, 10);
  for (int c = 4; c <= 10; ++c) EXPECT_EQ(doc.Channel(c).input, c - 1);
  EXPECT_EQ(doc.Channel(11).input, 11);
  doc.MoveChannel(3, 10);
  for (int c = 0; c < 20; ++c) EXPECT_EQ(doc.Channel(c).input, c);
  doc.MoveChannel(0, 300);  // outside: nothing
  EXPECT_EQ(changes, 2);
  EXPECT_TRUE(doc.IsModified());
}

TEST(PlotDocument, SelectedInputsFillChannelsAndStopAfter255) {
  CZelQplotDoc doc;
  doc.SetInputCount(360);
  doc.NewDocument();
  EXPECT_EQ(doc.FillChannels(253, {300, 301, 302, 303, 304}), 3);
  EXPECT_EQ(doc.Channel(252).input, 252);
  EXPECT_EQ(doc.Channel(253).input, 300);
  EXPECT_EQ(doc.Channel(255).input, 302);
  EXPECT_EQ(doc.FillChannels(256, {1}), 0);
}

TEST(Equation, TableIndexedByUsedInputsIn1LowestBit) {
  CVequation eq;
  EXPECT_FALSE(eq.Output({true, true, true, true}));  // no used input: off
  eq.table.fill(1);
  EXPECT_FALSE(eq.Output({true, true, true, true}));
  // In2 and In4 used: index In4 x 2 + In2.
  eq = CVequation{};
  eq.in = {kNoInput, 10, kNoInput, 20};
  EXPECT_EQ(eq.UsedInputCount(), 2);
  EXPECT_EQ(eq.TableIndex({false, true, false, false}), 1);
  EXPECT_EQ(eq.TableIndex({true, false, true, true}), 2);
  EXPECT_EQ(eq.TableIndex({false, true, false, true}), 3);
  eq.table[2] = 1;
  EXPECT_TRUE(eq.Output({false, false, false, true}));
  EXPECT_FALSE(eq.Output({false, true, false, true}));
  // All four: In1 is bit 0, In4 bit 3.
  eq.in = {1, 2, 3, 4};
  EXPECT_EQ(eq.TableIndex({true, false, false, true}), 9);
}

}  // namespace
}  // namespace zel::qplot
