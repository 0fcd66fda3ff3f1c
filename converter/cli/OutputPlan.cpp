#include "converter/cli/OutputPlan.h"

#include <filesystem>
#include <set>

namespace fs = std::filesystem;

std::string SameFileKey(const std::string& path) {
  std::error_code error;
  fs::path key = fs::weakly_canonical(fs::absolute(path, error), error);
  if (error) key = fs::absolute(path, error).lexically_normal();
  return key.string();
}

std::string WantedOutputName(const std::string& folder, const std::string& input,
                             const std::string& extension) {
  std::string name = fs::path(input).filename().string();
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return (fs::path(folder) / (name + extension)).string();
}

std::vector<PlannedOutput> PlanOutputs(const std::vector<std::string>& inputs,
                                       const std::string& folder, const std::string& extension) {
  std::set<std::string> taken;
  for (const std::string& input : inputs) taken.insert(SameFileKey(input));

  std::vector<PlannedOutput> plan;
  for (const std::string& input : inputs) {
    PlannedOutput entry{input, WantedOutputName(folder, input, extension), {}};
    if (taken.count(SameFileKey(entry.Output))) {
      const bool isInput = [&] {
        for (const std::string& other : inputs)
          if (SameFileKey(other) == SameFileKey(entry.Output)) return true;
        return false;
      }();
      const std::string wanted = entry.Output;
      const fs::path wantedPath(wanted);
      const std::string stem = wantedPath.stem().string();
      for (int n = 2; taken.count(SameFileKey(entry.Output)); ++n)
        entry.Output =
            (wantedPath.parent_path() / (stem + " (" + std::to_string(n) + ")" + extension))
                .string();
      entry.Note = wanted + (isInput ? " is one of the inputs" : " is taken by an earlier input") +
                   "; writing " + entry.Output + " instead";
    }
    taken.insert(SameFileKey(entry.Output));
    plan.push_back(std::move(entry));
  }
  return plan;
}
