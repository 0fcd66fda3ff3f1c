#include "engine/ConverterChoices.h"

#include "engine/LibraryError.h"
#include "medialib/SwResampleHlpr.h"

bool ChooseChannelMatrix(SwrContext* converter, const AVChannelLayout& in,
                         const AVChannelLayout& out, double volume, const std::string& where) {
  if (in.nb_channels != 1 || out.nb_channels != 2) return false;
  // One input column per output row.
  const double matrix[2] = {volume, volume};
  const int result = SWR.swr_set_matrix(converter, matrix, 1);
  if (result < 0) RaiseLibraryError("swr_set_matrix", result, where);
  return true;
}
