#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

// The widget tests need an application object; offscreen unless told otherwise, so that they run
// without a display and lay out at 96 dpi, also when the test list is gathered at build time. Windows has
// its own platform only.
int main(int argc, char *argv[])
{
#ifndef Q_OS_WIN
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
#ifdef Q_OS_WIN
    // Under Wine, closing the test's own database connection at exit, after the window's run thread that also
    // used ODBC has ended, never returns; the process ends here instead, its output flushed.
    std::fflush(nullptr);
    std::_Exit(result);
#endif
    return result;
}
