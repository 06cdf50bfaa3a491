#pragma once

// Lets Windows' installer and uninstaller of the console see that it runs,
// so that they neither replace nor remove its files until it is closed
// (packaging/windows/installer.nsi): a named mutex in the global namespace,
// which every console holds, whichever session runs it, until its process
// ends, however it ends. Elsewhere nothing.
namespace RunningMark {

// The mutex's name; the installer's script opens it by the same.
inline constexpr auto kName = "Global\\RS232KalvexConsoleRunning";

// From now on until the process ends.
void set();

}  // namespace RunningMark
