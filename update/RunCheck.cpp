#include "update/RunCheck.h"

#include "database/DatabaseTargets.h"
#include "model/Form.h"
#include "model/Settings.h"
#include "platform/Failure.h"
#include "update/Backup.h"
#include "update/FileTarget.h"

namespace {

const QString DatabaseTargetContext = QStringLiteral("Cannot be found, check IP Adress, and SQL Password");
const QString FirstFileTargetContext = QStringLiteral("Cannot be Found, Check Mud 3 Path");

} // namespace

QString errorContextOf(int target, const QString &caption)
{
    if (target < FirstFileTarget)
        return caption + DatabaseTargetContext;
    if (target == FirstFileTarget)
        return caption + FirstFileTargetContext;
    return caption;
}

std::optional<CheckFailure> checkRun(const Form &form, const QString &settingsPath, Backup &backup)
{
    // In the order the run meets them, so that the context is the one the run would show.
    int failing = -1;
    QString errorContext;
    try {
        requireNoControlCharacter(Field::txtSQLIP, form.fieldText(Field::txtSQLIP));
        requireNoControlCharacter(Field::txtSQLPass, form.fieldText(Field::txtSQLPass));
        backup.check();
        for (int target = 0; target < TargetCount; ++target) {
            if (!form.isTicked(target))
                continue;
            const QString caption = form.caption(target);
            failing = target;
            errorContext = errorContextOf(target, caption);
            if (target < FirstFileTarget)
                checkDatabaseTarget(target, form);
            else
                FileTarget::check(target, caption, form);
        }
        Settings::check(form, settingsPath);
    } catch (const Failure &failure) {
        return CheckFailure{failing, errorContext, failure.cause()};
    }
    return std::nullopt;
}
