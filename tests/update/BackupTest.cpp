// The backup folders themselves: naming, marking and pruning. What a run keeps in them is tested with the run.
#include "faults/TreeState.h"
#include "support/InstallationTree.h"
#include "model/FormValues.h"
#include "update/BackupFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray OldSettings = QByteArrayLiteral("[Settings]\r\nServerName=Before\r\n");

} // namespace

// Runs under "nobody" (see CMakeLists.txt), so that a folder it may not empty stays.
TEST(BackupFolder, PruningRemovesOnlyOldRunsOfTheToolAndKeepsTheFirstAndTheNewestTwenty)
{
    QTemporaryDir folder;
    const QString settingsPath = folder.filePath(QStringLiteral("Settings.ini"));
    const QString backups = BackupFolder::backupsFolderOf(settingsPath);
    writeBytes(settingsPath, OldSettings);
    // Folders that only look like runs, a user's notes among them, and a file on the first run's name.
    const QStringList lookAlikes{QStringLiteral("2020-01-01 00-00-00 (1)"), QStringLiteral("0000-00-00 00-00-00"),
                                 QStringLiteral("9999-12-31 23-59-59")};
    for (const QString &name : lookAlikes)
        ASSERT_TRUE(QDir().mkpath(backups + QLatin1Char('/') + name));
    writeBytes(backups + QStringLiteral("/2020-01-01 00-00-00 (1)/notes.txt"), "mine");
    writeBytes(backups + QStringLiteral("/2026-12-07 11-30-05"), "a file");

    const QDateTime second(QDate(2026, 12, 7), QTime(11, 30, 5));
    QStringList kept;
    for (int run = 1; run <= BackupFolder::KeptRuns + 3; ++run) {
        BackupFolder backup(settingsPath, FormValues(), second);
        backup.keepSettings("[Settings]\r\n");
        backup.changed();
        kept << QFileInfo(backup.folder()).fileName();
        backup.finish();
        // An old run that cannot be emptied: the runs that would remove it note so and still succeed.
        if (run == 2) {
            ASSERT_TRUE(QFile::setPermissions(backup.folder(), QFile::ReadOwner | QFile::ExeOwner));
        }
    }

    EXPECT_EQ(kept.at(0), QStringLiteral("2026-12-07 11-30-05 (2)"));
    EXPECT_EQ(kept.at(1), QStringLiteral("2026-12-07 11-30-05 (3)"));
    // The first run and the twenty newest stay; the second could not be removed; the third is gone. The
    // originals lie apart.
    QStringList expected = lookAlikes + kept.mid(3);
    expected << kept.at(0) << kept.at(1) << QStringLiteral("2026-12-07 11-30-05") << BackupFolder::OriginalsFolder;
    expected.sort();
    QStringList left = QDir(backups).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    EXPECT_EQ(left, expected);
    EXPECT_EQ(readFile(backups + QStringLiteral("/2020-01-01 00-00-00 (1)/notes.txt")), "mine");
    const std::optional<RunRecord> newest = RunRecord::readFrom(backups + QLatin1Char('/') + kept.last());
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->state, RunRecord::State::Complete);
    EXPECT_TRUE(newest->note.contains(kept.at(1))) << newest->note.toStdString();
    QFile::setPermissions(backups + QLatin1Char('/') + kept.at(1), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
