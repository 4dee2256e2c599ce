// GetVersion: the Jet version text of one file, or "error" when the engine
// cannot open it (the failure is reported once through ClassError).
#pragma once

#include <QString>

#include "engine/channels.h"
#include "engine/db_engine.h"

namespace engine {

QString GetVersion(const QString& path, DBEngine& engine, Channels& channels);

// The numeric value of the leading decimal number of a version text ("2.0" -> 2,
// "error" -> 0): what the auto-check and upgrade decisions compare.
double leadingNumber(const QString& text);
// The integer part of that value.
long versionMajor(const QString& text);

}  // namespace engine
