#include "model/events_csv.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "zel/day_number.h"

namespace zel::qplot {
namespace {

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::string EventsCsv(const EventData& data, const CZelQplotDoc& doc, const PlotView& view) {
  std::string out = "state,time,date,input,special,abs_time,values,identifier,name\n";
  if (!data.Loaded()) return out;
  std::vector<uint8_t> shown(static_cast<size_t>(data.InputCount()), 0);
  for (int c = 0; c < kChannelCount; ++c) {
    const int in = doc.Channel(c).input;
    if (in >= 0 && in < data.InputCount()) shown[static_cast<size_t>(in)] = 1;
  }
  const double from = view.TimeOfX(kPlotLeft);
  const double to = view.TimeOfX(kPlotRight);
  std::vector<int64_t> records;
  for (int in = 0; in < data.InputCount(); ++in) {
    if (!shown[static_cast<size_t>(in)]) continue;
    for (int64_t i : data.EventsOf(in)) {
      const double t = static_cast<double>(data.RecordTime(i));
      if (t >= from && t <= to) records.push_back(i);
    }
  }
  std::sort(records.begin(), records.end());
  for (int64_t i : records) {
    const auto r = data.ReadRecord(i);
    if (!r) continue;
    const CivilDate d = UnpackDate(r->date);
    char date[16];
    std::snprintf(date, sizeof date, "%02d/%02d/%02d", d.month % 100, d.day % 100, d.year % 100);
    out += std::to_string(r->state) + "," + std::to_string(r->time) + "," + date + "," +
           std::to_string(r->input) + "," + std::to_string(r->special) + "," +
           std::to_string(r->absTime) + ",";
    for (int k = 0; k < r->valueCount; ++k) {
      if (k > 0) out += ' ';
      out += std::to_string(r->values[static_cast<size_t>(k)]);
    }
    out += "," + CsvField(data.Identifier(r->input)) + "," + CsvField(data.Name(r->input)) + "\n";
  }
  return out;
}

}  // namespace zel::qplot
