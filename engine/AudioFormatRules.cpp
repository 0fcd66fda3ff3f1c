#include "engine/AudioFormatRules.h"

#include <initializer_list>

namespace {

bool Takes(const AVSampleFormat* formats, AVSampleFormat format) {
  for (const AVSampleFormat* f = formats; *f != AV_SAMPLE_FMT_NONE; ++f)
    if (*f == format) return true;
  return false;
}

// The same samples in the other arrangement (S16 <-> S16P, ...).
AVSampleFormat Twin(AVSampleFormat format) {
  if (format == AV_SAMPLE_FMT_NONE) return format;
  if (format >= AV_SAMPLE_FMT_U8P && format <= AV_SAMPLE_FMT_DBLP)
    return static_cast<AVSampleFormat>(format - AV_SAMPLE_FMT_U8P + AV_SAMPLE_FMT_U8);
  if (format >= AV_SAMPLE_FMT_U8 && format <= AV_SAMPLE_FMT_DBL)
    return static_cast<AVSampleFormat>(format - AV_SAMPLE_FMT_U8 + AV_SAMPLE_FMT_U8P);
  if (format == AV_SAMPLE_FMT_S64) return AV_SAMPLE_FMT_S64P;
  if (format == AV_SAMPLE_FMT_S64P) return AV_SAMPLE_FMT_S64;
  return AV_SAMPLE_FMT_NONE;
}

bool IsInteger(AVSampleFormat format) {
  switch (format) {
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_FLTP:
    case AV_SAMPLE_FMT_DBL:
    case AV_SAMPLE_FMT_DBLP:
    case AV_SAMPLE_FMT_NONE:
      return false;
    default:
      return true;
  }
}

}  // namespace

int SampleDepth(AVSampleFormat format, int rawBits) {
  switch (format) {
    case AV_SAMPLE_FMT_U8:
    case AV_SAMPLE_FMT_U8P:
      return 8;
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
      return 16;
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S32P:
      return rawBits > 0 && rawBits < 32 ? rawBits : 32;
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_FLTP:
      return 32;
    case AV_SAMPLE_FMT_DBL:
    case AV_SAMPLE_FMT_DBLP:
    case AV_SAMPLE_FMT_S64:
    case AV_SAMPLE_FMT_S64P:
      return 64;
    default:
      return 0;
  }
}

AVSampleFormat ChooseSampleFormat(const AVSampleFormat* formats, AVSampleFormat asked,
                                  AVSampleFormat source) {
  if (!formats) {
    if (asked != AV_SAMPLE_FMT_NONE) return asked;
    return source != AV_SAMPLE_FMT_NONE ? source : AV_SAMPLE_FMT_S16;
  }
  if (asked != AV_SAMPLE_FMT_NONE && Takes(formats, asked)) return asked;
  if (source != AV_SAMPLE_FMT_NONE && Takes(formats, source)) return source;
  if (Twin(source) != AV_SAMPLE_FMT_NONE && Takes(formats, Twin(source))) return Twin(source);
  const bool deep = SampleDepth(source) > 16;
  const auto deepOrder = {AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_FLT,  AV_SAMPLE_FMT_S32P,
                          AV_SAMPLE_FMT_S32,  AV_SAMPLE_FMT_DBLP, AV_SAMPLE_FMT_DBL,
                          AV_SAMPLE_FMT_S16,  AV_SAMPLE_FMT_S16P};
  const auto plainOrder = {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P};
  for (AVSampleFormat preferred : deep ? deepOrder : plainOrder)
    if (Takes(formats, preferred)) return preferred;
  return formats[0];
}

int EncoderRawBits(AVSampleFormat encoderFormat, int sourceBits) {
  if (encoderFormat != AV_SAMPLE_FMT_S32 && encoderFormat != AV_SAMPLE_FMT_S32P) return 0;
  return sourceBits > 0 && sourceBits < 24 ? sourceBits : 24;
}

bool NeedsDither(int inBits, AVSampleFormat outFormat, int outBits) {
  return IsInteger(outFormat) && SampleDepth(outFormat, outBits) < inBits;
}

int FittingSampleRate(const int* rates, int wanted) {
  if (!rates || !*rates) return wanted;
  int above = 0, highest = 0;
  for (const int* r = rates; *r; ++r) {
    if (*r == wanted) return wanted;
    if (*r > wanted && (above == 0 || *r < above)) above = *r;
    if (*r > highest) highest = *r;
  }
  return above ? above : highest;
}

int FittingChannelCount(const AVChannelLayout* layouts, int wanted) {
  if (!layouts || !layouts[0].nb_channels) return wanted;
  int below = 0;
  for (const AVChannelLayout* l = layouts; l->nb_channels; ++l) {
    if (l->nb_channels == wanted) return wanted;
    if (l->nb_channels < wanted && l->nb_channels > below) below = l->nb_channels;
  }
  return below ? below : layouts[0].nb_channels;
}
