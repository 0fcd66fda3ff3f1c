// The component's idle worker processes: a finished task's worker takes the
// next task, so short files pay no start-up each; a dead one is replaced by
// a fresh process when one is next needed. Owner's thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "converter/WorkerProcess.h"

class TWorkerPool {
 public:
  TWorkerPool() = default;
  // Kills and reaps the idle workers.
  ~TWorkerPool();
  TWorkerPool(const TWorkerPool&) = delete;
  TWorkerPool& operator=(const TWorkerPool&) = delete;

  // For workers started from now on; the idle ones of another program or
  // limit go.
  void Configure(const std::string& program, uint64_t addressSpaceLimit);
  const std::string& Program() const { return FProgram; }
  uint64_t AddressSpaceLimit() const { return FLimit; }

  // An idle worker, else a new one; null with `error`.
  std::unique_ptr<TWorkerProcess> Acquire(std::string& error);
  // A worker that can take another task; one that ended is dropped.
  void Release(std::unique_ptr<TWorkerProcess> process);
  // Keeps at most `count` idle workers.
  void Trim(std::size_t count);

 private:
  std::string FProgram;
  uint64_t FLimit = 0;
  std::vector<std::unique_ptr<TWorkerProcess>> FIdle;
};
