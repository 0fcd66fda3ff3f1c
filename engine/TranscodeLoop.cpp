// The transcode of one run: set-up, then the packet loop that always reads
// from the input whose output lags furthest behind, then the drain, the
// trailers, the last report and the closing of codecs. Runs on the thread
// that runs the job; StopRequested is the only field another thread writes.
#include <cstdlib>
#include <mutex>
#include <new>

#include "engine/FFmpegHlpr.h"
#include "engine/LibraryError.h"
#include "engine/StreamDecoder.h"
#include "engine/StreamNames.h"
#include "engine/TranscodeTables.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/LibraryObjects.h"

namespace {

// Seconds an output stream has reached. An encoded stream counts what was
// handed to its encoder: an MP3 encoder holds back more than 0.1 s, and a
// limit measured by its output would overshoot by that much.
double OutputPosition(const OutputStream& ost) {
  if (ost.EncodingNeeded) return ost.SyncOpts * av_q2d(ost.Encoder->time_base);
  return ost.Position * av_q2d(ost.Stream->time_base);
}

// The input whose output lags furthest behind, with that output's position
// in `position`; ties go to the earlier output stream. -1 when every input
// feeding an output has ended.
int LaggingInput(const TranscodeTables& t, double& position) {
  int fileIndex = -1;
  for (const auto& ost : t.OutputStreams) {
    // A cover is one packet, written when it is read; it never lags.
    if (ost->Stream->disposition & AV_DISPOSITION_ATTACHED_PIC) continue;
    const int source = t.InputStreams[ost->SourceIndex]->FileIndex;
    const double reached = OutputPosition(*ost);
    if (!t.Files[source].EofReached && reached < position) {
      position = reached;
      fileIndex = source;
    }
  }
  return fileIndex;
}

// Every output is a track that the source has been decoded past: the rest
// of the file belongs to none of them.
bool TracksAllPassed(const TranscodeTables& t, const TrackWindow* windows) {
  if (t.OutputStreams.empty()) return false;
  for (const auto& ost : t.OutputStreams) {
    const TrackWindow& window = windows[ost->FileIndex];
    const AVCodecParameters* source = ost->SyncInput ? ost->SyncInput->Stream->codecpar : nullptr;
    if (!window.Active || window.End < 0 || !source || source->sample_rate <= 0) return false;
    if (ost->SyncInput->DecodedSamples <
        WindowSample(window.End, window.TimeBaseDen, source->sample_rate))
      return false;
  }
  return true;
}

// Video outputs keep their pictures whatever became of a sound track, and
// pair audio with pictures their own way (DV): the audio-only rules skip them.
bool HoldsMovingPictures(const AVFormatContext* file) {
  for (unsigned i = 0; i < file->nb_streams; ++i)
    if (file->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
        !(file->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC))
      return true;
  return false;
}

}  // namespace

void TCustomFFmpegHlpr::FailWhenNothingDecoded(const TranscodeTables& t) {
  // A track that received no sample would be an empty file reported as
  // converted.
  for (const auto& ost : t.OutputStreams) {
    const TrackWindow& window = OutputTrackWindows[ost->FileIndex];
    if (window.Active && ost->EncodingNeeded && ost->SyncOpts == 0 && ost->SyncInput)
      throw FFMpegException(std::string(InputFiles[ost->SyncInput->FileIndex]->url) +
                            ": no audio at " +
                            std::to_string(window.Start / window.TimeBaseDen) +
                            " s, where a track was to start");
  }
  // Outputs of audio alone: a video output keeps its pictures whatever
  // became of a sound track.
  const InputStream* source = nullptr;
  for (const auto& ost : t.OutputStreams) {
    if (!ost->EncodingNeeded || ost->Encoder->codec_type != AVMEDIA_TYPE_AUDIO) return;
    if (ost->SyncInput->DecodedSamples > 0) return;
    source = ost->SyncInput;
  }
  if (!source) return;
  throw FFMpegException(std::string("no audio could be decoded from ") +
                        InputFiles[source->FileIndex]->url);
}

void TCustomFFmpegHlpr::FailWhenNoAudioWritten(const TranscodeTables& t) {
  const OutputStream* audio = nullptr;
  for (const auto& ost : t.OutputStreams) {
    if (!ost->EncodingNeeded || ost->Encoder->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    if (!audio) audio = ost.get();
    const AVFormatContext* file = OutputFiles[ost->FileIndex].get();
    if (!HoldsMovingPictures(file) && ost->PacketsMuxed == 0) {
      const int64_t decoded = ost->SyncInput->DecodedSamples;
      throw FFMpegException(std::string("no audio frame reached ") +
                            (file->url ? file->url : "the output") + " (" +
                            std::to_string(decoded) + (decoded == 1 ? " sample" : " samples") +
                            " decoded from " + InputFiles[ost->SyncInput->FileIndex]->url + ")");
    }
  }
  if (!audio) return;
  const InputStream& source = *audio->SyncInput;
  SourceAudioLength = StatedAudioLength(*InputFiles[source.FileIndex], *source.Stream);
  SourceAudioLength.Decoded = source.DecodedSamples;
}

void TCustomFFmpegHlpr::RecordOutputChecks(const TranscodeTables& t) {
  for (const auto& ost : t.OutputStreams) {
    if (!ost->EncodingNeeded || ost->Encoder->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    VerificationExpectation& check = OutputChecks[ost->FileIndex];
    if (check.Wanted || HoldsMovingPictures(OutputFiles[ost->FileIndex].get())) continue;
    check.Wanted = true;
    check.Samples = ost->SamplesEncoded;
    check.Allowance = FrameAllowance(*ost->Encoder);
    check.Lossless = IsLosslessCodec(ost->Encoder->codec_id);
    check.Digest = ost->EncoderInput.Value();
  }
}

void TCustomFFmpegHlpr::ReportLoudness(const TranscodeTables& t) {
  for (const auto& ost : t.OutputStreams) {
    if (!ost->Meter) continue;
    const LoudnessFigures figures = ost->Meter->Figures();
    const char* url = OutputFiles[ost->FileIndex]->url;
    if (!figures.Measured)
      LogF(1, "loudness of %s: silent", url ? url : "the output");
    else
      LogF(1, "loudness of %s: %.1f LUFS, true peak %.1f dBTP, range %.1f LU", url ? url : "the output",
           figures.Integrated, figures.TruePeak, figures.Range);
  }
}

void TCustomFFmpegHlpr::Transcode() {
  auto tables = std::make_unique<TranscodeTables>();
  try {
    SetUpTranscode(*tables);
    RunTranscodeLoop(*tables);
  } catch (const std::bad_alloc&) {
    FreeTranscodeTables(tables);
    throw FFMpegException("av_mallocz fail");
  } catch (...) {
    FreeTranscodeTables(tables);
    throw;
  }
  FreeTranscodeTables(tables);
}

void TCustomFFmpegHlpr::FreeTranscodeTables(std::unique_ptr<TranscodeTables>& tables) {
  BitBuffer.reset();
  tables.reset();
}

void TCustomFFmpegHlpr::RunTranscodeLoop(TranscodeTables& t) {
  TimerStart = AVU.av_gettime();
  int64_t lastReport = TimerStart;
  AVPacket* packet = t.ReadPacket.get();

  while (!StopRequested) {
    double smallest = 1e100;
    const int fileIndex = LaggingInput(t, smallest);
    if (fileIndex < 0) break;
    if (RecordingTime > 0 && RecordingTime / 1000000.0 <= smallest) break;
    if (TracksAllPassed(t, OutputTrackWindows)) break;
    if (!ReadInputPacket(t, fileIndex, packet)) continue;
    if (!DispatchInputPacket(t, fileIndex, packet)) continue;

    const int64_t now = AVU.av_gettime();
    if (now - lastReport > ReportInterval) {
      lastReport = now;
      ReportProgress(t, false);
    }
  }
  FinishTranscode(t);
}

bool TCustomFFmpegHlpr::ReadInputPacket(TranscodeTables& t, int fileIndex, AVPacket* packet) {
  ReadingInput = InputFiles[fileIndex].get();
  ReadingFrom = InputFiles[fileIndex]->pb ? InputFiles[fileIndex]->pb->bytes_read : 0;
  const int read = AVF.av_read_frame(InputFiles[fileIndex].get(), packet);
  ReadingInput = nullptr;
  if (read >= 0) return true;
  if (read == AVERROR_EXIT && !StopRequested)
    LogF(0, "%s: no packet within %d MiB; the rest of the file is left out",
         InputFiles[fileIndex]->url, static_cast<int>(MaxBytesPerPacket >> 20));
  else if (read != AVERROR_EOF && read != AVERROR_EXIT)
    Log(0, LibraryCallError("av_read_frame", read, FileName(InputFiles[fileIndex].get())) +
               "; the rest of the file is left out");
  t.Files[fileIndex].EofReached = 1;
  return false;
}

bool TCustomFFmpegHlpr::DispatchInputPacket(TranscodeTables& t, int fileIndex, AVPacket* packet) {
  const InputFileState& file = t.Files[fileIndex];
  const int istIndex = file.FirstStream + packet->stream_index;
  if (packet->stream_index < file.StreamCount && !t.InputStreams[istIndex]->Discard) {
    InputStream& ist = *t.InputStreams[istIndex];
    RetimeInputPacket(ist, fileIndex, packet);
    if (packet->flags & AV_PKT_FLAG_CORRUPT) ++DamagedPackets;
    if (ProcessInputPacket(t, ist, istIndex, packet) < 0) {
      ++DamagedPackets;
      if (Verbose >= 0)
        LogF(1, "Error while decoding stream #%d.%d%s%s", ist.FileIndex, ist.Index,
             ist.DecodeFailure.empty() ? "" : ": ", ist.DecodeFailure.c_str());
      ist.DecodeFailure.clear();
      AVC.av_packet_unref(packet);
      return false;
    }
  }
  AVC.av_packet_unref(packet);
  return true;
}

void TCustomFFmpegHlpr::RetimeInputPacket(const InputStream& ist, int fileIndex, AVPacket* packet) {
  const AVRational base = ist.Stream->time_base;
  if (packet->dts != AV_NOPTS_VALUE)
    packet->dts += AVU.av_rescale_q(InputTsOffset[fileIndex], AV_TIME_BASE_Q, base);
  if (packet->pts != AV_NOPTS_VALUE)
    packet->pts += AVU.av_rescale_q(InputTsOffset[fileIndex], AV_TIME_BASE_Q, base);

  // A jump in the input's timestamps is absorbed by its offset, so that the
  // output's timing continues smoothly.
  if (packet->dts == AV_NOPTS_VALUE || ist.NextPts == AV_NOPTS_VALUE) return;
  const int64_t packetDts = AVU.av_rescale_q(packet->dts, base, AV_TIME_BASE_Q);
  const int64_t delta = packetDts - ist.NextPts;
  if ((std::llabs(delta) > DtsDeltaThreshold * 1000000.0 || packetDts + 1 < ist.Pts) &&
      !CopyTimestamps) {
    InputTsOffset[fileIndex] -= delta;
    if (Verbose > 2)
      LogF(1, "timestamp discontinuity %lld, new offset= %lld", static_cast<long long>(delta),
           static_cast<long long>(InputTsOffset[fileIndex]));
    const int64_t shift = AVU.av_rescale_q(delta, AV_TIME_BASE_Q, base);
    packet->dts -= shift;
    if (packet->pts != AV_NOPTS_VALUE) packet->pts -= shift;
  }
}

void TCustomFFmpegHlpr::FinishTranscode(TranscodeTables& t) {
  // Drain what the decoders and encoders still hold.
  for (size_t i = 0; i < t.InputStreams.size(); ++i)
    if (t.InputStreams[i]->DecodingNeeded)
      ProcessInputPacket(t, *t.InputStreams[i], static_cast<int>(i), nullptr);

  if (!StopRequested) {
    FailWhenNothingDecoded(t);
    FailWhenNoAudioWritten(t);
    RecordOutputChecks(t);
    ReportLoudness(t);
  }

  for (int f = 0; f < OutputFileCount; ++f) {
    const int written = AVF.av_write_trailer(OutputFiles[f].get());
    if (written < 0 && !StopRequested)
      RaiseLibraryError("av_write_trailer", written,
                        OutputFiles[f]->url ? OutputFiles[f]->url : "");
  }

  ReportProgress(t, true);

  for (const auto& ost : t.OutputStreams) {
    if (!ost->EncodingNeeded) continue;
    MediaObjects::ReplaceUserText(ost->Encoder->stats_in);
    UnregisterOpenEncoder(ost->Encoder);
  }
  for (const auto& ist : t.InputStreams) {
    if (!ist->DecodingNeeded) continue;
    std::lock_guard<std::mutex> lock(*CodecLock);
    CloseStreamDecoder(ist->Decoder);
    UnregisterOpenDecoder(ist->Decoder);
  }

  Finished = !StopRequested;
}
