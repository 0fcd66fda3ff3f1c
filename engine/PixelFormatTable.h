// The pixel-format table that SetPixelFormat("list") writes to the log.
#pragma once

#include <string>

// How many formats the table lists after its heading.
constexpr int PixelFormatTableRows = 40;

// Line pixFmt of the table, without trailing blanks: -1 gives the heading,
// 0.. a format's name, component count, component depth in bits and whether
// it carries alpha.
std::string PixelFormatTableLine(int pixFmt);
