// Enlarging a planar YUV 4:2:0 picture that the RealVideo decoder library
// delivered smaller than the stream's picture.
#pragma once

#include <cstdint>

// Resamples n samples, `inStep` bytes apart, to m samples, `outStep` bytes
// apart, by linear interpolation in 16.16 fixed point. The last output is the
// last input sample. Never reads past the n-th sample: where the position
// falls on the last sample, that sample is its own neighbour. n and m below
// 65536; nothing is written when either is 0.
void RescaleLine(const uint8_t* in, int n, int inStep, uint8_t* out, int m, int outStep);

// A buffer of width W and height H holds the Y plane (W x H) at 0, the U plane
// (W/2 x H/2) at W*H and the V plane (W/2 x H/2) at W*H + (W*H)/4, each line
// as long as its plane is wide.
//
// Enlarges the picture in `source` (ws x hs) to wd x hd. Handles wd > ws (any
// hd >= hs) and wd == ws with hd > hs; the caller refuses anything else. Both
// buffers must hold a picture of the destination size. The result is in
// `destination` when the widths or the heights are equal, and back in `source`
// when both differ (the row pass writes the destination, the column pass then
// writes the source).
void ScaleYUV420Up(uint8_t* source, int ws, int hs, uint8_t* destination, int wd, int hd);
