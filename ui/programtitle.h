#pragma once

// The program's title: the main window's caption begins with it, and every
// failure message box carries it.
inline constexpr auto kProgramTitle = "RS232 Kalvex v1.0";
// What follows the title, after one space, in the main window's caption.
inline constexpr auto kAuthorCredit = "(c) Zespół Kalvex";
