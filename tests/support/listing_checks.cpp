#include "tests/support/listing_checks.h"

#include <algorithm>
#include <climits>
#include <functional>
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

// ---- What a listing must say, read back from its text ----

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

std::string_view EolOf(const Scenario& s) { return s.lineEnd.empty() ? kSystemEol : std::string_view(s.lineEnd); }

// The width of a blank date column, and whether `text` is a date: a year of
// four digits or more (a minus before it), then /mm/dd hh:mm:ss.
constexpr std::size_t kBlankDate = 19;
bool IsDate(std::string_view text) {
  std::size_t at = text.starts_with('-') ? 1 : 0;
  const std::size_t yearStart = at;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  if (at - yearStart < 4) return false;
  const std::string_view rest = text.substr(at);
  static constexpr std::string_view kForm = "/99/99 99:99:99";
  if (rest.size() != kForm.size()) return false;
  for (std::size_t i = 0; i < kForm.size(); ++i) {
    if (kForm[i] == '9' ? (rest[i] < '0' || rest[i] > '9') : rest[i] != kForm[i]) return false;
  }
  return true;
}

// Whether `text` is the size column of a file of `size` bytes: the exact
// count right-aligned in 12, or the whole number of the largest unit that
// fits, right-aligned in 4, and the unit; wider numbers keep every digit.
bool IsSizeOf(std::string_view text, std::uint64_t size, bool exactBytes) {
  auto rightAligned = [](std::string_view field, std::string_view digits, std::size_t width) {
    const std::size_t pad = digits.size() < width ? width - digits.size() : 0;
    return field.size() == pad + digits.size() && field.find_first_not_of(' ') == pad && field.substr(pad) == digits;
  };
  if (exactBytes) return rightAligned(text, std::to_string(size), 12);
  if (text.size() < 3) return false;
  static constexpr std::string_view kUnits[] = {" B", "KB", "MB", "GB"};
  const std::string_view unit = text.substr(text.size() - 2);
  for (int shift = 0; shift < 4; ++shift) {
    if (unit != kUnits[shift]) continue;
    const bool largest = shift == 3 || (size >> (10 * (shift + 1))) == 0;
    return largest && (shift == 0 || (size >> (10 * shift)) != 0) &&
           rightAligned(text.substr(0, text.size() - 2), std::to_string(size >> (10 * shift)), 4);
  }
  return false;
}

// One file line taken apart: the date and size fields (empty when the
// column is not there) and what names the file.
struct Line {
  std::string date, size;
  std::vector<std::string> names;  // TXT: the relative path and name; CSV: volume, folder, name
};

// A TXT line: [date][size " : "]name, the fields of their forms or blank.
bool ParseTxt(std::string_view text, const engine::ListingOptions& o, Line& line) {
  if (o.CheckDate) {
    // A date is "y/mm/dd hh:mm:ss": the time is the eight after its one blank.
    const std::size_t blank = text.find(' ');
    const std::size_t length = text.starts_with(std::string(kBlankDate, ' ')) ? kBlankDate
                               : blank == std::string_view::npos              ? text.size()
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
  const std::size_t count = o.CheckDate + o.CheckVolume + o.CheckSize + 2u;
  if (fields.size() != count) return false;
  std::size_t at = 0;
  if (o.CheckDate) line.date = fields[at++];
  line.names.push_back(o.CheckVolume ? fields[at++] : "");
  if (o.CheckSize) line.size = fields[at++];
  line.names.push_back(fields[at++]);
  line.names.push_back(fields[at]);
  return true;
}

// The header block: which lines stand follows the boxes; the texts are the
// volume label and the start folder as given, controls made '?'.
void CheckHeader(const Scenario& s, std::string_view text, std::string_view& rest,
                 const std::function<void(std::string)>& fault) {
  const std::string_view kEol = EolOf(s);
  std::vector<std::string> expected = {"", "Date and Time : ", "Volume Name : " + Plain(s.label)};
  if (s.options.CheckPath) expected.push_back("Starting Path : " + Plain(s.start));
  if (s.options.CheckFree) {
    expected.push_back(std::string("Free Disk Space : ") + (s.space ? "12.34 GB" : ""));
    expected.push_back(std::string("Disk Space : ") + (s.space ? "98.76 GB" : ""));
  }
  expected.push_back("");  // the blank line before the files
  rest = text;
  for (const std::string& want : expected) {
    const std::size_t end = rest.find(kEol);
    const std::string_view got = rest.substr(0, end);
    const bool ok = want.starts_with("Date and Time") ? got.starts_with(want) && got.size() > want.size() : got == want;
    if (end == std::string_view::npos || !ok) {
      fault("header: expected \"" + Visible(want) + "\", got \"" + Visible(got) + "\"");
      rest = {};
      return;
    }
    rest.remove_prefix(end + kEol.size());
  }
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
// it, and read-ahead threads may be reading at any time.
bool ChangesAfterTheWalk(const Scenario& s) { return s.threads == 1; }

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
  s.threads = e.Percent(60) ? 1 : 3;
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
  // threads nothing else reads the fake meanwhile.
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
    job.setThreads(scenario.threads);
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
  std::string_view body;
  CheckHeader(s, run.text, body, fault);
  if (!faults.empty()) return faults;
  const std::string_view kEol = EolOf(s);
  const engine::ListingOptions& o = s.options;

  // The lines taken apart, to match the files in listing order.
  std::vector<Line> lines;
  if (o.OptionCSV) {
    std::vector<std::vector<std::string>> records;
    if (!ParseCsv(body, records, kEol)) {
      fault("the lines are no RFC 4180 CSV: \"" + Visible(body) + "\"");
      return faults;
    }
    for (const auto& record : records) {
      if (!ParseCsvRecord(record, o, lines.emplace_back()))
        fault("a record of " + std::to_string(record.size()) + " fields");
    }
  } else {
    for (std::size_t at = 0; at < body.size();) {
      const std::size_t end = body.find(kEol, at);
      if (end == std::string_view::npos) {
        fault("the last line has no line end");
        return faults;
      }
      if (!ParseTxt(body.substr(at, end - at), o, lines.emplace_back())) {
        fault("no size column in \"" + Visible(body.substr(at, end - at)) + "\"");
      }
      at = end + kEol.size();
    }
  }
  if (!faults.empty()) return faults;

  std::vector<Expected> expected;
  Folders folders;
  Collect(s, s.root, Trimmed(s.start) + "\\", false, expected, folders);
  std::stable_sort(expected.begin(), expected.end(), [](const Expected& a, const Expected& b) {
    return a.folderKey != b.folderKey ? a.folderKey < b.folderKey : a.nameKey < b.nameKey;
  });
  // A line stands for its file when it names it, and shows its size and a
  // date, or blanks where the file could not be read.
  auto shows = [&](const Line& line, const ModelFile& f, bool stamped) {
    const bool date =
        !o.CheckDate || (stamped ? IsDate(line.date) : line.date == (o.OptionCSV ? "" : std::string(kBlankDate, ' ')));
    const bool size =
        !o.CheckSize || (stamped ? IsSizeOf(line.size, f.size, o.CheckByte)
                                 : line.size == (o.OptionCSV ? "" : std::string(o.CheckByte ? 12 : 6, ' ')));
    return date && size;
  };
  auto matches = [&](const Line& line, const Expected& x) {
    const std::vector<std::string> names =
        o.OptionCSV ? std::vector<std::string>{o.CheckVolume ? s.label : "", x.folder, x.file->name}
                    : std::vector<std::string>{Plain(x.relative + x.file->name)};
    if (line.names != names) return false;
    const Stamp stamp = StampOf(s, *x.file);
    return (stamp != Stamp::Blank && shows(line, *x.file, true)) ||
           (stamp != Stamp::Shown && shows(line, *x.file, false));
  };
  auto shownAs = [](const Line& line) {
    std::string text = "[" + Visible(line.date) + "][" + Visible(line.size) + "]";
    for (const auto& n : line.names) text.append("[").append(Visible(n, 200)).append("]");
    return text;
  };

  // In order, one line per file: a file of a replaced folder may be missing.
  std::size_t next = 0, skipped = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    while (next < expected.size() && expected[next].optional && !matches(lines[i], expected[next])) ++next, ++skipped;
    if (next == expected.size()) {
      fault("line " + std::to_string(i + 1) + " lists no file that is left: " + shownAs(lines[i]));
      break;
    }
    const Expected& x = expected[next++];
    if (!matches(lines[i], x)) {
      fault("line " + std::to_string(i + 1) + ": " + shownAs(lines[i]) + ", expected the file " +
            Visible(x.folder + x.file->name) + " of " + std::to_string(x.file->size) + " bytes");
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
  return std::string(s.lineEnd == "\n" ? "LF, " : "") + "options " + std::to_string(bits) + ", threads " +
         std::to_string(s.threads) + ", cache " + std::to_string(s.cacheBudget) + ", stamps " +
         (s.recordsCarryStamps ? "in records" : "by stat") + ", " + std::to_string(folders) + " folders, " +
         std::to_string(files) + " files, start \"" + Visible(s.start) + "\"";
}

}  // namespace vexaro::testing
