#include "app/Form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // The application's title, shown on the failure message box. No display name is set: Qt would
    // append it to the window caption, which is "Form1" alone.
    QApplication::setApplicationName(QStringLiteral("Mud3IPSetup"));

    Form1 window;
    window.Form_Load();
    window.show();
    return QApplication::exec();
}
