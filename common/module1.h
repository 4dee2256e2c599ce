// The shared helpers of the program's one module of free procedures.
#pragma once

#include <QString>

// The path with the platform's separator appended unless it already ends in one.
QString AddBackslash(const QString& path);
// The text before the first NUL, or all of it.
QString StripNull(const QString& text);
