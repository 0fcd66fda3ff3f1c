#include "rvbridge/ScaleYUV420Up.h"

#include <cstring>

void RescaleLine(const uint8_t* in, int n, int inStep, uint8_t* out, int m, int outStep) {
  if (n < 1 || m < 1) return;
  // Sizes stay below 65536, so n * 65536 and the position fit 32 bits.
  const uint32_t step = (uint32_t(n) << 16) / uint32_t(m);
  const int last = n - 1;
  uint32_t p = 0;
  for (int k = 0; k < m - 1; ++k) {
    const int i = int(p >> 16);
    const uint32_t f = p & 0xFFFF;
    const uint32_t a = in[i * inStep];
    const uint32_t b = in[(i < last ? i + 1 : last) * inStep];
    // The weight of a is 0xFFFF - f, not 0x10000 - f: kept as the decoder
    // has always rounded.
    out[k * outStep] = uint8_t((b * f + a * (0xFFFF - f) + 0x7FFF) >> 16);
    p += step;
  }
  out[(m - 1) * outStep] = in[last * inStep];
}

namespace {

struct PlaneLayout {
  int Offset[3];
  int Width[3];
  int Height[3];
};

PlaneLayout Planes(int w, int h) {
  return {{0, w * h, w * h + (w * h) / 4}, {w, w / 2, w / 2}, {h, h / 2, h / 2}};
}

// Stretches each of `lines` lines from inWidth to outWidth samples.
void RowPass(const uint8_t* in, int inWidth, uint8_t* out, int outWidth, int lines) {
  for (int y = 0; y < lines; ++y) {
    const uint8_t* line = in + y * inWidth;
    uint8_t* target = out + y * outWidth;
    if (inWidth == outWidth)
      std::memcpy(target, line, inWidth);
    else
      RescaleLine(line, inWidth, 1, target, outWidth, 1);
  }
}

// Rescales each column of a plane of `width` samples per line from inHeight
// to outHeight lines.
void ColumnPass(const uint8_t* in, int inHeight, uint8_t* out, int outHeight, int width) {
  if (inHeight == outHeight) {
    std::memcpy(out, in, size_t(width) * inHeight);
    return;
  }
  for (int x = 0; x < width; ++x) RescaleLine(in + x, inHeight, width, out + x, outHeight, width);
}

}  // namespace

void ScaleYUV420Up(uint8_t* source, int ws, int hs, uint8_t* destination, int wd, int hd) {
  const PlaneLayout from = Planes(ws, hs);
  const PlaneLayout to = Planes(wd, hd);
  if (wd > ws) {
    for (int c = 0; c < 3; ++c)
      RowPass(source + from.Offset[c], from.Width[c], destination + to.Offset[c], to.Width[c],
              from.Height[c]);
    if (hd == hs) return;
    for (int c = 0; c < 3; ++c)
      ColumnPass(destination + to.Offset[c], from.Height[c], source + to.Offset[c], to.Height[c],
                 to.Width[c]);
  } else if (wd == ws && hd > hs) {
    for (int c = 0; c < 3; ++c)
      ColumnPass(source + from.Offset[c], from.Height[c], destination + to.Offset[c], to.Height[c],
                 to.Width[c]);
  }
}
