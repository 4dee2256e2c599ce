// File operations of the upgrade: a copy that is checked before anyone relies
// on it, temporary names beside a target, and the atomic replacement.
// Failures throw FileError with a run-time error number and the path.
#pragma once

#include <QString>

namespace engine {

// Copies src to dst (which must not exist), flushes it to disk and reads both
// back to compare; a failed or unequal copy is removed and reported.
void copyFileChecked(const QString& src, const QString& dst);

// A name in `folder` that does not exist yet, for a temporary file of `name`.
QString temporaryPathBeside(const QString& folder, const QString& name);

// Renames from over to (atomically replacing it) and flushes the folder.
void replaceFile(const QString& from, const QString& to);

// Removes a file if it exists; never throws.
void removeQuietly(const QString& path);

// True when both files hold the same bytes.
bool sameBytes(const QString& a, const QString& b);

}  // namespace engine
