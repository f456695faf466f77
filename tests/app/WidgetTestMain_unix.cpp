#include "WidgetTestMain.h"

#include <QtGlobal>

// Offscreen unless told otherwise, so that the tests run without a display and lay out at 96 dpi, also when
// the test list is gathered at build time.
void prepareWidgetTests()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

int endWidgetTests(int result)
{
    return result;
}
