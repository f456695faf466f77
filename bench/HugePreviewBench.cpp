// Times the preview of a target whose file has grown to 200,000 lines, from the press to the dialog shown
// (offscreen), with the peak memory of the process. The database named by MUD3_PG_PORT is reached as a
// preview always does, though no table is ticked.
#include "app/PreviewDialog.h"
#include "model/FormValues.h"
#include "preview/Preview.h"
#include "support/StandInDialects.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (qEnvironmentVariable("MUD3_PG_PORT").isEmpty())
        qFatal("MUD3_PG_PORT names no database");
    useServerDialect(StandInDialects::postgreSQL());

    constexpr int Lines = 200000;
    constexpr int Target = TargetCount - 1;
    QTemporaryDir tree;
    const QString path = tree.path() + QLatin1Char('/') + targetCaption(Target).replace(QLatin1Char('\\'), QLatin1Char('/'));
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot create the target file");
    for (int line = 0; line < Lines; ++line)
        file.write(QByteArray("WearAdd") + QByteArray::number(line) + "=0,0,0,0,0,0,0\r\n");
    file.close();

    FormValues form;
    form.setFieldText(Field::txtSQLIP, QStringLiteral("127.0.0.1,") + qEnvironmentVariable("MUD3_PG_PORT"));
    form.setFieldText(Field::txtMud3Path, tree.path() + QLatin1Char('\\'));
    for (int target = 0; target < TargetCount; ++target)
        form.setTicked(target, target == Target);

    QElapsedTimer timer;
    timer.start();
    const Preview::RunPreview preview = Preview::previewRun(form, tree.path() + QStringLiteral("/Settings.ini"));
    PreviewDialog dialog(preview);
    dialog.show();
    QCoreApplication::processEvents();
    const double milliseconds = timer.nsecsElapsed() / 1e6;

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("  preview of a %d-line target, dialog shown     %8.2f ms   peak memory %ld KiB (%s)\n", Lines, milliseconds,
                usage.ru_maxrss, qPrintable(preview.targets.front().heading()));
    return 0;
}
