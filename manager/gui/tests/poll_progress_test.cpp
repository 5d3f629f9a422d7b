// The progress bar beside the status line counts the blocks of the transfer in progress while
// a poll downloads over a slow line, and keeps the status fields' exact texts.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <chrono>
#include <thread>

#include "window_rig.h"
#include "zel/catalogue.h"

namespace zel::oxm {
namespace {

using core::Command;
using testing::WindowRig;
using testing::ZelDatWith;

TEST(PollProgressBar, ShowsTheBlocksOfATransferInProgress) {
  zeltest::SimProcess sim;
  // A slow line, so every transfer takes many ticks of the window.
  ASSERT_TRUE(sim.Start({"--model", "KRV-517XL", "--password", "ADMIN1", "--tcp", "0", "--scale",
                         "0.01", "--bytes-per-second", "6000"}))
      << sim.error();
  const std::string line = "\"R1\",\"\",\"ADMIN1\"," + std::to_string(ParseModel("KRV-517XL")) +
                           ",0,0,0,0,0,-1,0,2130706433," + std::to_string(sim.Port());
  WindowRig rig("oxm_blocks", ZelDatWith({line}));
  StationWindow& w = rig.Open();
  w.SelectRows({0});
  w.Run(Command::PollTodayDirect);
  int mostBlocks = 0;
  std::string blockText;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  bool running = true;
  while (running && std::chrono::steady_clock::now() < end) {
    running = w.engine().Running();
    w.Tick();
    const std::string text = w.progressBar()->format().toStdString();
    const auto at = text.find(", block ");
    if (at != std::string::npos) {
      const int blocks = std::atoi(text.c_str() + at + 8);
      if (blocks > mostBlocks) {
        mostBlocks = blocks;
        blockText = text;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_FALSE(running) << "the poll did not end";
  EXPECT_GE(mostBlocks, 2) << "no transfer showed its blocks";
  EXPECT_EQ(blockText.rfind("0 of 1 recorders, block ", 0), 0u) << blockText;
  // After the run: the recorders only, and the status fields' own texts.
  EXPECT_EQ(w.progressBar()->format().toStdString(), "1 of 1 recorders");
  EXPECT_EQ(w.statusField(2)->text().toStdString(), "Success");
}

}  // namespace
}  // namespace zel::oxm
