#include "engine/listing.h"

#include <algorithm>
#include <cstring>

#include "engine/sort.h"
#include "platform/utf8.h"

namespace vexaro::engine {
namespace {

constexpr std::size_t kSinkChunk = std::size_t{1} << 20;

// Length of the control character at `at`: 1 for C0 and DEL, 2 for a C1
// control (U+0080..U+009F, written C2 80..C2 9F), 0 for anything else. A
// byte that is no valid UTF-8 is no character and stays as it is.
std::size_t ControlLength(std::string_view text, std::size_t at) {
  const auto c = static_cast<unsigned char>(text[at]);
  if (c < 0x20 || c == 0x7F) return 1;
  if (c == 0xC2) {
    const platform::utf8::Scalar scalar = platform::utf8::Decode(text, at);
    if (scalar.valid && scalar.value <= 0x9F) return 2;
  }
  return 0;
}

// Text in a TXT line or a header: control characters would split the line
// (NEL, U+0085, counts as a line break to many readers) or drive a terminal
// that shows the file, so each becomes '?'.
void AppendPlain(std::string& out, std::string_view text) {
  std::size_t clean = 0;
  while (clean < text.size() && ControlLength(text, clean) == 0) ++clean;
  out.append(text.substr(0, clean));
  for (std::size_t at = clean; at < text.size();) {
    if (const std::size_t length = ControlLength(text, at); length != 0) {
      out.push_back('?');
      at += length;
    } else {
      out.push_back(text[at++]);
    }
  }
}

// A CSV field, quotes included; a quote inside the value is doubled.
void AppendCsvField(std::string& out, bool& first, std::string_view value) {
  if (!first) out.push_back(',');
  first = false;
  out.push_back('"');
  if (value.find('"') == std::string_view::npos) {
    out.append(value);
  } else {
    for (char c : value) {
      if (c == '"') out.push_back('"');
      out.push_back(c);
    }
  }
  out.push_back('"');
}

std::size_t CharacterCount(std::string_view utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return !platform::utf8::IsContinuation(c); }));
}

}  // namespace

void ListingJob::ProblemCount::ReportProblem(const Problem& problem) {
  if (outcome != nullptr) ++outcome->problems[static_cast<std::size_t>(problem.kind)];
  if (next_ != nullptr) next_->ReportProblem(problem);
}

ListingJob::ListingJob(platform::System& system, ListingHost host, ListingSink& sink)
    : system_(system),
      problems_(host.problems),
      host_{host.progress, host.stop, &problems_},
      sink_(sink),
      conventions_(system.conventions()),
      converter_(system.clock()) {}

std::string ListingJob::GetVName(std::string_view StartPath) { return system_.volumes().Label(StartPath); }

void ListingJob::GetDiskSpace(std::string_view path) {
  const auto space = system_.disks().Space(path);
  if (!space) return;
  const std::string decimal = system_.regional().DecimalSeparator();
  strFreeSpace_ = FormatGigabytes(space->available, decimal);
  strDiskSpace_ = FormatGigabytes(space->total, decimal);
}

FolderOutcome ListingJob::DoWork(const std::string& Path, const ListingOptions& options) {
  FolderOutcome outcome;
  problems_.outcome = &outcome;
  lineEnd_ = options.lineEnd.empty() ? conventions_.lineEnd : options.lineEnd;
  strFreeSpace_.clear();
  strDiskSpace_.clear();
  const std::string volume = GetVName(Path);
  host_.progress.SetStatus(kListingFolders);

  WalkOptions walkOptions;
  walkOptions.wanted = {options.CheckSize, options.CheckDate};
  walkOptions.cacheBudget = cacheBudget_;
  walkOptions.workers = workers_;
  // Whatever the walk holds open (handles, workers) goes when it does,
  // stopped or not.
  FolderWalk walk({system_.directories(), host_, conventions_.separator, walkOptions});
  walk.GetSubFolders(Path);

  AppendHeader(Path, volume, options);
  host_.progress.SetStatus(kListingFiles);

  dateSeparator_ = system_.regional().DateSeparator();
  timeSeparator_ = system_.regional().TimeSeparator();
  // The walk went through the folders in name order already: no folder
  // array to sort.
  const bool completed =
      walk.ListFolders([&](const FolderWalk::Listed& folder) { ListFolder(folder, volume, options); });
  problems_.outcome = nullptr;
  if (!completed) {
    outcome.ending = FolderOutcome::Ending::Stopped;
    return outcome;
  }
  sink_.Append(lineEnd_);
  return outcome;
}

void ListingJob::AppendHeader(const std::string& Path, const std::string& volume, const ListingOptions& options) {
  const std::string_view eol = lineEnd_;
  const auto now = ToCalendar(converter_.ToLocal(system_.clock().Now()));
  std::string header;
  header.append(eol).append("Date and Time : ").append(system_.regional().DateTimeText(now));
  header.append(eol).append("Volume Name : ");
  AppendPlain(header, volume);
  if (options.CheckPath) {
    header.append(eol).append("Starting Path : ");
    AppendPlain(header, Path);
  }
  if (options.CheckFree) {
    GetDiskSpace(Path);
    header.append(eol).append("Free Disk Space : ").append(strFreeSpace_);
    header.append(eol).append("Disk Space : ").append(strDiskSpace_);
  }
  header.append(eol);
  sink_.Append(header);
}

void ListingJob::ListFolder(const FolderWalk::Listed& folder, const std::string& volume,
                            const ListingOptions& options) {
  if (folder.files == nullptr) return;
  std::string relative;
  AppendPlain(relative, folder.path.substr(std::min(folder.relativeStart, folder.path.size())));
  text_.clear();
  const bool needStamp = options.CheckSize || options.CheckDate;
  std::string path;
  folder.files->ForEach([&](const FileRef& file) {
    if (needStamp && !file.stamped) {
      path.assign(folder.path).append(file.name);
      problems_.ReportProblem({Problem::Kind::UnreadableFile, path, {}});
    }
    AppendFileLine(file, folder.path, relative, volume, options);
    // A folder of many files goes out in pieces, never a line cut.
    if (text_.size() >= kSinkChunk) {
      sink_.Append(text_);
      text_.clear();
    }
  });
  if (!text_.empty()) sink_.Append(text_);
}

void ListingJob::AppendFileLine(const FileRef& file, std::string_view folder, std::string_view relative,
                                const std::string& volume, const ListingOptions& options) {
  text_.append(lineEnd_);
  const bool csv = options.OptionCSV;
  bool first = true;

  // What cannot be read is left blank: an empty CSV field, or blanks of the
  // column's width in TXT form, never another file's value.
  if (options.CheckDate) {
    if (csv) text_.push_back('"');
    if (file.creation) {
      AppendDate(text_, converter_.ToLocal(*file.creation), dateSeparator_, timeSeparator_);
    } else if (!csv) {
      text_.append(15 + 2 * CharacterCount(dateSeparator_) + 2 * CharacterCount(timeSeparator_), ' ');
    }
    if (csv) text_.push_back('"');
    first = false;
  }
  if (csv && options.CheckVolume) AppendCsvField(text_, first, volume);
  if (options.CheckSize) {
    if (csv) text_.append(first ? "\"" : ",\"");
    if (file.size) {
      std::string sTani;
      text_.append(options.CheckByte ? B(*file.size, sTani) : BMBGB(*file.size, sTani)).append(sTani);
    } else if (!csv) {
      text_.append(options.CheckByte ? kBWidth : kBMBGBWidth, ' ');
    }
    text_.append(csv ? "\"" : " : ");
    first = false;
  }
  if (csv) {
    AppendCsvField(text_, first, folder);
    AppendCsvField(text_, first, file.name);
    return;
  }
  text_.append(relative);
  AppendPlain(text_, file.name);
}

}  // namespace vexaro::engine
