// jet::Error: every failure of the library, with an engine error number and a
// sentence naming the file (and page) and what is wrong. Messages are made here
// and nowhere else.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace jet {

// Error numbers, as the engine's callers know them.
enum ErrorNumber : long {
  kErrFileNotFound = 3024,
  kErrCannotOpen = 3051,
  kErrInvalidPath = 3044,
  kErrNotADatabase = 3343,
  kErrDamaged = 3049,
  kErrPassword = 3031,
  kErrDestinationExists = 3204,
  kErrUnsupported = 3343,
  kErrNotFound = 3265,   // item not found in this collection
  kErrWriteFailed = 3026,  // not enough space on disk / write failed
};

class Error : public std::runtime_error {
 public:
  Error(long number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  long number() const { return number_; }

 private:
  long number_;
};

// Where a fact was read: the file and, when known, the page. Readers carry
// one for every page and row they read, so the path is a view, not a copy:
// it names the file's own path, which outlives its readers and the errors
// made from them at once.
struct Where {
  std::string_view path;
  std::int64_t page = -1;
};

std::string quoted(const std::string& path);

Error fileNotFound(const std::string& path);
Error invalidPath(const std::string& path, const std::string& why);
Error cannotOpen(const std::string& path, const std::string& why);
Error notADatabase(const std::string& path);
Error notADatabase(const std::string& path, const std::string& why);
Error damaged(const Where& where, const std::string& what);
Error unsupported(const std::string& path, const std::string& what);
Error passwordProtected(const std::string& path);
Error notFound(const std::string& path, const std::string& what);
Error writeFailed(const std::string& path, const std::string& why);
Error destinationExists(const std::string& path);
// The same error naming `to` where it named `from` (a temporary file's users never saw).
Error renamed(const Error& e, const std::string& from, const std::string& to);

}  // namespace jet
