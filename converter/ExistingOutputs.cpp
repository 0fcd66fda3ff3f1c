#include "converter/ExistingOutputs.h"

bool ExistingRuleByName(const std::string& name, TExistingRule& rule) {
  for (TExistingRule known : {TExistingRule::Replace, TExistingRule::Skip, TExistingRule::Update})
    if (name == ExistingRuleName(known)) {
      rule = known;
      return true;
    }
  return false;
}

const char* ExistingRuleName(TExistingRule rule) {
  switch (rule) {
    case TExistingRule::Skip: return "skip";
    case TExistingRule::Update: return "update";
    case TExistingRule::Replace: break;
  }
  return "replace";
}

TOutputDecision DecideOutput(TExistingRule rule, const std::optional<TRecordEntry>& entry,
                             const TFileStamp& source, const TFileStamp& output,
                             const std::string& outputInRecord, const std::string& settings,
                             bool retryFailed) {
  if (rule == TExistingRule::Update && !retryFailed && entry &&
      entry->State == TRecordState::Failed && entry->SourceStamp == source &&
      entry->Settings == settings)
    return TOutputDecision::Crashed;
  if (!output.Exists || rule == TExistingRule::Replace) return TOutputDecision::Convert;
  if (rule == TExistingRule::Skip) return TOutputDecision::Existing;
  const bool current = entry && entry->State == TRecordState::Made &&
                       entry->Output == outputInRecord && entry->SourceStamp == source &&
                       entry->Settings == settings && entry->OutputStamp == output;
  return current ? TOutputDecision::UpToDate : TOutputDecision::Convert;
}
