#pragma once

#include <windows.h>

#include "logging/log.h"

namespace tasks {

// One step of a scheduler sequence: a failed HRESULT logs the step's code
// with the thread's last system error number.
inline bool StepFailed(HRESULT result, logging::MessageCode code) {
  if (FAILED(result)) {
    logging::LogLastError(code);
    return true;
  }
  return false;
}

// A step whose failure is only logged; the sequence carries on.
inline void LogIfFailed(HRESULT result, logging::MessageCode code) { StepFailed(result, code); }

}  // namespace tasks
