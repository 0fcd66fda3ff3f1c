// Library options by name: SetLibraryOption records them in the engine's
// option contexts, ApplyRecordedOptions hands them on to the real contexts of
// inputs, outputs and streams.
//
// Options are named as in today's libraries. A few names of the older library
// that callers and presets still use are carried over: "gop" is "g" now,
// "muxrate" lives in the MPEG program stream muxers, and the codec flag
// "scan_offset" has become an option of the mpeg2video encoder. Values of such
// private options wait in PrivateFormatOptions / PrivateCodecOptions until a
// target that has them is made.
#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/opt.h>
}

#include "engine/FFmpegHlpr.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/LibraryObjects.h"
#include "medialib/MediaLibraries.h"

namespace {

// Read back at most this many characters of an option's value.
constexpr size_t MaxOptionText = 255;

// Option flags a codec option must carry to reach the option context of each
// stream type (video, audio, data, subtitle, attachment); 0 takes any.
constexpr int TypeMasks[AVMEDIA_TYPE_NB] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, 0,
                                            AV_OPT_FLAG_SUBTITLE_PARAM, 0};

bool IsBlank(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](unsigned char c) { return std::isspace(c) != 0 || std::iscntrl(c) != 0; });
}

// Sets name on an option object; the option on success, else nullptr.
const AVOption* TrySet(void* object, const std::string& name, const std::string& value) {
  if (!object || name.empty()) return nullptr;
  const AVOption* option = AVU.av_opt_find(object, name.c_str(), nullptr, 0, 0);
  if (!option || AVU.av_opt_set(object, name.c_str(), value.c_str(), 0) < 0) return nullptr;
  return option;
}

// Whether a fresh context of the named muxer or encoder takes name = value.
// This is where a private option is checked against the installed library.
bool MuxerTakes(const char* muxer, const char* name, const std::string& value) {
  AVFormatContext* made = nullptr;
  const int result = AVF.avformat_alloc_output_context2(&made, nullptr, muxer, nullptr);
  const MediaObjects::OutputPtr context(made);
  if (result < 0 || !context) return false;
  return AVU.av_opt_set(context.get(), name, value.c_str(), AV_OPT_SEARCH_CHILDREN) >= 0;
}

bool EncoderTakes(const char* encoder, const char* name, const std::string& value) {
  const AVCodec* codec = AVC.avcodec_find_encoder_by_name(encoder);
  if (!codec) return false;
  const MediaObjects::CodecContextPtr context(AVC.avcodec_alloc_context3(codec));
  if (!context) return false;
  return AVU.av_opt_set(context.get(), name, value.c_str(), AV_OPT_SEARCH_CHILDREN) >= 0;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Splits a flags expression such as "+scan_offset-qpel" into signed words.
std::vector<std::string> FlagTerms(const std::string& value) {
  std::vector<std::string> terms;
  for (char c : value) {
    if (c == '+' || c == '-' || terms.empty()) terms.emplace_back();
    terms.back() += c;
  }
  return terms;
}

}  // namespace

// The library's own path: every codec option context of a fitting type, then
// the format and scaler contexts, then the a/v/s prefix onto one codec type.
// Returns the name of the option that took the value, or empty.
static std::string SetCurrentOption(TCustomFFmpegHlpr& engine, const std::string& name,
                                    const std::string& value) {
  const AVOption* option = nullptr;
  for (int type = 0; type < AVMEDIA_TYPE_NB; ++type) {
    if (AVU.av_opt_find(engine.CodecOptions[0].get(), name.c_str(), nullptr, TypeMasks[type], 0))
      option = TrySet(engine.CodecOptions[type].get(), name, value);
  }
  if (!option) option = TrySet(engine.FormatOptions.get(), name, value);
  if (!option) option = TrySet(engine.ScalerOptions.get(), name, value);
  if (!option) {
    const std::string rest = name.substr(1);
    switch (name[0]) {
      case 'a':
        option = TrySet(engine.CodecOptions[AVMEDIA_TYPE_AUDIO].get(), rest, value);
        break;
      case 'v':
        option = TrySet(engine.CodecOptions[AVMEDIA_TYPE_VIDEO].get(), rest, value);
        break;
      case 's':
        option = TrySet(engine.CodecOptions[AVMEDIA_TYPE_SUBTITLE].get(), rest, value);
        break;
      default:
        break;
    }
  }
  return option ? option->name : std::string();
}

// "+scan_offset" (any case) among the terms of a flags expression: 1 when
// added, 0 when removed, -1 when absent. The other terms go to others.
static int ScanOffsetTerm(const std::string& value, std::string& others) {
  int scanOffset = -1;
  for (const std::string& term : FlagTerms(value)) {
    const bool hasSign = term[0] == '+' || term[0] == '-';
    if (Lower(hasSign ? term.substr(1) : term) == "scan_offset")
      scanOffset = term[0] == '-' ? 0 : 1;
    else
      others += term;
  }
  return scanOffset;
}

// The older names: true when name is one of them, with recorded set to the
// name of today's option that took the value (empty when it did not).
static bool SetLegacyOption(TCustomFFmpegHlpr& engine, const std::string& name,
                            const std::string& value, std::string& recorded) {
  if (name == "gop") {
    recorded = SetCurrentOption(engine, "g", value);
    return true;
  }
  if (name == "muxrate") {
    if (MuxerTakes("vcd", "muxrate", value)) {
      engine.PrivateFormatOptions["muxrate"] = value;
      recorded = "muxrate";
    }
    return true;
  }
  std::string others;
  int scanOffset = -1;
  if (name == "flags" && (scanOffset = ScanOffsetTerm(value, others)) >= 0) {
    if (!EncoderTakes("mpeg2video", "scan_offset", std::to_string(scanOffset))) return true;
    // Every other term stays a codec flag, recorded on its own.
    if (!others.empty() && !engine.SetLibraryOption("flags", others)) return true;
    engine.PrivateCodecOptions["scan_offset"] = std::to_string(scanOffset);
    recorded = "scan_offset";
    return true;
  }
  return false;
}

bool TCustomFFmpegHlpr::SetLibraryOption(const std::string& name, const std::string& value) {
  if (IsBlank(name) || IsBlank(value)) return false;
  for (const auto& context : CodecOptions)
    if (!context) return false;  // no option contexts before Reset
  if (!FormatOptions || !ScalerOptions) return false;

  std::string recorded;
  if (!SetLegacyOption(*this, name, value, recorded))
    recorded = SetCurrentOption(*this, name, value);
  if (recorded.empty()) return false;
  OptionNames.push_back(recorded);

  if (CodecOptions[AVMEDIA_TYPE_VIDEO]->debug != 0) {
    SetVerbose(2);
  }
  return true;
}

bool TCustomFFmpegHlpr::SetLibraryOptionInt(const std::string& name, int64_t value) {
  return SetLibraryOption(name, std::to_string(value));
}

void TCustomFFmpegHlpr::ApplyRecordedOptions(void* optionContext, void* target, int requiredFlags) {
  if (!optionContext || !target) return;
  const std::map<std::string, std::string>* privateValues = nullptr;
  if (optionContext == FormatOptions.get()) privateValues = &PrivateFormatOptions;
  if (std::any_of(std::begin(CodecOptions), std::end(CodecOptions),
                  [&](const auto& context) { return context.get() == optionContext; }))
    privateValues = &PrivateCodecOptions;

  for (const std::string& name : OptionNames) {
    const AVOption* option = AVU.av_opt_find(optionContext, name.c_str(), nullptr, 0, 0);
    if (option) {
      if ((option->flags & requiredFlags) != requiredFlags) continue;
      uint8_t* got = nullptr;
      const int read = AVU.av_opt_get(optionContext, name.c_str(), 0, &got);
      const MediaObjects::MemoryPtr<uint8_t> text(got);
      if (read < 0 || !text) continue;
      std::string value(reinterpret_cast<const char*>(text.get()));
      if (value.size() > MaxOptionText) value.resize(MaxOptionText);
      AVU.av_opt_set(target, name.c_str(), value.c_str(), 0);
      continue;
    }
    // A private option reaches only a target that has it with fitting flags.
    if (!privateValues) continue;
    const auto found = privateValues->find(name);
    if (found == privateValues->end()) continue;
    if (!AVU.av_opt_find(target, name.c_str(), nullptr, requiredFlags, AV_OPT_SEARCH_CHILDREN))
      continue;
    AVU.av_opt_set(target, name.c_str(), found->second.c_str(), AV_OPT_SEARCH_CHILDREN);
  }
}
