#include "TreeState.h"

#include "model/FormValues.h"
#include "support/TemplateText.h"
#include "update/FileTarget.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>

QByteArray completeContent(const FieldSource &fields, int target)
{
    return FileTarget::content(target, fields);
}

int firstTargetUsing(Field field)
{
    FormValues probe;
    const QString marker = QStringLiteral("<probe-marker>");
    probe.setFieldText(field, marker);
    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        for (const QString &line : textOf(lineProducerOf(target)(probe))) {
            if (line.contains(marker))
                return target;
        }
    }
    return -1;
}

QString failureMessageAt(int target)
{
    QString message = QStringLiteral("Error Reading Data") + targetCaption(target);
    if (target == FirstFileTarget)
        message += QStringLiteral("Cannot be Found, Check Mud 3 Path");
    return message;
}

QStringList filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator entries(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    const QDir root(folder);
    while (entries.hasNext()) {
        const QString file = root.relativeFilePath(entries.next());
        if (!file.startsWith(QStringLiteral("Backups/")))
            files << file;
    }
    files.sort();
    return files;
}

QStringList targetFiles(bool withSettings)
{
    QStringList files;
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        files << QString(targetCaption(target)).replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (withSettings)
        files << QStringLiteral("Settings.ini");
    files.sort();
    return files;
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() || !file.flush())
        ADD_FAILURE() << "cannot write " << path.toStdString() << ": " << file.errorString().toStdString();
}
