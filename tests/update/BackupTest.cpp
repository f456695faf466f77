// The backup folders themselves; what a run keeps in them is tested with the run.
#include "faults/TreeState.h"
#include "update/BackupFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray OldSettings = QByteArrayLiteral("[Settings]\r\nServerName=Before\r\n");

} // namespace

TEST(BackupFolder, RunsStartedInTheSameSecondGetTheirOwnFoldersAndTheOldestGoFirst)
{
    QTemporaryDir folder;
    const QString settingsPath = folder.filePath(QStringLiteral("Settings.ini"));
    writeBytes(settingsPath, OldSettings);
    const QDateTime second(QDate(2026, 12, 7), QTime(11, 30, 5));
    QStringList kept;
    for (int run = 1; run <= BackupFolder::KeptFolders + 2; ++run) {
        BackupFolder backup(settingsPath, second);
        backup.keepSettings();
        kept << QFileInfo(backup.folder()).fileName();
        backup.finish();
    }
    EXPECT_EQ(kept.at(0), QStringLiteral("2026-12-07 11-30-05"));
    EXPECT_EQ(kept.at(1), QStringLiteral("2026-12-07 11-30-05 (2)"));
    EXPECT_EQ(kept.at(21), QStringLiteral("2026-12-07 11-30-05 (22)"));
    // The two oldest are gone: a tenth run of a second is newer than its second.
    QStringList expected = kept.mid(2);
    expected.sort();
    QStringList left = QDir(BackupFolder::backupsFolderOf(settingsPath)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    left.sort();
    EXPECT_EQ(left, expected);
}
