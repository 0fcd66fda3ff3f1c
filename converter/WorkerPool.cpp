#include "converter/WorkerPool.h"

TWorkerPool::~TWorkerPool() { FIdle.clear(); }

void TWorkerPool::Configure(const std::string& program, uint64_t addressSpaceLimit) {
  if (program != FProgram || addressSpaceLimit != FLimit) FIdle.clear();
  FProgram = program;
  FLimit = addressSpaceLimit;
}

std::unique_ptr<TWorkerProcess> TWorkerPool::Acquire(std::string& error) {
  if (!FIdle.empty()) {
    std::unique_ptr<TWorkerProcess> process = std::move(FIdle.back());
    FIdle.pop_back();
    return process;
  }
  return TWorkerProcess::Spawn(FProgram, FLimit, error);
}

void TWorkerPool::Release(std::unique_ptr<TWorkerProcess> process) {
  if (process && !process->Reaped() && process->Program() == FProgram)
    FIdle.push_back(std::move(process));
}

void TWorkerPool::Trim(std::size_t count) {
  if (FIdle.size() > count) FIdle.resize(count);
}
