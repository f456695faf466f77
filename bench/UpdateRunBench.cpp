// Times the update run against a temporary installation and the database named by MUD3_PG_PORT, side by side
// with a minimal writer of the same thirteen files (write, flush to disk, rename), and full runs with backups
// against full runs without them.
#include "database/Module1.h"
#include "model/FormValues.h"
#include "model/Settings.h"
#include "preview/Preview.h"
#include "support/StandInDialects.h"
#include "update/BackupFolder.h"
#include "update/UpdateRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

int Repetitions = 20;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return (values[values.size() / 2] + values[(values.size() - 1) / 2]) / 2;
}

QString filePath(const QTemporaryDir &tree, int target)
{
    return tree.path() + QLatin1Char('/') + targetCaption(target).replace(QLatin1Char('\\'), QLatin1Char('/'));
}

void createTree(const QTemporaryDir &tree)
{
    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        QDir().mkpath(QFileInfo(filePath(tree, target)).absolutePath());
        QFile file(filePath(tree, target));
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot create the installation tree");
        file.write("old\r\n");
    }
}

// The built-in values, every target ticked, on the local database and the temporary installation.
FormValues benchForm(const QTemporaryDir &tree)
{
    FormValues form;
    form.setFieldText(Field::txtSQLIP, QStringLiteral("127.0.0.1,") + qEnvironmentVariable("MUD3_PG_PORT"));
    form.setFieldText(Field::txtMud3Path, tree.path() + QLatin1Char('\\'));
    return form;
}

// A run that keeps nothing, for measuring what the backups cost.
class NoBackup : public Backup {
public:
    void check() override {}
    void keepFile(const QString &, const QString &, const QByteArray &) override {}
    void keepSettings(const QByteArray &) override {}
    void keepRow(const RowChange &) override {}
    void changed() override {}
    void finish() override {}
    void abandon() override {}
};

// Update runs over the tree, on the database named by MUD3_PG_PORT.
class Runs {
public:
    explicit Runs(const QTemporaryDir &tree)
        : m_settingsPath(tree.path() + QStringLiteral("/Settings.ini"))
        , m_form(benchForm(tree))
    {
    }

    // Milliseconds of one run with the given targets ticked.
    double time(int firstTarget, int endTarget, bool withBackup = true)
    {
        for (int target = 0; target < TargetCount; ++target)
            m_form.setTicked(target, target >= firstTarget && target < endTarget);
        QElapsedTimer timer;
        timer.start();
        BackupFolder folder(m_settingsPath, m_form);
        NoBackup none;
        const RunOutcome outcome = runUpdate(m_form, m_module, m_settingsPath, withBackup ? static_cast<Backup &>(folder) : none);
        const double milliseconds = timer.nsecsElapsed() / 1e6;
        if (!outcome.succeeded)
            qFatal("run failed: %s %s", qPrintable(outcome.message), qPrintable(outcome.cause));
        return milliseconds;
    }

private:
    QString m_settingsPath;
    FormValues m_form;
    Module1 m_module;
};

// Milliseconds of one run per repetition, with the given targets ticked.
std::vector<double> timeRuns(const QTemporaryDir &tree, int firstTarget, int endTarget, bool withBackup = true)
{
    Runs runs(tree);
    std::vector<double> times;
    for (int repetition = 0; repetition < Repetitions; ++repetition)
        times.push_back(runs.time(firstTarget, endTarget, withBackup));
    return times;
}

// Milliseconds of full runs with backups and without, taken in turns so that whatever else the machine does
// weighs on both alike. The first KeptRuns runs fill the backups, so that every timed run removes an old one.
std::pair<std::vector<double>, std::vector<double>> timeBackups(const QTemporaryDir &tree)
{
    Runs runs(tree);
    for (int run = 0; run < BackupFolder::KeptRuns; ++run)
        runs.time(0, TargetCount);
    std::vector<double> with;
    std::vector<double> without;
    for (int repetition = 0; repetition < Repetitions; ++repetition) {
        with.push_back(runs.time(0, TargetCount, true));
        without.push_back(runs.time(0, TargetCount, false));
    }
    return {with, without};
}

// Milliseconds of a preview of all fifteen targets: the connection opened, the rows of the three tables
// read and rolled back, the twelve files read and compared with what the run would write.
std::vector<double> timePreviews(const QTemporaryDir &tree, const char *expectedHeading)
{
    const FormValues form = benchForm(tree);
    std::vector<double> times;
    for (int repetition = 0; repetition < Repetitions; ++repetition) {
        QElapsedTimer timer;
        timer.start();
        const Preview::RunPreview preview = Preview::previewRun(form, tree.path() + QStringLiteral("/Settings.ini"));
        times.push_back(timer.nsecsElapsed() / 1e6);
        if (preview.targets.size() != size_t(TargetCount))
            qFatal("the preview showed %d targets", int(preview.targets.size()));
        for (const Preview::TargetPreview &target : preview.targets) {
            if (!target.heading().endsWith(QLatin1String(expectedHeading)))
                qFatal("unexpected preview: %s", qPrintable(preview.lines().join(QLatin1Char('\n'))));
        }
    }
    return times;
}

// Milliseconds of opening and closing the connection alone, as every run does before its targets.
std::vector<double> timeConnection()
{
    Module1 module;
    std::vector<double> times;
    for (int repetition = 0; repetition < Repetitions; ++repetition) {
        QElapsedTimer timer;
        timer.start();
        module.dbConnection.CloseConnection();
        module.dbConnection.OpenConnection(QStringLiteral("127.0.0.1,") + qEnvironmentVariable("MUD3_PG_PORT"), QStringLiteral("sa"),
                                           QStringLiteral("qef"), QStringLiteral("Account"));
        module.dbConnection.CloseConnection();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return times;
}

void writeDurably(const QByteArray &path, const QByteArray &content)
{
    const QByteArray temporary = path + ".new";
    const int file = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file < 0 || ::write(file, content.constData(), size_t(content.size())) != content.size() || ::fsync(file) != 0)
        qFatal("minimal writer failed");
    ::close(file);
    if (::rename(temporary.constData(), path.constData()) != 0)
        qFatal("minimal writer failed to rename");
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(path)).absolutePath());
    const int directory = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
    ::fsync(directory);
    ::close(directory);
}

// The same thirteen files as the run writes, with nothing but the system calls that make a write durable.
std::vector<double> timeMinimalWriter(const QTemporaryDir &written)
{
    std::vector<std::pair<QByteArray, QByteArray>> files;
    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        QFile file(filePath(written, target));
        file.open(QIODevice::ReadOnly);
        files.emplace_back(QFile::encodeName(filePath(written, target)), file.readAll());
    }
    QFile settings(written.path() + QStringLiteral("/Settings.ini"));
    settings.open(QIODevice::ReadOnly);
    files.emplace_back(QFile::encodeName(settings.fileName()), settings.readAll());

    std::vector<double> times;
    for (int repetition = 0; repetition < Repetitions; ++repetition) {
        QElapsedTimer timer;
        timer.start();
        for (const auto &[path, content] : files)
            writeDurably(path, content);
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return times;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (qEnvironmentVariable("MUD3_PG_PORT").isEmpty())
        qFatal("MUD3_PG_PORT names no database");
    useServerDialect(StandInDialects::postgreSQL());
    QTemporaryDir tree;
    createTree(tree);
    // One run of the database targets alone, for counting the statements they send.
    if (application.arguments().contains(QStringLiteral("--database-only"))) {
        Repetitions = 1;
        timeRuns(tree, 0, FirstFileTarget);
        return 0;
    }

    // Before any run every target changes; the Plus_Setup.ini diff alone is 207 lines.
    const double previewOfChanges = median(timePreviews(tree, ": changes"));
    const double files = median(timeRuns(tree, FirstFileTarget, TargetCount, false));
    const double minimal = median(timeMinimalWriter(tree));
    const double database = median(timeRuns(tree, 0, FirstFileTarget));
    const double everything = median(timeRuns(tree, 0, TargetCount));
    const double nothing = median(timeRuns(tree, 0, 0));
    const double connection = median(timeConnection());
    const auto [withBackups, withoutBackups] = timeBackups(tree);
    const double backedUp = median(withBackups);
    const double notBackedUp = median(withoutBackups);
    const double previewUnchanged = median(timePreviews(tree, ": unchanged"));

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("median of %d runs, milliseconds\n", Repetitions);
    std::printf("  connection opened and closed alone              %8.2f\n", connection);
    std::printf("  no target ticked (connection + settings save)   %8.2f\n", nothing);
    std::printf("  twelve file targets + settings save, no backup  %8.2f   (connection included)\n", files);
    std::printf("  twelve file targets + settings save, no backup  %8.2f   (connection excluded)\n", files - connection);
    std::printf("  minimal writer of the same thirteen files       %8.2f   ratio %.2f\n", minimal, (files - connection) / minimal);
    std::printf("  three database targets                          %8.2f   (connection, settings save included)\n", database);
    std::printf("  three database targets                          %8.2f   (connection, settings save excluded)\n", database - nothing);
    std::printf("  every target                                    %8.2f\n", everything);
    std::printf("  every target, in turns: with backups            %8.2f\n", backedUp);
    std::printf("                          without backups         %8.2f   ratio %.2f\n", notBackedUp, backedUp / notBackedUp);
    std::printf("  preview of all fifteen targets, all changing    %8.2f   (connection included)\n", previewOfChanges);
    std::printf("  preview of all fifteen targets, none changing   %8.2f   (connection included)\n", previewUnchanged);
    std::printf("  peak memory of this process                     %8ld KiB\n", usage.ru_maxrss);
    return 0;
}
