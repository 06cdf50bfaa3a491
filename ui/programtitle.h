#pragma once

#include "kalvexversion.h"

// The program's title: the main window's caption begins with it, and every
// failure message box carries it. Its version comes from the project's.
inline constexpr auto kProgramTitle = KalvexVersion::kProgramTitle;
// What follows the title, after one space, in the main window's caption.
inline constexpr auto kAuthorCredit = "(c) Zespół Kalvex";
