#include "SettingsTest.h"

#include "model/FormValues.h"
#include "model/Settings.h"
#include "support/InstallationTree.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

TEST_F(SettingsFile, NewFileIsReadableByItsOwnerOnly)
{
    Settings::save(FormValues(), path());
    EXPECT_EQ(fileMode(path()), 0600u);
}

TEST_F(SettingsFile, PipeInPlaceOfTheFileDoesNotHoldUpTheStart)
{
    ::alarm(20); // opening a pipe for reading waits for a writer: a hang ends the test instead
    ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    expectDefaults(loaded(), {Field::txtServerName, Field::txtRG02Port});
    ::alarm(0);
}

namespace {

long peakKilobytes()
{
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

// Only the lines in use are read, and no more of a line than a settings file needs: a huge file neither
// fills the memory nor keeps the window from opening.
TEST_F(SettingsFile, HugeFileIsReadOnlyAsFarAsNeeded)
{
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Settings]\r\nServerName=kept\r\nExternalIP=");
    const QByteArray block(1 << 20, 'v');
    for (int i = 0; i < 64; ++i)
        file.write(block);
    file.write("\r\nInternalIP=never read\r\n");
    file.close();
    const long before = peakKilobytes();

    const FormValues form = loaded();

    EXPECT_LT(peakKilobytes() - before, 16 * 1024);
    EXPECT_EQ(form.fieldText(Field::txtServerName), QStringLiteral("kept"));
    EXPECT_EQ(form.fieldText(Field::txtExternalIP), QString(120, QLatin1Char('v')));
    expectDefaults(form, {Field::txtInternalIP, Field::txtRG02Port});
}

TEST_F(SettingsFile, LinkInPlaceOfTheFileIsWrittenThrough)
{
    QTemporaryDir elsewhere;
    const QString shared = elsewhere.filePath(QStringLiteral("shared.ini"));
    ASSERT_TRUE(QFile::link(shared, path()));
    write(QByteArrayLiteral("[Settings]\r\n"));
    Settings::save(FormValues(), path());
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_TRUE(readFile(shared).startsWith("[Settings]\r\nServerName=Morrowtide\r\n"));
}
