// Construction, reset, clean-up, start, stop and the end of a run.
#include <unistd.h>

#include <cstdarg>
#include <cstdio>

#include "engine/FFmpegHlpr.h"
#include "engine/FFmpegThread.h"
#include "engine/LibraryError.h"
#include "engine/PartialOutputs.h"
#include "engine/StreamDecoder.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/MediaLibraries.h"
#include "medialib/SwScaleHlpr.h"

TCustomFFmpegHlpr::TCustomFFmpegHlpr(std::mutex& codecLock) : CodecLock(&codecLock) {
  SetDefaults();
}

TCustomFFmpegHlpr::~TCustomFFmpegHlpr() {
  StopAndWait();
  Cleanup();
}

void TCustomFFmpegHlpr::StopAndWait() {
  Stop();
  ReleaseWorker();
}

void TCustomFFmpegHlpr::ReleaseWorker() {
  if (!Worker) return;
  if (Worker->IsCurrentThread()) {
    Worker->Detach();  // freed from our own terminate hook: Run touches nothing more
  } else {
    Worker->Resume();
    Worker->Join();
  }
  Worker.reset();
}

void TCustomFFmpegHlpr::SetDefaults() {
  InputFileCount = 0;
  OutputFileCount = 0;
  for (auto& perFile : BitstreamFilters)
    for (auto& chain : perFile) chain.clear();

  ForcedInputFormat = nullptr;
  ForcedOutputFormat = nullptr;
  PgmYuvCompatibility = 0;

  FrameWidth = FrameHeight = 0;
  FrameAspectRatio = 0;
  FramePixFmt = -1;
  FrameRate = {0, 0};
  FramePadTop = FramePadBottom = FramePadLeft = FramePadRight = 0;
  PadColor[0] = 16;
  PadColor[1] = PadColor[2] = 128;
  FrameTopBand = FrameBottomBand = FrameLeftBand = FrameRightBand = 0;

  VideoCodecName.clear();
  VideoStreamCopy = VideoDisable = VideoDiscard = VideoCodecTag = 0;
  VideoQScale = 0;
  VideoQDiff = 3;
  IntraMatrix.clear();
  InterMatrix.clear();
  VideoRcOverride.clear();
  SameQuality = StrictStd = 0;
  IntraDcPrecision = 8;
  IntraOnly = VideoGlobalHeader = 0;

  AudioSampleRate = 44100;
  AudioChannels = 2;
  AudioCodecName.clear();
  AudioStreamCopy = AudioDisable = AudioCodecTag = 0;
  AudioQScale = -99999;
  AudioLanguage.clear();
  AudioVolume = 256;
  SubtitleCodecName.clear();
  SubtitleStreamCopy = SubtitleDisable = 0;
  SubtitleLanguage.clear();

  StartTime = RecordingTime = RecTimestamp = InputTimeOffset = 0;
  CopyTimestamps = 0;
  MuxPreload = 0.5f;
  MuxMaxDelay = 0.7f;
  LoopOutput = -1;
  DtsDeltaThreshold = 10.0f;
  RateEmu = VideoChannel = 0;
  VideoStandard.clear();
  ProgramId = 0;
  ThreadCount = 1;

  Title.clear();
  Author.clear();
  Copyright.clear();
  Comment.clear();
  Album.clear();
  Genre.clear();
  Year = Track = 0;

  Verbose = 1;
  ComputePsnr = PassNumber = 0;
  SwsFlags = SWS_BICUBIC;
  OptionNames.clear();
  PrivateFormatOptions.clear();
  PrivateCodecOptions.clear();

  VideoBitstreamFilters.clear();
  AudioBitstreamFilters.clear();
  SubtitleBitstreamFilters.clear();

  VideoBytes = AudioBytes = ExtraBytes = 0;
  DamagedPackets = 0;
  DupFrames = DropFrames = 0;
  TimerStart = 0;

  // The references are dropped, not freed: Reset calls Cleanup first.
  FormatOptions = nullptr;
  ScalerOptions = nullptr;
  BitBuffer = nullptr;
  BitBufferSize = 262144;
  WorkerThread = nullptr;
  TotalDuration = -1;
}

void TCustomFFmpegHlpr::Reset() {
  if (!MediaLibrariesLoaded) return;
  ReleaseWorker();
  Cleanup();
  SetDefaults();
  Running = false;
  StopRequested = false;
  TotalDuration = -1;
  MakeOptionContexts();
}

void TCustomFFmpegHlpr::MakeOptionContexts() {
  for (AVCodecContext*& context : CodecOptions) AVC.avcodec_free_context(&context);
  AVF.avformat_free_context(FormatOptions);
  SWS.sws_freeContext(ScalerOptions);
  for (int type = 0; type < AVMEDIA_TYPE_NB; ++type) {
    CodecOptions[type] = AVC.avcodec_alloc_context3(nullptr);
    if (CodecOptions[type]) CodecOptions[type]->codec_type = static_cast<AVMediaType>(type);
  }
  FormatOptions = AVF.avformat_alloc_context();
  ScalerOptions = SWS.sws_getContext(16, 16, AV_PIX_FMT_YUV420P, 16, 16, AV_PIX_FMT_YUV420P,
                                     SwsFlags, nullptr, nullptr, nullptr);
}

void TCustomFFmpegHlpr::Cleanup() {
  if (!MediaLibrariesLoaded) return;

  for (AVCodecContext*& context : CodecOptions) AVC.avcodec_free_context(&context);
  AVF.avformat_free_context(FormatOptions);
  FormatOptions = nullptr;
  SWS.sws_freeContext(ScalerOptions);
  ScalerOptions = nullptr;

  for (int i = 0; i < OutputFileCount; ++i) {
    AVFormatContext* output = OutputFiles[i];
    if (!output) continue;
    if (output->oformat && !(output->oformat->flags & AVFMT_NOFILE)) AVF.avio_closep(&output->pb);
    // Not put in place by a finished run: incomplete, or never written.
    if (!OutputPartialPaths[i].empty()) unlink(OutputPartialPaths[i].c_str());
    OutputPartialPaths[i].clear();
    AVF.avformat_free_context(output);
    OutputFiles[i] = nullptr;
    for (StreamCodec& codec : OutputCodecs[i]) {
      std::lock_guard<std::mutex> lock(*CodecLock);  // freeing closes an open codec
      AVC.avcodec_free_context(&codec.Context);
      codec = StreamCodec{};
    }
  }
  OutputFileCount = 0;

  for (int i = 0; i < InputFileCount; ++i) {
    AVF.avformat_close_input(&InputFiles[i]);
    for (StreamCodec& codec : InputCodecs[i]) {
      std::lock_guard<std::mutex> lock(*CodecLock);
      AVC.avcodec_free_context(&codec.Context);
    }
    InputCodecs[i].clear();
  }
  InputFileCount = 0;

  IntraMatrix.clear();
  InterMatrix.clear();
  OptionNames.clear();
  PrivateFormatOptions.clear();
  PrivateCodecOptions.clear();
  VideoCodecName.clear();
  AudioCodecName.clear();
  SubtitleCodecName.clear();
  VideoStandard.clear();
  VideoRcOverride.clear();
  AudioLanguage.clear();
  SubtitleLanguage.clear();
  AVU.av_freep(&BitBuffer);
}

uint32_t TCustomFFmpegHlpr::Start(bool threaded, TConvertPriority priority) {
  if (Running || StopRequested) return 0;
  if (OutputCountForRun() <= 0) {
    Cleanup();
    EndRun();
    throw FFMpegException("Must supply at least one output file");
  }
  if (InputCountForRun() == 0) {
    Cleanup();
    EndRun();
    throw FFMpegException("Must supply at least one input file");
  }
  Running = true;
  if (!threaded) {
    Run();
    return MainThreadID();
  }
  Worker = std::make_unique<TFFmpegThread>(*this, priority);
  const uint32_t id = Worker->ThreadID();
  WorkerThread = Worker.get();
  Worker->Resume();
  return id;
}

void TCustomFFmpegHlpr::CommitOutputs() {
  for (int i = 0; i < OutputFileCount; ++i) {
    AVFormatContext* output = OutputFiles[i];
    if (OutputPartialPaths[i].empty() || !output) continue;
    const std::string finalName = output->url ? output->url : "";
    // Closing flushes the last buffered bytes: a full disk shows here.
    const int closed = output->pb ? AVF.avio_closep(&output->pb) : 0;
    if (closed < 0)
      throw FFMpegException("Could not write '" + finalName + "': " + LibraryErrorText(closed));
    std::string error;
    if (!CommitPartialFile(OutputPartialPaths[i], finalName, error)) throw FFMpegException(error);
    OutputPartialPaths[i].clear();
  }
}

void TCustomFFmpegHlpr::Stop() {
  StopRequested = true;
}

void TCustomFFmpegHlpr::Run() {
  TCurrentRunScope current(this);
  Finished = false;
  std::exception_ptr failure;
  try {
    OpenFilesOfRun();
    Transcode();
    if (Finished) CommitOutputs();
  } catch (const std::exception& error) {
    failure = std::current_exception();
    LastError = error.what();
  } catch (...) {
    failure = std::current_exception();
    LastError = "Unknown error";
  }
  if (failure) Finished = false;  // its outputs are not in place
  // Reported before the terminate hook so that the owner knows why the job
  // failed by the time it hears that it ended.
  if (failure && Verbose >= 0) Log(0, LastError);
  CloseOpenEncoders();
  CloseOpenDecoders();
  Cleanup();
  current.Release();  // the terminate hook may free this engine
  EndRun();
  // The terminate hook may have freed this engine: no member access below.
  if (failure) std::rethrow_exception(failure);
}

void TCustomFFmpegHlpr::EndRun() {
  Running = false;
  StopRequested = true;
  WorkerThread = nullptr;
  if (TerminateHook.IsSet()) TerminateHook.Code(TerminateHook.Data, this);
}

void TCustomFFmpegHlpr::CloseOpenEncoders() {
  while (!OpenEncoders.empty()) {
    AVCodecContext* context = OpenEncoders.front();
    OpenEncoders.pop_front();
    // A pass-2 statistics text belongs to the run; the encoder itself is
    // closed when Cleanup frees its context.
    AVU.av_freep(&context->stats_in);
  }
}

void TCustomFFmpegHlpr::CloseOpenDecoders() {
  while (!OpenDecoders.empty()) {
    AVCodecContext* context = OpenDecoders.front();
    OpenDecoders.pop_front();
    std::lock_guard<std::mutex> lock(*CodecLock);
    CloseStreamDecoder(context);
  }
}

void TCustomFFmpegHlpr::Log(int level, const std::string& text) {
  if (LogHook.IsSet()) LogHook.Code(LogHook.Data, this, level, text);
}

void TCustomFFmpegHlpr::LogF(int level, const char* format, ...) {
  if (!LogHook.IsSet()) return;
  char text[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  Log(level, text);
}
