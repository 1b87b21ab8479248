#include "engine/listing.h"

#include <algorithm>
#include <cstring>

#include "engine/columns.h"
#include "engine/walk.h"
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

// Counts what is met for the outcome, and passes it on.
class ProblemCount final : public ProblemReports {
 public:
  explicit ProblemCount(ProblemReports* next) : next_(next) {}
  void ReportProblem(const Problem& problem) override {
    if (outcome != nullptr) ++outcome->problems[static_cast<std::size_t>(problem.kind)];
    if (next_ != nullptr) next_->ReportProblem(problem);
  }
  FolderOutcome* outcome = nullptr;

 private:
  ProblemReports* next_;
};

}  // namespace

class ListingJob::Impl {
 public:
  Impl(platform::System& system, ListingHost host, ListingSink& sink)
      : system_(system),
        problems_(host.problems),
        host_{host.progress, host.stop, &problems_},
        sink_(sink),
        conventions_(system.conventions()),
        converter_(system.clock()) {}

  FolderOutcome DoWork(const std::string& Path, const ListingOptions& options);
  std::string GetVName(std::string_view StartPath) { return system_.volumes().Label(StartPath); }
  void GetDiskSpace(std::string_view path);

  std::string strFreeSpace_;
  std::string strDiskSpace_;
  std::size_t cacheBudget_ = kDefaultCacheBudget;
  unsigned threads_ = 1;

 private:
  void AppendHeader(const std::string& Path, const ListingOptions& options);
  void ListFolder(const FolderWalk::Listed& folder);
  // The part of the folder's path a TXT line shows: below the start folder.
  static std::string RelativeText(std::string_view path, std::size_t relativeStart);
  void AppendFileLine(std::string& out, const FileRef& file, std::string_view folder, std::string_view relative);

  platform::System& system_;
  ProblemCount problems_;
  ListingHost host_;
  ListingSink& sink_;
  platform::Conventions conventions_;
  // Of the start folder being listed.
  std::string_view lineEnd_;
  ListingOptions options_;
  std::string volume_;
  std::string dateSeparator_;
  std::string timeSeparator_;
  LocalTimeConverter converter_;
  std::string text_;  // lines of the folder being listed, appended in one go
};

ListingJob::ListingJob(platform::System& system, ListingHost host, ListingSink& sink)
    : impl_(std::make_unique<Impl>(system, host, sink)) {}
ListingJob::~ListingJob() = default;

FolderOutcome ListingJob::DoWork(const std::string& Path, const ListingOptions& options) {
  return impl_->DoWork(Path, options);
}
std::string ListingJob::GetVName(std::string_view StartPath) { return impl_->GetVName(StartPath); }
void ListingJob::GetDiskSpace(std::string_view path) { impl_->GetDiskSpace(path); }
const std::string& ListingJob::strFreeSpace() const { return impl_->strFreeSpace_; }
const std::string& ListingJob::strDiskSpace() const { return impl_->strDiskSpace_; }
void ListingJob::setCacheBudget(std::size_t bytes) { impl_->cacheBudget_ = bytes; }
void ListingJob::setThreads(unsigned threads) { impl_->threads_ = threads; }

void ListingJob::Impl::GetDiskSpace(std::string_view path) {
  const auto space = system_.disks().Space(path);
  if (!space) return;
  const std::string decimal = system_.regional().DecimalSeparator();
  strFreeSpace_ = FormatGigabytes(space->available, decimal);
  strDiskSpace_ = FormatGigabytes(space->total, decimal);
}

FolderOutcome ListingJob::Impl::DoWork(const std::string& Path, const ListingOptions& options) {
  FolderOutcome outcome;
  problems_.outcome = &outcome;
  lineEnd_ = options.lineEnd.empty() ? conventions_.lineEnd : options.lineEnd;
  strFreeSpace_.clear();
  strDiskSpace_.clear();
  volume_ = GetVName(Path);
  host_.progress.SetStatus(kListingFolders);

  options_ = options;
  dateSeparator_ = system_.regional().DateSeparator();
  timeSeparator_ = system_.regional().TimeSeparator();
  WalkOptions walkOptions;
  walkOptions.wanted = {options.CheckSize, options.CheckDate};
  walkOptions.cacheBudget = cacheBudget_;
  walkOptions.threads = threads_;
  // Whatever the walk holds open (handles, threads) goes when it does,
  // stopped or not.
  FolderWalk walk({system_.directories(), host_, conventions_.separator, walkOptions});
  walk.GetSubFolders(Path);

  AppendHeader(Path, options);
  host_.progress.SetStatus(kListingFiles);

  // The walk went through the folders in name order already: no folder
  // array to sort.
  const bool completed = walk.ListFolders([&](const FolderWalk::Listed& folder) { ListFolder(folder); });
  problems_.outcome = nullptr;
  if (!completed) {
    outcome.ending = FolderOutcome::Ending::Stopped;
    return outcome;
  }
  sink_.Append(lineEnd_);
  return outcome;
}

void ListingJob::Impl::AppendHeader(const std::string& Path, const ListingOptions& options) {
  const std::string_view eol = lineEnd_;
  const auto now = ToCalendar(converter_.ToLocal(system_.clock().Now()));
  std::string header;
  header.append(eol).append("Date and Time : ").append(system_.regional().DateTimeText(now));
  header.append(eol).append("Volume Name : ");
  AppendPlain(header, volume_);
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

std::string ListingJob::Impl::RelativeText(std::string_view path, std::size_t relativeStart) {
  std::string relative;
  AppendPlain(relative, path.substr(std::min(relativeStart, path.size())));
  return relative;
}

void ListingJob::Impl::ListFolder(const FolderWalk::Listed& folder) {
  const bool needStamp = options_.CheckSize || options_.CheckDate;
  const std::string relative = RelativeText(folder.path, folder.relativeStart);
  std::string path;
  text_.clear();
  folder.files.ForEach([&](const FileRef& file) {
    if (needStamp && !file.stamped) {
      path.assign(folder.path).append(file.name);
      problems_.ReportProblem({Problem::Kind::UnreadableFile, path, {}});
    }
    AppendFileLine(text_, file, folder.path, relative);
    // A folder of many files goes out in pieces, never a line cut.
    if (text_.size() >= kSinkChunk) {
      sink_.Append(text_);
      text_.clear();
    }
  });
  if (!text_.empty()) sink_.Append(text_);
}

void ListingJob::Impl::AppendFileLine(std::string& out, const FileRef& file, std::string_view folder,
                                      std::string_view relative) {
  out.append(lineEnd_);
  const bool csv = options_.OptionCSV;
  bool first = true;

  // What cannot be read is left blank: an empty CSV field, or blanks of the
  // column's width in TXT form, never another file's value.
  if (options_.CheckDate) {
    if (csv) out.push_back('"');
    if (file.creation) {
      AppendDate(out, converter_.ToLocal(*file.creation), dateSeparator_, timeSeparator_);
    } else if (!csv) {
      out.append(15 + 2 * CharacterCount(dateSeparator_) + 2 * CharacterCount(timeSeparator_), ' ');
    }
    if (csv) out.push_back('"');
    first = false;
  }
  if (csv && options_.CheckVolume) AppendCsvField(out, first, volume_);
  if (options_.CheckSize) {
    if (csv) out.append(first ? "\"" : ",\"");
    if (file.size) {
      std::string sTani;
      out.append(options_.CheckByte ? B(*file.size, sTani) : BMBGB(*file.size, sTani)).append(sTani);
    } else if (!csv) {
      out.append(options_.CheckByte ? kBWidth : kBMBGBWidth, ' ');
    }
    out.append(csv ? "\"" : " : ");
    first = false;
  }
  if (csv) {
    AppendCsvField(out, first, folder);
    AppendCsvField(out, first, file.name);
    return;
  }
  out.append(relative);
  AppendPlain(out, file.name);
}

}  // namespace vexaro::engine
