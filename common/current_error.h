// CurrentError: the error that sent a procedure to its handler, as the handler
// hands it to ClassError or ModuleError. RuntimeError is the exception our own
// code throws for it (file access, a missing control array element, ...).
#pragma once

#include <QString>
#include <new>
#include <stdexcept>
#include <type_traits>

struct CurrentError {
  long number = 0;
  QString description;
};

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(long number, const QString& description)
      : std::runtime_error(description.toStdString()), number_(number) {}
  long number() const { return number_; }
  QString description() const { return QString::fromStdString(what()); }

 private:
  long number_;
};

// Numbers the program's run-time errors use where the platform has a known one.
inline constexpr long kErrOverflow = 6;
inline constexpr long kErrOutOfMemory = 7;
inline constexpr long kErrInternal = 51;
inline constexpr long kErrPermissionDenied = 70;
inline constexpr long kErrFileAccess = 75;
inline constexpr long kErrPathNotFound = 76;

// Any error that knows its number (engine::EngineError, jet::Error, RuntimeError);
// the description comes from description() where there is one, else from what().
template <class E>
requires requires(const E& e) { e.number(); }
CurrentError currentErrorOf(const E& e) {
  if constexpr (requires { e.description(); }) {
    const auto d = e.description();
    if constexpr (std::is_same_v<std::decay_t<decltype(d)>, QString>) {
      return {static_cast<long>(e.number()), d};
    } else {
      return {static_cast<long>(e.number()), QString::fromStdString(d)};
    }
  } else {
    return {static_cast<long>(e.number()), QString::fromStdString(e.what())};
  }
}

// A standard exception without a number: out of memory, or an internal error.
inline CurrentError currentErrorOf(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) return {kErrOutOfMemory, "Out of memory"};
  return {kErrInternal, QString::fromStdString(e.what())};
}
