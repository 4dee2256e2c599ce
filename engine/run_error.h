// currentRunError: the exception being handled, as the error a procedure's
// handler reports (call it inside a catch block).
#pragma once

#include "engine/channels.h"

namespace engine {

RunError currentRunError();

// Well-known run-time error numbers.
inline constexpr long kErrOverflow = 6;
inline constexpr long kErrOutOfMemory = 7;
inline constexpr long kErrFileNotFound = 53;
inline constexpr long kErrFileExists = 58;
inline constexpr long kErrDiskFull = 61;
inline constexpr long kErrPermissionDenied = 70;
inline constexpr long kErrPathFileAccess = 75;
inline constexpr long kErrPathNotFound = 76;

// Thrown by file operations of the upgrade and folder making.
class FileError : public std::runtime_error {
 public:
  FileError(long number, const QString& description)
      : std::runtime_error(description.toStdString()), number_(number) {}
  long number() const { return number_; }

 private:
  long number_;
};

// The run-time error number for an errno value.
long errnoToRunError(int err);

}  // namespace engine
