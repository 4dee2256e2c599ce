// EngineError: a run-time error with a number and a description, as the
// window's error handlers expect (numbers follow the engine's well-known ones).
#pragma once

#include <stdexcept>
#include <string>

namespace engine {

class EngineError : public std::runtime_error {
 public:
  EngineError(long number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  long number() const { return number_; }
  std::string description() const { return what(); }

 private:
  long number_;
};

}  // namespace engine
