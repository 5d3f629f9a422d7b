#include "model/capture_csv.h"

namespace zel::rtp {

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string CaptureCsv(const RealTimePlot& plot, const InputTexts& texts) {
  std::string out = "time,position,identifier,name,state\n";
  for (const Change& c : plot.changes()) {
    out += TimeOfDayTextFine(c.time, plot.ticksPerDay());
    out += ',' + std::to_string(c.position + 1);
    out += ',' + CsvField(texts.Identifier(c.position));
    out += ',' + CsvField(texts.Name(c.position));
    out += ',' + std::to_string(c.state) + '\n';
  }
  return out;
}

}  // namespace zel::rtp
