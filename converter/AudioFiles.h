// Which files the programs take as audio: the window's open dialog offers
// them, and a folder given to either program contributes them.
#pragma once

#include <string>

// The audio patterns, "*.wav;*.au;...", as the open dialog lists them.
extern const char* const AudioFilePatterns;

// True when the file name's extension (from its last dot) is one of
// AudioFilePatterns', in any letter case.
bool IsAudioFileName(const std::string& fileName);
