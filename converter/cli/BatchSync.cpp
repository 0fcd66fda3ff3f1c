#include "converter/cli/BatchSync.h"

#include <filesystem>
#include <set>
#include <tuple>

#include "converter/FileCopy.h"
#include "converter/SameFormatCopy.h"
#include "converter/VeltoConverter.h"

namespace fs = std::filesystem;

namespace {

std::string FolderOf(const std::string& path) {
  const std::string folder = fs::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

}  // namespace

BatchSync::BatchSync(const SyncOptions& options, BatchConsole& console)
    : FOptions(options), FConsole(console) {
  FSync = std::make_unique<TOutputSync>(options.Folder, options.Rule, options.Settings,
                                        options.DryRun);
  FSync->AcceptCopies(options.CopySameFormat);
  FSync->SetRetryFailed(options.RetryFailed);
}

BatchSync::~BatchSync() = default;

void BatchSync::Say(const std::string& line) { FConsole.Note(line); }

std::vector<size_t> BatchSync::Prepare(const std::vector<SyncInput>& inputs,
                                       const std::vector<std::string>& givenRoots) {
  if (FOptions.Prune) {
    std::set<std::string> roots(givenRoots.begin(), givenRoots.end());
    for (const SyncInput& input : inputs)
      roots.insert(input.Root.empty() ? FolderOf(input.Input) : input.Root);
    for (const TOutputSync::PruneStep& step :
         FSync->PruneCandidates(std::vector<std::string>(roots.begin(), roots.end()))) {
      if (step.Changed) {
        Say("note: " + step.Output + " has changed since it was made; left alone");
      } else if (FOptions.DryRun) {
        ++FToPrune;
        Say("prune: " + step.Output);
      } else if (std::string error; FSync->Prune(step, error)) {
        FConsole.Pruned(step.Output);
      } else {
        Say("note: " + error);
      }
    }
  }

  std::vector<size_t> toConvert;
  for (size_t i = 0; i < inputs.size(); ++i) {
    const SyncInput& input = inputs[i];
    const TOutputDecision decision = input.Current
                                         ? TOutputDecision::UpToDate
                                         : FSync->Decide(input.Input, input.Root, input.Output);
    for (const std::string& message : FSync->TakeMessages()) Say("note: " + message);
    if (decision == TOutputDecision::UpToDate) {
      if (FOptions.DryRun) {
        ++FUpToDate;
        Say("up to date: " + input.Input + " -> " + input.Output);
      } else {
        FConsole.UpToDate();
      }
      continue;
    }
    if (decision == TOutputDecision::Crashed) {
      if (FOptions.DryRun)
        Say("crashed before: " + input.Input);
      else
        FConsole.Failed(-1, input.Input,
                        "the conversion crashed on an earlier run; --retry-failed runs it again");
      continue;
    }
    if (decision == TOutputDecision::Existing) {
      if (FOptions.DryRun) {
        ++FKept;
        Say("already there: " + input.Input + " -> " + input.Output);
      } else {
        FConsole.KeptExisting();
      }
      continue;
    }
    // Only a source that might already be in the output format is opened,
    // to learn its codec and bit rate.
    TInputDescription described;
    std::string error;
    if (FOptions.CopySameFormat && FOptions.HasChoice &&
        MayBeSameFormat(FOptions.Choice, input.Input) &&
        TCustomAVConverter::DescribeInput(input.Input, nullptr, described, error) &&
        CanCopyInstead(FOptions.Choice, described)) {
      if (FOptions.DryRun) {
        ++FToCopy;
        Say("copy: " + input.Input + " -> " + input.Output);
        continue;
      }
      std::error_code ignored;
      fs::create_directories(FolderOf(input.Output), ignored);
      if (CopyThroughPartialFile(input.Input, input.Output, error) &&
          FSync->Made(input.Input, input.Root, input.Output, error,
                      CopyWording(FOptions.Settings))) {
        FConsole.Copied(input.Input, input.Output);
      } else {
        FConsole.Failed(-1, input.Input, error);
      }
      continue;
    }
    if (FOptions.DryRun) {
      ++FToConvert;
      Say("convert: " + input.Input + " -> " + input.Output);
      continue;
    }
    toConvert.push_back(i);
  }

  if (FOptions.Pictures) {
    // Each source folder once, into the output folder its files go to.
    std::set<std::tuple<std::string, std::string, std::string>> folders;
    for (const SyncInput& input : inputs)
      folders.insert({FolderOf(input.Input), input.Root, FolderOf(input.Output)});
    for (const auto& [from, root, to] : folders) {
      std::vector<std::string> errors;
      for (const auto& [source, output] : FSync->CopyPictures(from, root, to, errors)) {
        if (FOptions.DryRun) {
          ++FToCopy;
          Say("copy: " + source + " -> " + output);
        } else {
          FConsole.Copied(source, output);
        }
      }
      for (const std::string& error : errors) Say("note: " + error);
    }
  }
  return toConvert;
}

bool BatchSync::RecordSaysCurrent(const std::string& input, const std::string& root,
                                  const std::string& output) {
  return FOptions.Rule == TExistingRule::Update &&
         FSync->Decide(input, root, output) == TOutputDecision::UpToDate;
}

bool BatchSync::AlbumToConvert(const std::string& input, const std::string& root,
                               const std::vector<std::string>& outputs) {
  const TOutputDecision decision = FSync->DecideTracks(input, root, outputs);
  for (const std::string& message : FSync->TakeMessages()) Say("note: " + message);
  const bool kept = decision == TOutputDecision::Existing;
  const bool upToDate = decision == TOutputDecision::UpToDate;
  for (const std::string& output : outputs) {
    if (FOptions.DryRun) {
      if (upToDate) {
        ++FUpToDate;
        Say("up to date: " + input + " -> " + output);
      } else if (kept) {
        ++FKept;
        Say("already there: " + input + " -> " + output);
      } else {
        ++FToConvert;
        Say("convert: " + input + " -> " + output);
      }
    } else if (upToDate) {
      FConsole.UpToDate();
    } else if (kept) {
      FConsole.KeptExisting();
    }
  }
  return !FOptions.DryRun && !upToDate && !kept;
}

void BatchSync::Crashed(const SyncInput& input) {
  std::string error;
  if (!FSync->Crashed(input.Input, input.Root, input.Output, error)) Say("note: " + error);
}

void BatchSync::Converted(const SyncInput& input) {
  std::string error;
  if (!FSync->Made(input.Input, input.Root, input.Output, error))
    Say("note: " + error + "; it will be made again next time");
}

void BatchSync::TrackConverted(const SyncInput& output, int track) {
  std::string error;
  if (!FSync->Made(output.Input, output.Root, output.Output, error, {}, track))
    Say("note: " + error + "; it will be made again next time");
}

bool BatchSync::Finish() {
  if (FOptions.DryRun) {
    Say("dry run: " + std::to_string(FToConvert) + " to convert, " + std::to_string(FToCopy) +
        " to copy, " + std::to_string(FUpToDate) + " up to date, " + std::to_string(FKept) +
        " already there, " + std::to_string(FToPrune) + " to prune; nothing was written");
    return true;
  }
  std::string error;
  if (FSync->Save(error)) return true;
  Say("note: " + error);
  return false;
}
