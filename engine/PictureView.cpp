#include "engine/PictureView.h"

#include <algorithm>
#include <cstring>

#include "medialib/AVUtilHlpr.h"

namespace {

// Planar, 8-bit, one sample per byte, plane i holding component i; gray has
// its luma plane only.
const AVPixFmtDescriptor* PlanarYuv8(AVPixelFormat format) {
  const AVPixFmtDescriptor* desc = AVU.av_pix_fmt_desc_get(format);
  if (!desc) return nullptr;
  if (desc->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL |
                     AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_ALPHA))
    return nullptr;
  if (desc->nb_components != 1 && desc->nb_components != 3) return nullptr;
  if (desc->nb_components == 3 && !(desc->flags & AV_PIX_FMT_FLAG_PLANAR)) return nullptr;
  for (int c = 0; c < desc->nb_components; ++c) {
    const AVComponentDescriptor& comp = desc->comp[c];
    if (comp.plane != c || comp.step != 1 || comp.depth > 8 || comp.offset != 0 || comp.shift != 0)
      return nullptr;
  }
  return desc;
}

int CeilShift(int value, int shift) { return -((-value) >> shift); }

}  // namespace

bool IsCroppableFormat(AVPixelFormat format) { return PlanarYuv8(format) != nullptr; }

bool CropPictureView(PictureView& view, const PictureView& source, AVPixelFormat format, int top,
                     int left) {
  const AVPixFmtDescriptor* desc = PlanarYuv8(format);
  if (!desc || top < 0 || left < 0) return false;
  PictureView result;
  for (int p = 0; p < desc->nb_components; ++p) {
    const int xShift = p ? desc->log2_chroma_w : 0;
    const int yShift = p ? desc->log2_chroma_h : 0;
    result.data[p] = source.data[p] + static_cast<ptrdiff_t>(top >> yShift) * source.linesize[p] +
                     (left >> xShift);
    result.linesize[p] = source.linesize[p];
  }
  view = result;
  return true;
}

bool PadPicture(const PictureView& target, const PictureView* source, int height, int width,
                AVPixelFormat format, int padTop, int padBottom, int padLeft, int padRight,
                const int colour[3]) {
  const AVPixFmtDescriptor* desc = PlanarYuv8(format);
  if (!desc || padTop < 0 || padBottom < 0 || padLeft < 0 || padRight < 0) return false;
  const int innerWidth = width - padLeft - padRight;
  const int innerHeight = height - padTop - padBottom;
  if (innerWidth < 0 || innerHeight < 0) return false;

  for (int p = 0; p < desc->nb_components; ++p) {
    const int xShift = p ? desc->log2_chroma_w : 0;
    const int yShift = p ? desc->log2_chroma_h : 0;
    const int planeWidth = CeilShift(width, xShift);
    const int planeHeight = CeilShift(height, yShift);
    const int left = std::min(padLeft >> xShift, planeWidth);
    const int inside = std::min(CeilShift(innerWidth, xShift), planeWidth - left);
    const int right = planeWidth - left - inside;
    const int topRows = std::min(padTop >> yShift, planeHeight);
    const int insideRows = std::min(CeilShift(innerHeight, yShift), planeHeight - topRows);
    const uint8_t fill = static_cast<uint8_t>(std::clamp(colour[p], 0, 255));
    const ptrdiff_t stride = target.linesize[p];

    uint8_t* row = target.data[p];
    for (int y = 0; y < planeHeight; ++y, row += stride) {
      if (y < topRows || y >= topRows + insideRows) {
        std::memset(row, fill, planeWidth);
        continue;
      }
      if (left) std::memset(row, fill, left);
      if (right) std::memset(row + left + inside, fill, right);
      if (source)
        std::memcpy(row + left,
                    source->data[p] + static_cast<ptrdiff_t>(y - topRows) * source->linesize[p],
                    inside);
    }
  }
  return true;
}
