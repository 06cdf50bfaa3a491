#include "fontfallback.h"

#include <QFont>
#include <QStringList>

void installFontFallbacks() {
    // Liberation Sans and Arimo share Arial's metrics, which at the designs'
    // pixel sizes come closest to the bitmap font's widths; the rest keep the
    // captions sans-serif where neither is installed.
    QFont::insertSubstitutions(
        QStringLiteral("MS Sans Serif"),
        {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial"),
         QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")});
}
