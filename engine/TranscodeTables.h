// The per-run tables of one transcode: one record per input file, per input
// stream and per output stream. Built by the set-up, used by the loop and
// the output paths on the worker thread, freed by FreeTranscodeTables. Every
// library object a record owns is held by an owner, so a table that was only
// partly built is freed just as well. The codec contexts are the engine's
// (InputCodecs, OutputCodecs): no record frees a codec.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavformat/avformat.h>
#include <libavutil/fifo.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "engine/LoudnessMeter.h"
#include "engine/SampleDigest.h"
#include "engine/SampleRepair.h"
#include "engine/SplitEncoder.h"
#include "medialib/LibraryObjects.h"

struct InputFileState {
  int EofReached = 0;   // reading returned an error or the end of the file
  int FirstStream = 0;  // index of the file's first stream in the input-stream table
  int StreamCount = 0;  // streams the file had at set-up
};

// Closes a file of the C library.
struct FileClose {
  void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileClose>;

struct InputStream {
  int FileIndex = 0;
  int Index = 0;
  AVStream* Stream = nullptr;
  // The stream's codec context from the engine's InputCodecs; owned there.
  AVCodecContext* Decoder = nullptr;
  int Discard = 1;  // cleared when an output stream takes this stream as source
  int DecodingNeeded = 0;
  int64_t NextPts = AV_NOPTS_VALUE;  // microseconds
  int64_t Pts = 0;                   // microseconds

  // Audio samples per channel decoded so far: none at the end means the
  // input held nothing that could be decoded.
  int64_t DecodedSamples = 0;
  // The failing call of the last packet that could not be decoded, in the
  // library's words.
  std::string DecodeFailure;
};

struct OutputStream {
  int FileIndex = 0;
  int Index = 0;
  int SourceIndex = 0;
  AVStream* Stream = nullptr;
  // The stream's codec context from the engine's OutputCodecs; owned there.
  AVCodecContext* Encoder = nullptr;
  int EncodingNeeded = 0;
  int FrameNumber = 0;
  InputStream* SyncInput = nullptr;
  int64_t SyncOpts = 0;  // samples (audio) or frames (video) handed to the encoder

  // Where the written packets have reached, in the stream's time base: the
  // end (pts + duration) of the furthest packet. The muxer keeps no such
  // counter any more, so the writer does.
  int64_t Position = 0;
  int64_t LastDts = AV_NOPTS_VALUE;  // of the last packet handed to the muxer
  int64_t PacketsMuxed = 0;          // packets with data handed to the muxer

  // Video (filled by the picture path).
  int VideoResample = 0;
  MediaObjects::FramePtr PictTmp;
  MediaObjects::ScalerPtr ImgResampleCtx;
  int ResampleHeight = 0;
  int VideoCrop = 0, TopBand = 0, LeftBand = 0;
  int VideoPad = 0, PadTop = 0, PadBottom = 0, PadLeft = 0, PadRight = 0;
  float Quality = -1;  // lambda of the last coded picture; -1 when none is known
  // Squared error per plane (Y, U, V) of the last coded picture, from its
  // packet, when the encoder computes it.
  uint64_t PictureError[3] = {};
  // PictTmp's buffers: the encoder may hold one while PictTmp moves on to
  // another, which then comes back here instead of being allocated anew.
  MediaObjects::BufferPoolPtr PictPool;
  MediaObjects::FramePtr EncodeFrame;  // the reference handed to the encoder, reused
  // Decoded picture shape that crop, scaler and PictTmp were set up for.
  int PictureWidth = 0, PictureHeight = 0, PictureFormat = -1;

  // Audio: one converter from the decoder's shape (sample format, layout,
  // rate) straight to the encoder's, volume included; none while the two
  // agree and the volume is unchanged. Rebuilt when the decoder's shape
  // changes mid-stream, after its held samples are drained.
  MediaObjects::ResamplerPtr Converter;
  bool ConverterFitted = false;  // the shape below has been looked at
  int ConverterInFormat = -1;
  int ConverterInRate = 0;
  MediaObjects::ChannelLayout ConverterInLayout;
  // Decoded samples pass it before the converter, so that no non-finite or
  // wild value reaches the converter's filters or the encoder.
  SampleRepairer Repair;
  MediaObjects::FramePtr Converted;  // one bounded chunk of converted samples
  int ConvertedCapacity = 0;         // samples per channel Converted can hold
  // Encoder-format samples short of a whole encoder frame.
  MediaObjects::AudioFifoPtr Fifo;
  MediaObjects::FramePtr EncoderFrame;  // reused for every frame sent to the encoder
  int EncoderFrameCapacity = 0;         // samples per channel EncoderFrame can hold
  MediaObjects::PacketPtr EncodedPacket;
  bool EncoderDrained = false;
  // Segment encoders that take the stream's frames in place of Encoder,
  // which then only lends its settings.
  std::unique_ptr<SplitEncoder> Split;
  // Samples per channel handed to the encoder, padding left out, and for a
  // lossless encoder their digest: what verification expects back.
  int64_t SamplesEncoded = 0;
  SampleDigest EncoderInput;
  // Measures the encoder's input when the engine's MeasureLoudness asks.
  std::unique_ptr<LoudnessMeter> Meter;

  FilePtr LogFile;  // pass-1 statistics
  // Bitstream filters in chain order; a filter that could not be set up is
  // left out (and reported) at set-up.
  std::vector<MediaObjects::BitstreamFilterPtr> Filters;
  std::vector<std::string> FilterNames;
  std::vector<MediaObjects::PacketPtr> FilterOutputs;  // one reusable packet per filter
};

struct TranscodeTables {
  std::vector<InputFileState> Files;
  std::vector<std::unique_ptr<InputStream>> InputStreams;
  std::vector<std::unique_ptr<OutputStream>> OutputStreams;

  // Reused for every packet read, every decoded frame and every copy.
  MediaObjects::PacketPtr ReadPacket;
  MediaObjects::PacketPtr CopyPacket;
  MediaObjects::FramePtr DecodedFrame;
};
