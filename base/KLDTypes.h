#pragma once
#include <stdexcept>
#include <string>

namespace lorvane {

// Errors are exceptions carrying a message; a layer that adds context raises a new one whose
// message is its own prefix followed by the caught message.
struct TKLDException : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace lorvane
