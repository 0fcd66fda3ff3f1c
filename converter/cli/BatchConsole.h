// What melvaro-convert prints while a batch runs: a status line with each
// running file's percentage (on a terminal only), one line per ended file,
// and the final counts. Events arrive on worker threads; every call is
// serialised by the console's own lock.
#pragma once

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
  void Converted(int task, const std::string& input, const std::string& output);
  // reason empty: the task's last error line, or "stopped" without one.
  // A leftover, when given, is named after the reason.
  void Failed(int task, const std::string& input, const std::string& reason = {},
              const std::string& leftover = {});
  // "N converted, M failed".
  void Summary();

  int ConvertedCount() const { return FConverted; }
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
  int FFailed = 0;
};
