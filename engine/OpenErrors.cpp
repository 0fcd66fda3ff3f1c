// The sentences for failed opens, and codec look-up by name.
#include <cerrno>

#include "engine/DecoderLookup.h"
#include "engine/FFmpegHlpr.h"
#include "engine/LibraryError.h"
#include "medialib/AVCodecHlpr.h"

std::string TCustomFFmpegHlpr::OpenErrorMessage(const std::string& fileName, int code) {
  const char* text;
  switch (code) {
    case AVERROR(ENOENT):
      text = ": no such file or directory";
      break;
    case AVERROR(EIO):
    case AVERROR_EOF:  // the data ended inside the header
      text =
          ": I/O error occurred\r\nUsually that means that input file is truncated and/or "
          "corrupted.";
      break;
    case AVERROR(ENOMEM):
      text = ": memory allocation error occurred";
      break;
    case AVERROR(EINVAL):
    case AVERROR_INVALIDDATA:
      text = ": Error while parsing header";
      break;
    case AVERROR(EDOM):
      text =
          ": Incorrect image filename syntax.\r\nUse '%d' to specify the image number:\r\n"
          "  for img1.jpg, img2.jpg, ..., use 'img%d.jpg';\r\n"
          "  for img001.jpg, img002.jpg, ..., use 'img%03d.jpg'.";
      break;
    case AVERROR(EILSEQ):
    case AVERROR_DEMUXER_NOT_FOUND:
      text = ": Unknown format";
      break;
    default:
      // The system's own reason follows: "Permission denied", "No space
      // left on device", ...
      return fileName + ": Error while opening file: " + LibraryErrorText(code);
  }
  return fileName + text;
}

bool TCustomFFmpegHlpr::FindCodecByName(const std::string& name, AVMediaType type, bool encoder,
                                        AVCodecID& id) {
  if (name.empty()) {
    id = AV_CODEC_ID_NONE;
    return true;
  }
  const AVCodec* codec = encoder ? AVC.avcodec_find_encoder_by_name(name.c_str())
                                 : FindLibraryDecoderByName(name.c_str(), LibraryRealVideoDecoders);
  const char* kind = encoder ? "encoder" : "decoder";
  if (!codec) {
    LastError = std::string("Unknown ") + kind + " '" + name + "'";
    return false;
  }
  if (codec->type != type) {
    LastError = std::string("Invalid ") + kind + " type '" + name + "'";
    return false;
  }
  id = codec->id;
  return true;
}
