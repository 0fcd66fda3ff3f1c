// The transcoding engine: one conversion job.
//
// Threads: everything but Stop, Run and the hooks is called on the thread that
// owns the engine (the component's UI thread) before Start. Run executes on
// the worker thread (or on the caller when not threaded). Stop may be called
// from any thread; it only sets the stop flag that the transcode loop reads.
// The codec lock is lent by the owner and shared by all engines of one owner.
//
// End of a job: EndRun clears WorkerThread and calls the terminate hook on the
// worker; the destructor joins the worker, so the engine is never freed while
// its worker is still inside Run or the hook.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "engine/AudioLength.h"
#include "engine/EngineHooks.h"
#include "engine/FFMpegException.h"
#include "engine/LogLevelClaims.h"
#include "engine/TrackCutting.h"
#include "engine/TagSet.h"
#include "engine/OutputVerifier.h"
#include "medialib/LibraryObjects.h"

class TFFmpegThread;
struct TranscodeTables;
struct PictureView;
struct InputStream;
struct OutputStream;

// Outputs of one run: an album file's tracks are one run's outputs (a CD
// holds at most 99).
constexpr int MaxFiles = 100;
constexpr int MaxStreamsPerFile = 20;

// Names of the bitstream filters applied to one stream, in order.
using BitstreamFilterChain = std::vector<std::string>;

// The codec context that holds one stream's parameters and options from the
// moment its file is opened or created; the run opens it as the stream's
// decoder (inputs) or encoder (outputs). Cleanup frees it.
//
// After OpenInputFile, an input stream's Context is allocated without a codec
// (the run chooses the decoder) and holds the stream's codecpar (codec id and
// tag, sample rate, ch_layout, sample format, width, height, pix_fmt,
// extradata...), pkt_timebase = the stream's time base, thread_count, and the
// recorded decoding options of its type; RateEmu is copied from the option.
//
// After OpenOutputFile, an output stream's Context is allocated for its
// encoder (so that the encoder's private options exist; without a codec when
// the id is none or the stream is copied) and holds codec_type, codec_id
// (AV_CODEC_ID_NONE when copied), strict_std_compliance, codec_tag when one
// was asked for, AV_CODEC_FLAG_GLOBAL_HEADER when the muxer wants it, and the
// recorded encoding options. Audio: sample_rate and time_base 1/rate,
// ch_layout = the default layout of AudioChannels, bit_rate from the "ab"
// option or the encoder's default; sample_fmt stays AV_SAMPLE_FMT_NONE for
// the run to choose among the encoder's formats. Video: width and height
// (padding included), time_base 1/frame rate (a rate the encoder supports),
// framerate, sample_aspect_ratio, pix_fmt (one the encoder supports), and
// gop, quality, rc_override, flags as asked. The output AVStream's codecpar
// carries codec_type and codec_id only; the run fills it from the opened
// encoder (or, for a copy, from the input stream).
struct StreamCodec {
  MediaObjects::CodecContextPtr Context;
  bool StreamCopy = false;  // outputs: packets are copied, not encoded
  float Quality = 0;        // fixed quality asked for, in lambda units
  bool RateEmu = false;     // inputs: read no faster than the stream plays
};

// ---- Option groups -----------------------------------------------------------
// The engine's option fields. Each member initialiser is the field's default,
// written here only: SetDefaults assigns fresh groups. The engine derives from
// the groups, so that callers name the fields directly (engine.AudioSampleRate).

// Formats forced for the next file opened.
struct FormatOptionFields {
  const AVInputFormat* ForcedInputFormat = nullptr;
  const AVOutputFormat* ForcedOutputFormat = nullptr;
  int PgmYuvCompatibility = 0;
};

struct PictureOptionFields {
  int FrameWidth = 0;
  int FrameHeight = 0;
  float FrameAspectRatio = 0;
  int FramePixFmt = -1;
  AVRational FrameRate = {0, 0};
  int FramePadTop = 0, FramePadBottom = 0, FramePadLeft = 0, FramePadRight = 0;
  int PadColor[3] = {16, 128, 128};
  int FrameTopBand = 0, FrameBottomBand = 0, FrameLeftBand = 0, FrameRightBand = 0;
};

// Empty names mean "none".
struct VideoCodingOptionFields {
  std::string VideoCodecName;
  int VideoStreamCopy = 0;
  int VideoDisable = 0;
  int VideoDiscard = 0;
  int VideoCodecTag = 0;
  float VideoQScale = 0;
  int VideoQDiff = 3;
  std::vector<uint16_t> IntraMatrix, InterMatrix;
  std::string VideoRcOverride;
  int SameQuality = 0;
  int StrictStd = 0;
  int IntraDcPrecision = 8;
  int IntraOnly = 0;
  int VideoGlobalHeader = 0;
};

struct AudioSubtitleOptionFields {
  int AudioSampleRate = 44100;
  int AudioChannels = 2;
  std::string AudioCodecName;
  int AudioStreamCopy = 0;
  int AudioDisable = 0;
  int AudioCodecTag = 0;
  float AudioQScale = -99999;
  std::string AudioLanguage;
  int AudioVolume = 256;
  std::string SubtitleCodecName;
  int SubtitleStreamCopy = 0;
  int SubtitleDisable = 0;
  std::string SubtitleLanguage;
  // Loudness: measure the source in a decode-only pass first, then write its
  // ReplayGain tags (R128 gain for Opus), and/or bring it to NormalizeLufs
  // (0: leave it) within the true-peak ceiling (LoudnessPlan.h).
  int ReplayGainTags = 0;
  double NormalizeLufs = 0;
  // Encoders one long MP3 stream may be cut across (SplitEncoder.h); 1
  // encodes it whole.
  int ThreadsPerFile = 1;
};

// Microseconds unless noted.
struct TimingMuxingOptionFields {
  int64_t StartTime = 0;
  int64_t RecordingTime = 0;
  int64_t RecTimestamp = 0;  // seconds since 1970-01-01 00:00 UTC
  int64_t InputTimeOffset = 0;
  uint8_t CopyTimestamps = 0;
  float MuxPreload = 0.5f;   // seconds
  float MuxMaxDelay = 0.7f;  // seconds
  int LoopOutput = -1;
  float DtsDeltaThreshold = 10.0f;  // seconds
  int RateEmu = 0;
  int VideoChannel = 0;
  std::string VideoStandard;
  int ProgramId = 0;
  int ThreadCount = 1;
};

// Copied into each output.
struct OutputDescriptionFields {
  std::string Title, Author, Copyright, Comment, Album, Genre;
  int Year = 0;
  int Track = 0;
  // Applied to every output's full set of tags (the source's, then these
  // fields) as it is written, when the run puts its outputs in place: set
  // it up to then (TagSet.h).
  TagChanges OutputTagChanges;
};

// The next output's part of the source and its own tags, over the source's
// and the description fields (keys as written, such as "album_artist");
// consumed by OpenOutputFile.
struct TrackOptionFields {
  TrackWindow NextTrackWindow;
  std::map<std::string, std::string> NextTrackTags;
};

// Diagnostics, passes and the recorded library options.
struct DiagnosticOptionFields {
  int Verbose = 1;
  int ComputePsnr = 0;
  int PassNumber = 0;
  int SwsFlags = SWS_BICUBIC;
  // Decode every finished output completely before it is put in place
  // (OutputVerifier.h); one that fails leaves any earlier file untouched.
  int VerifyOutputs = 0;
  // Measure the loudness of what each audio encoder is given and log it at
  // the end (LoudnessMeter.h).
  int MeasureLoudness = 0;
  // Library names of the options recorded by SetLibraryOption, repeats kept.
  std::vector<std::string> OptionNames;
  // Values of recorded options that are private options of particular muxers
  // (format) or encoders (codec); ApplyRecordedOptions passes them on to the
  // targets that have them.
  std::map<std::string, std::string> PrivateFormatOptions, PrivateCodecOptions;
  // Pending bitstream filter chains; nothing fills them yet.
  BitstreamFilterChain VideoBitstreamFilters, AudioBitstreamFilters, SubtitleBitstreamFilters;
};

// Written by the worker.
struct RunStatisticFields {
  int64_t VideoBytes = 0, AudioBytes = 0, ExtraBytes = 0;
  // Input packets that could not be decoded, or that the demuxer marked
  // corrupt, and were skipped.
  int DamagedPackets = 0;
  // Decoded samples the audio path replaced as invalid (SampleRepair.h): the
  // most any one output stream met, since every output sees the same input.
  int64_t InvalidSamples = 0;
  // Per output: what its audio must decode to, recorded at the end of input.
  VerificationExpectation OutputChecks[MaxFiles] = {};
  // Gain the normalisation applies with the volume, in dB.
  double LoudnessGainDb = 0;
  // Per output: the fresh loudness tags, set by the tag rewrite over the
  // source's (RewriteOutputTags).
  TagSet OutputLoudnessTags[MaxFiles];
  // The audio source's stated and decoded length, recorded at the end of
  // input, so that the owner can tell a file cut short.
  AudioLengthRecord SourceAudioLength;
  int DupFrames = 0, DropFrames = 0;
  int64_t TimerStart = 0;
  // The size BitBuffer is made with; the run raises it for large pictures.
  int BitBufferSize = 262144;
};

class TCustomFFmpegHlpr : public FormatOptionFields,
                          public PictureOptionFields,
                          public VideoCodingOptionFields,
                          public AudioSubtitleOptionFields,
                          public TimingMuxingOptionFields,
                          public OutputDescriptionFields,
                          public TrackOptionFields,
                          public DiagnosticOptionFields,
                          public RunStatisticFields {
 public:
  explicit TCustomFFmpegHlpr(std::mutex& codecLock);
  virtual ~TCustomFFmpegHlpr();
  TCustomFFmpegHlpr(const TCustomFFmpegHlpr&) = delete;
  TCustomFFmpegHlpr& operator=(const TCustomFFmpegHlpr&) = delete;

  // ---- Lifecycle ---------------------------------------------------------
  // Frees everything and makes fresh option contexts; nothing while the
  // media libraries are not loaded.
  void Reset();
  // Every option group and run statistic back to its default, the file
  // counts to 0; library objects and files are Cleanup's.
  void SetDefaults();
  // Releases option contexts, files (removing outputs not put in place),
  // their codec contexts and BitBuffer; nothing while the media libraries
  // are not loaded. Option fields stay as they are.
  void Cleanup();
  // Makes fresh option contexts (codec, format and scaler options); the
  // first half of Reset, usable on the thread that runs the job.
  void MakeOptionContexts();
  // Starts the job once per Reset. Returns the running thread's identifier,
  // or 0 when the engine is not idle. Raises FFMpegException (after the
  // terminate hook) when there is no output or no input file (as counted by
  // InputCountForRun and OutputCountForRun).
  uint32_t Start(bool threaded, TConvertPriority priority);
  // Asks the run to stop; does not wait. Any thread.
  void Stop();
  // Stop, then wait until a worker has left Run (terminate hook included).
  // Subclasses call it first in their destructors so that a late hook never
  // sees their members gone. Not from the worker itself.
  void StopAndWait();
  // Opens the files of a job that opens them late (OpenFilesOfRun),
  // transcodes, puts complete outputs in place (CommitOutputs), then always
  // closes codecs, cleans up and ends the run. An error of any of these is
  // logged and then propagates.
  void Run();
  void EndRun();
  // Closes each output written to a hidden file (its trailer written),
  // verifies it when VerifyOutputs asks, and only when all are complete and
  // verified puts each in place over its final name; Run calls it when the
  // transcode finished. Raises FFMpegException with the system's reason when
  // a close or the rename fails, or with "verification failed: ..." (the
  // outputs not yet in place stay hidden for Cleanup to remove). Thread that
  // runs the job.
  void CommitOutputs();
  // Writes output `file`'s full set of tags into its closed hidden file where
  // the tag writer knows its format (OutputTagPass.cpp). Raises
  // FFMpegException when the file cannot be saved.
  void RewriteOutputTags(int file);

  // ---- Option setters (unset or meaningless values are ignored; wrong values
  // raise FFMpegException and leave the field as it was) -------------------
  void SetInputFormat(const std::string& name);
  void SetOutputFormat(const std::string& name);
  void SetFrameRate(const std::string& text);
  void SetFrameSize(const std::string& text);
  void SetAspectRatio(const std::string& text);
  void SetPixelFormat(const std::string& name);
  void SetCropTop(int n);
  void SetCropBottom(int n);
  void SetCropLeft(int n);
  void SetCropRight(int n);
  void SetPadTop(int n);
  void SetPadBottom(int n);
  void SetPadLeft(int n);
  void SetPadRight(int n);
  // colour: red in the low byte, green in the next, blue in the third.
  void SetPadColor(uint32_t colour);
  void SetAudioCodec(const std::string& name);
  void SetVideoCodec(const std::string& name);
  void SetAudioSampleRate(int rate);
  void SetAudioChannels(int channels);
  void SetAudioVolume(int volume);
  void SetMuxPreload(float seconds);
  void SetMuxMaxDelay(float seconds);
  void SetYear(int year);
  void SetTrack(int track);
  void SetTitle(const std::string& text);
  void SetAuthor(const std::string& text);
  void SetCopyright(const std::string& text);
  void SetComment(const std::string& text);
  void SetAlbum(const std::string& text);
  void SetGenre(const std::string& text);
  void SetDuration(int ms);
  void SetStartTime(int ms);
  void SetRecTimestamp(int64_t seconds);
  // The next output takes [start, end) of the source, in 1/timeBaseDen s
  // (end < 0: to the end), cut at samples (TrackCutting.h), and these tags.
  // Raises FFMpegException for a window that is empty or negative.
  void SetTrackWindow(int64_t start, int64_t end, int timeBaseDen);
  void SetTrackTags(const std::map<std::string, std::string>& tags);
  // This engine's level; the library logs at the most verbose level of the
  // engines that set one, and the log router filters each task's lines by its
  // engine's level.
  void SetVerbose(int level);
  // This engine's choice: true finds the library's own RealVideo 3.0/4.0
  // decoders, false the RealVideo bridge's. Kept over Reset.
  void SetRealVideoDecoders(bool useLibraryDecoders);
  bool SetLibraryOption(const std::string& name, const std::string& value);
  bool SetLibraryOptionInt(const std::string& name, int64_t value);
  void SetTarget(const std::string& target, const std::string& norm,
                 const std::string& fallbackNorm);
  // Sets every option recorded by SetLibraryOption whose flags include all of
  // requiredFlags (AV_OPT_FLAG_*) from optionContext onto target. Both are
  // AVClass-based library objects (codec, format or scaler contexts).
  void ApplyRecordedOptions(void* optionContext, void* target, int requiredFlags);

  // ---- Files ---------------------------------------------------------------
  // Both return false with LastError set on an ordinary failure; the tables,
  // the counts and the file system stay as they were. At most MaxFiles each.
  // Inputs are read through the local file protocol only. An output is
  // written to a hidden file beside fileName (PartialOutputs.h); a run that
  // finishes puts it in place, anything else (a stop, a failure, Cleanup
  // before a run) removes it, so fileName is never touched unless the
  // conversion completes.
  bool OpenInputFile(const std::string& fileName);
  bool OpenOutputFile(const std::string& fileName);
  // The sentence for a failed open: the library's error code picks the text,
  // the file name fills it; "Error while opening file", for codes without a
  // sentence of their own, is followed by the system's reason.
  static std::string OpenErrorMessage(const std::string& fileName, int code);
  // Looks a codec up by name; an empty name gives AV_CODEC_ID_NONE. An
  // unknown name or one of another stream type gives false and LastError.
  bool FindCodecByName(const std::string& name, AVMediaType type, bool encoder, AVCodecID& id);
  // Which stream types the opened inputs hold. Raises FFMpegException on a
  // stream type it does not know.
  void check_audio_video_sub_inputs(bool& hasVideo, bool& hasAudio, bool& hasSubtitle);
  // Each adds one stream to `output`, the output being created (it becomes
  // OutputFiles[OutputFileCount]); the stream's encoder context goes to
  // OutputCodecs[OutputFileCount][stream index]. They consume the stream
  // type's per-stream options and raise FFMpegException on failure, leaving
  // the stream in `output` for the caller to release.
  void new_audio_stream(AVFormatContext* output);
  void new_video_stream(AVFormatContext* output);
  // The source's cover for an audio output being created: a copied picture
  // stream or a picture comment of the audio stream, as the format carries
  // it; otherwise logged as left out. Raises FFMpegException when the stream
  // cannot be added.
  void AddCover(AVFormatContext* output, const AVStream* cover, const std::string& fileName);
  void new_subtitle_stream(AVFormatContext* output);
  // Copies the streams of a feed into `output`; a negative library status on
  // failure.
  int ReadFeedStreams(AVFormatContext* output, const std::string& url);
  // The contexts of the created outputs, in table order, for library calls
  // that take an array of them.
  std::vector<AVFormatContext*> OutputContexts() const;

  // ---- Fields ----------------------------------------------------------------
  // Written by the owner's thread before Start; read by the worker during the
  // run; released by Cleanup at the end of the run. The option fields are the
  // groups' above.

  // File tables. An output's owner closes its file when it frees it.
  MediaObjects::InputPtr InputFiles[MaxFiles];
  int64_t InputTsOffset[MaxFiles] = {};
  int InputFileCount = 0;
  MediaObjects::OutputPtr OutputFiles[MaxFiles];
  int OutputFileCount = 0;
  // Per output: the hidden file it is written to until the run puts it in
  // place; empty when the muxer writes files of its own, or once in place.
  std::string OutputPartialPaths[MaxFiles];
  // Per output: the part of the source it takes (inactive: all of it).
  TrackWindow OutputTrackWindows[MaxFiles];
  // A track's own tags (keys as the muxers take them), which win over the
  // album file's when the finished output gets its full set of tags.
  std::map<std::string, std::string> OutputTrackTags[MaxFiles];
  BitstreamFilterChain BitstreamFilters[MaxFiles][MaxStreamsPerFile];
  // Per input file, one entry per stream of the file.
  std::vector<StreamCodec> InputCodecs[MaxFiles];
  StreamCodec OutputCodecs[MaxFiles][MaxStreamsPerFile];

  // Option contexts that SetLibraryOption sets and ApplyRecordedOptions reads.
  MediaObjects::CodecContextPtr CodecOptions[AVMEDIA_TYPE_NB];
  MediaObjects::FormatContextPtr FormatOptions;
  MediaObjects::ScalerPtr ScalerOptions;

  // Per-engine settings that a reset keeps: the library's log level this
  // engine asks for (Verbose, once set through SetVerbose), and whether its
  // decoder look-up shows the library's own RealVideo 3.0/4.0 decoders.
  TLibraryLogLevelClaim LibraryLogLevelClaim;
  bool LibraryRealVideoDecoders = true;

  // One buffer that every encoder of the job writes into.
  MediaObjects::MemoryPtr<uint8_t> BitBuffer;

  // Lifecycle and control.
  std::mutex* CodecLock;
  std::list<AVCodecContext*> OpenEncoders;  // newest first
  std::list<AVCodecContext*> OpenDecoders;  // newest first
  std::atomic<TFFmpegThread*> WorkerThread{nullptr};
  std::atomic<bool> Running{false};
  std::atomic<bool> Finished{false};
  // Written by any thread; read by the worker before every loop pass and by
  // the input's interrupt callback, so that a blocked read stops too.
  std::atomic<bool> StopRequested{false};
  // The input whose next packet is being read, and its count of bytes read
  // when that read began; the input's interrupt callback ends a read that
  // takes in MaxBytesPerPacket without giving a packet (no real packet is
  // that large; seeks past data do not count). Written and read by the
  // thread that reads the input (the owner's while probing, then the worker).
  static constexpr int64_t MaxBytesPerPacket = 16 << 20;
  const AVFormatContext* ReadingInput = nullptr;
  int64_t ReadingFrom = 0;
  std::atomic<int> TotalDuration{-1};  // ms; -1 when no input reports one
  std::string LastError;
  TEngineHook<TEngineLogProc> LogHook;
  TEngineHook<TEngineProgressProc> ProgressHook;
  TEngineHook<TEngineTerminateProc> TerminateHook;
  // A test seam: sees each complete hidden output before verification, and
  // may damage it.
  TEngineHook<TEngineOutputProc> CompleteOutputHook;
  int64_t ReportInterval = 500000;

 protected:
  // For jobs whose files are opened when the job runs: called by Run on the
  // thread that runs the job, before the transcode; raises FFMpegException
  // when a file cannot be opened. The engine's own jobs have theirs open.
  virtual void OpenFilesOfRun() {}
  // The files the job will have when it runs; Start refuses a job without.
  virtual int InputCountForRun() const { return InputFileCount; }
  virtual int OutputCountForRun() const { return OutputFileCount; }

  // Sends one engine log line to LogHook when it is set.
  void Log(int level, const std::string& text);
  void LogF(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

  // The job itself; called only by Run, on the thread that runs the job.
  void Transcode();
  void CloseOpenEncoders();
  void CloseOpenDecoders();

  // ---- Transcode stages, all on the thread that runs the job ---------------
  // Set-up: tables, source mapping, stream parameters, codecs, headers.
  // Raises FFMpegException; codecs already opened stay registered.
  void SetUpTranscode(TranscodeTables& tables);
  // Its stages, in the order it runs them; each raises FFMpegException.
  // One input-stream record per stream of every input file.
  void MapInputStreams(TranscodeTables& tables);
  // One output-stream record per output stream, each with its source.
  void MapOutputSources(TranscodeTables& tables);
  // Per output: language, disposition, copied parameters or the set-up of
  // its encoding (a video output's scaler), pass statistics, BitBufferSize.
  void SetUpOutputStreams(TranscodeTables& tables);
  // Allocates BitBuffer, dumps the output formats and logs the mapping.
  void ReportStreamMapping(TranscodeTables& tables);
  // Opens every encoder that is needed, under CodecLock, and hands its
  // parameters to the muxer; an audio encoder is fitted to its source first.
  void OpenNeededEncoders(TranscodeTables& tables);
  void OpenEncoder(OutputStream& ost, const AVCodecParameters& source);
  // Chains each output's bitstream filters; one that cannot work on its
  // stream is logged and left out.
  void SetUpBitstreamFilters(TranscodeTables& tables);
  // Checks and opens every decoder that is needed, under CodecLock.
  void OpenNeededDecoders(TranscodeTables& tables);
  // Input timestamps back at their start; the loop's packets and frame.
  void PrepareReading(TranscodeTables& tables);
  // Before the headers: measures the source when ReplayGainTags or
  // NormalizeLufs ask, sets LoudnessGainDb and each output's loudness tags,
  // and logs what it chose. Raises when the source cannot be measured.
  void PlanLoudness();
  // Every output's header; the session description when all are RTP.
  void WriteHeaders();
  // Codec registries; called with CodecLock held.
  void RegisterOpenEncoder(AVCodecContext* context);
  void RegisterOpenDecoder(AVCodecContext* context);
  void UnregisterOpenEncoder(AVCodecContext* context);
  void UnregisterOpenDecoder(AVCodecContext* context);
  // Reads, decodes and writes until the inputs end, RecordingTime is reached
  // or a stop is asked for; then drains, writes trailers and reports.
  void RunTranscodeLoop(TranscodeTables& tables);
  // Its stages. Reads the next packet of input `fileIndex`; false (the
  // input marked ended) at its end or on a failed read.
  bool ReadInputPacket(TranscodeTables& tables, int fileIndex, AVPacket* packet);
  // Retimes a packet of a stream in use and processes it, then blanks it;
  // false when it could not be decoded (counted as damaged and logged).
  bool DispatchInputPacket(TranscodeTables& tables, int fileIndex, AVPacket* packet);
  // Moves the packet by its input's offset, absorbing a jump in its timing.
  void RetimeInputPacket(const InputStream& ist, int fileIndex, AVPacket* packet);
  // End of the loop: drains, checks that audio was decoded, writes the
  // trailers, reports and closes the run's codecs; sets Finished.
  void FinishTranscode(TranscodeTables& tables);
  // At the end of input: raises "no audio could be decoded from FILE" and
  // marks the outputs for removal when outputs of audio alone received not
  // one decoded sample.
  void FailWhenNothingDecoded(const TranscodeTables& tables);
  // Then: raises "no audio frame reached FILE" when an output of audio alone
  // was handed no packet of audio (samples too few for its encoder to make a
  // frame of), and records SourceAudioLength.
  void FailWhenNoAudioWritten(const TranscodeTables& tables);
  // Then records OutputChecks from the first encoded audio stream of each
  // output of audio alone (video outputs are not verified).
  void RecordOutputChecks(const TranscodeTables& tables);
  // Then logs each measured output's loudness.
  void ReportLoudness(const TranscodeTables& tables);
  // Frees the tables and BitBuffer; safe on partly built tables.
  void FreeTranscodeTables(std::unique_ptr<TranscodeTables>& tables);
  // One packet of one input stream, or the end-of-input pass when packet is
  // null. Returns -1 when the packet could not be decoded, else 0.
  int ProcessInputPacket(TranscodeTables& tables, InputStream& ist, int istIndex, AVPacket* packet);
  // Its stages. Feeds the packet (null: the drain) to ist's decoder and hands
  // out every frame; -1 when a packet could not be decoded (the failing call
  // in ist's DecodeFailure), else 0. A failed drain is logged.
  int DecodePacket(TranscodeTables& tables, InputStream& ist, int istIndex, AVPacket* packet);
  // Hands out what the decoder holds, counting frames of one packet in
  // `frames`; the decoder's negative status on a decoding error, else 0.
  // Stops between frames on a stop.
  int ReceiveDecodedFrames(TranscodeTables& tables, InputStream& ist, int istIndex,
                           const AVPacket* packet, int& frames);
  // A decoded audio frame, handed to every audio output ist feeds; advances
  // ist's NextPts by its length. Raises on a shape no real stream has.
  void OutputDecodedAudio(TranscodeTables& tables, InputStream& ist, int istIndex, AVFrame* frame);
  // The packet, retimed, to every output that copies ist, from its first key
  // packet on.
  void CopyPacketToOutputs(TranscodeTables& tables, const InputStream& ist, int istIndex,
                           const AVPacket& packet);
  // End of input: flushes the encoders of every output that ist feeds.
  void FlushStreamEncoders(TranscodeTables& tables, int istIndex);
  // The only way a packet reaches an output file. Takes the packet's data
  // (the packet is blank afterwards); raises when the muxer refuses it.
  void WritePacket(AVFormatContext* os, AVPacket* packet, OutputStream& ost);
  // Runs the packet through the stream's filters from `stage` on, then muxes.
  void WriteFiltered(AVFormatContext* os, AVPacket* packet, OutputStream& ost, size_t stage);
  // Hands one finished packet to the muxer; raises when it is refused.
  void Mux(AVFormatContext* os, AVPacket* packet, OutputStream& ost);
  // One decoded audio frame (the caller's, unchanged) for one output stream:
  // converted in bounded chunks into the stream's FIFO and encoded frame by
  // frame. Raises FFMpegException with the library's words when a
  // conversion, the FIFO or the encoder fails.
  // Only `count` samples from `offset` on when count >= 0 (a track's part).
  void EncodeAudio(AVFormatContext* os, OutputStream& ost, const AVFrame* frame, int offset = 0,
                   int count = -1);
  // End of input for one audio output: what the converter holds, the short
  // last frame (padded for encoders that take whole frames only), then the
  // encoder's delayed packets. Raises like EncodeAudio.
  void FlushAudioEncoder(AVFormatContext* os, OutputStream& ost);
  // Makes ost's converter fit the frame's shape (none when nothing changes),
  // draining the old one first.
  void FitAudioConverter(AVFormatContext* os, OutputStream& ost, const AVFrame* frame);
  // Converts `samples` samples (planes as the converter's input wants them)
  // into the FIFO; in null drains the converter.
  void ConvertIntoFifo(AVFormatContext* os, OutputStream& ost, const uint8_t* const* in,
                       int samples);
  void DrainAudioConverter(AVFormatContext* os, OutputStream& ost);
  // Encodes the FIFO's whole frames, and with `last` what is left.
  void EncodeFromFifo(AVFormatContext* os, OutputStream& ost, bool last);
  // Gives an opened MP3 encoder's stream segment encoders when
  // ThreadsPerFile and the source's length call for them.
  void StartSplitEncoding(OutputStream& ost);
  // Writes the joined packets the segment encoders have ready.
  void WriteSplitPackets(AVFormatContext* os, OutputStream& ost);
  // Logs where the segments were joined and how many frames needed a higher
  // bit rate there.
  void ReportSplitJoins(const AVFormatContext* os, const OutputStream& ost);
  // Sends one frame (null: the drain) and writes every packet returned.
  void SendAudioFrame(AVFormatContext* os, OutputStream& ost, AVFrame* frame);
  // Time of the stream's sync input, in seconds.
  double SyncInputTime(const OutputStream& ost) const;
  void ReportProgress(TranscodeTables& tables, bool last);

  // ---- Video and subtitle output, on the thread that runs the job --------
  // Set-up of a re-encoded video stream: crop, pad, PictTmp and the scaler.
  // Raises FFMpegException with the set-up's messages.
  void SetUpVideoOutput(OutputStream& ost, InputStream& ist);
  // Decides scaling for pictures of this shape and makes PictTmp and the
  // scaler it needs; also when a decoder changes the shape mid-stream.
  void SetUpPicturePath(OutputStream& ost, int width, int height, int format);
  // A picture decoded from ist, handed to every video output it feeds;
  // advances ist's NextPts by one frame. `picture` stays the caller's.
  void OutputDecodedPicture(TranscodeTables& tables, InputStream& ist, int istIndex,
                            AVFrame* picture);
  // Frame-rate conversion, crop, scale, pad and encoding of one picture.
  // Returns the bytes written for it; raises "Video encoding failed: " and
  // the failing call, the stream and the library's words.
  int EncodeVideo(AVFormatContext* os, OutputStream& ost, InputStream& ist, AVFrame* picture);
  // Its stages. Crops, scales and pads the picture as ost needs (into
  // PictTmp), following a change of its shape; false after logging a
  // picture that cannot be cropped or padded.
  bool FormatPicture(OutputStream& ost, AVFrame* picture, PictureView& formatted);
  // Sends the formatted picture `count` times; returns the bytes written.
  int SendPicture(AVFormatContext* os, OutputStream& ost, AVFrame* picture,
                  const PictureView& formatted, int count);
  // Writes every packet the encoder has ready; returns their bytes.
  int WriteVideoPackets(AVFormatContext* os, OutputStream& ost);
  // End of input for one video output: the encoder's delayed packets.
  // Raises like EncodeVideo.
  void FlushVideoEncoder(AVFormatContext* os, OutputStream& ost);
  void SetUpSubtitleOutput(OutputStream& ost, InputStream& ist);
  // Decodes one subtitle packet (null: the end-of-input pass) and encodes
  // what it gives for every output of ist. -1 when it cannot be decoded.
  int ProcessSubtitlePacket(TranscodeTables& tables, InputStream& ist, int istIndex,
                            AVPacket* packet);
  // pts is the input packet's, in ist's time base; the subtitle is the
  // caller's and comes back unchanged. Raises "Subtitle encoding failed: "
  // and the library's words when the encoder fails.
  void EncodeSubtitle(AVFormatContext* os, OutputStream& ost, InputStream& ist,
                      AVSubtitle* subtitle, int64_t pts);
  // Encoded subtitles; allocated with the first one, kept for the engine's life.
  std::vector<uint8_t> SubtitleBuffer;

 private:
  // ---- Stages of OpenInputFile and OpenOutputFile; each failure sets
  // LastError and leaves the tables as they were ----------------------------
  // The container opened (the file's name as its url) and configured from
  // the option fields; null on failure.
  MediaObjects::InputPtr OpenInputContainer(const std::string& fileName, const std::string& url);
  // Program selection, then the stream probe, bounded like a packet read.
  bool ProbeInput(AVFormatContext* input, const std::string& fileName);
  // Seeks to StartTime (consumed); the input's start timestamp. A failed
  // seek is logged and the input read from its start.
  int64_t SeekToStartTime(AVFormatContext* input, const std::string& fileName);
  // One codec context per stream, holding its parameters (TakeInputStream).
  bool MakeInputCodecs(AVFormatContext* input, const std::string& fileName,
                       std::vector<StreamCodec>& codecs);
  // The stream's decoding options and discard; its parameters flow back into
  // the option fields. Raises on a stream type it does not know.
  void TakeInputStream(AVFormatContext* input, AVStream* stream, StreamCodec& codec,
                       const std::string& fileName);
  // The output's video, audio, subtitle and cover streams, as the format,
  // the options and the opened inputs call for.
  bool AddOutputStreams(AVFormatContext* output, const std::string& fileName);
  // The description fields and the source's tags, as the output's tags.
  void DescribeOutput(AVFormatContext* output);
  // The output's hidden file created and opened (`partial` names it once
  // made), unless the muxer writes files of its own.
  bool OpenOutputTarget(AVFormatContext* output, const std::string& fileName, std::string& partial);
  // Muxing delay, preload, looping and the recorded format options.
  void ApplyMuxerOptions(AVFormatContext* output, const std::string& fileName);
  // Encoding parameters of a video stream that is not copied.
  void SetUpVideoEncoder(AVStream* stream, StreamCodec& codec, const AVCodec* encoder);
  // SetTarget's norm: the one named, else the one of FrameRate or of the
  // opened inputs' video, else fallbackNorm's (logged). Raises when
  // FrameRate is invalid.
  int TargetNorm(const std::string& norm, const std::string& fallbackNorm);

  // Frees output `file` (its file closed first), removes its hidden file and
  // frees its codec contexts, open ones under CodecLock.
  void ReleaseOutput(int file);
  // Closes input `file` and frees its codec contexts under CodecLock.
  void ReleaseInput(int file);
  // Lets go of every library object without freeing it; only for when the
  // libraries are no longer bound.
  void AbandonLibraryObjects();
  // Joins a worker that has ended its run; detaches when called from it.
  void ReleaseWorker();
  std::unique_ptr<TFFmpegThread> Worker;
};
