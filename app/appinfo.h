#pragma once

#include "kalvexversion.h"

// The application's identity, fixed when the program is built. The version
// and the names that carry it come from the project's version in CMake.
namespace AppInfo {

inline constexpr auto kProjectName = "Project1";
inline constexpr auto kLongName = KalvexVersion::kLongName;
inline constexpr auto kShortName = KalvexVersion::kShortName;
inline constexpr auto kVersion = KalvexVersion::kRecord;
inline constexpr auto kDesktopFileName = "rs232-kalvex";

// Hands the identity to Qt: application name and version, desktop entry and
// window icon.
void apply();

}  // namespace AppInfo
