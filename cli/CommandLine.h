#pragma once

#include <QStringList>

// The tool without its window, for scripts: the same executable, given options. The fields come from
// Settings.ini beside the program, or from the file that --settings names. Opens no window, so that it
// needs no display.
namespace CommandLine {

enum ExitCode {
    Succeeded = 0,    // the run succeeded; a preview found nothing to change
    WouldChange = 1,  // a preview found something to change
    Failed = 2,       // the run failed, or a preview found that it would
    LeftAlone = 3,    // a restore left alone what changed since the run
    BadArguments = 64 // as EX_USAGE of the BSD sysexits
};

// Does what the arguments (the program first, as QCoreApplication::arguments() gives them) ask for and
// tells how it went on standard output and error.
ExitCode run(const QStringList &arguments);

} // namespace CommandLine
