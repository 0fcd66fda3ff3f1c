#include "converter/WorkerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool SanitizerBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool SanitizerBuild = true;
#else
constexpr bool SanitizerBuild = false;
#endif
#else
constexpr bool SanitizerBuild = false;
#endif

void CloseIfOpen(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

bool AddressSpaceLimitApplies() { return !SanitizerBuild; }

std::string WorkerProgramIn(const std::string& folder) {
  return (folder.empty() ? std::string(".") : folder) + "/melvaro-worker";
}

std::string DescribeWaitStatus(int status) {
  if (WIFSIGNALED(status)) {
    const char* name = sigabbrev_np(WTERMSIG(status));
    return name ? std::string("SIG") + name : "signal " + std::to_string(WTERMSIG(status));
  }
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  return "wait status " + std::to_string(status);
}

std::unique_ptr<TWorkerProcess> TWorkerProcess::Spawn(const std::string& program,
                                                      uint64_t addressSpaceLimit,
                                                      std::string& error) {
  if (access(program.c_str(), X_OK) != 0) {
    error = "the worker program " + program + " cannot be run: " + strerror(errno);
    return nullptr;
  }
  int channel[2] = {-1, -1};
  int output[2] = {-1, -1};
  const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (devNull < 0 || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, channel) != 0 ||
      pipe2(output, O_CLOEXEC) != 0) {
    error = std::string("could not make the worker's pipes: ") + strerror(errno);
    for (int fd : {devNull, channel[0], channel[1], output[0], output[1]})
      if (fd >= 0) close(fd);
    return nullptr;
  }
  // Everything the child needs is made before the fork: between fork and
  // exec a multi-threaded parent's child may only make system calls.
  std::vector<char> path(program.begin(), program.end());
  path.push_back('\0');
  char* const argv[] = {path.data(), nullptr};
  rlimit limit{};
  const bool limited = addressSpaceLimit > 0 && AddressSpaceLimitApplies();
  limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(addressSpaceLimit);
  const pid_t parent = getpid();

  const pid_t pid = fork();
  if (pid == 0) {
    // Moved above the target numbers first, so that no dup2 overwrites a
    // descriptor still to be moved.
    const int in = fcntl(devNull, F_DUPFD, 10);
    const int out = fcntl(output[1], F_DUPFD, 10);
    const int task = fcntl(channel[1], F_DUPFD, 10);
    if (in < 0 || out < 0 || task < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 ||
        dup2(out, 2) < 0 || dup2(task, 3) < 0)
      _exit(126);
    close_range(4, ~0u, 0);
    // Ctrl+C in a terminal is the parent's to handle; a parent that dies
    // takes its workers along.
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(126);
    if (limited) setrlimit(RLIMIT_AS, &limit);
    execv(path.data(), argv);
    _exit(127);
  }
  const int forkError = errno;
  close(devNull);
  close(channel[1]);
  close(output[1]);
  if (pid < 0) {
    close(channel[0]);
    close(output[0]);
    error = std::string("could not start the worker program: ") + strerror(forkError);
    return nullptr;
  }
  std::unique_ptr<TWorkerProcess> process(new TWorkerProcess);
  process->FProgram = program;
  process->FPid = pid;
  process->FSocket = channel[0];
  process->FOutput = output[0];
  return process;
}

TWorkerProcess::~TWorkerProcess() {
  CloseIfOpen(FSocket);
  CloseIfOpen(FOutput);
  if (!FReaped) {
    // An idle worker holds nothing of value; a busy one has been stopped.
    Signal(SIGKILL);
    Reap();
  }
}

void TWorkerProcess::Signal(int signal) {
  if (!FReaped && FPid > 0) kill(FPid, signal);
}

int TWorkerProcess::Reap() {
  if (FReaped) return FStatus;
  while (waitpid(FPid, &FStatus, 0) < 0 && errno == EINTR) {
  }
  FReaped = true;
  return FStatus;
}
