// The pictures that sit beside a library's audio files and players show as
// the album's (cover.jpg, folder.jpg, front.png, ...). A mirror copies them
// into the matching output folder. Pure bookkeeping.
#pragma once

#include <string>
#include <vector>

// True for a file name (no folder) of such a picture: the stems cover,
// folder, front, album, albumart, albumartsmall and thumb, any letter case,
// with .jpg, .jpeg, .png, .gif or .webp.
bool IsCompanionPicture(const std::string& name);

// The names of such pictures in a folder, sorted; empty when it cannot be
// read. Hidden files are left out.
std::vector<std::string> CompanionPicturesIn(const std::string& folder);
