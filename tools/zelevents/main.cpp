// zelevents: dump of one event record file as comment lines and CSV.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

#include "zel/catalogue.h"
#include "zel/day_number.h"
#include "zel/event_file.h"
#include "zel/platform/guarded_main.h"

namespace {

void AppendInt(std::string& out, long long v) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

std::string DateText(uint16_t packed) {
  const zel::CivilDate d = zel::UnpackDate(packed);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", d.month, d.day, d.year);
  return buf;
}

std::string IntervalText(uint16_t date, uint32_t time, int tps) {
  const long long t = time;
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s %02lld:%02lld:%02lld (%lld ticks)", DateText(date).c_str(),
                t / (3600LL * tps), t % (3600LL * tps) / (60LL * tps), t % (60LL * tps) / tps, t);
  return buf;
}

}  // namespace

int Run(int argc, char** argv) {
  CLI::App app{
      "Prints an event record file: its header as # comment lines, then one CSV line "
      "per record."};
  std::string path;
  std::string model;
  app.add_option("FILE", path, "event record file")->required();
  app.add_option("--model", model,
                 "read the file as this model's type without looking at the header line "
                 "(type number, display name or short model name)");
  CLI11_PARSE(app, argc, argv);

  zel::EventRecordFile file;
  zel::EventRecordFile::OpenResult result;
  if (!model.empty()) {
    const zel::RecorderType type = zel::ParseModel(model);
    if (zel::EventFileTypeOfModel(type) == zel::EventFileType::kUnknown) {
      std::fprintf(stderr,
                   "zelevents: \"%s\" names no model with event record files; give a type "
                   "number or model name such as 5 or KRV-517XL.\n",
                   model.c_str());
      return 2;
    }
    result = file.OpenForModel(path, type);
  } else {
    result = file.Open(path);
  }
  if (result == zel::EventRecordFile::OpenResult::kCannotOpen) {
    std::fprintf(stderr, "zelevents: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
    return 2;
  }
  if (result == zel::EventRecordFile::OpenResult::kUnknownType) {
    std::string line = file.HeaderLine();
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    std::string shown;
    for (char c : line) {
      const auto u = static_cast<unsigned char>(c);
      if (u >= 0x20 && u < 0x7F) {
        shown += c;
      } else {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02X", u);
        shown += buf;
      }
    }
    std::fprintf(stderr,
                 "zelevents: %s is not an event record file of a known type (its first line "
                 "reads \"%s\"); use --model to read it as a given model.\n",
                 path.c_str(), shown.c_str());
    return 2;
  }

  const zel::EventLayout& layout = *file.Layout();
  const int tps = layout.ticksPerSecond;
  std::string header = layout.headerLine;
  header.pop_back();
  std::string out;
  out += "# header: " + header + "\n";
  out += "# tick: " + std::to_string(tps) + " per second\n";
  out += "# inputs: " + std::to_string(layout.inputCount) + "\n";
  const zel::EventInterval& iv = file.Interval();
  out += "# start: " + IntervalText(iv.startDate, iv.startTime, tps) + "\n";
  out += "# end: " + IntervalText(iv.endDate, iv.endTime, tps) + "\n";
  out += "# initial: ";
  for (uint8_t s : file.InitialStates()) out += static_cast<char>('0' + s);
  out += "\n";
  if (!file.FixedHeaderComplete()) out += "# the file ends inside its fixed header\n";
  out += "state,time,date,input,special,abs_time,values\n";

  zel::EventRecord r;
  uint16_t lastDate = 0;
  std::string lastDateText = DateText(0);
  while (file.Next(r)) {
    if (r.date != lastDate) {
      lastDate = r.date;
      lastDateText = DateText(r.date);
    }
    AppendInt(out, r.state);
    out += ',';
    AppendInt(out, r.time);
    out += ',';
    out += lastDateText;
    out += ',';
    AppendInt(out, r.input);
    out += ',';
    AppendInt(out, r.special);
    out += ',';
    AppendInt(out, r.absTime);
    out += ',';
    for (int i = 0; i < r.valueCount; ++i) {
      if (i > 0) out += ' ';
      AppendInt(out, r.values[static_cast<size_t>(i)]);
    }
    out += '\n';
    if (out.size() > (1u << 16)) {
      if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) return 1;
      out.clear();
    }
  }
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) return 1;
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int main(int argc, char** argv) { return zel::platform::GuardedMain("zelevents", Run, argc, argv); }
