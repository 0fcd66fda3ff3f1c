// Where each input of a command-line batch is written, decided before any
// output is created (creating an output truncates it).
//
// The output of FOLDER + NAME.ext is FOLDER/NAME.mp3. A name that is one of
// the batch's inputs (an MP3 inside the output folder) or that an earlier
// input already took gets a number instead, "NAME (2).mp3", and the plan says
// so in its note.
#pragma once

#include <string>
#include <vector>

struct PlannedOutput {
  std::string Input;
  std::string Output;
  std::string Note;  // empty unless the name had to be changed
};

// The wanted output name: folder, then the input's file name with the text
// from the last "." of it replaced by extension.
std::string WantedOutputName(const std::string& folder, const std::string& input,
                             const std::string& extension);

std::vector<PlannedOutput> PlanOutputs(const std::vector<std::string>& inputs,
                                       const std::string& folder, const std::string& extension);

// A key that two paths share when they name the same file: the canonical path
// (links resolved) for what exists, the cleaned absolute path otherwise.
std::string SameFileKey(const std::string& path);
