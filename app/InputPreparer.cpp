#include "app/InputPreparer.h"

#include <exception>

#include "converter/OutputPresets.h"
#include "converter/VeltoConverter.h"

void TInputPreparer::Start(std::vector<std::string> paths, TCallback callback, TFirst first) {
  StopAndWait();
  FStopRequested = false;
  FThread = std::thread([this, paths = std::move(paths), callback = std::move(callback),
                         first = std::move(first)] {
    if (first) first(paths, FStopRequested);
    for (std::size_t i = 0; i < paths.size() && !FStopRequested; ++i) {
      TPreparedInput prepared;
      prepared.Position = static_cast<int>(i);
      try {
        const TInputOptions options = InputOptionsFor(paths[i]);
        prepared.Readable = TCustomAVConverter::DescribeInput(paths[i], &options,
                                                              prepared.Description, prepared.Error);
      } catch (const std::exception& error) {
        // Nothing may leave the thread; the row shows why.
        prepared.Readable = false;
        prepared.Error = error.what();
      }
      callback(std::move(prepared));
    }
    callback(TPreparedInput{});
  });
}

void TInputPreparer::StopAndWait() {
  Stop();
  if (FThread.joinable()) FThread.join();
}
