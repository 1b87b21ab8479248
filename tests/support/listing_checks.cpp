#include "tests/support/listing_checks.h"

#include <algorithm>
#include <climits>
#include <set>

#include "platform/utf8.h"
#include "tests/support/recording_host.h"

namespace vexaro::testing {
namespace {

constexpr std::string_view kSystemEol = "\r\n";  // the fake's, Windows' own
constexpr const char* kLeftOpen = "a folder was left open";

// Pieces of names, one of each kind the order and the columns tell apart,
// between '|': quotes, commas and blanks; CR and LF; C0 and C1 controls and
// DEL, and the characters beside them; both ends of each UTF-8 length, those
// below and above the surrogates (a pair sorts between them); bytes that are
// no UTF-8: stray, cut short, overlong, a surrogate's form, above U+10FFFF.
std::string_view Piece(Entropy& e) {
  static constexpr std::string_view kPieces =
      " |\"|,|'|;|\r\n|\r|\n|\x01|\x1B|\x1F|\x7F|\xC2\x80|\xC2\x85|\xC2\x9B|\xC2\x9F|\xC2\xA0|\xC3\xA9|\xDF\xBF|"
      "\xE0\xA0\x80|\xE6\x97\xA5|\xED\x9F\xBF|\xEE\x80\x80|\xEF\xBF\xBF|\xF0\x90\x80\x80|\xF0\x9F\x98\x80|"
      "\xF4\x8F\xBF\xBF|\x80|\xFF|\xC2|\xE6\x97|\xC0\xAF|\xED\xA0\x80|\xF4\x90\x80\x80|\xF8\x88\x80\x80\x80";
  std::string_view rest = kPieces;
  for (auto skip = e.Below(static_cast<std::uint64_t>(std::count(rest.begin(), rest.end(), '|')) + 1); skip > 0;
       --skip) {
    rest.remove_prefix(rest.find('|') + 1);
  }
  return rest.substr(0, rest.find('|'));
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
  // The years people meet, the ends of the range, around years 0 and 9999,
  // 1970, or anything.
  static constexpr std::int64_t kFrom[] = {315532800, INT64_MAX - 199999, INT64_MIN, -62167319200, 253402200799, 0};
  const auto pick = e.Below(std::size(kFrom) + 1);
  platform::UtcTime t;
  t.seconds = pick == std::size(kFrom)
                  ? static_cast<std::int64_t>(e.Bits64())
                  : kFrom[pick] + static_cast<std::int64_t>(e.Below(pick == 0 ? 4ull << 30 : 200000));
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
      folder.files.push_back({child, RandomSize(e), RandomTime(e)});
      folder.files.back().vanished = e.Percent(8);
      folder.order.push_back('f');
    } else if (kind < 94) {
      folder.folders.push_back(RandomFolder(e, limits, child, depth + 1));
      folder.folders.back().unreadable = e.Percent(8);
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
};

void Collect(const Scenario& s, const ModelFolder& folder, const std::string& path, std::vector<Expected>& out) {
  if (folder.link || folder.unreadable) return;
  const std::string relative = path.substr(std::min(path.size(), s.start.size()));
  // Folders go in the order of their paths without the trailing separator:
  // "a b" before "a\x" before "ab".
  const auto folderKey = OrderUnits(std::string_view(path).substr(0, path.size() - 1));
  for (const ModelFile& f : folder.files) out.push_back({path, relative, &f, folderKey, OrderUnits(f.name)});
  for (const ModelFolder& d : folder.folders) Collect(s, d, path + d.name + "\\", out);
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
  while (name.size() < length) {
    const char ascii = static_cast<char>(0x20 + entropy.Below(0x5F));
    if (entropy.Percent(50)) {
      name.push_back(ascii == '\\' ? '_' : ascii);
    } else {
      name.append(Piece(entropy));
    }
  }
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
    // A change anywhere, or beside either end of the range, where the clock
    // is asked about the nearest second (INT64_MIN itself is set above).
    const auto near = static_cast<std::int64_t>(e.Below(3 * 86400));
    const std::int64_t at[] = {static_cast<std::int64_t>(e.Bits64()), INT64_MIN + 1 + near, INT64_MAX - near};
    s.offsets.emplace_back(at[e.Below(3)], offset());
  }
  s.root = RandomFolder(e, limits, "", 0);
  s.root.unreadable = e.Percent(3);
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

  RecordingHost host;
  host.recordYields = false;
  host.duringYield = [&](RecordingHost& h) {
    if (h.yields == stopAtYield) h.Stop();
  };
  ListingRun run;
  engine::StringSink sink(run.text);
  {
    engine::ListingJob job(system, host.Host(), sink);
    job.setCacheBudget(scenario.cacheBudget);
    job.setThreads(scenario.threads);
    engine::ListingOptions options = scenario.options;
    options.lineEnd = scenario.lineEnd;
    run.stopped = job.DoWork(scenario.start, options).stopped();
  }
  run.yields = host.yields;
  run.lineEnd = EolOf(scenario);
  run.leftOpen = system.openFolders();
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
  if (run.leftOpen != 0) fault(kLeftOpen);
  const std::string_view eol = EolOf(s), text = run.text;
  const engine::ListingOptions& o = s.options;

  // The header: a blank line, date, volume, the lines the boxes ask for, and
  // a blank line. No label or start folder ends it early: controls are '?'.
  const std::size_t headerEnd = text.find(std::string(eol) + std::string(eol), 1);
  std::size_t headerLines = 0;
  for (std::size_t at = 0; headerEnd != std::string_view::npos && (at = text.find(eol, at)) <= headerEnd;) {
    ++headerLines, at += eol.size();
  }
  if (headerEnd == std::string_view::npos || headerLines != 3u + o.CheckPath + 2u * o.CheckFree) {
    fault("the header: \"" + Visible(text.substr(0, headerEnd)) + "\"");
    return faults;
  }
  const std::string_view body = text.substr(headerEnd + 2 * eol.size());

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

  // Each file once, in the order of UTF-16 code units: a line stands for its
  // file when it names it and shows its size and a date, or blanks where the
  // file could not be read.
  std::vector<Expected> expected;
  Collect(s, s.root, Trimmed(s.start) + "\\", expected);
  std::stable_sort(expected.begin(), expected.end(), [](const Expected& a, const Expected& b) {
    return a.folderKey != b.folderKey ? a.folderKey < b.folderKey : a.nameKey < b.nameKey;
  });
  for (std::size_t i = 0; i < std::max(lines.size(), expected.size()); ++i) {
    if (i >= lines.size() || i >= expected.size()) {
      fault(i >= lines.size() ? "no line for " + Visible(expected[i].folder + expected[i].file->name)
                              : "line " + std::to_string(i + 1) + " lists no file that is left");
      break;
    }
    const Line& line = lines[i];
    const ModelFile& f = *expected[i].file;
    const std::vector<std::string> names =
        o.OptionCSV ? std::vector<std::string>{o.CheckVolume ? s.label : "", expected[i].folder, f.name}
                    : std::vector<std::string>{Plain(expected[i].relative + f.name)};
    const bool shown = s.recordsCarryStamps || !f.vanished;
    const bool date = !o.CheckDate || (shown ? IsDate(line.date) : line.date == std::string(o.OptionCSV ? 0 : 19, ' '));
    const bool size = !o.CheckSize || (shown ? IsSizeOf(line.size, f.size, o.CheckByte)
                                             : line.size == std::string(o.OptionCSV ? 0 : (o.CheckByte ? 12 : 6), ' '));
    if (line.names != names || !date || !size) {
      std::string got = "[" + Visible(line.date) + "][" + Visible(line.size) + "]";
      for (const auto& n : line.names) got.append("[").append(Visible(n, 200)).append("]");
      fault("line " + std::to_string(i + 1) + ": " + got + ", expected the file " +
            Visible(expected[i].folder + f.name) + " of " + std::to_string(f.size) + " bytes");
    }
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
  if (stopped.leftOpen != 0) faults.push_back(kLeftOpen);
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
