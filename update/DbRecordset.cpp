#include "update/DbRecordset.h"

#include "update/Failure.h"

void DbRecordset::bind(DbConnection &connection)
{
    m_connection = &connection;
}

void DbRecordset::updateFirstRow(const QString &, const QString &, const std::vector<Assignment> &)
{
    throw Failure(QStringLiteral("The database targets are not built yet"));
}
