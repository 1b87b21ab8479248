#include "tests/support/listing_model.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <map>
#include <set>

#include "platform/utf8.h"

namespace vexaro::testing {
namespace {

constexpr std::string_view kSystemEol = "\r\n";  // the fake's, Windows' own
constexpr std::string_view kIntruder = "\x7Fintruder\x7F";
constexpr std::int64_t kNow = 1796515500;  // 2026-12-06 00:05:00 UTC, the fake's clock

// One piece of a name, of a kind picked at random.
void AppendPiece(Entropy& e, std::string& out) {
  static constexpr const char* kBroken[] = {
      "\xC0\xAF",          // overlong '/'
      "\xED\xA0\x80",      // a surrogate's three-byte form
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "\xE6\x97",          // a character cut short
      "\xF8\x88\x80\x80\x80",
      "\xFF",
      "\xC2",
  };
  switch (e.Below(13)) {
    case 0:
    case 1: {  // printable ASCII
      char c = static_cast<char>(0x20 + e.Below(0x5F));
      out.push_back(c == '\\' ? '_' : c);
      break;
    }
    case 2:
      out.push_back(static_cast<char>('a' + e.Below(26)));
      break;
    case 3:
      out.push_back("\",'; "[e.Below(5)]);
      break;
    case 4:
      out.append(e.Percent(50) ? "\r\n" : (e.Percent(50) ? "\r" : "\n"));
      break;
    case 5:  // C0 controls and DEL; never NUL, which no name holds
      out.push_back(e.Percent(10) ? '\x7F' : static_cast<char>(1 + e.Below(31)));
      break;
    case 6:  // C1 controls, the NEL and CSI among them
      platform::utf8::Append(out, static_cast<char32_t>(0x80 + e.Below(0x20)));
      break;
    case 7:  // two-byte characters, the ones beside the C1 range often
      platform::utf8::Append(
          out, static_cast<char32_t>(e.Percent(50) ? 0xA0 + e.Below(0x10) : 0xA0 + e.Below(0x800 - 0xA0)));
      break;
    case 8: {  // three-byte characters, U+E000..U+FFFF often (they sort after pairs)
      std::uint32_t cp = e.Percent(40) ? static_cast<std::uint32_t>(0xE000 + e.Below(0x2000))
                                       : static_cast<std::uint32_t>(0x800 + e.Below(0xD800 - 0x800));
      platform::utf8::Append(out, cp);
      break;
    }
    case 9:  // four-byte characters
      platform::utf8::Append(out, static_cast<char32_t>(0x10000 + e.Below(0x100000)));
      break;
    case 10:  // a stray byte
      out.push_back(static_cast<char>(0x80 + e.Below(0x80)));
      break;
    case 11:
      out.append(kBroken[e.Below(std::size(kBroken))]);
      break;
    default:
      out.append("\xE6\x97\xA5");  // a common Japanese character
      break;
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
      return static_cast<std::uint64_t>(999'999'999'999ull + e.Below(3));
    default:
      return e.Bits64() >> e.Below(64);
  }
}

platform::UtcTime RandomTime(Entropy& e) {
  platform::UtcTime t;
  switch (e.Below(6)) {
    case 0:  // the years people meet
      t.seconds = 315532800 + static_cast<std::int64_t>(e.Below(std::uint64_t{4} << 30));
      break;
    case 1:
      t.seconds = e.Percent(50) ? INT64_MAX - static_cast<std::int64_t>(e.Below(200000))
                                : INT64_MIN + static_cast<std::int64_t>(e.Below(200000));
      break;
    case 2:  // around year 0 and year 9999
      t.seconds = (e.Percent(50) ? -62167219200 : 253402300799) + static_cast<std::int64_t>(e.Below(200000)) - 100000;
      break;
    case 3:
      t.seconds = 0;
      break;
    default:
      t.seconds = static_cast<std::int64_t>(e.Bits64());
      break;
  }
  t.nanoseconds =
      e.Percent(5) ? static_cast<std::uint32_t>(e.Bits64()) : static_cast<std::uint32_t>(e.Below(1'000'000'000));
  return t;
}

struct Builder {
  Entropy& e;
  const TreeLimits& limits;

  ModelFolder Folder(std::string name, int depth) {
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
        ModelFile file;
        file.name = child;
        file.size = RandomSize(e);
        file.creation = RandomTime(e);
        file.vanished = e.Percent(6);
        file.vanishesBeforeListing = e.Percent(6);
        folder.files.push_back(std::move(file));
        folder.order.push_back('f');
      } else if (kind < 94) {
        folder.folders.push_back(Folder(child, depth + 1));
        folder.folders.back().unreadable = e.Percent(8);
        if (e.Percent(6)) folder.folders.back().replacedBeforeListing = e.Percent(50) ? 'l' : 'o';
        folder.order.push_back('d');
      } else {
        ModelFolder link;
        link.name = child;
        link.link = true;
        folder.folders.push_back(std::move(link));
        folder.order.push_back('d');
      }
    }
    return folder;
  }
};

std::string Trimmed(std::string_view path) {
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return std::string(path);
}

void AddToFake(FakeSystem& system, const std::string& path, const ModelFolder& folder) {
  std::size_t file = 0, sub = 0;
  for (char kind : folder.order) {
    if (kind == 'f') {
      const ModelFile& f = folder.files[file++];
      const std::string at = path + "\\" + f.name;
      system.AddFile(at, f.size, f.creation);
      if (f.vanished) system.SetVanished(at);
    } else {
      const ModelFolder& d = folder.folders[sub++];
      const std::string at = path + "\\" + d.name;
      if (d.link) {
        system.AddLinkedFolder(at);
        continue;
      }
      system.AddFolder(at);
      AddToFake(system, at, d);
      if (d.unreadable) system.SetUnreadable(at);
    }
  }
}

class ModelHost final : public engine::ProgressDisplay, public engine::StopRequest, public engine::ProblemReports {
 public:
  int stopAt = 0;
  int yields = 0;
  std::vector<std::string> problems;
  std::function<void()> beforeListing;

  void SetStatus(std::string_view caption) override {
    if (caption == engine::kListingFiles && beforeListing) beforeListing();
  }
  void DispListFile(std::string_view) override {}
  void Yield() override {
    if (++yields == stopAt) stop_ = true;
  }
  bool Requested() const override { return stop_; }
  void ReportProblem(const engine::Problem& problem) override {
    problems.push_back(std::to_string(static_cast<int>(problem.kind)) + " " + std::string(problem.path));
  }

 private:
  bool stop_ = false;
};

// ---- The independent reading of the format ----

// Text in a TXT line or header: C0 controls, DEL and C1 controls as '?'.
std::string Plain(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      out.push_back('?');
    } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      out.push_back('?');
      ++i;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

std::string PadLeft(std::string text, std::size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

std::string SizeText(std::uint64_t size, bool exactBytes) {
  if (exactBytes) return PadLeft(std::to_string(size), 12);
  const char* unit = " B";
  std::uint64_t shown = size;
  if (size >= (std::uint64_t{1} << 30)) {
    unit = "GB", shown = size >> 30;
  } else if (size >= (std::uint64_t{1} << 20)) {
    unit = "MB", shown = size >> 20;
  } else if (size >= 1024) {
    unit = "KB", shown = size >> 10;
  }
  return PadLeft(std::to_string(shown), 4) + unit;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if (a % b != 0 && ((a < 0) != (b < 0))) --q;
  return q;
}

bool IsLeap(std::int64_t y) { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }

struct Civil {
  std::int64_t year;
  int month, day, hour, minute, second;
};

// A local moment as a day (from 1970-01-01) and a second in it: the local
// time of a UTC second near the ends of the 64-bit range lies beyond it.
struct Moment {
  std::int64_t days;
  int secondOfDay;
};

// Counted forward from 2000-01-01 a 400-year cycle at a time, then year by
// year and month by month: slow, and unlike the engine's arithmetic.
Civil CivilOf(Moment local) {
  const int secondOfDay = local.secondOfDay;
  const std::int64_t sinceY2k = local.days - 10957;
  const std::int64_t cycles = FloorDiv(sinceY2k, 146097);
  std::int64_t rest = sinceY2k - cycles * 146097;
  std::int64_t year = 2000 + 400 * cycles;
  while (rest >= (IsLeap(year) ? 366 : 365)) rest -= IsLeap(year) ? 366 : 365, ++year;
  static constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int month = 0;
  for (;; ++month) {
    const int length = kMonthDays[month] + (month == 1 && IsLeap(year) ? 1 : 0);
    if (rest < length) break;
    rest -= length;
  }
  return {year, month + 1, static_cast<int>(rest) + 1, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60};
}

std::int32_t OffsetAt(const Scenario& s, std::int64_t utc) {
  std::int32_t offset = s.offsets.empty() ? 9 * 3600 : s.offsets.front().second;
  for (const auto& [from, value] : s.offsets) {
    if (from <= utc) offset = value;
  }
  return offset;
}

Moment LocalSeconds(const Scenario& s, platform::UtcTime t) {
  const std::int64_t carry = t.nanoseconds / 1'000'000'000;  // 0..4
  std::int64_t asked;                                        // the clock is asked about the nearest second it can take
  if (__builtin_add_overflow(t.seconds, carry, &asked)) asked = INT64_MAX;
  const std::int64_t shift = carry + OffsetAt(s, asked);  // well within a day either way
  std::int64_t days = FloorDiv(t.seconds, 86400);
  std::int64_t second = t.seconds % 86400;  // days * 86400 may lie beyond the range
  if (second < 0) second += 86400;
  second += shift;
  days += FloorDiv(second, 86400);
  second -= FloorDiv(second, 86400) * 86400;
  return {days, static_cast<int>(second)};
}

std::string Two(int v) { return {static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)}; }

std::string DateText(const Scenario& s, platform::UtcTime t) {
  const Civil c = CivilOf(LocalSeconds(s, t));
  const std::uint64_t magnitude =
      c.year < 0 ? static_cast<std::uint64_t>(-(c.year + 1)) + 1 : static_cast<std::uint64_t>(c.year);
  std::string year = std::to_string(magnitude);
  year = std::string(year.size() < 4 ? 4 - year.size() : 0, '0') + year;
  if (c.year < 0) year.insert(0, "-");
  return year + "/" + Two(c.month) + "/" + Two(c.day) + " " + Two(c.hour) + ":" + Two(c.minute) + ":" + Two(c.second);
}

std::string_view EolOf(const Scenario& s) { return s.lineEnd.empty() ? kSystemEol : std::string_view(s.lineEnd); }

std::string Header(const Scenario& s) {
  const std::string_view kEol = EolOf(s);
  const Civil now = CivilOf(LocalSeconds(s, {kNow, 0}));
  std::string header;
  header.append(kEol).append("Date and Time : ").append(std::to_string(now.year)).append("/" + Two(now.month));
  header.append("/" + Two(now.day) + " " + std::to_string(now.hour) + ":" + Two(now.minute) + ":" + Two(now.second));
  header.append(kEol).append("Volume Name : ").append(Plain(s.label));
  if (s.options.CheckPath) header.append(kEol).append("Starting Path : ").append(Plain(s.start));
  if (s.options.CheckFree) {
    header.append(kEol).append("Free Disk Space : ").append(s.space ? "12.34 GB" : "");
    header.append(kEol).append("Disk Space : ").append(s.space ? "98.76 GB" : "");
  }
  header.append(kEol);
  return header;
}

struct Expected {
  std::string folder;  // full path with its separator
  std::string relative;
  const ModelFile* file;
  std::vector<std::uint32_t> folderKey, nameKey;
  bool optional;  // in or below a folder replaced after the walk
};

struct Folders {
  std::set<std::string> unreadable, replaced;
};

// The fake is no file system: it may change only while no other thread reads
// it, and read-ahead workers may be reading at any time.
bool ChangesAfterTheWalk(const Scenario& s) { return s.workers == 1; }

void Collect(const Scenario& s, const ModelFolder& folder, const std::string& path, bool replacedAbove,
             std::vector<Expected>& out, Folders& folders) {
  if (folder.link) return;
  if (folder.unreadable) {
    folders.unreadable.insert(path);
    return;
  }
  // A folder replaced once the walk is over: its files come from what the
  // walk kept, or not at all (it is reported as changed), never from its
  // replacement.
  const bool replaced = ChangesAfterTheWalk(s) && folder.replacedBeforeListing != 0;
  const bool optional = replacedAbove || replaced;
  if (replaced) folders.replaced.insert(path);
  const std::string relative = path.substr(std::min(path.size(), s.start.size()));
  for (const ModelFile& f : folder.files) {
    // Folders go in the order of their paths without the trailing
    // separator: "a b" before "a\x" before "ab".
    out.push_back({path, relative, &f, OrderUnits(std::string_view(path).substr(0, path.size() - 1)),
                   OrderUnits(f.name), optional});
  }
  for (const ModelFolder& d : folder.folders) Collect(s, d, path + d.name + "\\", optional, out, folders);
}

// Whether the line may, must or must not show the file's size and date.
enum class Stamp { Shown, Blank, Either };

Stamp StampOf(const Scenario& s, const ModelFile& f) {
  if (s.recordsCarryStamps) return Stamp::Shown;
  if (f.vanished) return Stamp::Blank;
  // Gone after the walk: the walk may have kept what it read, or the
  // listing reads the folder again and finds nothing.
  return f.vanishesBeforeListing && ChangesAfterTheWalk(s) ? Stamp::Either : Stamp::Shown;
}

std::string TxtLine(const Scenario& s, const Expected& x, bool stamped) {
  const auto& o = s.options;
  std::string line;
  if (o.CheckDate) line += stamped ? DateText(s, x.file->creation) : std::string(19, ' ');
  if (o.CheckSize) {
    line += stamped ? SizeText(x.file->size, o.CheckByte) : std::string(o.CheckByte ? 12 : 6, ' ');
    line += " : ";
  }
  return line + Plain(x.relative) + Plain(x.file->name);
}

std::vector<std::string> CsvFields(const Scenario& s, const Expected& x, bool stamped) {
  const auto& o = s.options;
  std::vector<std::string> fields;
  if (o.CheckDate) fields.push_back(stamped ? DateText(s, x.file->creation) : "");
  if (o.CheckVolume) fields.push_back(s.label);
  if (o.CheckSize) fields.push_back(stamped ? SizeText(x.file->size, o.CheckByte) : "");
  fields.push_back(x.folder);
  fields.push_back(x.file->name);
  return fields;
}

std::string Visible(std::string_view text, std::size_t max = 300) {
  std::string out;
  for (char ch : text.substr(0, max)) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c >= 0x7F || c == '\\') {
      static constexpr char kHex[] = "0123456789abcdef";
      out += c == '\\' ? std::string("\\\\") : std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
    } else {
      out.push_back(ch);
    }
  }
  if (text.size() > max) out += "...";
  return out;
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
  std::size_t length;
  const auto band = entropy.Below(20);
  if (band < 14) {
    length = 1 + entropy.Below(12);
  } else if (band < 19) {
    length = 13 + entropy.Below(28);
  } else {
    length = 200 + entropy.Below(56);
  }
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
  const auto zone = e.Below(10);
  if (zone < 6) {
    s.offsets = {{INT64_MIN, 9 * 3600}};
  } else {
    s.offsets = {{INT64_MIN, static_cast<std::int32_t>(e.Below(2 * 14 * 3600 + 1)) - 14 * 3600}};
    if (zone >= 8) {
      // A change in the years the files have, anywhere, or beside either end
      // of the range, where the clock is asked about the nearest second.
      const auto where = e.Below(4);
      const auto near = static_cast<std::int64_t>(e.Below(3 * 86400));
      const std::int64_t at = where == 0   ? kNow - static_cast<std::int64_t>(e.Below(std::uint64_t{1} << 31))
                              : where == 1 ? static_cast<std::int64_t>(e.Bits64())
                              : where == 2 ? INT64_MIN + 1 + near  // not at INT64_MIN: that one is set
                                           : INT64_MAX - near;
      s.offsets.emplace_back(at, static_cast<std::int32_t>(e.Below(2 * 14 * 3600 + 1)) - 14 * 3600);
    }
  }
  s.root = Builder{e, limits}.Folder("", 0);
  s.root.unreadable = e.Percent(3);
  if (e.Percent(2)) s.root.replacedBeforeListing = 'o';
  s.options = OptionsFromBits(static_cast<unsigned>(e.Below(128)));
  s.workers = e.Percent(60) ? 1 : 3;
  s.cacheBudget = e.Percent(50) ? engine::kDefaultCacheBudget : e.Below(400);
  return s;
}

engine::ListingOptions OptionsFromBits(unsigned bits) {
  engine::ListingOptions o;
  o.CheckVolume = bits & 1;
  o.CheckFree = bits & 2;
  o.CheckSize = bits & 4;
  o.CheckByte = bits & 8;
  o.CheckDate = bits & 16;
  o.CheckPath = bits & 32;
  o.OptionCSV = bits & 64;
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
  // workers nothing else reads the fake meanwhile.
  if (ChangesAfterTheWalk(scenario))
    host.beforeListing = [&] {
      std::vector<std::pair<std::string, const ModelFolder*>> stack{{root, &scenario.root}};
      while (!stack.empty()) {
        auto [path, folder] = stack.back();
        stack.pop_back();
        for (const ModelFile& f : folder->files) {
          if (f.vanishesBeforeListing) system.SetVanished(path + "\\" + f.name);
        }
        if (folder->replacedBeforeListing == 'l') system.ReplaceWithLink(path);
        if (folder->replacedBeforeListing == 'o') {
          // The new folder holds a file the old one did not: listing it would
          // mean the replacement was taken for the folder the walk saw.
          system.ReplaceWithOtherFolder(path);
          system.AddFile(path + "\\" + std::string(kIntruder), 1);
        }
        for (const ModelFolder& d : folder->folders) {
          if (!d.link) stack.emplace_back(path + "\\" + d.name, &d);
        }
      }
    };
  ListingRun run;
  engine::StringSink sink(run.text);
  {
    engine::ListingJob job(system, {host, host, &host}, sink);
    job.setCacheBudget(scenario.cacheBudget);
    job.setThreads(scenario.workers);
    engine::ListingOptions options = scenario.options;
    options.lineEnd = scenario.lineEnd;
    run.stopped = job.DoWork(scenario.start, options).stopped();
  }
  run.yields = host.yields;
  run.lineEnd = EolOf(scenario);
  run.problems = std::move(host.problems);
  if (system.openFolders() != 0) run.problems.push_back("a folder was left open");
  return run;
}

std::vector<std::uint32_t> OrderUnits(std::string_view s) {
  std::vector<std::uint32_t> units;
  for (std::size_t at = 0; at < s.size();) {
    const auto c0 = static_cast<unsigned char>(s[at]);
    std::size_t length = 0;
    std::uint32_t cp = 0, min = 0;
    if (c0 < 0x80) {
      units.push_back(c0);
      ++at;
      continue;
    }
    if (c0 >= 0xC2 && c0 <= 0xDF) length = 2, cp = c0 & 0x1F, min = 0x80;
    if (c0 >= 0xE0 && c0 <= 0xEF) length = 3, cp = c0 & 0x0F, min = 0x800;
    if (c0 >= 0xF0 && c0 <= 0xF4) length = 4, cp = c0 & 0x07, min = 0x10000;
    bool valid = length != 0 && at + length <= s.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto c = static_cast<unsigned char>(s[at + k]);
      valid = (c & 0xC0) == 0x80;
      cp = (cp << 6) | (c & 0x3F);
    }
    valid = valid && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    if (!valid) {
      units.push_back(0x10000 + c0);
      ++at;
      continue;
    }
    if (cp >= 0x10000) {
      units.push_back(0xD800 + ((cp - 0x10000) >> 10));
      units.push_back(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      units.push_back(cp);
    }
    at += length;
  }
  return units;
}

bool ParseCsv(std::string_view text, std::vector<std::vector<std::string>>& records, std::string_view eol) {
  records.clear();
  std::size_t at = 0;
  while (at < text.size()) {
    std::vector<std::string> record;
    for (;;) {
      std::string field;
      if (at < text.size() && text[at] == '"') {
        for (++at;; ++at) {
          if (at >= text.size()) return false;
          if (text[at] == '"') {
            if (at + 1 < text.size() && text[at + 1] == '"') {
              field.push_back('"');
              ++at;
              continue;
            }
            ++at;
            break;
          }
          field.push_back(text[at]);
        }
      } else {
        while (at < text.size() && text[at] != ',' && text.substr(at, eol.size()) != eol) {
          if (text[at] == '"' || text[at] == '\r' || text[at] == '\n') return false;
          field.push_back(text[at++]);
        }
      }
      record.push_back(std::move(field));
      if (at < text.size() && text[at] == ',') {
        ++at;
        continue;
      }
      if (text.substr(at, eol.size()) == eol) {
        at += eol.size();
        break;
      }
      return false;  // a record that does not end in its line end, or junk after a quote
    }
    records.push_back(std::move(record));
  }
  return true;
}

std::vector<std::string> CheckListing(const Scenario& s, const ListingRun& run) {
  std::vector<std::string> faults;
  auto fault = [&](std::string message) {
    if (faults.size() < 8) faults.push_back(std::move(message));
  };
  if (run.stopped) fault("the run says it was interrupted");
  const std::string header = Header(s);
  if (!run.text.starts_with(header)) {
    fault("header: expected \"" + Visible(header) + "\", got \"" + Visible(run.text.substr(0, header.size() + 40)) +
          "\"");
    return faults;
  }
  const std::string_view kEol = EolOf(s);
  std::string_view rest = std::string_view(run.text).substr(header.size());
  if (!rest.starts_with(kEol)) {
    fault("no blank line after the header");
    return faults;
  }
  const std::string_view body = rest.substr(kEol.size());

  std::vector<Expected> expected;
  Folders folders;
  Collect(s, s.root, Trimmed(s.start) + "\\", false, expected, folders);
  std::stable_sort(expected.begin(), expected.end(), [](const Expected& a, const Expected& b) {
    return a.folderKey != b.folderKey ? a.folderKey < b.folderKey : a.nameKey < b.nameKey;
  });

  // The lines as text (TXT) or fields (CSV), each to match one expected file.
  std::vector<std::vector<std::string>> items;
  if (s.options.OptionCSV) {
    if (!ParseCsv(body, items, kEol)) {
      fault("the lines are no RFC 4180 CSV: \"" + Visible(body) + "\"");
      return faults;
    }
  } else {
    for (std::size_t at = 0; at < body.size();) {
      const std::size_t end = body.find(kEol, at);
      if (end == std::string_view::npos) {
        fault("the last line has no line end");
        return faults;
      }
      items.push_back({std::string(body.substr(at, end - at))});
      at = end + kEol.size();
    }
  }
  auto form = [&](const Expected& x, bool stamped) {
    return s.options.OptionCSV ? CsvFields(s, x, stamped) : std::vector<std::string>{TxtLine(s, x, stamped)};
  };
  auto matches = [&](const std::vector<std::string>& item, const Expected& x) {
    const Stamp stamp = StampOf(s, *x.file);
    return (stamp != Stamp::Blank && item == form(x, true)) || (stamp != Stamp::Shown && item == form(x, false));
  };
  auto shownAs = [](const std::vector<std::string>& item) {
    std::string text;
    for (const auto& f : item) text.append("[").append(Visible(f, 200)).append("]");
    return text;
  };

  // In order, one line per file: a file of a replaced folder may be missing.
  std::size_t next = 0, skipped = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    while (next < expected.size() && expected[next].optional && !matches(items[i], expected[next])) ++next, ++skipped;
    if (next == expected.size()) {
      fault("line " + std::to_string(i + 1) + " lists no file that is left: " + shownAs(items[i]));
      break;
    }
    const Expected& x = expected[next++];
    if (!matches(items[i], x)) {
      fault("line " + std::to_string(i + 1) + ": " + shownAs(items[i]) + ", expected " +
            shownAs(form(x, StampOf(s, *x.file) != Stamp::Blank)));
    }
  }
  for (; next < expected.size(); ++next) {
    if (expected[next].optional) {
      ++skipped;
    } else {
      fault("no line for " + Visible(expected[next].folder + expected[next].file->name));
    }
  }

  // Reported: each unreadable folder (the walk's report and the listing's
  // may both come), each file whose line is blank, and a folder replaced
  // whose files are missing.
  auto under = [](const std::set<std::string>& roots, const std::string& path) {
    return std::any_of(roots.begin(), roots.end(), [&](const std::string& r) { return path.starts_with(r); });
  };
  std::set<std::string> reported, files;
  int changed = 0;
  for (const auto& p : run.problems) {
    if (p == "a folder was left open") fault(p);
    const std::string path = p.substr(p.find(' ') + 1);
    const auto kind = static_cast<engine::Problem::Kind>(std::stoi(p));
    if (kind == engine::Problem::Kind::UnreadableFolder) {
      if (!folders.unreadable.contains(path) && !under(folders.replaced, path)) {
        fault("reported as unreadable: " + Visible(path));
      }
      reported.insert(path);
    } else if (kind == engine::Problem::Kind::UnreadableFile) {
      files.insert(path);
    } else if (kind == engine::Problem::Kind::ChangedFolder && under(folders.replaced, path)) {
      ++changed;
    } else {
      fault("an unexpected report: " + Visible(p));
    }
  }
  for (const auto& path : folders.unreadable) {
    if (!reported.contains(path)) fault("not reported as unreadable: " + Visible(path));
  }
  if (skipped != 0 && changed == 0)
    fault(std::to_string(skipped) + " files missing, yet no folder reported as changed");
  if (s.options.CheckDate || s.options.CheckSize) {
    for (const Expected& x : expected) {
      if (!x.optional && StampOf(s, *x.file) == Stamp::Blank && !files.contains(x.folder + x.file->name)) {
        fault("not reported as unreadable: " + Visible(x.folder + x.file->name));
      }
    }
  }
  return faults;
}

std::vector<std::string> CheckStopped(const ListingRun& complete, const ListingRun& stopped) {
  std::vector<std::string> faults;
  const std::string_view full = complete.text;
  const std::string_view part = stopped.text;
  const std::string_view kEol = complete.lineEnd;
  const std::size_t headerEnd = full.find(std::string(kEol) + std::string(kEol));
  if (!full.starts_with(part)) {
    std::size_t at = 0;
    while (at < part.size() && at < full.size() && part[at] == full[at]) ++at;
    faults.push_back("the stopped text leaves the complete one at byte " + std::to_string(at) + ": \"" +
                     Visible(part.substr(at, 80)) + "\"");
    return faults;
  }
  if (headerEnd != std::string_view::npos && part.size() < headerEnd + kEol.size()) {
    faults.push_back("the header was cut");
  }
  if (stopped.stopped) {
    if (part.size() == full.size())
      faults.push_back("interrupted, yet the text is complete");
    else if (full.substr(part.size(), kEol.size()) != kEol) {
      faults.push_back("a line was cut at byte " + std::to_string(part.size()) + ": \"" +
                       Visible(full.substr(part.size() >= 40 ? part.size() - 40 : 0, 80)) + "\"");
    }
  } else if (part.size() != full.size()) {
    faults.push_back("not interrupted, yet the text is short");
  }
  for (const auto& p : stopped.problems) {
    if (p == "a folder was left open") faults.push_back(p);
  }
  return faults;
}

std::string Describe(const Scenario& s) {
  unsigned bits = 0;
  const auto& o = s.options;
  bits |= o.CheckVolume << 0 | o.CheckFree << 1 | o.CheckSize << 2 | o.CheckByte << 3 | o.CheckDate << 4 |
          o.CheckPath << 5 | o.OptionCSV << 6;
  std::size_t files = 0, folders = 0;
  std::vector<const ModelFolder*> stack{&s.root};
  while (!stack.empty()) {
    const ModelFolder* f = stack.back();
    stack.pop_back();
    ++folders;
    files += f->files.size();
    for (const auto& d : f->folders) stack.push_back(&d);
  }
  return std::string(s.lineEnd == "\n" ? "LF, " : "") + "options " + std::to_string(bits) + ", workers " +
         std::to_string(s.workers) + ", cache " + std::to_string(s.cacheBudget) + ", stamps " +
         (s.recordsCarryStamps ? "in records" : "by stat") + ", " + std::to_string(folders) + " folders, " +
         std::to_string(files) + " files, start \"" + Visible(s.start) + "\"";
}

}  // namespace vexaro::testing
