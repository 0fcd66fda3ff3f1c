// Progress of a run: output size, time reached, bit rate and, with a video
// output, frame count, rate and quantiser; handed to ProgressHook, or logged
// as a status line when no hook is set. The last report adds the summary of
// encoded sizes.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "engine/FFmpegHlpr.h"
#include "engine/TranscodeTables.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"

namespace {

// Duration handed to the hook while no output stream has a position yet.
constexpr int NoPositionYet = -1;
constexpr double NoPositionTime = 1e10;

// Appends to a fixed status text, never past its end.
class StatusText {
 public:
  void Append(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    if (Used >= sizeof Text - 1) return;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(Text + Used, sizeof Text - Used, format, args);
    va_end(args);
    if (n > 0) Used = std::min(sizeof Text - 1, Used + static_cast<size_t>(n));
  }
  const char* c_str() const { return Text; }

 private:
  char Text[1024] = "";
  size_t Used = 0;
};

double Psnr(double normalisedError) { return -10.0 * std::log10(normalisedError); }

float QualityOf(const OutputStream& ost) {
  return ost.EncodingNeeded && ost.Quality >= 0 ? ost.Quality / FF_QP2LAMBDA : -1.0f;
}

// Per plane and overall, of the last picture or (last) of the whole stream.
void AppendPsnr(StatusText& text, const OutputStream& ost, int frameNumber, bool last) {
  const AVCodecContext* enc = ost.Encoder;
  double errorSum = 0, scaleSum = 0;
  text.Append("PSNR=");
  for (int plane = 0; plane < 3; ++plane) {
    const double error = static_cast<double>(last ? enc->error[plane] : ost.PictureError[plane]);
    double scale = static_cast<double>(enc->width) * enc->height * 255.0 * 255.0;
    if (last) scale *= frameNumber;
    if (plane) scale /= 4;
    errorSum += error;
    scaleSum += scale;
    text.Append("%c:%2.2f ", "YUV"[plane], Psnr(error / scale));
  }
  text.Append("*:%2.2f ", Psnr(errorSum / scaleSum));
}

}  // namespace

void TCustomFFmpegHlpr::ReportProgress(TranscodeTables& t, bool last) {
  int frameNumber = -1;
  int fps = -1;
  float quality = -1.0f;
  StatusText text;

  // The tracks of an album file count together: their sizes add up, and
  // the run has reached as far into the source as the furthest track.
  int64_t totalSize = 0;
  for (int f = 0; f < OutputFileCount; ++f) {
    if (f > 0 && !OutputTrackWindows[f].Active) break;
    if (!OutputFiles[f]->pb) continue;
    int64_t size = AVF.avio_size(OutputFiles[f]->pb);
    if (size < 0) size = AVF.avio_seek(OutputFiles[f]->pb, 0, SEEK_CUR);
    if (size > 0) totalSize += size;
  }
  double trackReach = -1;

  double time = NoPositionTime;
  bool firstVideo = true;
  for (const auto& ostPointer : t.OutputStreams) {
    const OutputStream& ost = *ostPointer;
    if (ost.Stream->disposition & AV_DISPOSITION_ATTACHED_PIC) continue;  // a cover, not a video
    if (ost.Stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
      if (!firstVideo) {
        text.Append("q=%2.1f ", QualityOf(ost));
      } else {
        firstVideo = false;
        const float elapsed = (AVU.av_gettime() - TimerStart) / 1000000.0f;
        frameNumber = ost.FrameNumber;
        if (frameNumber < 1) return;
        fps = elapsed > 1 ? static_cast<int>(frameNumber / elapsed + 0.5f) : 0;
        quality = QualityOf(ost);
        text.Append("frame=%5d fps=%3d q=%3.1f ", frameNumber, fps, quality);
        if (last) text.Append("L");
        if (ost.EncodingNeeded && (ost.Encoder->flags & AV_CODEC_FLAG_PSNR))
          AppendPsnr(text, ost, frameNumber, last);
      }
    }
    const double position = ost.Position * av_q2d(ost.Stream->time_base);
    if (const TrackWindow& window = OutputTrackWindows[ost.FileIndex]; window.Active) {
      if (position > 0) trackReach = std::max(trackReach, SourceReach(window, position));
      continue;
    }
    if (position > 0 && position < time) time = position;
  }
  if (trackReach > 0) time = std::min(time, trackReach);
  const bool known = time < NoPositionTime;
  if (time < 0.01) time = 0.01;

  if (ProgressHook.IsSet() || Verbose > 0 || last) {
    const double bitRate = totalSize * 8 / time / 1000;
    text.Append("size=%8.0fkB time=%0.1f bitrate=%6.1fkbits/s", totalSize / 1024.0, time, bitRate);
    if (Verbose > 1) text.Append(" dup=%d drop=%d", DupFrames, DropFrames);
    if (ProgressHook.IsSet()) {
      const int duration = known ? static_cast<int>(time * 1000) : NoPositionYet;
      ProgressHook.Code(ProgressHook.Data, this, frameNumber, fps, duration, quality,
                        static_cast<float>(bitRate), totalSize, TotalDuration);
    } else if (Verbose >= 0 && LogHook.IsSet()) {
      Log(1, text.c_str());
    }
  }

  if (last && Verbose >= 0 && LogHook.IsSet()) {
    const double raw = static_cast<double>(AudioBytes + VideoBytes + ExtraBytes);
    char summary[256];
    if (raw > 0)
      std::snprintf(summary, sizeof summary,
                    "video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead %.2f%%\r\n",
                    VideoBytes / 1024.0, AudioBytes / 1024.0, ExtraBytes / 1024.0,
                    (totalSize - raw) * 100 / raw);
    else  // nothing encoded: no overhead to relate to
      std::snprintf(
          summary, sizeof summary,
          "video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead unknown\r\n",
          VideoBytes / 1024.0, AudioBytes / 1024.0, ExtraBytes / 1024.0);
    Log(1, summary);
  }
}
