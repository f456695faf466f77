#include <QCoreApplication>
#include <gtest/gtest.h>

// The tests talk D-Bus and run processes, which need an application object; they show no window of
// their own and need no display, also when the test list is gathered at build time.
int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
