#include "cli/CommandLine.h"

#include "database/Module1.h"
#include "model/FormValues.h"
#include "model/Settings.h"
#include "model/Targets.h"
#include "platform/Console.h"
#include "platform/Failure.h"
#include "preview/Preview.h"
#include "preview/VisibleText.h"
#include "restore/Restore.h"
#include "update/BackupFolder.h"
#include "update/UpdateRun.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <vector>

namespace CommandLine {

namespace {

// Arguments that ask for nothing the tool can do, with the reason in one line. Thrown before anything runs.
struct BadArgumentsError {
    QString reason;
};

// What a mode works with: the arguments, and the fields of the settings file with every target ticked.
struct Invocation {
    const QCommandLineParser &parser;
    QString settingsPath;
    FormValues fields;
};

ExitCode preview(Invocation &invocation);
ExitCode apply(Invocation &invocation);
ExitCode listBackups(Invocation &invocation);
ExitCode restore(Invocation &invocation);

// One entry per option, in the order --help lists them. A mode says what an invocation does: exactly one
// is given. An option with onlyWith belongs to that mode and is refused beside any other.
struct OptionEntry {
    const char *name;
    const char *valueName; // nullptr for a switch
    const char *description;
    ExitCode (*mode)(Invocation &);
    const char *onlyWith;
};

const OptionEntry Options[] = {
    {"preview", nullptr,
     "Print what --apply would change, changing nothing. Exit code 0: nothing would change, 1: something would, "
     "2: the run would fail.",
     preview, nullptr},
    {"apply", nullptr,
     "Run the update as the window's \"Update Selected IP's\" does, then save the fields. Exit code 0: done, "
     "2: failed, with the message and its cause on standard error.",
     apply, nullptr},
    {"targets", "LIST", "The targets that --apply writes, by index, e.g. 0,3-14. Default: all fifteen.", nullptr, "apply"},
    {"list-backups", nullptr,
     "Print the kept runs, newest first, then the originals: each one's folder name, a tab, and what it holds. Exit code 0, "
     "or 2 when the backups cannot be trusted.",
     listBackups, nullptr},
    {"restore", "RUN",
     "Put back what the kept run RUN (a name that --list-backups prints, or the path of a run folder) changed, printing what "
     "that changes. What changed since the run is left alone. Exit code 0: done, 2: failed, 3: something that changed since "
     "was left alone.",
     restore, nullptr},
    {"force", nullptr, "With --restore: put back what changed since the run too, and rows kept from another database.", nullptr,
     "restore"},
    {"with-settings", nullptr, "With --restore: put back the run's Settings.ini too.", nullptr, "restore"},
    {"settings", "FILE",
     "Take the fields from FILE instead of Settings.ini beside the program. A run saves them to FILE and keeps "
     "its backups beside it.",
     nullptr, nullptr},
};

QString option(const char *name)
{
    return QStringLiteral("--") + QLatin1String(name);
}

QString description()
{
    QStringList targets;
    for (int target = 0; target < TargetCount; ++target)
        targets.append(QStringLiteral("  %1  %2").arg(target, 2).arg(targetCaption(target)));
    return QStringLiteral("Without options the window opens. With a mode below the tool works without a window, on the "
                          "fields of Settings.ini beside the program, and every target is ticked unless --targets says "
                          "otherwise. Exit code 64: bad arguments.\n\nTargets:\n")
        + targets.join(QLatin1Char('\n'));
}

// The one mode given, once the other options are known to go with it.
const OptionEntry &chosenMode(const QCommandLineParser &parser)
{
    QStringList modes;
    std::vector<const OptionEntry *> given;
    for (const OptionEntry &entry : Options) {
        if (!entry.mode)
            continue;
        modes.append(option(entry.name));
        if (parser.isSet(QLatin1String(entry.name)))
            given.push_back(&entry);
    }
    if (!parser.positionalArguments().isEmpty())
        throw BadArgumentsError{QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().constFirst())};
    if (given.size() != 1)
        throw BadArgumentsError{(given.empty() ? QStringLiteral("give one of ") : QStringLiteral("give only one of "))
                                + modes.join(QStringLiteral(", "))};
    const OptionEntry &mode = *given.front();
    for (const OptionEntry &entry : Options) {
        if (entry.onlyWith && parser.isSet(QLatin1String(entry.name)) && qstrcmp(entry.onlyWith, mode.name) != 0)
            throw BadArgumentsError{option(entry.name) + QStringLiteral(" goes with ") + option(entry.onlyWith) + QStringLiteral(" only")};
        if (entry.valueName && parser.values(QLatin1String(entry.name)).size() > 1)
            throw BadArgumentsError{option(entry.name) + QStringLiteral(" is given more than once")};
    }
    return mode;
}

// The built-in fields name a database server on a LAN: a script never runs on them because a file is missing.
QString settingsPathOf(const QCommandLineParser &parser)
{
    const bool named = parser.isSet(QStringLiteral("settings"));
    const QFileInfo settings(named ? parser.value(QStringLiteral("settings")) : Settings::path());
    const QString path = settings.absoluteFilePath();
    if (!settings.isFile()) {
        const QString cause = settings.exists() ? QStringLiteral("not a regular file") : QStringLiteral("no such settings file");
        throw BadArgumentsError{causeAt(path, cause) + (named ? QString() : QStringLiteral("; name one with --settings FILE"))};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw BadArgumentsError{causeAt(path, file.errorString())};
    return path;
}

// "0,3-14": target indexes and ranges of them.
std::array<bool, TargetCount> targetList(const QString &list)
{
    std::array<bool, TargetCount> ticked{};
    for (const QString &item : list.split(QLatin1Char(','))) {
        const QStringList bounds = item.split(QLatin1Char('-'));
        bool firstIsNumber = false;
        bool lastIsNumber = false;
        const int first = bounds.constFirst().toInt(&firstIsNumber);
        const int last = bounds.constLast().toInt(&lastIsNumber);
        if (bounds.size() > 2 || !firstIsNumber || !lastIsNumber || first < 0 || first > last || last >= TargetCount)
            throw BadArgumentsError{QStringLiteral("--targets: \"%1\" is neither a target index from 0 to %2 nor a range of them")
                                        .arg(item)
                                        .arg(TargetCount - 1)};
        std::fill(ticked.begin() + first, ticked.begin() + last + 1, true);
    }
    return ticked;
}

ExitCode preview(Invocation &invocation)
{
    const Preview::RunPreview preview = Preview::previewRun(invocation.fields, invocation.settingsPath);
    Console::write(Console::Stream::Output, preview.lines().join(QLatin1Char('\n')) + QLatin1Char('\n'));
    switch (preview.outcome()) {
    case Preview::RunPreview::Outcome::Fails:
        return Failed;
    case Preview::RunPreview::Outcome::Changes:
        return WouldChange;
    case Preview::RunPreview::Outcome::NothingChanges:
        return Succeeded;
    }
    return Failed;
}

ExitCode apply(Invocation &invocation)
{
    if (invocation.parser.isSet(QStringLiteral("targets"))) {
        const std::array<bool, TargetCount> ticked = targetList(invocation.parser.value(QStringLiteral("targets")));
        for (int target = 0; target < TargetCount; ++target)
            invocation.fields.setTicked(target, ticked[size_t(target)]);
    }
    Module1 module;
    BackupFolder backup(invocation.settingsPath, invocation.fields);
    const RunOutcome outcome = runUpdate(invocation.fields, module, invocation.settingsPath, backup);
    if (outcome.succeeded)
        return Succeeded;
    Console::write(Console::Stream::Error, visibleLines(outcome.message + QLatin1Char('\n') + outcome.cause) + QLatin1Char('\n'));
    return Failed;
}

ExitCode listBackups(Invocation &invocation)
{
    QString lines;
    try {
        for (const Restore::KeptRun &run : Restore::keptRuns(invocation.settingsPath))
            lines += visibleText(QFileInfo(run.folder).fileName()) + QLatin1Char('\t') + run.description() + QLatin1Char('\n');
    } catch (const Failure &failure) {
        Console::write(Console::Stream::Error, visibleLines(failure.cause()) + QLatin1Char('\n'));
        return Failed;
    }
    Console::write(Console::Stream::Output, lines);
    return Succeeded;
}

ExitCode restore(Invocation &invocation)
{
    const bool force = invocation.parser.isSet(QStringLiteral("force"));
    const bool withSettings = invocation.parser.isSet(QStringLiteral("with-settings"));
    QString folder;
    try {
        folder = Restore::runFolder(invocation.parser.value(QStringLiteral("restore")), invocation.settingsPath);
        const Restore::Plan plan = Restore::plan(folder, invocation.fields, invocation.settingsPath);
        Console::write(Console::Stream::Output, plan.lines().join(QLatin1Char('\n')) + QLatin1Char('\n'));
    } catch (const Failure &failure) {
        Console::write(Console::Stream::Error, visibleLines(failure.cause()) + QLatin1Char('\n'));
        return Failed;
    }
    Module1 module;
    const Restore::Result result = Restore::restore(folder, {}, force, withSettings, invocation.fields, module, invocation.settingsPath);
    if (!result.outcome.succeeded) {
        Console::write(Console::Stream::Error, visibleLines(result.outcome.message + QLatin1Char('\n') + result.outcome.cause) + QLatin1Char('\n'));
        return Failed;
    }
    if (result.leftAlone.isEmpty())
        return Succeeded;
    Console::write(Console::Stream::Output, QStringLiteral("Left as it is now: ") + result.leftAlone.join(QStringLiteral("; ")) + QLatin1Char('\n'));
    return LeftAlone;
}

} // namespace

ExitCode run(const QStringList &arguments)
{
    QCoreApplication::setApplicationVersion(QStringLiteral(MUD3_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    // Printed here, not by Qt, whose help and version show a message box on Windows.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("?"), QStringLiteral("help")}, QStringLiteral("Print this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Print the version."));
    parser.addOptions({help, version});
    for (const OptionEntry &entry : Options) {
        QCommandLineOption option(QLatin1String(entry.name), QString::fromUtf8(entry.description));
        if (entry.valueName)
            option.setValueName(QLatin1String(entry.valueName));
        parser.addOption(option);
    }

    try {
        if (!parser.parse(arguments)) {
            const QString reason = parser.errorText(); // "Unknown option 'x'."
            throw BadArgumentsError{reason.endsWith(QLatin1Char('.')) ? reason.chopped(1) : reason};
        }
        if (parser.isSet(help)) {
            Console::write(Console::Stream::Output, parser.helpText());
            return Succeeded;
        }
        if (parser.isSet(version)) {
            Console::write(Console::Stream::Output,
                           QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion() + QLatin1Char('\n'));
            return Succeeded;
        }
        const OptionEntry &mode = chosenMode(parser);
        Invocation invocation{parser, settingsPathOf(parser), {}};
        int named = 0;
        Settings::load(invocation.fields, invocation.settingsPath, &named);
        // Any file of eleven lines would do for the window, which reads by position; a script runs only on a
        // settings file as the tool writes it.
        if (named < Settings::StoredFieldCount)
            throw BadArgumentsError{causeAt(invocation.settingsPath, QStringLiteral("holds %1 of the %2 fields of a settings file, each in its "
                                                                                 "place under its key; a script never runs on values it "
                                                                                 "did not read")
                                                                      .arg(named)
                                                                      .arg(Settings::StoredFieldCount))};
        return mode.mode(invocation);
    } catch (const BadArgumentsError &error) {
        Console::write(Console::Stream::Error, QCoreApplication::applicationName() + QStringLiteral(": ") + error.reason
                                                   + QStringLiteral(" (see --help)\n"));
        return BadArguments;
    }
}

} // namespace CommandLine
