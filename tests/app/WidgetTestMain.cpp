#include "WidgetTestMain.h"

#include <QApplication>
#include <gtest/gtest.h>

// The widget tests need an application object.
int main(int argc, char *argv[])
{
    prepareWidgetTests();
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return endWidgetTests(RUN_ALL_TESTS());
}
