// ErrorNumber: the HostError number an action throws, 0 when it throws none.
#pragma once

#include <functional>

#include "core/host/host_error.h"

namespace tessarin::testing {

inline int ErrorNumber(const std::function<void()>& action) {
  try {
    action();
  } catch (const host::HostError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace tessarin::testing
