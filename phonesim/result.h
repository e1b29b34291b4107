// Error values for the simulator's library boundary: every operation that can fail returns a
// Result or a Status instead of throwing, so that the command line and the tests decide what a
// failure means.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace phonesim {

struct Error {
  std::string message;
};

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}
  Result(Error error) : v_(std::move(error)) {}

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() { return std::get<0>(v_); }
  const T& value() const { return std::get<0>(v_); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const std::string& error() const { return std::get<1>(v_).message; }

 private:
  std::variant<T, Error> v_;
};

class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(Error error) : failed_(true), message_(std::move(error.message)) {}
  static Status success() { return {}; }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const std::string& error() const { return message_; }

 private:
  bool failed_ = false;
  std::string message_;
};

}  // namespace phonesim
