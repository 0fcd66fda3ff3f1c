// Construction, reset, clean-up, start, stop and the end of a run.
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <utility>

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
  // Without bound libraries Cleanup frees nothing, and the owners must not
  // call through the unbound tables either: what they hold is left behind.
  if (!MediaLibrariesLoaded) AbandonLibraryObjects();
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

namespace {

// A group back to its member initialisers, which are the defaults.
template <typename Group>
void Renew(Group& group) {
  group = Group{};
}

}  // namespace

void TCustomFFmpegHlpr::SetDefaults() {
  Renew<FormatOptionFields>(*this);
  Renew<PictureOptionFields>(*this);
  Renew<VideoCodingOptionFields>(*this);
  Renew<AudioSubtitleOptionFields>(*this);
  Renew<TimingMuxingOptionFields>(*this);
  Renew<OutputDescriptionFields>(*this);
  Renew<TrackOptionFields>(*this);
  Renew<DiagnosticOptionFields>(*this);
  Renew<RunStatisticFields>(*this);
  InputFileCount = 0;
  OutputFileCount = 0;
  for (auto& perFile : BitstreamFilters)
    for (auto& chain : perFile) chain.clear();
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
  MakeOptionContexts();
}

void TCustomFFmpegHlpr::MakeOptionContexts() {
  for (int type = 0; type < AVMEDIA_TYPE_NB; ++type) {
    CodecOptions[type].reset(AVC.avcodec_alloc_context3(nullptr));
    if (CodecOptions[type]) CodecOptions[type]->codec_type = static_cast<AVMediaType>(type);
  }
  FormatOptions.reset(AVF.avformat_alloc_context());
  ScalerOptions.reset(SWS.sws_getContext(16, 16, AV_PIX_FMT_YUV420P, 16, 16, AV_PIX_FMT_YUV420P,
                                         SwsFlags, nullptr, nullptr, nullptr));
}

void TCustomFFmpegHlpr::Cleanup() {
  if (!MediaLibrariesLoaded) return;

  for (MediaObjects::CodecContextPtr& context : CodecOptions) context.reset();
  FormatOptions.reset();
  ScalerOptions.reset();
  // Every slot, not only the counted ones: an owner never outlives Cleanup.
  for (int i = 0; i < MaxFiles; ++i) ReleaseOutput(i);
  OutputFileCount = 0;
  for (int i = 0; i < MaxFiles; ++i) ReleaseInput(i);
  InputFileCount = 0;
  BitBuffer.reset();
}

void TCustomFFmpegHlpr::ReleaseOutput(int file) {
  OutputFiles[file].reset();
  // Not put in place by a finished run: incomplete, or never written.
  if (!OutputPartialPaths[file].empty()) unlink(OutputPartialPaths[file].c_str());
  OutputPartialPaths[file].clear();
  OutputTrackWindows[file] = TrackWindow{};
  OutputTrackTags[file].clear();
  for (StreamCodec& codec : OutputCodecs[file]) {
    if (codec.Context) {
      std::lock_guard<std::mutex> lock(*CodecLock);  // freeing closes an open codec
      codec.Context.reset();
    }
    codec = StreamCodec{};
  }
}

void TCustomFFmpegHlpr::ReleaseInput(int file) {
  InputFiles[file].reset();
  for (StreamCodec& codec : InputCodecs[file]) {
    std::lock_guard<std::mutex> lock(*CodecLock);
    codec.Context.reset();
  }
  InputCodecs[file].clear();
}

void TCustomFFmpegHlpr::AbandonLibraryObjects() {
  for (MediaObjects::CodecContextPtr& context : CodecOptions) (void)context.release();
  (void)FormatOptions.release();
  (void)ScalerOptions.release();
  (void)BitBuffer.release();
  for (int i = 0; i < MaxFiles; ++i) {
    (void)OutputFiles[i].release();
    (void)InputFiles[i].release();
    for (StreamCodec& codec : OutputCodecs[i]) (void)codec.Context.release();
    for (StreamCodec& codec : InputCodecs[i]) (void)codec.Context.release();
  }
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
    AVFormatContext* output = OutputFiles[i].get();
    if (OutputPartialPaths[i].empty() || !output) continue;
    const std::string finalName = output->url ? output->url : "";
    // Closing flushes the last buffered bytes: a full disk shows here.
    const int closed = MediaObjects::CloseOutputFile(output);
    if (closed < 0)
      throw FFMpegException("Could not write '" + finalName + "': " + LibraryErrorText(closed));
    // The tags are rewritten first, so that the verifier checks the bytes
    // that will be put in place.
    RewriteOutputTags(i);
    if (CompleteOutputHook.IsSet())
      CompleteOutputHook.Code(CompleteOutputHook.Data, this, OutputPartialPaths[i]);
    if (VerifyOutputs && OutputChecks[i].Wanted) {
      const std::string failure =
          VerifyOutput(OutputPartialPaths[i], finalName, OutputChecks[i], *CodecLock);
      if (!failure.empty()) throw FFMpegException(failure);
    }
  }
  // None is put in place before every one has proved complete.
  for (int i = 0; i < OutputFileCount; ++i) {
    AVFormatContext* output = OutputFiles[i].get();
    if (OutputPartialPaths[i].empty() || !output) continue;
    const std::string finalName = output->url ? output->url : "";
    std::string error;
    if (!CommitPartialFile(OutputPartialPaths[i], finalName, error)) throw FFMpegException(error);
    OutputPartialPaths[i].clear();
  }
}

void TCustomFFmpegHlpr::Stop() { StopRequested = true; }

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
    MediaObjects::ReplaceUserText(context->stats_in);
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
