// The event report writer: one pattern for every model, the differences from the model table.
#include "zel/core/report.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "zel/core/report_selection.h"
#include "zel/identifiers.h"
#include "zel/platform/atomic_file.h"

namespace zel::core {
namespace {

constexpr const char* kInvalidName = "Invalid input number";
constexpr const char* kInvalidShort = "Invalid";

std::string PathText(const std::filesystem::path& p) { return p.string(); }

// ---- text building (only while preparing an input's columns) ----

void AppendLeft(std::string& s, std::string_view text, std::size_t width) {
  s.append(text);
  if (text.size() < width) s.append(width - text.size(), ' ');
}

void AppendRight(std::string& s, std::string_view text, std::size_t width) {
  if (text.size() < width) s.append(width - text.size(), ' ');
  s.append(text);
}

// ---- fast number output into a line buffer ----

// Unsigned decimal with at least minDigits digits (leading zeros), as "%0Nd" / "%0Nu".
inline char* PutUnsigned(char* p, uint32_t v, int minDigits) {
  char tmp[12];
  int n = 0;
  do {
    tmp[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (n < minDigits) tmp[n++] = '0';
  while (n > 0) *p++ = tmp[--n];
  return p;
}

inline char* PutTwo(char* p, uint32_t v) {
  if (v < 100) {
    p[0] = static_cast<char>('0' + v / 10);
    p[1] = static_cast<char>('0' + v % 10);
    return p + 2;
  }
  return PutUnsigned(p, v, 2);
}

// Signed decimal right-justified in width blanks, as "%Nd".
inline char* PutSigned(char* p, int v, int width) {
  char tmp[12];
  int n = 0;
  const bool negative = v < 0;
  uint32_t u = negative ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
  do {
    tmp[n++] = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  if (negative) tmp[n++] = '-';
  for (int i = n; i < width; ++i) *p++ = ' ';
  while (n > 0) *p++ = tmp[--n];
  return p;
}

inline char* PutText(char* p, const char* text, std::size_t len) {
  std::memcpy(p, text, len);
  return p + len;
}

template <std::size_t N>
inline char* PutLiteral(char* p, const char (&text)[N]) {
  return PutText(p, text, N - 1);
}

// "hh:mm:ss.f" with the fraction digits of the tick.
inline char* PutTime(char* p, uint32_t t, uint32_t r, int fracDigits) {
  p = PutTwo(p, t / (3600 * r));
  *p++ = ':';
  p = PutTwo(p, t % (3600 * r) / (60 * r));
  *p++ = ':';
  p = PutTwo(p, t % (60 * r) / r);
  *p++ = '.';
  return PutUnsigned(p, t % r, fracDigits);
}

inline uint32_t DayOf(uint16_t d) { return d & 0x1Fu; }
inline uint32_t MonthOf(uint16_t d) { return (d >> 5) & 0x0Fu; }
inline uint32_t YearOf(uint16_t d) { return d >> 9; }

inline char* PutDate(char* p, uint16_t d, bool withYear) {
  p = PutTwo(p, MonthOf(d));
  *p++ = '/';
  p = PutTwo(p, DayOf(d));
  if (withYear) {
    *p++ = '/';
    p = PutTwo(p, YearOf(d));
  }
  return p;
}

int FractionDigits(int ticksPerSecond) {
  return ticksPerSecond >= 1000 ? 3 : ticksPerSecond >= 100 ? 2 : 1;
}

// ---- output ----

class Sink {
 public:
  virtual ~Sink() = default;
  virtual bool Write(const char* data, std::size_t size) = 0;
};

class StringSink : public Sink {
 public:
  explicit StringSink(std::string& out) : out_(out) {}
  bool Write(const char* data, std::size_t size) override {
    out_.append(data, size);
    return true;
  }

 private:
  std::string& out_;
};

class FileSink : public Sink {
 public:
  explicit FileSink(platform::AtomicFileWriter& f) : f_(f) {}
  bool Write(const char* data, std::size_t size) override {
    return f_.Write(std::string_view(data, size)).ok;
  }

 private:
  platform::AtomicFileWriter& f_;
};

// A line buffer flushed to the sink in large blocks.
class Output {
 public:
  static constexpr std::size_t kBlock = 256 * 1024;
  static constexpr std::size_t kLineRoom = 2048;  // more than any one line needs

  explicit Output(Sink& sink) : sink_(sink), buf_(kBlock + kLineRoom) {}

  // Room for one line; Commit the end pointer after writing.
  char* Begin() {
    if (pos_ > kBlock) Flush();
    return buf_.data() + pos_;
  }
  void Commit(char* end) { pos_ = static_cast<std::size_t>(end - buf_.data()); }
  void Append(std::string_view text) {
    for (std::size_t done = 0; done < text.size();) {
      char* p = Begin();
      const std::size_t n = std::min(text.size() - done, kLineRoom);
      std::memcpy(p, text.data() + done, n);
      Commit(p + n);
      done += n;
    }
  }
  bool Flush() {
    if (pos_ > 0 && ok_) ok_ = sink_.Write(buf_.data(), pos_);
    pos_ = 0;
    return ok_;
  }
  bool ok() const { return ok_; }

 private:
  Sink& sink_;
  std::vector<char> buf_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

// ---- the writer ----

// The bytes after the last whole record (fewer than a record) are the sender's padding of the
// last XMODEM block, not a cut record, when they are all zeros or all SUB (0x1A), or when the
// state byte of the would-be record is the end mark 0.
bool IsPadding(const std::vector<uint8_t>& tail, const EventLayout& layout) {
  if (tail.empty()) return false;
  const bool allZero = std::all_of(tail.begin(), tail.end(), [](uint8_t b) { return b == 0; });
  const bool allSub = std::all_of(tail.begin(), tail.end(), [](uint8_t b) { return b == 0x1A; });
  const bool endMark = layout.stateOffset >= 0 &&
                       static_cast<std::size_t>(layout.stateOffset) < tail.size() &&
                       tail[static_cast<std::size_t>(layout.stateOffset)] == 0;
  return allZero || allSub || endMark;
}

// Up to `n` bytes of a file from `offset`.
std::vector<uint8_t> FileBytesAt(const std::filesystem::path& path, uint64_t offset,
                                 std::size_t n) {
  std::vector<uint8_t> out(n);
  std::size_t got = 0;
  if (std::FILE* f = std::fopen(PathText(path).c_str(), "rb")) {
    if (std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0)
      got = std::fread(out.data(), 1, n, f);
    std::fclose(f);
  }
  out.resize(got);
  return out;
}

enum class Suffix : uint8_t { kNone, kTimer, kSpeed, kGps, kStation };

// The prepared columns of one input: the text behind the date (or time) for every state level,
// and which value suffix the input takes.
struct Prepared {
  uint32_t offset[4] = {0, 0, 0, 0};
  uint16_t length[4] = {0, 0, 0, 0};
  Suffix suffix = Suffix::kNone;
  bool flashRate = false;
  bool built = false;
};

class Writer {
 public:
  Writer(RecorderType type, const ReportModel& model, const SetupDatabase& setup,
         const InputFilter& filter)
      : model_(model), naming_(type, setup), setup_(setup), filter_(filter) {}

  // Writes the whole report of an opened event file.
  // `tailAt(offset, n)`: up to n bytes of the event file from offset.
  template <typename TailAt>
  ReportResult Run(EventRecordFile& file, Sink& sink, uint64_t fileSize, TailAt&& tailAt) {
    ReportResult result;
    const EventLayout& layout = *file.Layout();
    levels_ = layout.stateKind == StateKind::kTwoBits ? 4 : 2;
    const uint32_t r = static_cast<uint32_t>(layout.ticksPerSecond);
    const int frac = FractionDigits(layout.ticksPerSecond);
    const bool dateFirst = model_.style == ReportLineStyle::kDateFirst;
    const bool withYear = model_.style != ReportLineStyle::kMonthDay;

    Output out(sink);
    std::string head = model_.title;
    head += " Event record report for unit\n";
    head += setup_.UnitName();
    head += '\n';
    out.Append(head);
    {
      const EventInterval& iv = file.Interval();
      char* p = out.Begin();
      p = PutLiteral(p, "Report interval ");
      p = PutDate(p, iv.startDate, true);
      *p++ = ' ';
      p = PutTime(p, iv.startTime, r, frac);
      p = PutLiteral(p, " to ");
      p = PutDate(p, iv.endDate, true);
      *p++ = ' ';
      p = PutTime(p, iv.endTime, r, frac);
      *p++ = '\n';
      out.Commit(p);
    }

    EventRecord rec;
    int64_t lines = 0;
    while (file.Next(rec)) {
      if (!filter_.Contains(rec.input)) continue;
      const Prepared& e = Get(rec.input);
      const int level = StateLevel(layout, rec.state) & (levels_ - 1);
      char* p = out.Begin();
      if (dateFirst) {
        p = PutDate(p, rec.date, true);
        *p++ = ' ';
        p = PutTime(p, rec.time, r, frac);
      } else {
        p = PutTime(p, rec.time, r, frac);
        *p++ = ' ';
        *p++ = ' ';
        p = PutDate(p, rec.date, withYear);
      }
      p = PutText(p, arena_.data() + e.offset[level], e.length[level]);
      if (model_.suffixes) p = PutSuffix(p, e, rec.special);
      *p++ = '\n';
      out.Commit(p);
      ++lines;
    }
    out.Append("End of report\n");
    out.Flush();

    result.records = file.RecordsRead();
    result.lines = lines;
    const uint64_t consumed = static_cast<uint64_t>(layout.firstRecord) +
                              static_cast<uint64_t>(result.records) * layout.recordSize;
    if (fileSize > consumed && fileSize - consumed < static_cast<uint64_t>(layout.recordSize) &&
        !IsPadding(tailAt(consumed, static_cast<std::size_t>(fileSize - consumed)), layout)) {
      result.warning = "The event file ends inside a record; its last " +
                       std::to_string(fileSize - consumed) + " bytes were not reported.";
    }
    if (!out.ok()) {
      result.status = ReportStatus::kReportFileError;
      result.error = "The report could not be written completely.";
    } else {
      result.status = ReportStatus::kWritten;
    }
    return result;
  }

 private:
  char* PutSuffix(char* p, const Prepared& e, int v) const {
    switch (e.suffix) {
      case Suffix::kTimer:
        *p++ = ' ';
        p = PutSigned(p, v / 10, 3);
        *p++ = '.';
        p = PutSigned(p, v % 10, 1);
        p = PutLiteral(p, " sec");
        break;
      case Suffix::kSpeed:
        for (int i = 0; i < model_.speedBlanks; ++i) *p++ = ' ';
        p = PutSigned(p, v, 3);
        p = PutLiteral(p, " MPH");
        break;
      case Suffix::kGps:
        if (v == 32767) {
          p = PutLiteral(p, " NO SIGNAL");
        } else {
          const int w = v / 10;  // thousandths to hundredths, truncating
          const int a = w < 0 ? -w : w;
          *p++ = ' ';
          *p++ = w < 0 ? '-' : ' ';
          p = PutSigned(p, a / 100, 1);
          *p++ = '.';
          p = PutUnsigned(p, static_cast<uint32_t>(a % 100), 2);
          p = PutLiteral(p, "SEC");
        }
        break;
      case Suffix::kStation:
        *p++ = ' ';
        p = PutSigned(p, v, 0);
        p = PutLiteral(p, " Stn");
        break;
      case Suffix::kNone:
        break;
    }
    if (e.flashRate && v > 0) {
      *p++ = ' ';
      p = PutSigned(p, v / 10, 3);
      *p++ = '.';
      p = PutSigned(p, v % 10, 1);
      p = PutLiteral(p, "FPM");
    }
    return p;
  }

  const Prepared& Get(int input) {
    Prepared& e = prepared_[static_cast<std::size_t>(input)];
    if (!e.built) Build(input, e);
    return e;
  }

  void Build(int input, Prepared& e) {
    const std::string name = naming_.Name(input);
    const std::string id = naming_.Id(input);
    const std::string ident = naming_.Identifier(input);
    for (int level = 0; level < levels_; ++level) {
      const std::string state = naming_.StateText(input, level);
      std::string t;
      if (model_.style == ReportLineStyle::kDateFirst) {
        t += ' ';
        t += ident;
        t += ' ';
        AppendLeft(t, id, 12);
        t += ' ';
        AppendLeft(t, name, 26);
        t += ' ';
        t += state;
      } else {
        t += "  ";
        AppendLeft(t, name, 20);
        t += "  ";
        AppendLeft(t, id, 8);
        t += "  ";
        AppendRight(t, state, 8);
        t += "  ";
        t += ident;
      }
      // Texts come from fixed-width fields, so a column never nears the line room.
      if (t.size() > 1024) t.resize(1024);
      e.offset[level] = static_cast<uint32_t>(arena_.size());
      e.length[level] = static_cast<uint16_t>(t.size());
      arena_ += t;
    }
    if (model_.timers.Contains(input)) {
      e.suffix = Suffix::kTimer;
    } else if (model_.speeds.Contains(input)) {
      e.suffix = Suffix::kSpeed;
    } else if (input == model_.gpsInput) {
      e.suffix = Suffix::kGps;
    } else if (input == model_.stationInput) {
      e.suffix = Suffix::kStation;
    }
    e.flashRate = input < model_.flashBelow;
    e.built = true;
  }

  const ReportModel& model_;
  ReportNaming naming_;
  const SetupDatabase& setup_;
  const InputFilter& filter_;
  int levels_ = 2;
  std::vector<Prepared> prepared_ = std::vector<Prepared>(InputFilter::kBits);
  std::string arena_;
};

// The header line as it stands in the first bytes of a file.
EventFileType TypeNamedBy(const uint8_t* data, std::size_t size) {
  const std::size_t limit = std::min<std::size_t>(size, kMaxHeaderLineChars);
  std::size_t len = 0;
  while (len < limit && data[len] != '\n') ++len;
  if (len == limit) return EventFileType::kUnknown;
  return EventFileTypeOfHeaderLine(std::string_view(reinterpret_cast<const char*>(data), len + 1));
}

// Checks of an opened event file before anything is written; empty when it may be reported.
std::string CheckEventFile(RecorderType type, EventRecordFile& file, const uint8_t* head,
                           std::size_t headSize, std::string& warning) {
  const EventFileType expected = EventFileTypeOfModel(type);
  const EventFileType named = TypeNamedBy(head, headSize);
  if (named != EventFileType::kUnknown && named != expected) {
    const EventLayout* l = FindEventLayout(named);
    std::string line = l->headerLine;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return "The event file is of another model (\"" + line + "\"), not of a " + TypeName(type) +
           " recorder; no report was written.";
  }
  if (named == EventFileType::kUnknown) {
    warning = "The event file's first line names no known event file type; it was read as a " +
              TypeName(type) + " file.";
  }
  if (!file.FixedHeaderComplete()) {
    return "The event file is too short to hold the header of a " + TypeName(type) +
           " event file; no report was written.";
  }
  return {};
}

ReportResult Failure(ReportStatus status, std::string error) {
  ReportResult r;
  r.status = status;
  r.error = std::move(error);
  return r;
}

}  // namespace

// ---- InputFilter ----

InputFilter InputFilter::Only(const std::vector<int>& inputs) {
  InputFilter f;
  f.ClearAll();
  for (int n : inputs) f.Set(n, true);
  return f;
}

void InputFilter::Set(int input, bool on) {
  if (input >= 0 && input < kBits) bits_[static_cast<std::size_t>(input)] = on;
}

// ---- ReportNaming ----

ReportNaming::ReportNaming(RecorderType type, const SetupDatabase& setup)
    : type_(type),
      setup_(setup),
      model_(FindReportModel(type)),
      firstSystem_(FirstSystemInput(type)) {}

bool ReportNaming::Named(int input) const {
  if (model_ == nullptr || input < 0) return false;
  if (input < firstSystem_) return true;
  return IsNamedSystemInput(type_, input) && SystemInputLongName(type_, input) != kInvalidName;
}

std::string ReportNaming::Name(int input) const {
  if (!Named(input)) return kInvalidName;
  if (input >= firstSystem_) return SystemInputLongName(type_, input);
  const int source = FlashDetailSource(type_, input);
  return setup_.Name(source >= 0 ? source : input);
}

std::string ReportNaming::Id(int input) const {
  if (!Named(input)) return kInvalidShort;
  if (input >= firstSystem_) return SystemInputShortName(type_, input);
  const int source = FlashDetailSource(type_, input);
  return setup_.Identifier(source >= 0 ? source : input);
}

std::string ReportNaming::StateText(int input, int level) const {
  if (!Named(input)) return kInvalidShort;
  const bool fourLevels = setup_.HasCodingNames();
  if (input < model_->pairLimit) {
    const int pair = setup_.EventPair(input);
    if (pair < 0 || pair >= model_->pairCount) return kInvalidShort;
    if (fourLevels) {
      if (level == 0) return setup_.OffName(pair);
      if (level == 2) return setup_.CodingName(pair);
      return setup_.OnName(pair);
    }
    return level != 0 ? setup_.OnName(pair) : setup_.OffName(pair);
  }
  if (model_->onOff.Contains(input)) return level != 0 ? "ON" : "OFF";
  return kInvalidShort;
}

std::string ReportNaming::Identifier(int input) const { return SetupIdentifier(type_, input); }

// ---- writing ----

ReportResult RenderReport(RecorderType type, const SetupDatabase& setup, const uint8_t* data,
                          std::size_t size, const InputFilter& filter, std::string& out) {
  const ReportModel* model = FindReportModel(type);
  if (model == nullptr || !setup.valid() || setup.type() != type) {
    return Failure(ReportStatus::kNoWriter,
                   "There is no event report for recorders of model " + TypeName(type) + ".");
  }
  EventRecordFile file;
  static const uint8_t kEmpty = 0;
  if (file.OpenMemoryAs(size > 0 ? data : &kEmpty, size, EventFileTypeOfModel(type)) !=
      EventRecordFile::OpenResult::kOk) {
    return Failure(ReportStatus::kEventFileError, "The event file cannot be read.");
  }
  std::string warning;
  std::string error = CheckEventFile(type, file, data, size, warning);
  if (!error.empty()) return Failure(ReportStatus::kEventFileError, std::move(error));
  std::string text;
  StringSink sink(text);
  Writer writer(type, *model, setup, filter);
  ReportResult result = writer.Run(file, sink, size, [&](uint64_t at, std::size_t n) {
    return std::vector<uint8_t>(data + at, data + at + n);
  });
  if (result.warning.empty()) result.warning = warning;
  out = std::move(text);
  return result;
}

ReportResult WriteReport(RecorderType type, const SetupDatabase& setup,
                         const std::filesystem::path& eventFile,
                         const std::filesystem::path& reportFile, const InputFilter& filter) {
  const ReportModel* model = FindReportModel(type);
  if (model == nullptr || !setup.valid() || setup.type() != type) {
    return Failure(ReportStatus::kNoWriter,
                   "There is no event report for recorders of model " + TypeName(type) + ".");
  }
  EventRecordFile file;
  if (file.OpenForModel(PathText(eventFile), type) != EventRecordFile::OpenResult::kOk) {
    return Failure(ReportStatus::kEventFileError,
                   "Cannot open the event file \"" + PathText(eventFile) + "\".");
  }
  std::error_code ec;
  const uint64_t fileSize = std::filesystem::file_size(eventFile, ec);
  if (ec) {
    return Failure(ReportStatus::kEventFileError,
                   "Cannot read the event file \"" + PathText(eventFile) + "\".");
  }
  uint8_t head[kMaxHeaderLineChars];
  std::size_t headSize = 0;
  if (std::FILE* f = std::fopen(PathText(eventFile).c_str(), "rb")) {
    headSize = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
  }
  std::string warning;
  std::string error = CheckEventFile(type, file, head, headSize, warning);
  if (!error.empty()) return Failure(ReportStatus::kEventFileError, std::move(error));

  if (platform::SameFile(reportFile, eventFile)) {
    return Failure(ReportStatus::kReportFileError,
                   "The report file \"" + PathText(reportFile) +
                       "\" is the event file itself; give another name for the report. No "
                       "report was written.");
  }
  platform::AtomicFileWriter out(reportFile);
  if (platform::WriteResult opened = out.Open(); !opened) {
    return Failure(
        ReportStatus::kReportFileError,
        "Cannot create the report file \"" + PathText(reportFile) + "\": " + opened.reason);
  }
  FileSink sink(out);
  Writer writer(type, *model, setup, filter);
  ReportResult result = writer.Run(file, sink, fileSize, [&](uint64_t at, std::size_t n) {
    return FileBytesAt(eventFile, at, n);
  });
  if (result.warning.empty()) result.warning = warning;
  if (result.ok()) {
    const platform::WriteResult written = out.Commit();
    if (written) return result;
    ReportResult failed = Failure(ReportStatus::kReportFileError,
                                  "Cannot write the report file \"" + PathText(reportFile) +
                                      "\"; it was left unchanged. " + written.reason);
    failed.records = result.records;
    return failed;
  }
  out.Abandon();
  ReportResult failed = Failure(
      ReportStatus::kReportFileError,
      "Cannot write the report file \"" + PathText(reportFile) + "\"; it was left unchanged.");
  failed.records = result.records;
  return failed;
}

ReportResult WriteReport(const ReportRequest& request) {
  if (FindReportModel(request.type) == nullptr) {
    return Failure(ReportStatus::kNoWriter, "There is no event report for recorders of model " +
                                                TypeName(request.type) + ".");
  }
  if (platform::SameFile(request.reportFile, request.setupFile)) {
    return Failure(ReportStatus::kReportFileError,
                   "The report file \"" + PathText(request.reportFile) +
                       "\" is the setup database itself; give another name for the report. No "
                       "report was written.");
  }
  SetupDatabase setup(request.type);
  if (!setup.LoadFile(request.setupFile)) {
    return Failure(ReportStatus::kSetupMissing, "Cannot open the setup database \"" +
                                                    PathText(request.setupFile) +
                                                    "\"; no report was written.");
  }
  return WriteReport(request.type, setup, request.eventFile, request.reportFile, request.filter);
}

ReportResult MakeReport(const RecorderRecord& recorder, const std::filesystem::path& dataFolder,
                        const std::filesystem::path& eventFile,
                        const std::filesystem::path& reportFile, const ReportSelector* ask) {
  if (FindReportModel(recorder.type) == nullptr) {
    return Failure(ReportStatus::kNoWriter, "There is no event report for recorders of model " +
                                                TypeName(recorder.type) + ".");
  }
  const std::filesystem::path setupFile = dataFolder / recorder.id / "setupdata.bin";
  SetupDatabase setup(recorder.type);
  if (!setup.LoadFile(setupFile)) {
    return Failure(
        ReportStatus::kSetupMissing,
        "Cannot open the setup database \"" + PathText(setupFile) + "\"; no report was written.");
  }
  InputFilter filter;
  if (ask != nullptr && *ask) {
    ReportSelection selection(recorder.type, setup);
    const std::optional<std::vector<int>> chosen = (*ask)(selection);
    if (chosen) filter = ReportSelection::FilterFor(*chosen);
  }
  return WriteReport(recorder.type, setup, eventFile, reportFile, filter);
}

std::string ReportExtension(bool useTxtFile) { return useTxtFile ? ".txt" : ".wri"; }

std::filesystem::path ReportPathBeside(const std::filesystem::path& eventFile, bool useTxtFile) {
  std::filesystem::path p = eventFile;
  p.replace_extension(ReportExtension(useTxtFile));
  return p;
}

std::filesystem::path EventsReportPath(const std::filesystem::path& eventFile, bool useTxtFile) {
  return eventFile.parent_path() / ("Events" + ReportExtension(useTxtFile));
}

}  // namespace zel::core
