#pragma once

#include <QString>

// Standard output and standard error of the command line. On Windows the tool is a GUI program, which
// gets no console of its own: the first write joins the console of the program that started it (cmd,
// PowerShell), and a stream that was redirected to a file or pipe stays redirected. Text reaches a console
// as Unicode, whatever its code page. A file or pipe gets UTF-8 on Linux; on Windows the console's output
// code page (UTF-8 when there is no console), lines ending in CR LF.
namespace Console {

enum class Stream { Output, Error };

// Writes text as it is; lines end in "\n". Text that cannot be written (no console, a closed pipe) is lost:
// the exit code still tells the outcome.
void write(Stream stream, const QString &text);

} // namespace Console
