#include "converter/cli/BatchConsole.h"

#include <cstdint>

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
  std::fprintf(FOut, "converted: %s -> %s\n", input.c_str(), output.c_str());
  std::fflush(FOut);
  if (!problem.empty()) {
    ++FWarned;
    std::fprintf(FErrors, "warning: %s: %s\n", input.c_str(), problem.c_str());
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
    why = last != FLastError.end() ? last->second : "stopped";
  }
  std::fflush(FOut);
  std::fprintf(FErrors, "failed: %s: %s\n", input.c_str(), why.c_str());
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
  std::string line = std::to_string(FConverted) + " converted";
  if (FWarned > 0) line += " (" + std::to_string(FWarned) + " with problems)";
  line += ", " + std::to_string(FFailed) + " failed";
  if (FCopied > 0) line += ", " + std::to_string(FCopied) + " copied";
  if (FUpToDate > 0) line += ", " + std::to_string(FUpToDate) + " up to date";
  if (FKept > 0) line += ", " + std::to_string(FKept) + " already there";
  if (FPruned > 0) line += ", " + std::to_string(FPruned) + " pruned";
  std::fprintf(FOut, "%s\n", line.c_str());
  std::fflush(FOut);
}
