// One worker process: melvaro-worker started with fork and exec, its task
// socket (fd 3 in the worker) and the pipe that carries its standard output
// and error. Owned by one thread at a time (the pool's, then a run's).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

class TWorkerProcess {
 public:
  // Starts program with an address-space limit (bytes; 0: none). The
  // limit is left out in sanitizer builds, whose shadow memory alone is
  // larger. Null with `error` when the program is not there or the process
  // could not be made.
  static std::unique_ptr<TWorkerProcess> Spawn(const std::string& program,
                                               uint64_t addressSpaceLimit, std::string& error);
  // Kills a process still running and reaps it; closes the pipes.
  ~TWorkerProcess();
  TWorkerProcess(const TWorkerProcess&) = delete;
  TWorkerProcess& operator=(const TWorkerProcess&) = delete;

  pid_t Pid() const { return FPid; }
  const std::string& Program() const { return FProgram; }
  int Socket() const { return FSocket; }
  int Output() const { return FOutput; }
  // The worker's Hello has been read.
  bool Greeted = false;

  // kill(pid, signal) while the process has not been reaped.
  void Signal(int signal);
  // Waits for the end of the process; its wait status.
  int Reap();
  bool Reaped() const { return FReaped; }

 private:
  TWorkerProcess() = default;
  std::string FProgram;
  pid_t FPid = -1;
  int FSocket = -1;
  int FOutput = -1;
  bool FReaped = false;
  int FStatus = 0;
};

// "SIGSEGV", "exit status 3": how a wait status ended a process.
std::string DescribeWaitStatus(int status);

// The worker program beside the running one (folder: its folder).
std::string WorkerProgramIn(const std::string& folder);

// True when this build can give its workers an address-space limit.
bool AddressSpaceLimitApplies();
