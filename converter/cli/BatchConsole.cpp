#include "converter/cli/BatchConsole.h"

#include <cstdint>

#include "converter/cli/CliText.h"

BatchConsole::BatchConsole(std::FILE* out, std::FILE* errors, bool statusLine)
    : FOut(out), FErrors(errors), FStatusLine(statusLine) {}

void BatchConsole::ClearStatus() {
  if (!FStatusShown) return;
  std::fputs("\r\033[K", FOut);
  FStatusShown = false;
}

void BatchConsole::DrawStatus() {
  if (!FStatusLine || FRunning.empty()) return;
  std::string line;
  for (const auto& [task, state] : FRunning) {
    if (!line.empty()) line += "   ";
    line += std::to_string(state.second) + "%  " + state.first;
  }
  std::fprintf(FOut, "\r\033[K%s", line.c_str());
  std::fflush(FOut);
  FStatusShown = true;
}

void BatchConsole::Note(const std::string& text) {
  std::lock_guard<std::mutex> lock(FLock);
  ClearStatus();
  std::fprintf(FOut, "%s\n", text.c_str());
  DrawStatus();
}

void BatchConsole::Progress(int task, const std::string& name, int durationMs, int totalMs) {
  std::lock_guard<std::mutex> lock(FLock);
  int percent = 0;
  if (totalMs > 0) percent = static_cast<int>(static_cast<int64_t>(durationMs) * 100 / totalMs);
  percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
  FRunning[task] = {name, percent};
  DrawStatus();
}

void BatchConsole::Error(int task, const std::string& text) {
  std::lock_guard<std::mutex> lock(FLock);
  FLastError[task] = text;
}

void BatchConsole::Converted(int task, const std::string& input, const std::string& output,
                             const std::string& problem) {
  std::lock_guard<std::mutex> lock(FLock);
  ClearStatus();
  FRunning.erase(task);
  ++FConverted;
  Print(FOut, Cli::tr("converted: %1 -> %2\n"), {input, output});
  std::fflush(FOut);
  if (!problem.empty()) {
    ++FWarned;
    Print(FErrors, Cli::tr("warning: %1: %2\n"), {input, problem});
    std::fflush(FErrors);
  }
  DrawStatus();
}

void BatchConsole::Failed(int task, const std::string& input, const std::string& reason) {
  std::lock_guard<std::mutex> lock(FLock);
  ClearStatus();
  FRunning.erase(task);
  ++FFailed;
  std::string why = reason;
  if (why.empty()) {
    auto last = FLastError.find(task);
    why = last != FLastError.end() ? last->second : Filled(Cli::tr("stopped"));
  }
  std::fflush(FOut);
  Print(FErrors, Cli::tr("failed: %1: %2\n"), {input, why});
  std::fflush(FErrors);
  DrawStatus();
}

void BatchConsole::Copied(const std::string& input, const std::string& output) {
  std::lock_guard<std::mutex> lock(FLock);
  ClearStatus();
  ++FCopied;
  std::fprintf(FOut, "copied: %s -> %s\n", input.c_str(), output.c_str());
  std::fflush(FOut);
  DrawStatus();
}

void BatchConsole::Pruned(const std::string& output) {
  std::lock_guard<std::mutex> lock(FLock);
  ClearStatus();
  ++FPruned;
  std::fprintf(FOut, "pruned: %s\n", output.c_str());
  std::fflush(FOut);
  DrawStatus();
}

void BatchConsole::Summary() {
  std::lock_guard<std::mutex> lock(FLock);
  ClearStatus();
  const std::string converted = std::to_string(FConverted), failed = std::to_string(FFailed);
  std::string line =
      FWarned > 0 ? Filled(Cli::tr("%1 converted (%2 with problems), %3 failed\n"),
                           {converted, std::to_string(FWarned), failed})
                  : Filled(Cli::tr("%1 converted, %2 failed\n"), {converted, failed});
  if (!line.empty() && line.back() == '\n') line.pop_back();
  // What a sync left as it was, copied or pruned follows on the same line.
  if (FCopied > 0) line += Filled(Cli::tr(", %1 copied"), {std::to_string(FCopied)});
  if (FUpToDate > 0) line += Filled(Cli::tr(", %1 up to date"), {std::to_string(FUpToDate)});
  if (FKept > 0) line += Filled(Cli::tr(", %1 already there"), {std::to_string(FKept)});
  if (FPruned > 0) line += Filled(Cli::tr(", %1 pruned"), {std::to_string(FPruned)});
  std::fprintf(FOut, "%s\n", line.c_str());
  std::fflush(FOut);
}
