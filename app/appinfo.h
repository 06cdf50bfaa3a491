#pragma once

// The application's identity, fixed when the program is built.
namespace AppInfo {

inline constexpr auto kProjectName = "Project1";
inline constexpr auto kLongName = "RS232 CF Kalvex v1.0";
inline constexpr auto kShortName = "RS Kalvex";
inline constexpr auto kVersion = "1.00";
inline constexpr auto kDesktopFileName = "rs232-kalvex";

// Hands the identity to Qt: application name and version, desktop entry and
// window icon.
void apply();

}  // namespace AppInfo
