// zelreport: the text report of one event record file, written by the station manager's writer.
#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zel/catalogue.h"
#include "zel/core/report.h"
#include "zel/identifiers.h"
#include "zel/platform/guarded_main.h"

namespace {

std::optional<int> Number(std::string_view text) {
  int v = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || v < 0) return std::nullopt;
  return v;
}

// One element of the input list: a number, a range "a-b", or a setup identifier ("D001").
bool AddInputs(zel::RecorderType type, std::string_view item, std::vector<int>& out) {
  if (item.empty()) return false;
  if (auto n = Number(item)) {
    out.push_back(*n);
    return true;
  }
  const auto dash = item.find('-');
  if (dash != std::string_view::npos) {
    const auto a = Number(item.substr(0, dash));
    const auto b = Number(item.substr(dash + 1));
    if (a && b && *a <= *b && *b < zel::core::InputFilter::kBits) {
      for (int n = *a; n <= *b; ++n) out.push_back(n);
      return true;
    }
  }
  const std::string invalid = zel::InvalidIdentifierText(type);
  if (item == invalid) return false;
  for (int n = 0; n < zel::core::InputFilter::kBits; ++n) {
    if (zel::SetupIdentifier(type, n) == item) {
      out.push_back(n);
      return true;
    }
  }
  return false;
}

}  // namespace

int Run(int argc, char** argv) {
  CLI::App app{
      "Writes the text report of one event record file with the names of the recorder's "
      "setup database."};
  std::string typeText;
  std::string eventFile;
  std::string reportFile;
  std::string setupFile;
  std::string inputs;
  app.add_option("--type", typeText,
                 "recorder model: type number, display name or short model name (5, "
                 "KRV-517XL/A, KRV-517XL)")
      ->required();
  app.add_option("EVENTFILE", eventFile, "event record file (.bin)")->required();
  app.add_option("REPORTFILE", reportFile, "report file to write (.txt or .wri)")->required();
  app.add_option("--setup", setupFile,
                 "setup database to name the inputs (default: setupdata.bin beside the event "
                 "file)");
  app.add_option("--inputs", inputs,
                 "report only these inputs: comma-separated numbers, ranges such as 0-15, or "
                 "identifiers such as D001 and S01 (default: every input)");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }

  const zel::RecorderType type = zel::ParseModel(typeText);
  if (type < 0 || zel::core::FindReportModel(type) == nullptr) {
    std::fprintf(stderr,
                 "zelreport: \"%s\" names no model with an event report; give a type number or "
                 "model name such as 5 or KRV-517XL.\n",
                 typeText.c_str());
    return 2;
  }

  zel::core::ReportRequest request;
  request.type = type;
  request.eventFile = eventFile;
  request.reportFile = reportFile;
  request.setupFile = setupFile.empty()
                          ? std::filesystem::path(eventFile).parent_path() / "setupdata.bin"
                          : std::filesystem::path(setupFile);
  if (!inputs.empty()) {
    std::vector<int> chosen;
    std::string_view rest = inputs;
    while (true) {
      const auto comma = rest.find(',');
      const std::string_view item = rest.substr(0, comma);
      if (!AddInputs(type, item, chosen)) {
        std::fprintf(stderr,
                     "zelreport: \"%.*s\" in --inputs is no input of a %s; give input numbers, "
                     "ranges like 0-15 or identifiers like %s.\n",
                     static_cast<int>(item.size()), item.data(), zel::TypeName(type).c_str(),
                     zel::SetupIdentifier(type, 0).c_str());
        return 2;
      }
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    request.filter = zel::core::InputFilter::Only(chosen);
  }

  const zel::core::ReportResult result = zel::core::WriteReport(request);
  if (!result.warning.empty()) std::fprintf(stderr, "zelreport: %s\n", result.warning.c_str());
  if (!result.ok()) {
    std::fprintf(stderr, "zelreport: %s\n", result.error.c_str());
    return result.status == zel::core::ReportStatus::kReportFileError ? 1 : 2;
  }
  return 0;
}

int main(int argc, char** argv) { return zel::platform::GuardedMain("zelreport", Run, argc, argv); }
