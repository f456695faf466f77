#include "platform/Console.h"

#include <cstdio>

// Terminals, files and pipes alike take UTF-8, the encoding of every locale a server system uses.
void Console::write(Stream stream, const QString &text)
{
    FILE *const file = stream == Stream::Output ? stdout : stderr;
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file);
    std::fflush(file);
}
