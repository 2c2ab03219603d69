// The one kind of failure orv-render reports: a message for the user, one line.
#pragma once

#include <stdexcept>
#include <string>

namespace orv::render {

struct Error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A command line that cannot be run; exits with status 2 instead of 1.
struct UsageError : Error {
  using Error::Error;
};

}  // namespace orv::render
