// Runs melvaro-convert (MELVARO_CONVERT_PROGRAM, set by the test build) as a
// user would, through the shell, and gives back its exit status and output.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

struct Result {
  int status;
  std::string output;  // stdout and stderr together
};

inline std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline Result RunProgram(const std::vector<std::string>& args) {
  std::string command = Quoted(MELVARO_CONVERT_PROGRAM);
  for (const std::string& arg : args) command += " " + Quoted(arg);
  command += " 2>&1";
  Result result{-1, {}};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}
