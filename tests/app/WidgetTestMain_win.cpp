#include "WidgetTestMain.h"

#include <cstdio>
#include <cstdlib>

// Windows has its own platform only.
void prepareWidgetTests()
{
}

// Under Wine, closing the test's own database connection at exit, after the window's run thread that also
// used ODBC has ended, never returns; the process ends here instead, its output flushed.
int endWidgetTests(int result)
{
    std::fflush(nullptr);
    std::_Exit(result);
}
