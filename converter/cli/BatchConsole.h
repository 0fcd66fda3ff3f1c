// What melvaro-convert prints while a batch runs: a status line with each
// running file's percentage (on a terminal only), one line per ended file,
// and the final counts. Events arrive on worker threads; every call is
// serialised by the console's own lock.
#pragma once

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

class BatchConsole {
 public:
  // statusLine: redraw a percentage line (stdout is a terminal).
  BatchConsole(std::FILE* out, std::FILE* errors, bool statusLine);

  void Note(const std::string& text);
  void Progress(int task, const std::string& name, int durationMs, int totalMs);
  // The last error line of a task becomes the reason shown when it fails.
  void Error(int task, const std::string& text);
  // problem empty: converted cleanly; else a "warning:" line on the error
  // stream says what was wrong with the input.
  void Converted(int task, const std::string& input, const std::string& output,
                 const std::string& problem = {});
  // reason empty: the task's last error line, or "stopped" without one.
  void Failed(int task, const std::string& input, const std::string& reason = {});
  // A source copied instead of converted, a companion picture copied, an
  // output of a deleted source removed: one line each.
  void Copied(const std::string& input, const std::string& output);
  void Pruned(const std::string& output);
  // Files left as they were: counted, not listed.
  void UpToDate() { ++FUpToDate; }
  void KeptExisting() { ++FKept; }
  // "N converted, M failed", with the converted files that had problems
  // counted among the converted ones and named when there are any; then
  // ", N copied", ", N up to date", ", N already there", ", N pruned"
  // where there are any.
  void Summary();

  int ConvertedCount() const { return FConverted; }
  int WarnedCount() const { return FWarned; }
  int FailedCount() const { return FFailed; }

 private:
  void ClearStatus();
  void DrawStatus();

  std::mutex FLock;
  std::FILE* FOut;
  std::FILE* FErrors;
  bool FStatusLine;
  bool FStatusShown = false;
  std::map<int, std::pair<std::string, int>> FRunning;  // task -> name, percent
  std::map<int, std::string> FLastError;
  int FConverted = 0;
  int FWarned = 0;
  int FFailed = 0;
  int FCopied = 0;
  std::atomic<int> FUpToDate{0};
  std::atomic<int> FKept{0};
  int FPruned = 0;
};
