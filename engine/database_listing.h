// EnumerateDatabase: the lines a click on a tree node puts into the output
// list: the file with its version, its plain tables, and their number.
#pragma once

#include <QString>
#include <functional>

#include "engine/channels.h"
#include "engine/db_engine.h"

namespace engine {

// `clearOutput` empties the output list before anything is written.
void EnumerateDatabase(const QString& path, DBEngine& engine, Channels& channels,
                       const std::function<void()>& clearOutput);

}  // namespace engine
