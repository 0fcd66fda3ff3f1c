#include "engine/FFmpegHlpr.h"

void TCustomFFmpegHlpr::Transcode() {
  throw FFMpegException("Transcoding is not available in this build");
}
