#pragma once

#include <QString>

#include <cstdio>

// On Windows a program with windows starts without a console: what it
// writes to standard output and error before its window shows (--help,
// --version, a --log that cannot be written) would be lost, or shown by Qt
// in a message box. Started from a console (cmd, PowerShell), it writes there
// instead, until detach(); output redirected to a file or a pipe stays where
// it was sent. Elsewhere both do nothing.
namespace CallerConsole {

// Joins the console of the program that started this one, when there is
// one; standard output and error go there unless they were redirected.
void attach();

// Leaves that console again, so that closing it does not end the window.
void detach();

// Writes text to stream (stdout or stderr) whole, whatever its letters: on
// Windows as UTF-16 to a console, which shows its own code page otherwise,
// and as UTF-8 to a file or a pipe; elsewhere in the locale's encoding.
void write(std::FILE *stream, const QString &text);

}  // namespace CallerConsole
