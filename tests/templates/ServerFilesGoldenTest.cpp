#include "platform/CodePage.h"
#include "platform/ProgramPath.h"
#include "support/InstallationTree.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <string>

namespace {

// A real run with only the twelve file targets ticked, into a fresh installation tree.
void runFileTargets(FormValues &form, const InstallationTree &tree)
{
    pointAtTestSystem(form, tree);
    for (int target = 0; target < FirstFileTarget; ++target)
        form.setTicked(target, false);
    Module1 module;
    const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());
    ASSERT_TRUE(outcome.succeeded) << outcome.message.toStdString() << ": " << outcome.cause.toStdString();
}

// The hand-written files hold "{txtSQLIP}" and "{txtSQLPass}" where the SQL address and password go: the
// test server's port and password vary.
void expectGoldenFiles(const FormValues &form, const InstallationTree &tree, const QString &goldenCase)
{
    const QByteArray sqlAddress = form.fieldText(Field::txtSQLIP).toLatin1();
    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        const QString golden = QStringLiteral(MUD3_TEST_DATA "/golden/") + goldenCase + QLatin1Char('/')
                               + fileSystemPath(targetCaption(target));
        const QByteArray expected =
            readFile(golden).replace("{txtSQLIP}", sqlAddress).replace("{txtSQLPass}", form.fieldText(Field::txtSQLPass).toLatin1());
        const QByteArray written = tree.read(target);
        EXPECT_TRUE(written == expected) << targetCaption(target).toStdString() << ", "
                                         << firstDifferentLine(written, expected);
    }
}

QList<QByteArray> writtenLines(const InstallationTree &tree, int target)
{
    return tree.read(target).split('\n');
}

} // namespace

TEST(ServerFilesGolden, BuiltInDefaultsGiveTheTwelveFilesByteForByte)
{
    FormValues form;
    InstallationTree tree;
    runFileTargets(form, tree);
    expectGoldenFiles(form, tree, QStringLiteral("defaults"));
}

TEST(ServerFilesGolden, UnusualValuesGoInAsTypedAndOnlyTheServerInfoAddressesLoseTheirBlanks)
{
    if (CodePage::name() != QLatin1String("936"))
        GTEST_SKIP() << "the golden files hold the typed Chinese server name in code page 936";
    FormValues form;
    form.setFieldText(Field::txtServerName, QStringLiteral(" 墨潮=一区, "));
    form.setFieldText(Field::txtExternalIP, QStringLiteral("  203.0.113.77\t "));
    form.setFieldText(Field::txtInternalIP, QString());
    form.setFieldText(Field::txtLGPort, QStringLiteral(" 7005"));
    form.setFieldText(Field::txtSGPort, QStringLiteral("7105: "));
    form.setFieldText(Field::txtRG01Port, QStringLiteral("72,01 "));
    form.setFieldText(Field::txtRG02Port, QStringLiteral(" =7202"));
    InstallationTree tree;
    runFileTargets(form, tree);
    expectGoldenFiles(form, tree, QStringLiteral("unusual"));
}

TEST(ServerFilesGolden, ChineseSectionNamesAreWrittenInCodePage936)
{
    FormValues form;
    InstallationTree tree;
    runFileTargets(form, tree);
    const QByteArray antiCheat = QByteArray::fromHex("5b b7 e2 cd e2 b9 d2 c9 e8 d6 c3 5d 0d");
    EXPECT_EQ(writtenLines(tree, 9).at(0), antiCheat);
    EXPECT_EQ(writtenLines(tree, 10).at(0), antiCheat);
    EXPECT_EQ(writtenLines(tree, 11).at(20), QByteArray::fromHex("5b d7 aa b7 a2 c9 e8 d6 c3 5d 0d"));
}

// Whatever the system's code page: the template's Chinese text keeps its code page 936 bytes, and the
// server name goes in as the system writes what the user typed.
TEST(ServerFilesGolden, TemplateTextStaysCodePage936AndTypedTextFollowsTheSystemCodePage)
{
    const QString serverName = CodePage::name() == QLatin1String("1252") ? QStringLiteral("Café") : QStringLiteral("墨潮");
    FormValues form;
    form.setFieldText(Field::txtServerName, serverName);
    InstallationTree tree;
    runFileTargets(form, tree);
    const QList<QByteArray> plusSetup = writtenLines(tree, 14);
    EXPECT_EQ(plusSetup.at(7), QByteArray::fromHex("b7 fe ce f1 c6 f7 c6 f4 b6 af ca b1 bc e4") + "=2009-12-29 21:54:23\r");
    EXPECT_EQ(plusSetup.at(31), "Servername = " + CodePage::encode(serverName) + '\r');
    EXPECT_EQ(writtenLines(tree, 4).at(1), "Servername = " + CodePage::encode(serverName) + '\r');
    EXPECT_EQ(writtenLines(tree, 9).at(0), QByteArray::fromHex("5b b7 e2 cd e2 b9 d2 c9 e8 d6 c3 5d 0d"));
}
