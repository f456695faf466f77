#include "update/RunScope.h"

#include "database/DbConnection.h"
#include "model/Form.h"
#include "platform/ProgramPath.h"
#include "update/UpdateRun.h"

#include <QDir>
#include <QFileInfo>

RunScope RunScope::of(const FieldSource &fields, const QString &settingsPath)
{
    return {programRelativePath(mud3PathAsRunUsesIt(fields.fieldText(Field::txtMud3Path))), fields.fieldText(Field::txtSQLIP),
            DbConnection::AccountDatabase, settingsPath};
}

QString RunScope::identity(const QString &path)
{
    const QString place = QFileInfo(path).canonicalFilePath();
    return place.isEmpty() ? QDir::cleanPath(path) : place;
}
