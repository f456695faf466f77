#include "app/Tool.h"

#include "app/Form1.h"
#include "cli/CommandLine.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

int runTool(int argc, char *argv[])
{
    // The application's title, shown on the failure message box. No display name is set: Qt would
    // append it to the window caption, which is "Form1" alone.
    QCoreApplication::setApplicationName(QStringLiteral("Mud3IPSetup"));

    // Any argument asks for the command line, which opens no window: without a QApplication it needs no display.
    if (argc > 1) {
        const QCoreApplication application(argc, argv);
        return CommandLine::run(QCoreApplication::arguments());
    }

    QApplication application(argc, argv);
    // The tool's icon on its windows and in the taskbar, from the sizes drawn for them.
    QIcon icon;
    for (const QFileInfo &png : QDir(QStringLiteral(":/icon")).entryInfoList(QDir::Files))
        icon.addFile(png.filePath());
    QApplication::setWindowIcon(icon);
    Form1 window;
    window.Form_Load();
    window.show();
    return QApplication::exec();
}
