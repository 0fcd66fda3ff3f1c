#include "app/InputPreparer.h"

#include <exception>

#include "converter/VeltoConverter.h"

void TInputPreparer::Start(std::vector<TInputToPrepare> inputs, TCallback callback) {
  StopAndWait();
  FStopRequested = false;
  FThread = std::thread([this, inputs = std::move(inputs), callback = std::move(callback)] {
    for (std::size_t i = 0; i < inputs.size() && !FStopRequested; ++i) {
      TPreparedInput prepared;
      prepared.Position = static_cast<int>(i);
      try {
        prepared.Readable = TCustomAVConverter::DescribeInput(inputs[i].Path, &inputs[i].Options,
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
