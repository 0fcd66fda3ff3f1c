#include "converter/WorkerMessages.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <type_traits>
#include <vector>

namespace {

constexpr char Magic[4] = {'M', 'L', 'V', 'W'};
// Far above any task (a record is a few KB, an album 99 of them).
constexpr uint32_t MaxPayload = 64u << 20;

// Both directions walk the same field lists (Fields below), so that a field
// added to a record cannot be sent and forgotten on the way back.
class TWriter {
 public:
  std::string Bytes;
  template <typename T>
  std::enable_if_t<std::is_arithmetic_v<T> || std::is_enum_v<T>> operator()(const T& value) {
    Bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  void operator()(const std::string& text) {
    (*this)(static_cast<uint32_t>(text.size()));
    Bytes += text;
  }
  template <std::size_t N>
  void operator()(const char (&array)[N]) {
    (*this)(CharArrayText(array));
  }
  void operator()(const std::map<std::string, std::string>& tags) {
    (*this)(static_cast<uint32_t>(tags.size()));
    for (const auto& [key, value] : tags) {
      (*this)(key);
      (*this)(value);
    }
  }
};

class TReader {
 public:
  explicit TReader(const std::string& bytes) : FBytes(bytes) {}
  bool Ok() const { return FOk; }
  bool AtEnd() const { return FOk && FAt == FBytes.size(); }
  template <typename T>
  std::enable_if_t<std::is_arithmetic_v<T> || std::is_enum_v<T>> operator()(T& value) {
    if (!Take(sizeof value)) return;
    std::memcpy(&value, FBytes.data() + FAt - sizeof value, sizeof value);
  }
  void operator()(std::string& text) {
    uint32_t size = 0;
    (*this)(size);
    if (!Take(size)) return;
    text.assign(FBytes, FAt - size, size);
  }
  template <std::size_t N>
  void operator()(char (&array)[N]) {
    std::string text;
    (*this)(text);
    SetCharArray(array, text);
  }
  void operator()(std::map<std::string, std::string>& tags) {
    uint32_t count = 0;
    (*this)(count);
    tags.clear();
    for (uint32_t i = 0; i < count && FOk; ++i) {
      std::string key, value;
      (*this)(key);
      (*this)(value);
      tags.emplace(std::move(key), std::move(value));
    }
  }
  // A count of items, none of which is smaller than a byte.
  bool Count(uint32_t& count) {
    (*this)(count);
    if (count > FBytes.size() - FAt) FOk = false;
    return FOk;
  }

 private:
  bool Take(std::size_t size) {
    if (!FOk || size > FBytes.size() - FAt) return FOk = false;
    FAt += size;
    return true;
  }
  const std::string& FBytes;
  std::size_t FAt = 0;
  bool FOk = true;
};

// The records' field lists; R is a record or a const record.
template <typename IO, typename R>
void CutFields(IO& io, R& cut) {
  io(cut.Start);
  io(cut.End);
  io(cut.TimeBaseDen);
}

template <typename IO, typename R>
void OutputOptionFields(IO& io, R& o) {
  io(o.FileName), io(o.FileExt), io(o.OutputFormat), io(o.PacketSize), io(o.MuxRate);
  io(o.MaxDelay), io(o.Preload), io(o.AudioCodec), io(o.DisableAudio), io(o.AudioVolume);
  io(o.AudioChannels), io(o.AudioSampleRate), io(o.AudioBitrate), io(o.AudioBitrateTolerance);
  io(o.AudioLanguage), io(o.VideoCodec), io(o.DisableVideo), io(o.FrameRate), io(o.FrameSize);
  io(o.FrameAspectRatio), io(o.CropTop), io(o.CropBottom), io(o.CropLeft), io(o.CropRight);
  io(o.PadTop), io(o.PadBottom), io(o.PadLeft), io(o.PadRight), io(o.PadColor), io(o.GOPSize);
  io(o.VideoBitrate), io(o.VideoMaxRate), io(o.VideoMinRate), io(o.VideoBitrateTolerance);
  io(o.VideoBufSize), io(o.DisableSubtitle), io(o.SubtitleLanguage), io(o.CopyTimestamps);
  io(o.StartTime), io(o.Duration), io(o.Timestamp), io(o.Year), io(o.Track), io(o.Title);
  io(o.Author), io(o.Copyright), io(o.Comment), io(o.Album), io(o.Genre), io(o.TargetType);
  io(o.TargetNorm), io(o.TargetFallbackNorm), io(o.ExtraOptions), io(o.VerifyOutput);
  io(o.ReplayGain), io(o.NormalizeLufs);
}

template <typename IO, typename R>
void DescriptionFields(IO& io, R& d) {
  io(d.Path), io(d.Size), io(d.DurationMs), io(d.Tags), io(d.AudioCodec), io(d.AudioBitRate);
  io(d.SampleRate), io(d.Channels), io(d.ModifiedNs), io(d.Device), io(d.Inode);
}

template <typename IO, typename R>
void SettingsFields(IO& io, R& s) {
  io(s.LibraryFolder), io(s.VersionedLibraries), io(s.LogLevel), io(s.ProgressIntervalMs);
  io(s.EncoderBudget);
}

template <typename IO, typename R>
void ProgressFields(IO& io, R& p) {
  io(p.FrameNumber), io(p.Fps), io(p.DurationTime), io(p.Quality), io(p.BitRate);
  io(p.CurrentSize), io(p.TotalDuration);
}

template <typename IO, typename R>
void DoneFields(IO& io, R& d) {
  io(d.Result.State), io(d.Result.Reason), io(d.Finished);
}

template <typename IO, typename R>
void LogFields(IO& io, R& l) {
  io(l.OfTask), io(l.Level), io(l.Text);
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = send(fd, data, size, MSG_NOSIGNAL);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// 1 read whole, 0 clean end before the first byte, -1 cut short or failed.
int ReadAll(int fd, char* data, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = read(fd, data + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return got == 0 && n == 0 ? 0 : -1;
    got += static_cast<std::size_t>(n);
  }
  return 1;
}

template <typename R, typename F>
std::string Encode(const R& record, F fields) {
  TWriter writer;
  fields(writer, record);
  return std::move(writer.Bytes);
}

template <typename R, typename F>
bool Decode(const std::string& payload, R& record, F fields) {
  TReader reader(payload);
  fields(reader, record);
  return reader.AtEnd();
}

}  // namespace

std::string EncodeFrame(TWorkerMessageType type, const std::string& payload) {
  std::string frame(Magic, sizeof Magic);
  TWriter header;
  header(WorkerProtocolVersion);
  header(type);
  header(static_cast<uint32_t>(payload.size()));
  frame += header.Bytes;
  frame += payload;
  return frame;
}

bool DecodeFrameHeader(const char (&header)[WorkerFrameHeaderSize], TWorkerMessageType& type,
                       uint32_t& length, std::string& error) {
  if (std::memcmp(header, Magic, sizeof Magic) != 0) {
    error = "the worker program is not a Melvaro worker";
    return false;
  }
  uint16_t version = 0;
  std::memcpy(&version, header + 4, sizeof version);
  if (version != WorkerProtocolVersion) {
    error = "the worker program speaks version " + std::to_string(version) +
            " of the worker messages; this program speaks version " +
            std::to_string(WorkerProtocolVersion);
    return false;
  }
  std::memcpy(&type, header + 6, sizeof type);
  std::memcpy(&length, header + 8, sizeof length);
  if (length > MaxPayload) {
    error = "a worker message of " + std::to_string(length) + " bytes";
    return false;
  }
  return true;
}

std::string EncodeHello(int32_t pid) {
  TWriter writer;
  writer(pid);
  return writer.Bytes;
}

bool DecodeHello(const std::string& payload, int32_t& pid) {
  TReader reader(payload);
  reader(pid);
  return reader.AtEnd();
}

std::string EncodeTask(const TWorkerTask& message) {
  TWriter io;
  SettingsFields(io, message.Settings);
  const TPlannedTask& task = message.Task;
  DescriptionFields(io, task.Description);
  io(static_cast<uint32_t>(task.Description.Chapters.size()));
  for (const TInputDescription::Chapter& chapter : task.Description.Chapters) {
    CutFields(io, chapter.Cut);
    io(chapter.Title);
  }
  io(task.InputOptions.FileName), io(task.InputOptions.ForceFormat);
  io(task.InputOptions.ExtraOptions);
  io(task.LibraryRealVideoDecoders), io(task.PlanError);
  io(static_cast<uint32_t>(task.Outputs.size()));
  for (const TPlannedOutput& output : task.Outputs) {
    io(output.Path);
    OutputOptionFields(io, *output.Options);
    io(output.IsTrack);
    CutFields(io, output.Track.Cut);
    io(output.Track.Tags);
  }
  return std::move(io.Bytes);
}

bool DecodeTask(const std::string& payload, TWorkerTask& message) {
  TReader io(payload);
  SettingsFields(io, message.Settings);
  TPlannedTask& task = message.Task;
  DescriptionFields(io, task.Description);
  uint32_t count = 0;
  if (!io.Count(count)) return false;
  task.Description.Chapters.assign(count, {});
  for (TInputDescription::Chapter& chapter : task.Description.Chapters) {
    CutFields(io, chapter.Cut);
    io(chapter.Title);
  }
  io(task.InputOptions.FileName), io(task.InputOptions.ForceFormat);
  io(task.InputOptions.ExtraOptions);
  io(task.LibraryRealVideoDecoders), io(task.PlanError);
  if (!io.Count(count)) return false;
  task.Outputs.assign(count, {});
  std::shared_ptr<const TOutputOptions> last;
  for (TPlannedOutput& output : task.Outputs) {
    io(output.Path);
    TOutputOptions options;
    OutputOptionFields(io, options);
    // Equal records are shared again, as the component shares them.
    if (!last || !(*last == options)) last = std::make_shared<const TOutputOptions>(options);
    output.Options = last;
    io(output.IsTrack);
    CutFields(io, output.Track.Cut);
    io(output.Track.Tags);
  }
  return io.AtEnd();
}

std::string EncodeLog(const TWorkerLog& log) { return Encode(log, LogFields<TWriter, const TWorkerLog>); }
bool DecodeLog(const std::string& payload, TWorkerLog& log) {
  return Decode(payload, log, LogFields<TReader, TWorkerLog>);
}
std::string EncodeProgress(const TWorkerProgress& progress) {
  return Encode(progress, ProgressFields<TWriter, const TWorkerProgress>);
}
bool DecodeProgress(const std::string& payload, TWorkerProgress& progress) {
  return Decode(payload, progress, ProgressFields<TReader, TWorkerProgress>);
}
std::string EncodeDone(const TWorkerDone& done) {
  return Encode(done, DoneFields<TWriter, const TWorkerDone>);
}
bool DecodeDone(const std::string& payload, TWorkerDone& done) {
  return Decode(payload, done, DoneFields<TReader, TWorkerDone>);
}

bool WriteFrame(int fd, TWorkerMessageType type, const std::string& payload) {
  const std::string frame = EncodeFrame(type, payload);
  return WriteAll(fd, frame.data(), frame.size());
}

bool ReadFrame(int fd, TWorkerFrame& frame, std::string& errorText) {
  errorText.clear();
  char header[WorkerFrameHeaderSize];
  const int got = ReadAll(fd, header, sizeof header);
  if (got <= 0) {
    if (got < 0) errorText = "a worker message was cut short";
    return false;
  }
  uint32_t length = 0;
  if (!DecodeFrameHeader(header, frame.Type, length, errorText)) return false;
  frame.Payload.resize(length);
  if (length > 0 && ReadAll(fd, frame.Payload.data(), length) != 1) {
    errorText = "a worker message was cut short";
    return false;
  }
  return true;
}
