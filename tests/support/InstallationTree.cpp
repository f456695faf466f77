#include "support/InstallationTree.h"

#include "platform/ProgramPath.h"
#include "support/TestDatabase.h"
#include "update/BackupFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

InstallationTree::InstallationTree(const QString &folderName)
    : m_root(folderName.isEmpty() ? m_folder.path() : m_folder.filePath(folderName))
{
    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        const QString path = filePath(target);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(oldContent(target)) < 0)
            ADD_FAILURE() << "cannot create " << path.toStdString();
    }
}

QString InstallationTree::mud3Path() const
{
    return m_root + QLatin1Char('\\');
}

QString InstallationTree::filePath(int target) const
{
    return QDir::toNativeSeparators(fileSystemPath(mud3Path() + targetCaption(target)));
}

QByteArray InstallationTree::read(int target) const
{
    return readFile(filePath(target));
}

QByteArray InstallationTree::oldContent(int target)
{
    return QByteArrayLiteral("old content of target ") + QByteArray::number(target) + QByteArrayLiteral("\r\n");
}

QString InstallationTree::settingsPath() const
{
    return m_folder.path() + QStringLiteral("/Settings.ini");
}

void pointAtTestSystem(FormValues &form, const InstallationTree &tree)
{
    form.setFieldText(Field::txtSQLIP, TestDatabase::sqlAddress());
    form.setFieldText(Field::txtSQLPass, TestDatabase::password());
    form.setFieldText(Field::txtMud3Path, tree.mud3Path());
}

RunOutcome runUpdateOnLoopback(Form &form, Module1 &module, const QString &settingsPath)
{
    const QString address = form.fieldText(Field::txtSQLIP).trimmed();
    const bool loopback = address.startsWith(QStringLiteral("127.")) || address.startsWith(QStringLiteral("::1"));
    if (!loopback) {
        ADD_FAILURE() << "refusing to start an update run against " << address.toStdString();
        return {false, QStringLiteral("not run"), QStringLiteral("non-loopback SQL address")};
    }
    BackupFolder backup(settingsPath, form);
    return runUpdate(form, module, settingsPath, backup);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("<missing>");
    return file.readAll();
}

std::string firstDifferentLine(const QByteArray &written, const QByteArray &expected)
{
    const QList<QByteArray> got = written.split('\n');
    const QList<QByteArray> want = expected.split('\n');
    for (qsizetype i = 0; i < std::max(got.size(), want.size()); ++i) {
        if (got.value(i) != want.value(i))
            return "line " + std::to_string(i + 1) + ": expected " + testing::PrintToString(want.value(i)) + ", written "
                + testing::PrintToString(got.value(i));
    }
    return {};
}

