#include "engine/PixelFormatTable.h"

#include <cstdio>

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "medialib/AVUtilHlpr.h"

std::string PixelFormatTableLine(int pixFmt) {
  char line[128];
  if (pixFmt < 0) {
    std::snprintf(line, sizeof line, "name       nb_channels depth is_alpha");
  } else {
    const AVPixFmtDescriptor* desc = AVU.av_pix_fmt_desc_get(static_cast<AVPixelFormat>(pixFmt));
    if (!desc) return {};
    const int depth = desc->nb_components > 0 ? desc->comp[0].depth : 0;
    std::snprintf(line, sizeof line, "%-10s      %1d        %2d      %c", desc->name,
                  desc->nb_components, depth, (desc->flags & AV_PIX_FMT_FLAG_ALPHA) ? 'y' : 'n');
  }
  std::string text = line;
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}
