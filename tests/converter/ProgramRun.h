// Runs melvaro-convert (MELVARO_CONVERT_PROGRAM, set by the test build) as a
// user would, through the shell, and gives back its exit status and output.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Starts the program in the background, its output going to logPath.
inline pid_t StartProgram(const std::vector<std::string>& args, const std::string& logPath) {
  const pid_t child = fork();
  if (child != 0) return child;
  const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(log, STDOUT_FILENO);
  dup2(log, STDERR_FILENO);
  std::vector<char*> argv{const_cast<char*>(MELVARO_CONVERT_PROGRAM)};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}
