// What a run does about an output that may already exist: the rule the user
// chose (--existing, the settings dialog) and the decision for one file.
// Pure bookkeeping over stat results and the output record: no media is
// opened, so deciding is cheap for any number of files.
#pragma once

#include <optional>
#include <string>

#include "converter/OutputRecord.h"

enum class TExistingRule {
  Replace,  // convert and put the new output in place of the old
  Skip,     // leave any existing output alone
  Update    // convert only what is missing or out of date (by the record)
};

// "replace", "skip", "update"; false for anything else.
bool ExistingRuleByName(const std::string& name, TExistingRule& rule);
const char* ExistingRuleName(TExistingRule rule);

enum class TOutputDecision {
  Convert,   // make the output
  Existing,  // Skip: an output is there and stays as it is
  UpToDate,  // Update: the record says the output is current
  Crashed    // Update: the record says this source, unchanged, crashed its
             // conversion with these settings; not run again unless asked
};

// For Update: the output is current when it exists, the record has an entry
// for the source that was made ("ok") at this output path, from a source of
// the same size and modification time, with the same settings, and the
// output still has the size and modification time it was made with. Anything
// else (no entry, a failed one, another path or settings, a changed source,
// an output rewritten since, say by a run with --existing replace, which
// keeps no record) converts again. A failed entry of the same source
// stamp and settings is Crashed (with or without an output), unless
// retryFailed.
TOutputDecision DecideOutput(TExistingRule rule, const std::optional<TRecordEntry>& entry,
                             const TFileStamp& source, const TFileStamp& output,
                             const std::string& outputInRecord, const std::string& settings,
                             bool retryFailed = false);
