// Where settings routines and other parts of a camera report their error codes.
#pragma once

namespace zirvo {

class ErrorRecorder {
 public:
  virtual void RecordError(int code) = 0;

 protected:
  ~ErrorRecorder() = default;
};

}  // namespace zirvo
