#include "update/RunScope.h"

#include "database/DbConnection.h"
#include "model/Form.h"
#include "platform/ProgramPath.h"
#include "update/UpdateRun.h"

namespace {

const QString AccountDatabase = QStringLiteral("Account");

} // namespace

RunScope RunScope::of(const FieldSource &fields, const QString &settingsPath)
{
    return {programRelativePath(mud3PathAsRunUsesIt(fields.fieldText(Field::txtMud3Path))), fields.fieldText(Field::txtSQLIP),
            AccountDatabase, settingsPath};
}

void openAccountDatabase(DbConnection &connection, const FieldSource &fields)
{
    connection.OpenConnection(fields.fieldText(Field::txtSQLIP), QStringLiteral("sa"), fields.fieldText(Field::txtSQLPass), AccountDatabase);
}
