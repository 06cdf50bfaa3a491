#include "callerconsole.h"

// A program started from a terminal has its standard streams already.
namespace CallerConsole {

void attach() {}
void detach() {}

void write(std::FILE *stream, const QString &text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

}  // namespace CallerConsole
