#include "WidgetTestMain.h"

#include <cstdio>
#include <qt_windows.h>

// Windows has its own platform only.
void prepareWidgetTests()
{
}

// Under Wine, closing the test's own database connection at exit, after the window's run thread that also
// used ODBC has ended, never returns, and now and then neither does the libraries' own detaching from an
// ending process; the process ends here instead, its output flushed, without either.
int endWidgetTests(int result)
{
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), UINT(result));
    return result;
}
