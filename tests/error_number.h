// ErrorNumber and ErrorOf: the HostError an action throws (number 0 when it throws none).
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

// The HostError `action` throws, or HostError(0, "") when it throws none.
template <typename F>
host::HostError ErrorOf(F&& action) {
  try {
    action();
  } catch (const host::HostError& e) {
    return e;
  }
  return host::HostError(0, "");
}

}  // namespace tessarin::testing
