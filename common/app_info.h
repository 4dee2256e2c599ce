// The application's title and version, and the two texts made from them:
// the window caption (revision padded to three digits) and the version box.
#pragma once

#include <QString>

inline constexpr char kAppTitle[] = "Jetlift";
inline constexpr int kAppMajor = 1;
inline constexpr int kAppMinor = 0;
inline constexpr int kAppRevision = 6;

// "Jetlift ver 1.0.006 Jet ver: 4.0"; a revision of four or more digits is not cut.
QString windowCaption(const QString& engineVersion, int revision = kAppRevision);
// "Jetlift ver 1.0.6": every number in plain decimal.
QString versionBoxText(int revision = kAppRevision);
