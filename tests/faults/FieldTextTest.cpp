// Field texts that no administrator means to type: very long ones, and characters the files' code page lacks.
#include "TreeState.h"

#include "database/Module1.h"
#include "model/FormValues.h"
#include "model/Settings.h"
#include "support/InstallationTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr int LongLength = 10000;
const QByteArray OldSettings = QByteArrayLiteral("[Settings]\r\nServerName=Before the run\r\n");

// The SQL IP, the password and the Mud3 path must lead to the test system, so they keep their values.
const std::vector<Field> FreeFields{Field::txtServerName, Field::txtExternalIP, Field::txtInternalIP, Field::txtLGPort,
                                    Field::txtSGPort,     Field::txtRG01Port,   Field::txtRG02Port,   Field::txtNICIP};

// 10,000 characters that name their field and alternate "龙" with a letter, so that a cut anywhere, in
// characters or in bytes, shows; and the same text in code page 936, spelled out byte by byte.
struct LongText {
    QString text;
    QByteArray bytes;
};

LongText longText(Field field)
{
    const QByteArray name(definitionOf(field).controlName);
    LongText result{QLatin1Char('<') + QLatin1String(name) + QLatin1Char(':'), '<' + name + ':'};
    for (int i = 0; result.text.size() < LongLength - 1; ++i) {
        if (i % 2 == 0) {
            result.text += QStringLiteral("龙");
            result.bytes += QByteArrayLiteral("\xc1\xfa");
        } else {
            const char letter = char('a' + i % 26);
            result.text += QLatin1Char(letter);
            result.bytes += letter;
        }
    }
    result.text += QLatin1Char('>');
    result.bytes += '>';
    return result;
}

class FieldTextRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        pointAtTestSystem(m_form, m_tree);
        for (int target = 0; target < FirstFileTarget; ++target)
            m_form.setTicked(target, false);
        writeBytes(m_tree.settingsPath(), OldSettings);
    }

    RunOutcome run() { return runUpdateOnLoopback(m_form, m_module, m_tree.settingsPath()); }
    QString treeFolder() const { return QFileInfo(m_tree.settingsPath()).absolutePath(); }

    // A run that failed before any target: everything as it was.
    void expectNothingWritten()
    {
        for (int target = FirstFileTarget; target < TargetCount; ++target) {
            EXPECT_TRUE(m_form.isTicked(target)) << "target " << target;
            EXPECT_EQ(m_tree.read(target), InstallationTree::oldContent(target)) << "target " << target;
        }
        EXPECT_EQ(readFile(m_tree.settingsPath()), OldSettings);
        EXPECT_EQ(filesBelow(treeFolder()), targetFiles(true));
    }

    FormValues m_form;
    InstallationTree m_tree;
    Module1 m_module;
};

} // namespace

TEST_F(FieldTextRun, TenThousandCharactersInEveryFieldReachTheFilesWhole)
{
    for (Field field : FreeFields) {
        m_form.setFieldText(field, longText(field).text);
        ASSERT_EQ(m_form.fieldText(field).size(), LongLength);
    }

    const RunOutcome outcome = run();

    ASSERT_TRUE(outcome.succeeded) << outcome.message.toStdString() << ": " << outcome.cause.toStdString();
    QByteArray everyFile;
    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        EXPECT_FALSE(m_form.isTicked(target)) << "target " << target;
        EXPECT_EQ(m_tree.read(target), completeContent(m_form, target)) << "target " << target;
        everyFile += m_tree.read(target);
    }
    for (Field field : FreeFields) {
        EXPECT_TRUE(everyFile.contains(longText(field).bytes)) << definitionOf(field).controlName;
        // Where the text begins, it is there in full.
        const QByteArray start = '<' + QByteArray(definitionOf(field).controlName) + ':';
        EXPECT_EQ(everyFile.count(start), everyFile.count(longText(field).bytes)) << definitionOf(field).controlName;
    }
    EXPECT_EQ(filesBelow(QFileInfo(m_tree.settingsPath()).absolutePath()), targetFiles(true));
}

TEST_F(FieldTextRun, SettingsKeepTenThousandCharactersAndLoadBackTheFirst120)
{
    for (Field field : FreeFields)
        m_form.setFieldText(field, longText(field).text);
    ASSERT_TRUE(run().succeeded);

    const QByteArray settings = readFile(m_tree.settingsPath());
    const QList<QByteArray> lines = settings.split('\n');
    ASSERT_EQ(lines.size(), 12) << "eleven lines and nothing after the last line end";
    EXPECT_EQ(lines.at(1), "ServerName=" + longText(Field::txtServerName).bytes + '\r');
    EXPECT_EQ(lines.at(2), "ExternalIP=" + longText(Field::txtExternalIP).bytes + '\r');
    EXPECT_EQ(lines.at(3), "InternalIP=" + longText(Field::txtInternalIP).bytes + '\r');
    EXPECT_EQ(lines.at(7), "LGPort=" + longText(Field::txtLGPort).bytes + '\r');
    EXPECT_EQ(lines.at(8), "SGPort=" + longText(Field::txtSGPort).bytes + '\r');
    EXPECT_EQ(lines.at(9), "RG01Port=" + longText(Field::txtRG01Port).bytes + '\r');
    EXPECT_EQ(lines.at(10), "RG02Port=" + longText(Field::txtRG02Port).bytes + '\r');
    EXPECT_FALSE(settings.contains("txtNICIP"));

    FormValues loaded;
    Settings::load(loaded, m_tree.settingsPath());
    for (Field field : FreeFields) {
        if (field == Field::txtNICIP)
            EXPECT_EQ(loaded.fieldText(field), defaultText(field));
        else
            EXPECT_EQ(loaded.fieldText(field), longText(field).text.left(120)) << definitionOf(field).controlName;
    }
    EXPECT_EQ(loaded.fieldText(Field::txtMud3Path), m_tree.mud3Path());
    EXPECT_EQ(loaded.fieldText(Field::txtSQLIP), m_form.fieldText(Field::txtSQLIP));
}

TEST_F(FieldTextRun, TenThousandCharacterPasswordIsRefusedByTheServerAndNothingIsWritten)
{
    m_form.setFieldText(Field::txtSQLPass, QStringLiteral("qef") + QString(LongLength - 3, QLatin1Char('p')));
    const RunOutcome outcome = run();
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading Data"));
    EXPECT_FALSE(outcome.cause.isEmpty());
    expectNothingWritten();
}

namespace {

struct ForeignCharacter {
    Field field;
    QString character;
    QString codePoint;
};

void PrintTo(const ForeignCharacter &foreign, std::ostream *out)
{
    *out << definitionOf(foreign.field).controlName << " with U+" << foreign.codePoint.toStdString();
}

class OutsideTheCodePage : public FieldTextRun, public ::testing::WithParamInterface<ForeignCharacter> {};

} // namespace

// The character goes into the middle of the field's usual text. The run stops before it writes anything,
// naming the character and the first file that would carry it; every file is as it was.
TEST_P(OutsideTheCodePage, RunStopsAtTheFirstFileCarryingTheFieldAndNamesTheCharacter)
{
    const ForeignCharacter foreign = GetParam();
    QString text = m_form.fieldText(foreign.field);
    text.insert(1, foreign.character);
    m_form.setFieldText(foreign.field, text);
    const int failing = firstTargetUsing(foreign.field);
    ASSERT_GE(failing, FirstFileTarget) << "the field reaches no file";

    const RunOutcome outcome = run();

    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.message, failureMessageAt(failing));
    EXPECT_EQ(outcome.cause, QStringLiteral("The character \"%1\" (U+%2) cannot be written in code page 936")
                                 .arg(foreign.character, foreign.codePoint));
    expectNothingWritten();
}

INSTANTIATE_TEST_SUITE_P(
    EveryFieldThatReachesAFile, OutsideTheCodePage,
    ::testing::Values(ForeignCharacter{Field::txtServerName, QStringLiteral("\u00DF"), QStringLiteral("00DF")},
                      ForeignCharacter{Field::txtExternalIP, QStringLiteral("\U0001F600"), QStringLiteral("1F600")},
                      ForeignCharacter{Field::txtInternalIP, QStringLiteral("\uD55C"), QStringLiteral("D55C")},
                      ForeignCharacter{Field::txtLGPort, QStringLiteral("\u0639"), QStringLiteral("0639")},
                      ForeignCharacter{Field::txtSGPort, QStringLiteral("\u05D0"), QStringLiteral("05D0")},
                      ForeignCharacter{Field::txtRG01Port, QStringLiteral("\u0E01"), QStringLiteral("0E01")},
                      ForeignCharacter{Field::txtRG02Port, QStringLiteral("\u0905"), QStringLiteral("0905")},
                      ForeignCharacter{Field::txtNICIP, QStringLiteral("\u0531"), QStringLiteral("0531")}),
    [](const ::testing::TestParamInfo<ForeignCharacter> &info) { return std::string(definitionOf(info.param.field).controlName); });

// The Mud3 path reaches no file's content, only the settings file, which the run saves last: the run stops
// before it writes anything, with the context of the last target, and keeps the previous settings.
TEST_F(FieldTextRun, CharacterOutsideTheCodePageInTheMud3PathFailsAtTheSettingsBeforeAnythingIsWritten)
{
    ASSERT_EQ(firstTargetUsing(Field::txtMud3Path), -1);
    // The installation reached through a folder whose name holds the character.
    QTemporaryDir links;
    const QString foreignFolder = links.filePath(QStringLiteral("Stra\u00DFe"));
    ASSERT_TRUE(QFile::link(treeFolder(), foreignFolder));
    m_form.setFieldText(Field::txtMud3Path, foreignFolder + QLatin1Char('\\'));

    const RunOutcome outcome = run();

    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.message, failureMessageAt(TargetCount - 1));
    EXPECT_EQ(outcome.cause, QLatin1Char('"') + m_tree.settingsPath()
                                 + QStringLiteral("\": Mud3Path cannot be saved; retype the field \"Path to Mud3\". The character "
                                                  "\"\u00DF\" (U+00DF) cannot be written in code page 936"));
    expectNothingWritten();
}

// The database server's Setup.ini carries the password: found before the login and before anything is written.
TEST_F(FieldTextRun, CharacterOutsideTheCodePageInThePasswordFailsAtItsFileBeforeAnythingIsWritten)
{
    m_form.setFieldText(Field::txtSQLPass, QStringLiteral("qef\u00DF"));
    const RunOutcome outcome = run();
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.message, failureMessageAt(firstTargetUsing(Field::txtSQLPass)));
    expectNothingWritten();
}
