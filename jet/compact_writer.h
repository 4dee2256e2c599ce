// Copies everything a source database holds into a DatabaseWriter: tables
// with their rows (streamed), definitions and properties, Access's own
// tables, the other catalog objects, queries, relationships and the
// database properties. The source may be of any version the reader opens.
#pragma once

#include "jet/database.h"
#include "jet/database_writer.h"

namespace jet {

// Adapts a column of an older version to Jet 4 (text lengths in bytes,
// compressed Unicode allowed as Access 2000 sets it for new text columns).
Column jet4Column(const Column& source, JetVersion from);

// Throws jet::Error (from the reader or the writer) naming the table at fault.
void copyDatabase(const Database& source, DatabaseWriter& target);

}  // namespace jet
