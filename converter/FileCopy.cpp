#include "converter/FileCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "engine/PartialOutputs.h"

namespace {

// Owns a descriptor.
struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
};

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t wrote = write(fd, data, size);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    data += wrote;
    size -= static_cast<size_t>(wrote);
  }
  return true;
}

}  // namespace

bool CopyThroughPartialFile(const std::string& source, const std::string& destination,
                            std::string& error) {
  Descriptor in;
  in.fd = open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat info;
  if (in.fd < 0 || fstat(in.fd, &info) != 0) {
    error = "Could not open '" + source + "': " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = "Could not open '" + source + "': not a regular file";
    return false;
  }
  std::string partial;
  if (!CreatePartialFile(destination, partial, error)) return false;
  const auto fail = [&](const std::string& name) {
    error = "Could not write '" + name + "': " + std::strerror(errno);
    unlink(partial.c_str());
    return false;
  };
  {
    Descriptor out;
    out.fd = open(partial.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (out.fd < 0) return fail(destination);
    std::vector<char> buffer(1 << 16);
    for (;;) {
      const ssize_t got = read(in.fd, buffer.data(), buffer.size());
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        error = "Could not read '" + source + "': " + std::strerror(errno);
        unlink(partial.c_str());
        return false;
      }
      if (got == 0) break;
      if (!WriteAll(out.fd, buffer.data(), static_cast<size_t>(got))) return fail(destination);
    }
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (futimens(out.fd, times) != 0) return fail(destination);
    if (close(out.fd) != 0) {
      out.fd = -1;
      return fail(destination);
    }
    out.fd = -1;
  }
  if (!CommitPartialFile(partial, destination, error)) {
    unlink(partial.c_str());
    return false;
  }
  return true;
}
