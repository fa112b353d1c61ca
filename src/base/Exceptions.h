#pragma once
// The program's error types. An error raised inside an event handler ends
// that handler and reaches the application's default error handler, which
// shows its message; browser calls raise EOleSysError, which the handlers
// that expect it catch and log as "-EOleSys".
#include <cstdint>
#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// A failing COM call; Code is the HRESULT.
class EOleSysError : public Exception {
 public:
  EOleSysError(const std::string& message, int32_t code) : Exception(message), code_(code) {}
  int32_t Code() const { return code_; }

 private:
  int32_t code_;
};

// A file that cannot be created (list save).
class EFCreateError : public Exception {
 public:
  using Exception::Exception;
};

// An index outside a list.
class EListError : public Exception {
 public:
  using Exception::Exception;
};
