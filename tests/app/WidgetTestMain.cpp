#include <QApplication>
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
    return RUN_ALL_TESTS();
}
