#include "converter/OutputSync.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "converter/CompanionPictures.h"
#include "converter/FileCopy.h"

namespace fs = std::filesystem;

namespace {

std::string Normal(const std::string& path) {
  std::error_code ignored;
  std::string normal = fs::absolute(path, ignored).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

// True only when stat says the file is not there: a source that cannot be
// read for another reason (a folder without permission, a stale mount)
// counts as present, so a prune never follows a read error.
bool Gone(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

}  // namespace

std::string SettingsWording(const OutputChoice& choice) {
  return std::string(Describe(choice.Format).Name) + " bitrate=" + std::to_string(choice.Bitrate) +
         " level=" + std::to_string(choice.Level) + " rate=" + std::to_string(choice.SampleRate) +
         " channels=" + std::to_string(choice.Channels);
}

std::string CopyWording(const std::string& settings) { return "copy for " + settings; }

TOutputSync::TOutputSync(std::string folder, TExistingRule rule, std::string settings,
                         bool readOnly)
    : FFolder(Normal(folder)), FRule(rule), FSettings(std::move(settings)), FReadOnly(readOnly) {}

TOutputSync::~TOutputSync() = default;

std::vector<std::string> TOutputSync::TakeMessages() {
  std::lock_guard<std::mutex> lock(FLock);
  return std::exchange(FMessages, {});
}

std::string TOutputSync::RootKey(const std::string& source, const std::string& root) const {
  if (!root.empty()) return Normal(root);
  return fs::path(Normal(source)).parent_path().string();
}

std::string TOutputSync::RelativeTo(const std::string& path, const std::string& base) {
  const std::string normal = Normal(path);
  if (base == "/") return normal.substr(1);
  if (normal.size() > base.size() && normal.compare(0, base.size(), base) == 0 &&
      normal[base.size()] == '/')
    return normal.substr(base.size() + 1);
  return normal;
}

std::string TOutputSync::OutputPath(const std::string& recorded) const {
  return !recorded.empty() && recorded[0] == '/' ? recorded : FFolder + "/" + recorded;
}

TOutputRecord& TOutputSync::RecordOf(const std::string& root) {
  std::lock_guard<std::mutex> lock(FLock);
  std::unique_ptr<TOutputRecord>& record = FRecords[root];
  if (!record) {
    record = std::make_unique<TOutputRecord>(FFolder, root);
    std::string message;
    if (!record->Load(message, FReadOnly)) FMessages.push_back(message);
  }
  return *record;
}

TOutputDecision TOutputSync::Decide(const std::string& source, const std::string& root,
                                    const std::string& output) {
  const TFileStamp outputStamp = StampOf(output);
  if (FRule != TExistingRule::Update)
    return DecideOutput(FRule, std::nullopt, {}, outputStamp, {}, {});
  // The record is read even without an output: it may say the source crashed.
  const std::string key = RootKey(source, root);
  TOutputRecord& record = RecordOf(key);
  const std::optional<TRecordEntry> entry = record.Find(RelativeTo(source, key));
  const bool copied = FAcceptCopies && entry && entry->Settings == CopyWording(FSettings);
  return DecideOutput(FRule, entry, StampOf(source), outputStamp, RelativeTo(output, FFolder),
                      copied ? entry->Settings : FSettings, FRetryFailed);
}

TOutputDecision TOutputSync::DecideTracks(const std::string& source, const std::string& root,
                                          const std::vector<std::string>& outputs) {
  if (outputs.empty()) return TOutputDecision::Convert;
  bool existing = true, current = FRule == TExistingRule::Update;
  const std::string key = RootKey(source, root);
  const TFileStamp sourceStamp = current ? StampOf(source) : TFileStamp{};
  // A crash is recorded for the album file, not for a track; tracks made
  // since (by --retry-failed) outdate it.
  if (current && !RecordOf(key).Find(RelativeTo(source, key), 1) &&
      DecideOutput(FRule, RecordOf(key).Find(RelativeTo(source, key)), sourceStamp, {}, {},
                   FSettings, FRetryFailed) == TOutputDecision::Crashed)
    return TOutputDecision::Crashed;
  for (size_t n = 0; n < outputs.size() && (existing || current); ++n) {
    const TFileStamp outputStamp = StampOf(outputs[n]);
    existing = existing && outputStamp.Exists;
    if (current)
      current = DecideOutput(FRule, RecordOf(key).Find(RelativeTo(source, key), int(n) + 1),
                             sourceStamp, outputStamp, RelativeTo(outputs[n], FFolder),
                             FSettings) == TOutputDecision::UpToDate;
  }
  if (current) return TOutputDecision::UpToDate;
  return FRule == TExistingRule::Skip && existing ? TOutputDecision::Existing
                                                  : TOutputDecision::Convert;
}

bool TOutputSync::Crashed(const std::string& source, const std::string& root,
                          const std::string& output, std::string& error) {
  if (FReadOnly || FRule != TExistingRule::Update) return true;
  const std::string key = RootKey(source, root);
  TRecordEntry entry;
  entry.State = TRecordState::Failed;
  entry.Source = RelativeTo(source, key);
  entry.Output = RelativeTo(output, FFolder);
  entry.SourceStamp = StampOf(source);
  entry.Settings = FSettings;
  if (!entry.SourceStamp.Exists) return true;
  return RecordOf(key).Put(entry, error);
}

bool TOutputSync::Made(const std::string& source, const std::string& root,
                       const std::string& output, std::string& error,
                       const std::string& settings, int track) {
  if (FReadOnly || FRule != TExistingRule::Update) return true;
  const std::string key = RootKey(source, root);
  TRecordEntry entry;
  entry.Source = RelativeTo(source, key);
  entry.Output = RelativeTo(output, FFolder);
  entry.SourceStamp = StampOf(source);
  entry.Settings = settings.empty() ? FSettings : settings;
  entry.OutputStamp = StampOf(output);
  entry.Track = track;
  if (!entry.SourceStamp.Exists || !entry.OutputStamp.Exists) return true;  // nothing to claim
  return RecordOf(key).Put(entry, error);
}

std::vector<std::pair<std::string, std::string>> TOutputSync::CopyPictures(
    const std::string& sourceFolder, const std::string& root, const std::string& outputFolder,
    std::vector<std::string>& errors) {
  std::vector<std::pair<std::string, std::string>> copied;
  for (const std::string& name : CompanionPicturesIn(sourceFolder)) {
    const std::string source = sourceFolder + "/" + name;
    const std::string output = outputFolder + "/" + name;
    const TFileStamp from = StampOf(source), to = StampOf(output);
    if (to.Exists && to.ModifiedNs >= from.ModifiedNs) continue;
    copied.emplace_back(source, output);
    if (FReadOnly) continue;
    std::string error;
    std::error_code made;
    fs::create_directories(outputFolder, made);
    if (!CopyThroughPartialFile(source, output, error) ||
        !Made(source, root, output, error, "picture")) {
      errors.push_back(error);
      copied.pop_back();
    }
  }
  return copied;
}

std::vector<TOutputSync::PruneStep> TOutputSync::PruneCandidates(
    const std::vector<std::string>& roots) {
  std::vector<PruneStep> steps;
  for (const std::string& given : roots) {
    const std::string root = Normal(given);
    struct stat info;
    // A root that is not there (an unmounted disk) says nothing of its files.
    if (stat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) continue;
    for (const TRecordEntry& entry : RecordOf(root).Entries()) {
      if (entry.State != TRecordState::Made || !Gone(root + "/" + entry.Source)) continue;
      const std::string output = OutputPath(entry.Output);
      const TFileStamp now = StampOf(output);
      if (!now.Exists) continue;
      steps.push_back({root, entry.Source, output, !(now == entry.OutputStamp), entry.Track});
    }
  }
  return steps;
}

bool TOutputSync::Prune(const PruneStep& step, std::string& error) {
  if (FReadOnly || step.Changed) return true;
  if (unlink(step.Output.c_str()) != 0 && errno != ENOENT) {
    error = "Could not remove '" + step.Output + "': " + std::strerror(errno);
    return false;
  }
  // rmdir removes only what is empty: a folder holding anything of the
  // user's stays.
  for (fs::path folder = fs::path(step.Output).parent_path();
       folder.string().size() > FFolder.size() &&
       folder.string().compare(0, FFolder.size(), FFolder) == 0;
       folder = folder.parent_path())
    if (rmdir(folder.c_str()) != 0) break;
  return RecordOf(step.Root).Drop(step.Source, error, step.Track);
}

bool TOutputSync::Save(std::string& error) {
  if (FReadOnly) return true;
  std::lock_guard<std::mutex> lock(FLock);
  bool saved = true;
  for (auto& [root, record] : FRecords) {
    std::string failure;
    if (!record->Save(failure) && saved) {
      error = failure;
      saved = false;
    }
  }
  return saved;
}
