#include "tests/support/listing_checks.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <set>

#include "platform/utf8.h"

namespace vexaro::testing {
namespace {

constexpr std::string_view kSystemEol = "\r\n";  // the fake's, Windows' own
constexpr std::int64_t kNow = 1796515500;        // 2026-12-06 00:05:00 UTC, the fake's clock
constexpr const char* kLeftOpen = "a folder was left open";

// One piece of a name, of a kind picked at random.
void AppendPiece(Entropy& e, std::string& out) {
  static constexpr const char* kBroken[] = {
      "\xC0\xAF", "\xED\xA0\x80",         "\xF4\x90\x80\x80",  // overlong '/', a surrogate, above U+10FFFF
      "\xE6\x97", "\xF8\x88\x80\x80\x80", "\xFF",
      "\xC2",
  };
  switch (e.Below(13)) {
    case 0:
    case 1: {  // printable ASCII
      const char c = static_cast<char>(0x20 + e.Below(0x5F));
      return out.push_back(c == '\\' ? '_' : c);
    }
    case 2:
      return out.push_back(static_cast<char>('a' + e.Below(26)));
    case 3:
      return out.push_back("\",'; "[e.Below(5)]);
    case 4:
      return (void)out.append(e.Percent(50) ? "\r\n" : (e.Percent(50) ? "\r" : "\n"));
    case 5:  // C0 controls and DEL; never NUL, which no name holds
      return out.push_back(e.Percent(10) ? '\x7F' : static_cast<char>(1 + e.Below(31)));
    case 6:  // C1 controls, the NEL and CSI among them
      return platform::utf8::Append(out, static_cast<char32_t>(0x80 + e.Below(0x20)));
    case 7:  // two-byte characters, the ones beside the C1 range often
      return platform::utf8::Append(
          out, static_cast<char32_t>(e.Percent(50) ? 0xA0 + e.Below(0x10) : 0xA0 + e.Below(0x800 - 0xA0)));
    case 8:  // three-byte characters, U+E000..U+FFFF often (they sort after pairs)
      return platform::utf8::Append(
          out, static_cast<char32_t>(e.Percent(40) ? 0xE000 + e.Below(0x2000) : 0x800 + e.Below(0xD800 - 0x800)));
    case 9:
      return platform::utf8::Append(out, static_cast<char32_t>(0x10000 + e.Below(0x100000)));
    case 10:  // a stray byte
      return out.push_back(static_cast<char>(0x80 + e.Below(0x80)));
    case 11:
      return (void)out.append(kBroken[e.Below(std::size(kBroken))]);
    default:
      return (void)out.append("\xE6\x97\xA5");  // a common Japanese character
  }
}

std::uint64_t RandomSize(Entropy& e) {
  switch (e.Below(6)) {
    case 0:
      return e.Below(1024);
    case 1: {  // beside a unit's boundary, where the shown unit changes
      const std::uint64_t unit = std::uint64_t{1} << (10 * (1 + e.Below(3)));
      const std::uint64_t near = unit * (1 + e.Below(1024));
      return e.Percent(50) ? near - 1 : near;
    }
    case 2:
      return e.Percent(50) ? UINT64_MAX : UINT64_MAX - e.Below(1000);
    case 3:  // beside a power of ten, where the column widens
      return 999'999'999'999ull + e.Below(3);
    default:
      return e.Bits64() >> e.Below(64);
  }
}

platform::UtcTime RandomTime(Entropy& e) {
  const auto near = [&] { return static_cast<std::int64_t>(e.Below(200000)); };
  platform::UtcTime t;
  switch (e.Below(6)) {
    case 0:  // the years people meet
      t.seconds = 315532800 + static_cast<std::int64_t>(e.Below(std::uint64_t{4} << 30));
      break;
    case 1:
      t.seconds = e.Percent(50) ? INT64_MAX - near() : INT64_MIN + near();
      break;
    case 2:  // around year 0 and year 9999
      t.seconds = (e.Percent(50) ? -62167219200 : 253402300799) + near() - 100000;
      break;
    case 3:
      break;
    default:
      t.seconds = static_cast<std::int64_t>(e.Bits64());
  }
  t.nanoseconds =
      e.Percent(5) ? static_cast<std::uint32_t>(e.Bits64()) : static_cast<std::uint32_t>(e.Below(1'000'000'000));
  return t;
}

ModelFolder RandomFolder(Entropy& e, const TreeLimits& limits, std::string name, int depth) {
  ModelFolder folder;
  folder.name = std::move(name);
  std::set<std::string> taken;
  const auto count = e.Below(static_cast<std::uint64_t>(limits.entries) + 1);
  for (std::uint64_t i = 0; i < count; ++i) {
    std::string child;
    for (int attempt = 0; attempt < 4 && (child.empty() || taken.contains(child)); ++attempt) {
      child = RandomName(e, limits.nameBytes);
    }
    if (!taken.insert(child).second) continue;
    const auto kind = e.Below(100);
    if (kind < 60 || depth >= limits.depth) {
      ModelFile& file = folder.files.emplace_back(ModelFile{child, RandomSize(e), RandomTime(e)});
      file.vanished = e.Percent(6);
      file.vanishesBeforeListing = e.Percent(6);
      folder.order.push_back('f');
    } else if (kind < 94) {
      ModelFolder& sub = folder.folders.emplace_back(RandomFolder(e, limits, child, depth + 1));
      sub.unreadable = e.Percent(8);
      if (e.Percent(6)) sub.replacedBeforeListing = e.Percent(50) ? 'l' : 'o';
      folder.order.push_back('d');
    } else {
      folder.folders.emplace_back().name = child;
      folder.folders.back().link = true;
      folder.order.push_back('d');
    }
  }
  return folder;
}

std::string Trimmed(std::string_view path) {
  while (path.ends_with('\\')) path.remove_suffix(1);
  return std::string(path);
}

void AddToFake(FakeSystem& system, const std::string& path, const ModelFolder& folder) {
  auto file = folder.files.begin();
  auto sub = folder.folders.begin();
  for (char kind : folder.order) {
    if (kind == 'f') {
      const ModelFile& f = *file++;
      system.AddFile(path + "\\" + f.name, f.size, f.creation);
      if (f.vanished) system.SetVanished(path + "\\" + f.name);
    } else if (const ModelFolder& d = *sub++; d.link) {
      system.AddLinkedFolder(path + "\\" + d.name);
    } else {
      system.AddFolder(path + "\\" + d.name);
      AddToFake(system, path + "\\" + d.name, d);
      if (d.unreadable) system.SetUnreadable(path + "\\" + d.name);
    }
  }
}

class ModelHost final : public engine::ProgressDisplay, public engine::StopRequest, public engine::ProblemReports {
 public:
  int stopAt = 0, yields = 0;
  std::vector<std::string> problems;
  std::function<void()> beforeListing;

  void SetStatus(std::string_view caption) override {
    if (caption == engine::kListingFiles && beforeListing) beforeListing();
  }
  void DispListFile(std::string_view) override {}
  void Yield() override { stop_ = ++yields == stopAt || stop_; }
  bool Requested() const override { return stop_; }
  void ReportProblem(const engine::Problem& problem) override {
    problems.push_back(std::to_string(static_cast<int>(problem.kind)) + " " + std::string(problem.path));
  }

 private:
  bool stop_ = false;
};

std::string Visible(std::string_view text, std::size_t max = 300) {
  std::string out;
  for (const char ch : text.substr(0, max)) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(ch);
    } else {
      out += c == '\\' ? "\\\\" : std::string("\\x") + "0123456789abcdef"[c >> 4] + "0123456789abcdef"[c & 15];
    }
  }
  return text.size() > max ? out + "..." : out;
}

// Text in a TXT line or header: C0 controls, DEL and C1 controls as '?'.
std::string Plain(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool c1 = c == 0xC2 && i + 1 < text.size() && (text[i + 1] & 0xE0) == 0x80;
    out.push_back(c < 0x20 || c == 0x7F || c1 ? '?' : text[i]);
    i += c1;
  }
  return out;
}

std::string_view EolOf(const Scenario& s) { return s.lineEnd.empty() ? kSystemEol : std::string_view(s.lineEnd); }

// Whether `text` is a date: a year of four digits or more (a minus before
// it), then /mm/dd hh:mm:ss.
bool IsDate(std::string_view text) {
  if (text.starts_with('-')) text.remove_prefix(1);
  const std::size_t year = std::min(text.find_first_not_of("0123456789"), text.size());
  static constexpr std::string_view kForm = "/99/99 99:99:99";
  if (year < 4 || text.size() - year != kForm.size()) return false;
  for (std::size_t i = 0; i < kForm.size(); ++i) {
    const char c = text[year + i];
    if (kForm[i] == '9' ? (c < '0' || c > '9') : c != kForm[i]) return false;
  }
  return true;
}

// Whether `text` is the size column of a file of `size` bytes: the exact
// count right-aligned in 12, or the whole number of the largest unit that
// fits, right-aligned in 4, and the unit; wider numbers keep every digit.
bool IsSizeOf(std::string_view text, std::uint64_t size, bool exactBytes) {
  int shift = 0;
  if (!exactBytes) {
    while (shift < 3 && (size >> (10 * (shift + 1))) != 0) ++shift;
    static constexpr std::string_view kUnits[] = {" B", "KB", "MB", "GB"};
    if (!text.ends_with(kUnits[shift])) return false;
    text.remove_suffix(2);
  }
  const std::string digits = std::to_string(size >> (10 * shift));
  const std::size_t width = exactBytes ? 12 : 4;
  const std::size_t pad = digits.size() < width ? width - digits.size() : 0;
  return text == std::string(pad, ' ') + digits;
}

// One file line taken apart: the date and size fields (empty when the
// column is not there) and what names the file (TXT: the relative path and
// name; CSV: volume, folder, name).
struct Line {
  std::string date, size;
  std::vector<std::string> names;
};

// A TXT line: [date][size " : "]name. A date is "y/mm/dd hh:mm:ss", the time
// the eight after its one blank; a blank one is 19 blanks.
bool ParseTxt(std::string_view text, const engine::ListingOptions& o, Line& line) {
  if (o.CheckDate) {
    const std::size_t blank = text.find(' ');
    const std::size_t length = text.starts_with(std::string(19, ' ')) ? 19
                               : blank == std::string_view::npos      ? text.size()
                                                                      : blank + 9;
    line.date = text.substr(0, length);
    text.remove_prefix(std::min(length, text.size()));
  }
  if (o.CheckSize) {
    const std::size_t end = text.find(" : ", (o.CheckByte ? 12 : 6) - 1);
    if (end == std::string_view::npos) return false;
    line.size = text.substr(0, end);
    text.remove_prefix(end + 3);
  }
  line.names = {std::string(text)};
  return true;
}

// A CSV record: [date][volume][size]folder,name, as the options give.
bool ParseCsvRecord(const std::vector<std::string>& fields, const engine::ListingOptions& o, Line& line) {
  if (fields.size() != o.CheckDate + o.CheckVolume + o.CheckSize + 2u) return false;
  auto field = fields.begin();
  if (o.CheckDate) line.date = *field++;
  line.names.push_back(o.CheckVolume ? *field++ : "");
  if (o.CheckSize) line.size = *field++;
  line.names.insert(line.names.end(), field, fields.end());
  return true;
}

struct Expected {
  std::string folder;  // full path with its separator
  std::string relative;
  const ModelFile* file;
  std::vector<std::uint32_t> folderKey, nameKey;
  bool optional;  // in or below a folder replaced after the walk
};

// The fake is no file system: it may change only while no other thread reads
// it, and read-ahead threads may be reading at any time.
bool ChangesAfterTheWalk(const Scenario& s) { return s.threads == 1; }

void Collect(const Scenario& s, const ModelFolder& folder, const std::string& path, bool optional,
             std::vector<Expected>& out) {
  if (folder.link || folder.unreadable) return;
  // A folder replaced once the walk is over: its files come from what the
  // walk kept, or not at all, never from its replacement.
  optional = optional || (ChangesAfterTheWalk(s) && folder.replacedBeforeListing != 0);
  const std::string relative = path.substr(std::min(path.size(), s.start.size()));
  // Folders go in the order of their paths without the trailing separator:
  // "a b" before "a\x" before "ab".
  const auto folderKey = OrderUnits(std::string_view(path).substr(0, path.size() - 1));
  for (const ModelFile& f : folder.files) out.push_back({path, relative, &f, folderKey, OrderUnits(f.name), optional});
  for (const ModelFolder& d : folder.folders) Collect(s, d, path + d.name + "\\", optional, out);
}

}  // namespace

std::uint64_t Entropy::Bits64() {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | Byte();
  return v;
}

std::uint64_t Entropy::Below(std::uint64_t bound) {
  if (bound <= 1) return 0;
  // As few bytes as the bound needs: a fuzzer's input goes further.
  std::uint64_t v = 0;
  for (std::uint64_t range = bound - 1; range != 0; range >>= 8) v = (v << 8) | Byte();
  return v % bound;
}

std::string RandomName(Entropy& entropy, std::size_t maxBytes) {
  const auto band = entropy.Below(20);
  std::size_t length = band < 14 ? 1 + entropy.Below(12) : band < 19 ? 13 + entropy.Below(28) : 200 + entropy.Below(56);
  length = std::min(length, std::max<std::size_t>(maxBytes, 1));
  std::string name;
  while (name.size() < length) AppendPiece(entropy, name);
  name.resize(length);  // may cut a character: a stray byte then
  if (name == "." || name == "..") name.back() = '_';
  return name;
}

Scenario RandomScenario(Entropy& e, const TreeLimits& limits) {
  Scenario s;
  s.start = "C:\\" + RandomName(e, std::min<std::size_t>(limits.nameBytes, 40));
  if (e.Percent(80)) s.start.push_back('\\');
  s.label = e.Percent(50) ? "DATA" : RandomName(e, 20);
  s.space = e.Percent(80);
  if (e.Percent(25)) s.lineEnd = "\n";  // vexaro-list's on Linux
  s.recordsCarryStamps = e.Percent(50);
  const auto offset = [&] { return static_cast<std::int32_t>(e.Below(2 * 14 * 3600 + 1)) - 14 * 3600; };
  const auto zone = e.Below(10);
  s.offsets = {{INT64_MIN, zone < 6 ? 9 * 3600 : offset()}};
  if (zone >= 8) {
    // A change in the years the files have, anywhere, or beside either end
    // of the range, where the clock is asked about the nearest second.
    const auto where = e.Below(4);
    const auto near = static_cast<std::int64_t>(e.Below(3 * 86400));
    const std::int64_t at = where == 0   ? kNow - static_cast<std::int64_t>(e.Below(std::uint64_t{1} << 31))
                            : where == 1 ? static_cast<std::int64_t>(e.Bits64())
                            : where == 2 ? INT64_MIN + 1 + near  // not at INT64_MIN: that one is set
                                         : INT64_MAX - near;
    s.offsets.emplace_back(at, offset());
  }
  s.root = RandomFolder(e, limits, "", 0);
  s.root.unreadable = e.Percent(3);
  if (e.Percent(2)) s.root.replacedBeforeListing = 'o';
  s.options = OptionsFromBits(static_cast<unsigned>(e.Below(128)));
  s.threads = e.Percent(60) ? 1 : 3;
  s.cacheBudget = e.Percent(50) ? engine::kDefaultCacheBudget : e.Below(400);
  return s;
}

engine::ListingOptions OptionsFromBits(unsigned bits) {
  engine::ListingOptions o;
  bool* const boxes[] = {&o.CheckVolume, &o.CheckFree, &o.CheckSize, &o.CheckByte,
                         &o.CheckDate,   &o.CheckPath, &o.OptionCSV};
  for (bool* box : boxes) *box = bits & 1, bits >>= 1;
  return o;
}

ListingRun RunListing(const Scenario& scenario, int stopAtYield) {
  FakeSystem system;
  system.SetLabel("C:\\", scenario.label);
  if (scenario.space) system.SetSpace("C:", 13249974108, 106042260111);
  system.setRecordsCarryStamps(scenario.recordsCarryStamps);
  for (const auto& [from, offset] : scenario.offsets) system.SetOffset(from, offset);
  const std::string root = Trimmed(scenario.start);
  system.AddFolder(root);
  AddToFake(system, root, scenario.root);
  if (scenario.root.unreadable) system.SetUnreadable(root);

  ModelHost host;
  host.stopAt = stopAtYield;
  // Files that vanish and folders replaced once the walk is over; without
  // threads nothing else reads the fake meanwhile.
  const std::function<void(const std::string&, const ModelFolder&)> change = [&](const std::string& path,
                                                                                 const ModelFolder& folder) {
    for (const ModelFile& f : folder.files) {
      if (f.vanishesBeforeListing) system.SetVanished(path + "\\" + f.name);
    }
    if (folder.replacedBeforeListing == 'l') system.ReplaceWithLink(path);
    if (folder.replacedBeforeListing == 'o') {
      // The new folder holds a file the old one did not: listing it would
      // mean the replacement was taken for the folder the walk saw.
      system.ReplaceWithOtherFolder(path);
      system.AddFile(path + "\\\x7Fintruder\x7F", 1);
    }
    for (const ModelFolder& d : folder.folders) {
      if (!d.link) change(path + "\\" + d.name, d);
    }
  };
  if (ChangesAfterTheWalk(scenario)) host.beforeListing = [&] { change(root, scenario.root); };
  ListingRun run;
  engine::StringSink sink(run.text);
  {
    engine::ListingJob job(system, {host, host, &host}, sink);
    job.setCacheBudget(scenario.cacheBudget);
    job.setThreads(scenario.threads);
    engine::ListingOptions options = scenario.options;
    options.lineEnd = scenario.lineEnd;
    run.stopped = job.DoWork(scenario.start, options).stopped();
  }
  run.yields = host.yields;
  run.lineEnd = EolOf(scenario);
  run.problems = std::move(host.problems);
  if (system.openFolders() != 0) run.problems.push_back(kLeftOpen);
  return run;
}

std::vector<std::uint32_t> OrderUnits(std::string_view s) {
  std::vector<std::uint32_t> units;
  for (std::size_t at = 0; at < s.size();) {
    const platform::utf8::Scalar c = platform::utf8::Decode(s, at);
    if (!c.valid) {
      units.push_back(0x10000 + static_cast<unsigned char>(s[at++]));
    } else if (c.value >= 0x10000) {
      units.insert(units.end(), {0xD800 + ((c.value - 0x10000) >> 10), 0xDC00 + ((c.value - 0x10000) & 0x3FF)});
      at += c.length;
    } else {
      units.push_back(c.value);
      at += c.length;
    }
  }
  return units;
}

bool ParseCsv(std::string_view text, std::vector<std::vector<std::string>>& records, std::string_view eol) {
  records.clear();
  for (std::size_t at = 0; at < text.size();) {
    std::vector<std::string>& record = records.emplace_back();
    for (bool more = true; more;) {
      std::string& field = record.emplace_back();
      if (at < text.size() && text[at] == '"') {
        // A quote ends the field unless another follows it.
        for (++at; at < text.size() && (text[at] != '"' || text.substr(at, 2) == "\"\""); ++at) {
          at += text[at] == '"';
          field.push_back(text[at]);
        }
        if (++at > text.size()) return false;
      } else {
        for (; at < text.size() && text[at] != ',' && !text.substr(at).starts_with(eol); ++at) {
          if (text[at] == '"' || text[at] == '\r' || text[at] == '\n') return false;
          field.push_back(text[at]);
        }
      }
      more = text.substr(at).starts_with(',');
      if (!more && !text.substr(at).starts_with(eol)) return false;
      at += more ? 1 : eol.size();
    }
  }
  return true;
}

std::vector<std::string> CheckListing(const Scenario& s, const ListingRun& run) {
  std::vector<std::string> faults;
  auto fault = [&](std::string message) {
    if (faults.size() < 8) faults.push_back(std::move(message));
  };
  if (run.stopped) fault("the run says it was interrupted");
  if (std::find(run.problems.begin(), run.problems.end(), kLeftOpen) != run.problems.end()) fault(kLeftOpen);
  const std::string_view eol = EolOf(s);
  const engine::ListingOptions& o = s.options;

  // The header: its lines as the boxes ask, label and start folder as given,
  // controls made '?'.
  std::vector<std::string> header = {"", "Date and Time : ", "Volume Name : " + Plain(s.label)};
  if (o.CheckPath) header.push_back("Starting Path : " + Plain(s.start));
  if (o.CheckFree) {
    header.push_back(std::string("Free Disk Space : ") + (s.space ? "12.34 GB" : ""));
    header.push_back(std::string("Disk Space : ") + (s.space ? "98.76 GB" : ""));
  }
  header.emplace_back();  // the blank line before the files
  std::string_view body = run.text;
  for (const std::string& want : header) {
    const std::string_view got = body.substr(0, body.find(eol));
    if (got.size() == body.size() ||
        !(want.starts_with("Date") ? got.starts_with(want) && got.size() > want.size() : got == want)) {
      fault("header: expected \"" + Visible(want) + "\", got \"" + Visible(got) + "\"");
      return faults;
    }
    body.remove_prefix(got.size() + eol.size());
  }

  // The lines taken apart.
  std::vector<Line> lines;
  if (o.OptionCSV) {
    std::vector<std::vector<std::string>> records;
    if (!ParseCsv(body, records, eol)) fault("the lines are no RFC 4180 CSV: \"" + Visible(body) + "\"");
    for (const auto& record : records) {
      if (!ParseCsvRecord(record, o, lines.emplace_back())) fault("a record of " + std::to_string(record.size()));
    }
  } else {
    for (std::size_t at = 0, end; at < body.size(); at = end + eol.size()) {
      if ((end = body.find(eol, at)) == std::string_view::npos) {
        fault("the last line has no line end");
        break;
      }
      if (!ParseTxt(body.substr(at, end - at), o, lines.emplace_back())) {
        fault("no size column in \"" + Visible(body.substr(at, end - at)) + "\"");
      }
    }
  }
  if (!faults.empty()) return faults;

  // The files, in the order of UTF-16 code units.
  std::vector<Expected> expected;
  Collect(s, s.root, Trimmed(s.start) + "\\", false, expected);
  std::stable_sort(expected.begin(), expected.end(), [](const Expected& a, const Expected& b) {
    return a.folderKey != b.folderKey ? a.folderKey < b.folderKey : a.nameKey < b.nameKey;
  });
  // A line stands for its file when it names it and shows its size and a
  // date, or blanks where the file could not be read: from the start, or
  // maybe when it went after the walk, which may have kept what it read.
  auto matches = [&](const Line& line, const Expected& x) {
    const ModelFile& f = *x.file;
    const std::vector<std::string> names =
        o.OptionCSV ? std::vector<std::string>{o.CheckVolume ? s.label : "", x.folder, f.name}
                    : std::vector<std::string>{Plain(x.relative + f.name)};
    if (line.names != names) return false;
    const bool mayShow = s.recordsCarryStamps || !f.vanished;
    const bool mayBlank = !s.recordsCarryStamps && (f.vanished || (f.vanishesBeforeListing && ChangesAfterTheWalk(s)));
    const bool shown =
        (!o.CheckDate || IsDate(line.date)) && (!o.CheckSize || IsSizeOf(line.size, f.size, o.CheckByte));
    const std::string blankDate(o.OptionCSV ? 0 : 19, ' '), blankSize(o.OptionCSV ? 0 : (o.CheckByte ? 12 : 6), ' ');
    const bool blank = (!o.CheckDate || line.date == blankDate) && (!o.CheckSize || line.size == blankSize);
    return (mayShow && shown) || (mayBlank && blank);
  };
  auto shownAs = [](const Line& line) {
    std::string text = "[" + Visible(line.date) + "][" + Visible(line.size) + "]";
    for (const auto& n : line.names) text.append("[").append(Visible(n, 200)).append("]");
    return text;
  };
  // In order, one line per file: a file of a replaced folder may be missing,
  // and then a folder is reported as changed.
  std::size_t next = 0, skipped = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    while (next < expected.size() && expected[next].optional && !matches(lines[i], expected[next])) ++next, ++skipped;
    if (next == expected.size()) {
      fault("line " + std::to_string(i + 1) + " lists no file that is left: " + shownAs(lines[i]));
      break;
    }
    if (const Expected& x = expected[next++]; !matches(lines[i], x)) {
      fault("line " + std::to_string(i + 1) + ": " + shownAs(lines[i]) + ", expected the file " +
            Visible(x.folder + x.file->name) + " of " + std::to_string(x.file->size) + " bytes");
    }
  }
  for (; next < expected.size(); ++next) {
    if (!expected[next].optional) fault("no line for " + Visible(expected[next].folder + expected[next].file->name));
    skipped += expected[next].optional;
  }
  const std::string changed = std::to_string(static_cast<int>(engine::Problem::Kind::ChangedFolder)) + " ";
  if (skipped != 0 && std::none_of(run.problems.begin(), run.problems.end(),
                                   [&](const std::string& p) { return p.starts_with(changed); })) {
    fault(std::to_string(skipped) + " files missing, yet no folder reported as changed");
  }
  return faults;
}

std::vector<std::string> CheckStopped(const ListingRun& complete, const ListingRun& stopped) {
  std::vector<std::string> faults;
  const std::string_view full = complete.text, part = stopped.text, eol = complete.lineEnd;
  const auto at =
      static_cast<std::size_t>(std::mismatch(part.begin(), part.end(), full.begin(), full.end()).first - part.begin());
  if (at != part.size()) {
    faults.push_back("the stopped text leaves the complete one at byte " + std::to_string(at) + ": \"" +
                     Visible(part.substr(at, 80)) + "\"");
  } else if (const std::size_t headerEnd = full.find(std::string(eol) + std::string(eol));
             headerEnd != std::string_view::npos && part.size() < headerEnd + eol.size()) {
    faults.push_back("the header was cut");
  } else if (stopped.stopped && part.size() == full.size()) {
    faults.push_back("interrupted, yet the text is complete");
  } else if (stopped.stopped && full.substr(part.size(), eol.size()) != eol) {
    faults.push_back("a line was cut at byte " + std::to_string(part.size()) + ": \"" +
                     Visible(full.substr(part.size() >= 40 ? part.size() - 40 : 0, 80)) + "\"");
  } else if (!stopped.stopped && part.size() != full.size()) {
    faults.push_back("not interrupted, yet the text is short");
  }
  if (std::find(stopped.problems.begin(), stopped.problems.end(), kLeftOpen) != stopped.problems.end()) {
    faults.push_back(kLeftOpen);
  }
  return faults;
}

std::string Describe(const Scenario& s) {
  const auto& o = s.options;
  const unsigned bits = o.CheckVolume << 0 | o.CheckFree << 1 | o.CheckSize << 2 | o.CheckByte << 3 | o.CheckDate << 4 |
                        o.CheckPath << 5 | o.OptionCSV << 6;
  return std::string(s.lineEnd == "\n" ? "LF, " : "") + "options " + std::to_string(bits) + ", threads " +
         std::to_string(s.threads) + ", cache " + std::to_string(s.cacheBudget) + ", stamps " +
         (s.recordsCarryStamps ? "in records" : "by stat") + ", start \"" + Visible(s.start) + "\"";
}

}  // namespace vexaro::testing
