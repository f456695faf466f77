#include "platform/Console.h"

#include "platform/CodePageConversion.h"

#include <qt_windows.h>
#include <algorithm>
#include <array>

namespace {

// Where one stream goes: a console, written as UTF-16; a file, pipe or device, written as bytes; or nowhere.
struct Destination {
    HANDLE handle = nullptr;
    bool console = false;
};

struct Destinations {
    std::array<Destination, 2> streams; // output, error
    // The code page of a redirect's bytes: the console's output code page, the one that cmd's "type" and
    // PowerShell ([Console]::OutputEncoding) read a program's output with, and the one a user chooses with
    // "chcp 65001" for UTF-8. Without a console nothing declares one, and UTF-8 loses no character.
    unsigned codePage = CP_UTF8;
};

bool isConsole(HANDLE handle)
{
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

DWORD fileTypeOf(HANDLE handle)
{
    return handle == nullptr || handle == INVALID_HANDLE_VALUE ? FILE_TYPE_UNKNOWN : GetFileType(handle);
}

Destinations attachToStartingConsole()
{
    // Taken before attaching, which may put the console's handles in their place.
    const std::array<HANDLE, 2> started{GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE)};
    // Refused when the program has a console already, as Wine gives one to a GUI program that cmd starts.
    AttachConsole(ATTACH_PARENT_PROCESS);
    // Opens only where the program now has a console.
    const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
    Destinations destinations;
    if (GetConsoleOutputCP() != 0)
        destinations.codePage = GetConsoleOutputCP();
    for (size_t stream = 0; stream < started.size(); ++stream) {
        const DWORD type = fileTypeOf(started[stream]);
        // A file, a pipe, or a device that is no console (NUL) is where the starter sent the stream.
        if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE || (type == FILE_TYPE_CHAR && !isConsole(started[stream])))
            destinations.streams[stream] = {started[stream], false};
        else if (console != INVALID_HANDLE_VALUE)
            destinations.streams[stream] = {console, true};
    }
    return destinations;
}

} // namespace

void Console::write(Stream stream, const QString &text)
{
    static const Destinations destinations = attachToStartingConsole();
    const Destination &destination = destinations.streams[stream == Stream::Output ? 0 : 1];
    if (destination.handle == nullptr)
        return;

    if (destination.console) {
        // In pieces: older consoles refuse one write of more than about 64 KB.
        constexpr DWORD Piece = 8192;
        const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
        DWORD written = 0;
        for (DWORD left = DWORD(text.size()); left > 0; wide += written, left -= written) {
            if (!WriteConsoleW(destination.handle, wide, std::min(left, Piece), &written, nullptr) || written == 0)
                return;
        }
        return;
    }

    // Lines end in CR LF, as text files on Windows do. A character the code page lacks becomes its default
    // character; a code page that Windows cannot convert to (it refuses the flags) gets UTF-8.
    QString lines = text;
    lines.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    QByteArray bytes;
    CodePageConversion::encode(destinations.codePage, lines, &bytes);
    if (bytes.isEmpty())
        bytes = lines.toUtf8();
    const char *data = bytes.constData();
    DWORD written = 0;
    for (DWORD left = DWORD(bytes.size()); left > 0; data += written, left -= written) {
        if (!WriteFile(destination.handle, data, left, &written, nullptr) || written == 0)
            return;
    }
}
