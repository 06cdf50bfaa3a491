#pragma once

// The designs name "MS Sans Serif", a bitmap font that other systems lack.
// Installs metric-close free faces in its place; call before any window is
// created. Where the font exists it is still used first.
void installFontFallbacks();
