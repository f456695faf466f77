#include "app/Form1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// An xdg-open of our own, first on PATH: it records its working directory and arguments, one per line,
// then stays a while, like an opener that starts a program.
class FakeOpener : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bin.isValid() && records.isValid());
        QFile script(bin.filePath(QStringLiteral("xdg-open")));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\n"
                                    "{ pwd; for argument in \"$@\"; do printf '%s\\n' \"$argument\"; done; } > '%1.part'\n"
                                    "mv '%1.part' '%1'\n"
                                    "exec sleep 2 </dev/null >/dev/null 2>&1\n")
                         .arg(recordPath())
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        setPath(bin.path() + QLatin1Char(':') + QString::fromLocal8Bit(originalPath));
    }

    void TearDown() override { qputenv("PATH", originalPath); }

    static void setPath(const QString &path) { qputenv("PATH", path.toLocal8Bit()); }

    QString recordPath() const { return records.filePath(QStringLiteral("opened")); }

    // The opener's working directory, then its arguments; empty when it never ran.
    QStringList record(int waitMs = 10000) const
    {
        QFile file(recordPath());
        QElapsedTimer waited;
        waited.start();
        while (!file.exists() && waited.elapsed() < waitMs)
            QTest::qWait(20);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // Presses the button and tells how long the press took.
    qint64 press(const char *button)
    {
        QElapsedTimer timer;
        timer.start();
        window.findChild<QPushButton *>(QString::fromLatin1(button))->click();
        return timer.elapsed();
    }

    const QByteArray originalPath = qgetenv("PATH");
    QTemporaryDir bin;
    QTemporaryDir records;
    QTemporaryDir settings;
    Form1 window{settings.filePath(QStringLiteral("Settings.ini"))};
};

} // namespace

TEST_F(FakeOpener, OdbcButtonOpensRegistrationFileBelowTheMud3PathAsTheRunUsesIt)
{
    window.setFieldText(Field::txtMud3Path, QStringLiteral("C:\\Mud3"));

    press("cmdRunODBC");

    // On this system "C:/Mud3" is a relative path: it starts from the program's folder, as in an update run.
    EXPECT_EQ(record(), (QStringList{QStringLiteral("/"), QCoreApplication::applicationDirPath() + QStringLiteral("/C:/Mud3/Database/ODBC.reg")}));
    EXPECT_EQ(window.fieldText(Field::txtMud3Path), QStringLiteral("C:\\Mud3"));
}

TEST_F(FakeOpener, SetupEditorButtonReturnsWhileTheOpenerStillRuns)
{
    window.setFieldText(Field::txtMud3Path, QStringLiteral("/srv/Mud 3\\"));

    EXPECT_LT(press("cmdRunSetuptxt"), 1000);

    EXPECT_EQ(record(), (QStringList{QStringLiteral("/"), QStringLiteral("/srv/Mud 3/Setup/!Setup.txt Editor.exe")}));
}

TEST_F(FakeOpener, MissingOpenerIsSilent)
{
    QTemporaryDir emptyBin;
    setPath(emptyBin.path());
    const QString before = window.fieldText(Field::txtMud3Path);
    window.show();

    press("cmdRunODBC");
    press("cmdRunSetuptxt");
    QTest::qWait(200);

    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(record(0).isEmpty());
    EXPECT_EQ(window.fieldText(Field::txtMud3Path), before);
    EXPECT_TRUE(window.isTicked(0));
}
