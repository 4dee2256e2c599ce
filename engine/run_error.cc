#include "engine/run_error.h"

#include <cerrno>
#include <exception>
#include <new>

#include "engine/engine_error.h"
#include "jet/error.h"

namespace engine {

RunError currentRunError() {
  try {
    throw;
  } catch (const EngineError& e) {
    return {e.number(), QString::fromStdString(e.description())};
  } catch (const jet::Error& e) {
    return {e.number(), QString::fromStdString(e.what())};
  } catch (const FileError& e) {
    return {e.number(), QString::fromStdString(e.what())};
  } catch (const std::bad_alloc&) {
    return {kErrOutOfMemory, "Out of memory"};
  } catch (const std::exception& e) {
    return {kErrPathFileAccess, QString::fromStdString(e.what())};
  } catch (...) {
    return {kErrPathFileAccess, "Unknown failure"};
  }
}

long errnoToRunError(int err) {
  switch (err) {
    case ENOENT: return kErrFileNotFound;
    case ENOTDIR: return kErrPathNotFound;
    case EEXIST: return kErrFileExists;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return kErrDiskFull;
    case EACCES:
    case EPERM:
    case EROFS: return kErrPermissionDenied;
    default: return kErrPathFileAccess;
  }
}

}  // namespace engine
