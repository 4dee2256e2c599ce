// FileExists and CheckFolders: the existence test and the making of missing
// folders that the upgrade, start-up and the folder choice share.
#pragma once

#include <QString>

#include "engine/channels.h"

namespace engine {

// True when an entry (file or folder) exists at `path`; '*' and '?' make it a pattern.
bool FileExists(const QString& path, Channels& channels);

enum class PathKind { Folder, File };

// Makes every missing folder along `path` (for a file path: the folders above
// its name), with the output line "folder: <path> created" for each. False
// after a failure, which is reported as "CheckFolders"; folders made stay.
bool CheckFolders(const QString& path, PathKind kind, Channels& channels);

}  // namespace engine
