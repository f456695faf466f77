#include "database/AccountTables.h"
#include "faults/TreeState.h"
#include "model/Settings.h"
#include "support/InstallationTree.h"
#include "support/TestDatabase.h"
#include "update/BackupFolder.h"
#include "update/FileTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The program and its arguments as they run without a network, loopback included.
QStringList withoutNetwork(const QString &program, const QStringList &arguments);

namespace {

// One start of the built tool. In the arguments and the expected texts "{settings}" stands for the case's
// settings file and "{missing}" for the file it removed.
struct Call {
    QStringList arguments;
    int exitCode;
    QString output; // a piece of standard output
    QString error;  // a piece of standard error; empty: nothing may reach it
    int edited = 0; // a file target that someone else changes before the call
    void (*prepare)(const QString &settings) = nullptr; // what else is done before the call
    bool isolated = false; // in a network of its own: a tool that read its settings short would reach for the built-in SQL address
};

struct Case {
    const char *name;
    bool settingsBesideProgram; // else in the installation, named with --settings
    int missingTarget;          // a file target whose file is removed first; -1 for none
    std::vector<Call> calls;
    std::vector<int> rewritten; // the file targets that hold the run's content after the calls
    bool saved;                 // whether a run saved the settings and kept a backup
    const char *settingsName = "Settings.ini";
};

// Settings files that hold fewer fields than a settings file has, beside the case's own.
void writeShortSettings(const QString &settings)
{
    writeBytes(settings + QStringLiteral(".empty"), {});
    writeBytes(settings + QStringLiteral(".cut"), "[Settings]\r\nServerName=Cut\r\nExternalIP=192.0.2.9\r\nInternalIP=192.0.2.10\r\n");
    writeBytes(settings + QStringLiteral(".other"), QByteArray("some other file of eleven lines\r\n").repeated(11));
    writeBytes(settings + QStringLiteral(".keys"), "[Settings]\r\nServerName\r\nExternalIP\r\nInternalIP\r\nSQLIP\r\nSQLPass\r\nMud3Path\r\n"
                                                   "LGPort\r\nSGPort\r\nRG01Port\r\nRG02Port\r\n");
}

// An escape sequence that would retitle a terminal and a carriage return, in a row and in a kept run's note.
void putControlCharactersInARow(const QString &)
{
    TestDatabase::execute({QStringLiteral("UPDATE TBL_SERVERINFO SET FLD_SERVERNAME = 'Old' || chr(27) || ']0;owned' || chr(7) || chr(13) || 'Server'")});
}

void putControlCharactersInTheNote(const QString &settings)
{
    const QString backups = BackupFolder::backupsFolderOf(settings);
    const QString record = backups + QLatin1Char('/') + QDir(backups).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name).first() + QStringLiteral("/run.json");
    QJsonObject object = QJsonDocument::fromJson(readFile(record)).object();
    object.insert(QStringLiteral("note"), QStringLiteral("see \x1b[2J here"));
    writeBytes(record, QJsonDocument(object).toJson());
}

void PrintTo(const Case &tested, std::ostream *out)
{
    *out << tested.calls.front().arguments.join(QLatin1Char(' ')).toStdString() << (tested.calls.size() > 1 ? " ..." : "");
}

QStringList operator+(const QStringList &arguments, const char *more)
{
    return arguments + QString::fromUtf8(more).split(QLatin1Char(' '));
}
const QStringList Preview = QStringList() + "--preview --settings {settings}";
const QStringList Apply = QStringList() + "--apply --settings {settings}";

const Case Cases[] = {
    {"PreviewFindsChangesThenApplyWritesAllAndLeavesNothingToChange", false, -1,
     {{Preview, 1, QStringLiteral("Mir3Server\\DBSvr\\Setup.ini: changes"), {}}, {Apply, 0, {}, {}},
      {Preview, 0, QStringLiteral("TBL_SERVERINFO: unchanged"), {}}},
     {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}, true},
    {"FailingRunIsPreviewedAndReportedWithMessageAndCause", false, 4,
     {{Preview, 2, QStringLiteral("Mir3Server\\DBSvr\\Setup.ini: would fail"), {}},
      {Apply, 2, {}, QStringLiteral("Error Reading DataMir3Server\\DBSvr\\Setup.ini\n\"{missing}\"")}},
     {}, false},
    {"ApplyWithSettingsBesideTheProgramWritesTheListedTargetsOnly", true, -1, {{QStringList() + "--apply --targets 3,5-6", 0, {}, {}}}, {3, 5, 6}, true},
    {"RestorePutsBackWhatTheRunChangedAndLeavesAloneWhatChangedSince", false, -1,
     {{Apply, 0, {}, {}},
      {QStringList() + "--list-backups --settings {settings}", 0, QStringLiteral("{run}\t"), {}},
      {QStringList() + "--restore {run} --settings {settings}", 3, QStringLiteral("Mir3Server\\LoginGate\\Config.ini: changed since the run"), {}, 8},
      {QStringList() + "--restore {run} --settings {settings} --force", 0, QStringLiteral("Setup\\Plus_Setup.ini: as kept already"), {}},
      {QStringList() + "--restore {run}.none --settings {settings}", 2, {}, QStringLiteral("This is no complete run kept by the tool")},
      {Preview + "--force", 64, {}, QStringLiteral("--force goes with --restore only")}},
     {}, true},
    {"HelpVersionAndBadArgumentsChangeNothing", false, -1,
     {{QStringList() + "--help", 0, QStringLiteral("--targets <LIST>"), {}},
      {QStringList() + "--version", 0, QStringLiteral("Mud3IPSetup " MUD3_VERSION "\n"), {}},
      {Preview + "--apply", 64, {}, QStringLiteral("give only one of --preview, --apply")},
      {QStringList() + "--settings {settings}", 64, {}, QStringLiteral("give one of --preview, --apply")},
      {Preview + "--frobnicate", 64, {}, QStringLiteral("Unknown option 'frobnicate'")},
      {Apply + "--targets 0,15", 64, {}, QStringLiteral("\"15\" is neither a target index from 0 to 14")},
      {Preview + "--targets 3", 64, {}, QStringLiteral("--targets goes with --apply only")},
      {QStringList() + "--apply --settings {settings}.missing", 64, {}, QStringLiteral(".missing\": no such settings file")},
      {QStringList() + "--preview", 64, {}, QStringLiteral("Settings.ini\": no such settings file")},
      {Preview + "now", 64, {}, QStringLiteral("unexpected argument \"now\"")}},
     {}, false},
    {"SettingsFileWithFewerFieldsIsRefusedBeforeAnythingRuns", false, -1,
     {{QStringList() + "--apply --settings {settings}.empty", 64, {}, QStringLiteral(".empty\": holds 0 of the 10 fields"), 0, writeShortSettings, true},
      {QStringList() + "--preview --settings {settings}.cut", 64, {}, QStringLiteral(".cut\": holds 3 of the 10 fields"), 0, nullptr, true},
      {QStringList() + "--restore {run} --settings {settings}.other", 64, {}, QStringLiteral("a script never runs on values it did not read"), 0,
       nullptr, true},
      {QStringList() + "--list-backups --settings {settings}.keys", 64, {}, QStringLiteral(".keys\": holds 0 of the 10 fields"), 0, nullptr, true}},
     {}, false},
    {"TextFromTheDatabaseAndTheRecordIsShownWithItsControlCharactersVisible", false, -1,
     {{Preview, 1, QStringLiteral("FLD_SERVERNAME: \"Old\u241B]0;owned\u2407\u240DServer\""), {}, 0, putControlCharactersInARow},
      {Apply, 0, {}, {}},
      {QStringList() + "--list-backups --settings {settings}", 0, QStringLiteral("see \u241B[2J here"), {}, 0, putControlCharactersInTheNote}},
     {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}, true},
    {"RunOfASettingsFileOfAnotherNameIsRestored", false, -1,
     {{Apply, 0, {}, {}}, {QStringList() + "--restore {run} --settings {settings}", 0, QStringLiteral("realm2.ini: put back"), {}}},
     {}, true, "realm2.ini"},
};

class CommandLine : public testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::copy(TestDatabase::toolExecutable(), m_tool));
        TestDatabase::execute(AccountTables::create());
        pointAtTestSystem(m_fields, m_tree);
        m_fields.setFieldText(Field::txtMud3Path, m_tree.mud3Path().chopped(1)); // a run adds the backslash, and saves it
        AccountTables::setNewValues(m_fields);
        m_settings = GetParam().settingsBesideProgram
            ? m_bin.filePath(QStringLiteral("Settings.ini"))
            : QFileInfo(m_tree.settingsPath()).absolutePath() + QLatin1Char('/') + QLatin1String(GetParam().settingsName);
        Settings::save(m_fields, m_settings);
        ASSERT_TRUE(GetParam().missingTarget < 0 || QFile::remove(m_tree.filePath(GetParam().missingTarget)));
    }

    // "{run}": the one backup folder's name.
    QString withPaths(QString text) const
    {
        const QStringList runs = QDir(BackupFolder::backupsFolderOf(m_settings)).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        return text.replace(QStringLiteral("{settings}"), m_settings)
            .replace(QStringLiteral("{missing}"), m_tree.filePath(std::max(GetParam().missingTarget, 3)))
            .replace(QStringLiteral("{run}"), runs.value(0));
    }

    // Without a display: the command line opens no window. What is compared is ASCII, the same bytes in
    // every console code page; Windows ends lines in CR LF.
    void expect(const Call &call)
    {
        if (call.edited > 0) {
            QFile file(m_tree.filePath(call.edited));
            ASSERT_TRUE(file.open(QIODevice::Append) && file.write("edited\r\n") > 0);
        }
        if (call.prepare)
            call.prepare(m_settings);
        QStringList arguments;
        for (const QString &argument : call.arguments)
            arguments.append(withPaths(argument));
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QLatin1String(name));
        tool.setProcessEnvironment(environment);
        const QStringList command = call.isolated ? withoutNetwork(m_tool, arguments) : QStringList{m_tool} + arguments;
        tool.start(command.first(), command.mid(1));
        ASSERT_TRUE(tool.waitForFinished(60000)) << arguments.join(QLatin1Char(' ')).toStdString();
        const QString output = QString::fromUtf8(tool.readAllStandardOutput()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        const QString error = QString::fromUtf8(tool.readAllStandardError()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString() + "\nout: " + output.toStdString() + "\nerr: " + error.toStdString());
        EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(tool.exitCode(), call.exitCode);
        EXPECT_TRUE(output.contains(withPaths(call.output)));
        EXPECT_TRUE(call.error.isEmpty() ? error.isEmpty() : error.contains(withPaths(call.error)));
        EXPECT_TRUE(call.exitCode != 64 || error.count(QLatin1Char('\n')) == 1);
    }

    QTemporaryDir m_bin;
    const QString m_tool = m_bin.filePath(QFileInfo(TestDatabase::toolExecutable()).fileName());
    InstallationTree m_tree;
    FormValues m_fields;
    QString m_settings;
};

} // namespace

TEST_P(CommandLine, ExitCodesOutputAndFiles)
{
    for (const Call &call : GetParam().calls)
        expect(call);
    const std::vector<int> &rewritten = GetParam().rewritten;
    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        if (target == GetParam().missingTarget)
            continue;
        const bool written = std::find(rewritten.begin(), rewritten.end(), target) != rewritten.end();
        EXPECT_EQ(m_tree.read(target), written ? FileTarget::content(target, m_fields) : InstallationTree::oldContent(target)) << target;
    }
    // A successful run saved the fields to the settings file it used; its backups lie beside that file.
    FormValues saved;
    Settings::load(saved, m_settings);
    EXPECT_EQ(saved.fieldText(Field::txtMud3Path).endsWith(QLatin1Char('\\')), GetParam().saved);
    EXPECT_EQ(QFileInfo(QFileInfo(m_settings).absolutePath() + QStringLiteral("/Backups")).isDir(), GetParam().saved);
}

INSTANTIATE_TEST_SUITE_P(Calls, CommandLine, testing::ValuesIn(Cases), [](const testing::TestParamInfo<Case> &info) { return info.param.name; });
