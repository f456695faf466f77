#include "update/UpdateRun.h"

#include "database/DatabaseTargets.h"
#include "database/Module1.h"
#include "database/Transaction.h"
#include "model/Form.h"
#include "model/Settings.h"
#include "platform/Failure.h"
#include "platform/FileReplacement.h"
#include "platform/InstallationLock.h"
#include "update/Backup.h"
#include "update/FileTarget.h"
#include "update/RunCheck.h"
#include "update/RunScope.h"

#include <vector>

namespace {

void normaliseMud3Path(Form &form)
{
    const QString typed = form.fieldText(Field::txtMud3Path);
    const QString normalised = mud3PathAsRunUsesIt(typed);
    if (normalised != typed)
        form.setFieldText(Field::txtMud3Path, normalised);
}

// The ticked database targets in index order, in one transaction: every row of them is changed, or none.
// Their ticks are cleared once the last is committed.
void runDatabaseTargets(Form &form, Module1 &module, Backup &backup, QString &errorContext)
{
    std::vector<int> ticked;
    for (int target = 0; target < FirstFileTarget; ++target) {
        if (form.isTicked(target))
            ticked.push_back(target);
    }
    if (ticked.empty())
        return;
    Transaction transaction(module.dbConnection);
    for (const int target : ticked) {
        const QString caption = form.caption(target);
        errorContext = errorContextOf(target, caption);
        runDatabaseTarget(target, caption, form, module, backup);
    }
    commitRows(transaction, backup);
    for (const int target : ticked)
        form.clearTick(target);
}

void writeFileTarget(const Form &form, int target, const QString &caption, Backup &backup)
{
    const QString path = FileTarget::path(form, caption);
    const QByteArray content = FileTarget::content(target, form);
    backup.keepFile(caption, path, content);
    FileReplacement::replace(path, content, FileReplacement::IfMissing::Fail);
    backup.changed();
}

void saveSettings(const Form &form, const QString &settingsPath, Backup &backup)
{
    backup.keepSettings(Settings::encode(form, settingsPath));
    Settings::save(form, settingsPath);
    backup.changed();
}

} // namespace

QString mud3PathAsRunUsesIt(const QString &typed)
{
    return typed.endsWith(QLatin1Char('\\')) ? typed : typed + QLatin1Char('\\');
}

RunOutcome runUpdate(Form &form, Module1 &module, const QString &settingsPath, Backup &backup)
{
    const QString message = QStringLiteral("Error Reading Data");
    QString errorContext;
    try {
        normaliseMud3Path(form);
        const InstallationLock lock(RunScope::of(form, settingsPath).installation);
        if (const std::optional<CheckFailure> failure = checkRun(form, settingsPath, backup))
            return {false, message + failure->errorContext, failure->cause};
        FileTarget::removeLeftovers(form);

        module.dbConnection.CloseConnection();
        module.dbConnection.OpenAccountDatabase(form);
        runDatabaseTargets(form, module, backup, errorContext);
        module.dbConnection.CloseConnection();

        for (int target = FirstFileTarget; target < TargetCount; ++target) {
            if (!form.isTicked(target))
                continue;
            const QString caption = form.caption(target);
            errorContext = errorContextOf(target, caption);
            writeFileTarget(form, target, caption, backup);
            form.clearTick(target);
        }

        saveSettings(form, settingsPath, backup);
        backup.finish();
        return {};
    } catch (const Failure &failure) {
        module.dbRecordset.Close();
        module.dbConnection.CloseConnection();
        backup.abandon();
        return {false, message + errorContext, failure.cause()};
    }
}
