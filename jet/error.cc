#include "jet/error.h"

namespace jet {

std::string quoted(const std::string& path) { return "'" + path + "'"; }

Error fileNotFound(const std::string& path) {
  return Error(kErrFileNotFound, "Could not find file " + quoted(path) + ".");
}

Error invalidPath(const std::string& path, const std::string& why) {
  return Error(kErrInvalidPath, quoted(path) + " is not a valid path: " + why + ".");
}

Error cannotOpen(const std::string& path, const std::string& why) {
  return Error(kErrCannotOpen, "Cannot open " + quoted(path) + ": " + why + ".");
}

Error notADatabase(const std::string& path) {
  return Error(kErrNotADatabase, quoted(path) + " is not a Jet database file.");
}

Error notADatabase(const std::string& path, const std::string& why) {
  return Error(kErrNotADatabase, quoted(path) + " is not a Jet database file: " + why + ".");
}

Error damaged(const Where& where, const std::string& what) {
  std::string text = quoted(std::string(where.path)) + " is damaged: ";
  if (where.page >= 0) text += "page " + std::to_string(where.page) + ", ";
  return Error(kErrDamaged, text + what + ".");
}

Error unsupported(const std::string& path, const std::string& what) {
  return Error(kErrUnsupported, quoted(path) + " cannot be read: " + what + ".");
}

Error passwordProtected(const std::string& path) {
  return Error(kErrPassword, quoted(path) + " is protected by a database password.");
}

Error notFound(const std::string& path, const std::string& what) {
  return Error(kErrNotFound, quoted(path) + " has no " + what + ".");
}

Error writeFailed(const std::string& path, const std::string& why) {
  return Error(kErrWriteFailed, "Cannot write " + quoted(path) + ": " + why + ".");
}

Error destinationExists(const std::string& path) {
  return Error(kErrDestinationExists, "The destination " + quoted(path) + " already exists.");
}

Error renamed(const Error& e, const std::string& from, const std::string& to) {
  std::string text = e.what();
  const std::size_t at = text.find(from);
  if (from.empty() || at == std::string::npos) return e;
  text.replace(at, from.size(), to);
  return Error(e.number(), text);
}

}  // namespace jet
