// Backups that someone else could have steered: what another user could have put there, or a folder of a
// run's name elsewhere, is neither listed, nor counted by a run, nor restored.
#include "faults/TreeState.h"
#include "platform/Failure.h"
#include "restore/Restore.h"
#include "support/InstallationTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Steering {
    OthersMayWrite,     // group and others get write permission
    OthersOwn,          // another user's
    OthersLink,         // replaced by another user's link to it
    InTheCurrentFolder, // moved out of Backups into the current folder, so that only ./NAME holds it
};

// Every file target as the run left it.
QByteArrayList files(const InstallationTree &tree)
{
    QByteArrayList contents;
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        contents.append(tree.read(target));
    return contents;
}

} // namespace

TEST(PrivateBackups, WhatSomeoneElseCouldHavePutThereIsNeitherListedNorCountedNorRestored)
{
    struct Case {
        const char *what;
        const char *path; // below the settings' folder, "{run}" standing for the kept run's name
        Steering steering;
        bool listAndRunFail;
    };
    const Case cases[] = {
        {"Backups writable by others", "Backups", Steering::OthersMayWrite, true},
        {"Backups of another user", "Backups", Steering::OthersOwn, true},
        {"Backups a link of another user", "Backups", Steering::OthersLink, true},
        {"a run folder writable by others", "Backups/{run}", Steering::OthersMayWrite, true},
        {"a record of another user", "Backups/{run}/run.json", Steering::OthersOwn, true},
        {"a copy writable by others", "Backups/{run}/Setup/Plus_Setup.ini", Steering::OthersMayWrite, false},
        {"a run only in the current folder", "Backups/{run}", Steering::InTheCurrentFolder, false},
    };
    const struct passwd *nobody = ::getpwnam("nobody");
    ASSERT_TRUE(nobody);
    const QString startFolder = QDir::currentPath();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (::geteuid() != 0 && (c.steering == Steering::OthersOwn || c.steering == Steering::OthersLink))
            continue; // only root can give a file away
        InstallationTree tree;
        FormValues form;
        pointAtTestSystem(form, tree);
        for (int target = 0; target < FirstFileTarget; ++target)
            form.setTicked(target, false);
        Module1 module;
        ASSERT_TRUE(runUpdateOnLoopback(form, module, tree.settingsPath()).succeeded);
        const QString run = QFileInfo(Restore::keptRuns(tree.settingsPath()).front().folder).fileName();
        const QString path = QFileInfo(tree.settingsPath()).absolutePath() + QLatin1Char('/') + QString::fromLatin1(c.path).replace(QStringLiteral("{run}"), run);
        const QByteArray name = QFile::encodeName(path);
        struct stat status {};
        ASSERT_EQ(::lstat(name.constData(), &status), 0);
        QTemporaryDir current;
        switch (c.steering) {
        case Steering::OthersMayWrite:
            ASSERT_EQ(::chmod(name.constData(), status.st_mode | S_IWGRP | S_IWOTH), 0);
            break;
        case Steering::OthersOwn:
            ASSERT_EQ(::lchown(name.constData(), nobody->pw_uid, gid_t(-1)), 0);
            break;
        case Steering::OthersLink:
            ASSERT_EQ(::rename(name.constData(), (name + ".mine").constData()), 0);
            ASSERT_EQ(::symlink((name + ".mine").constData(), name.constData()), 0);
            ASSERT_EQ(::lchown(name.constData(), nobody->pw_uid, gid_t(-1)), 0);
            break;
        case Steering::InTheCurrentFolder:
            ASSERT_TRUE(QDir::setCurrent(current.path()));
            ASSERT_TRUE(QDir().rename(path, current.filePath(run)));
            break;
        }
        const QByteArrayList written = files(tree);
        const QString named = QLatin1Char('"') + path + QStringLiteral("\": ");

        QString listing;
        try {
            Restore::keptRuns(tree.settingsPath());
        } catch (const Failure &failure) {
            listing = failure.cause();
        }
        EXPECT_EQ(listing.startsWith(named), c.listAndRunFail) << listing.toStdString();

        QString restoring;
        try {
            const Restore::Result result = Restore::restore(Restore::runFolder(run, tree.settingsPath()), {}, true, true, form, module,
                                                            tree.settingsPath());
            restoring = result.outcome.cause;
        } catch (const Failure &failure) {
            restoring = failure.cause();
        }
        EXPECT_TRUE(restoring.contains(named)) << restoring.toStdString();
        EXPECT_EQ(files(tree), written);

        form.setFieldText(Field::txtServerName, QStringLiteral("Steered"));
        for (int target = FirstFileTarget; target < TargetCount; ++target)
            form.setTicked(target, true);
        const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());
        EXPECT_EQ(outcome.succeeded, !c.listAndRunFail) << outcome.cause.toStdString();
        EXPECT_EQ(outcome.cause.startsWith(named), c.listAndRunFail) << outcome.cause.toStdString();
        EXPECT_EQ(files(tree) == written, c.listAndRunFail);
        QDir::setCurrent(startFolder);
    }
}
