// Plot templates and the plotter's command line from untrusted bytes: the template loader must
// take any file (short, long, any numbers) and the option parser any text, without reading
// outside them; a loaded template must save back to the same 2304 bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui/model/command_options.h"
#include "model/plot_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  zel::qplot::CZelQplotDoc doc;
  doc.SetInputCount(static_cast<int>(size % 5000));
  doc.NewDocument();
  if (doc.Deserialize(bytes)) {
    const auto saved = doc.Serialize();
    if (saved.size() != zel::qplot::kTemplateSize ||
        !std::equal(saved.begin(), saved.end(), bytes.begin()))
      std::abort();
    (void)doc.ChannelsToPrint();
    doc.MoveChannel(data[0], data[1]);
  } else if (size >= zel::qplot::kTemplateSize) {
    std::abort();
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto line = zel::gui::CommandOptions::FromCommandLine(text);
  for (const char* name : {"event", "setup", "zoom", "export"}) (void)line.Value(name);
  (void)line.FirstNonOption();
  std::vector<std::string> args;
  size_t start = 0;
  for (size_t i = 0; i <= size; ++i) {
    if (i == size || data[i] == 0) {
      args.emplace_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  const auto split = zel::gui::CommandOptions::FromArguments(args);
  (void)split.Value("event");
  (void)split.FirstNonOption();
  if (const auto r = zel::gui::ParseDayTimeRange(text)) (void)r->EndSeconds();
  return 0;
}
