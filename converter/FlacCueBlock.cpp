// The CUESHEET metadata block of a FLAC file, read from the file's metadata
// blocks as the FLAC format lays them out (FFmpeg's demuxer skips the block).
// Only the metadata at the file's start is read; every length is checked
// against the block that holds it.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "converter/CueSheet.h"

namespace {

constexpr int StreamInfoType = 0;
constexpr int CueSheetType = 5;
constexpr int CommentType = 4;
constexpr uint32_t MaxCueBlock = 1 << 20;
constexpr uint32_t MaxCommentBlock = 16 << 20;

uint32_t LittleEndian32(const uint8_t* bytes) {
  return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

uint64_t BigEndian(const uint8_t* bytes, int count) {
  uint64_t value = 0;
  for (int i = 0; i < count; ++i) value = (value << 8) | bytes[i];
  return value;
}

// Walks a CUESHEET block; false when it is shorter than its counts say.
bool TracksOfBlock(const std::vector<uint8_t>& block, int sampleRate, TCueSheet& sheet) {
  size_t at = 128 + 8 + 1 + 258;
  if (block.size() < at + 1) return false;
  const int tracks = block[at++];
  for (int t = 0; t < tracks; ++t) {
    if (block.size() < at + 36) return false;
    const uint64_t offset = BigEndian(&block[at], 8);
    const int number = block[at + 8];
    const bool audio = !(block[at + 21] & 0x80);
    const int indices = block[at + 35];
    at += 36;
    if (block.size() < at + static_cast<size_t>(indices) * 12) return false;
    int64_t start = -1;
    for (int i = 0; i < indices; ++i, at += 12)
      if (block[at + 8] == 1) start = static_cast<int64_t>(offset + BigEndian(&block[at], 8));
    // The lead-out (170 on a CD, 255 otherwise) ends the last track.
    if (number == 170 || number == 255) {
      if (!sheet.Tracks.empty()) sheet.Tracks.back().Cut.End = static_cast<int64_t>(offset);
      break;
    }
    if (!audio || start < 0) continue;
    TSheetTrack track;
    track.Number = number;
    track.Cut = {start, -1, sampleRate};
    if (!sheet.Tracks.empty()) {
      if (start <= sheet.Tracks.back().Cut.Start) return false;
      sheet.Tracks.back().Cut.End = start;
    }
    sheet.Tracks.push_back(track);
  }
  // Up to the end of the file: the lead-out is where the audio ends anyway.
  if (!sheet.Tracks.empty()) sheet.Tracks.back().Cut.End = -1;
  return true;
}

}  // namespace

TCueLookup ReadFlacCueBlock(const std::string& audioPath, TCueSheet& sheet, std::string& error) {
  std::ifstream in(audioPath, std::ios::binary);
  char magic[4] = {};
  if (!in.read(magic, 4) || std::string(magic, 4) != "fLaC") return TCueLookup::None;
  const std::string source =
      std::filesystem::path(audioPath).filename().string() + " (CUESHEET block)";
  int sampleRate = 0;
  for (bool last = false; !last;) {
    uint8_t header[4];
    if (!in.read(reinterpret_cast<char*>(header), 4)) return TCueLookup::None;
    last = header[0] & 0x80;
    const int type = header[0] & 0x7F;
    const uint32_t length = static_cast<uint32_t>(BigEndian(header + 1, 3));
    if (type == StreamInfoType && length >= 18) {
      uint8_t info[18];
      if (!in.read(reinterpret_cast<char*>(info), 18)) return TCueLookup::None;
      sampleRate = static_cast<int>(BigEndian(info + 10, 3) >> 4);
      in.seekg(length - 18, std::ios::cur);
    } else if (type == CueSheetType) {
      if (sampleRate <= 0 || length > MaxCueBlock) {
        error = source + ": the block is damaged";
        return TCueLookup::Broken;
      }
      std::vector<uint8_t> block(length);
      if (!in.read(reinterpret_cast<char*>(block.data()), length)) {
        error = source + ": the block is cut short";
        return TCueLookup::Broken;
      }
      TCueSheet made;
      made.Source = source;
      if (!TracksOfBlock(block, sampleRate, made)) {
        error = source + ": the block is damaged";
        return TCueLookup::Broken;
      }
      if (made.Tracks.empty()) return TCueLookup::None;
      sheet = std::move(made);
      return TCueLookup::Found;
    } else {
      in.seekg(length, std::ios::cur);
    }
    if (!in) return TCueLookup::None;
  }
  return TCueLookup::None;
}

bool FlacCommentsHoldCueSheet(const std::string& audioPath) {
  std::ifstream in(audioPath, std::ios::binary);
  char magic[4] = {};
  if (!in.read(magic, 4) || std::string(magic, 4) != "fLaC") return false;
  for (bool last = false; !last;) {
    uint8_t header[4];
    if (!in.read(reinterpret_cast<char*>(header), 4)) return false;
    last = header[0] & 0x80;
    const uint32_t length = static_cast<uint32_t>(BigEndian(header + 1, 3));
    if ((header[0] & 0x7F) != CommentType) {
      in.seekg(length, std::ios::cur);
      if (!in) return false;
      continue;
    }
    if (length > MaxCommentBlock) return false;
    std::vector<uint8_t> block(length);
    if (!in.read(reinterpret_cast<char*>(block.data()), length)) return false;
    // Vendor string, then the count and the comments, each behind its
    // little-endian length.
    size_t at = 0;
    const auto field = [&](size_t& size) {
      if (block.size() < at + 4) return false;
      size = LittleEndian32(&block[at]);
      at += 4;
      return block.size() - at >= size;
    };
    size_t size = 0;
    if (!field(size)) return false;
    at += size;
    if (block.size() < at + 4) return false;
    const uint32_t count = LittleEndian32(&block[at]);
    at += 4;
    static const std::string key = "CUESHEET=";
    for (uint32_t i = 0; i < count; ++i) {
      if (!field(size)) return false;
      if (size >= key.size()) {
        bool same = true;
        for (size_t k = 0; k < key.size() && same; ++k)
          same = std::toupper(block[at + k]) == static_cast<unsigned char>(key[k]);
        if (same) return true;
      }
      at += size;
    }
    return false;
  }
  return false;
}
