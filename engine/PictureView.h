// Cropping and padding of planar YUV pictures (8 bits per sample, one luma
// and two chroma planes, or luma alone), working on plane pointers and line
// sizes so that a crop is only a view: no picture data is copied.
//
// Both need the media libraries bound (the pixel-format descriptors come from
// libavutil). Any thread; nothing is kept between calls.
#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

// Plane pointers and line sizes, laid out as in the library's frame record.
struct PictureView {
  uint8_t* data[4] = {};
  int linesize[4] = {};
};

// The planes of a frame, as a view.
inline PictureView ViewOf(const AVFrame* frame) {
  PictureView view;
  for (int p = 0; p < 4; ++p) {
    view.data[p] = frame->data[p];
    view.linesize[p] = frame->linesize[p];
  }
  return view;
}

// True for the pixel formats the two functions below handle.
bool IsCroppableFormat(AVPixelFormat format);

// Makes `view` show `source` without its first `top` rows and `left`
// columns (halved for chroma planes as the format subsamples them). The view
// shares the source's memory. False for a format it cannot handle or a
// negative band; `view` is then unchanged.
bool CropPictureView(PictureView& view, const PictureView& source, AVPixelFormat format, int top,
                     int left);

// Paints the border of the width x height picture `target` with colour
// (Y, U, V) and, when source is given, copies source into the inside, whose
// size is the picture's less the padding. Without source the inside is left
// as it is (it already holds the scaled picture). False for a format it
// cannot handle or padding larger than the picture.
bool PadPicture(const PictureView& target, const PictureView* source, int height, int width,
                AVPixelFormat format, int padTop, int padBottom, int padLeft, int padRight,
                const int colour[3]);
