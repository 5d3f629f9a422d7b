// ZelEdit517xc on a full setup database: how long the editor takes to open, to open the Input
// Names page (5,255 rows) and to apply a filter there. Prints figures; asserts nothing.
//   editor_bench [rounds]
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "list_page_dialog.h"
#include "main_dialog.h"
#include "model/editor_family.h"
#include "model/startup.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using namespace zel::editors;

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

void Print(const char* what, std::vector<double> v) {
  std::sort(v.begin(), v.end());
  std::printf("%-44s min %8.2f ms  median %8.2f ms  max %8.2f ms\n", what, v.front(),
              v[v.size() / 2], v.back());
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const EditorFamilyRow& editor = *FindEditor(zel::model::kKrv517xc);

  // A full database: every name and identifier at its full width, every pair named.
  zel::SetupDatabase full(editor.type);
  full.RestoreFactoryDefaults();
  for (int n = 0; n < full.NameCount(); ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "Crossing %04d East xx", n);
    full.SetName(n, name);
    std::snprintf(name, sizeof name, "X%07d", n);
    full.SetIdentifier(n, name);
    full.SetEventPair(n, n % full.EventPairCount());
  }
  const fs::path folder =
      fs::temp_directory_path() / ("zel-editor-bench-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path file = folder / "setupdata.bin";
  {
    const auto bytes = full.SaveBytes();
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  }
  std::printf("KRV-517XC setup database: %zu bytes, %d inputs with names\n",
              static_cast<std::size_t>(fs::file_size(file)), full.NameCount());

  zel::platform::RecordingPrompter prompter;
  zel::platform::RecordingLauncher launcher;
  std::vector<double> open, page, narrow, wide, clear;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = Clock::now();
    EditorSession session(editor);
    if (!StartSession(session, file.string(), prompter)) return 1;
    MainDialog dialog(session, prompter, launcher, "/opt/zel/");
    dialog.show();
    QApplication::processEvents();
    auto t1 = Clock::now();
    open.push_back(Ms(t0, t1));

    auto list = MakeListPage(Page::kInputNames, editor, session.db());
    t0 = Clock::now();
    ListPageDialog names(*list, session.db(), prompter, "ZELEdit517XC", {}, &dialog);
    names.show();
    QApplication::processEvents();
    t1 = Clock::now();
    page.push_back(Ms(t0, t1));

    t0 = Clock::now();
    names.filterBox()->setText("D40");  // D0040-D0049 and D4000-D4096
    QApplication::processEvents();
    t1 = Clock::now();
    narrow.push_back(Ms(t0, t1));
    if (r == 0) std::printf("filter \"D40\": %d rows\n", names.tableModel()->rowCount());

    t0 = Clock::now();
    names.filterBox()->setText("East");  // every row
    QApplication::processEvents();
    t1 = Clock::now();
    wide.push_back(Ms(t0, t1));

    t0 = Clock::now();
    names.filterBox()->clear();
    QApplication::processEvents();
    t1 = Clock::now();
    clear.push_back(Ms(t0, t1));
    names.hide();
    dialog.hide();
  }
  std::printf("rounds: %d (Debug builds with sanitizers run several times slower)\n", rounds);
  Print("editor opens (load, main dialog shown)", open);
  Print("Input Names page opens (5,255 rows shown)", page);
  Print("filter \"D40\" applied", narrow);
  Print("filter \"East\" applied (all rows match)", wide);
  Print("filter cleared", clear);
  fs::remove_all(folder);
  return 0;
}
