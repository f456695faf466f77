#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

class DbConnection;

// The program's one record set: bound to the connection before each database target, then opened on
// one row update's query at a time.
class DbRecordset {
public:
    // A column of the current row and the text it receives.
    using Assignment = std::pair<QString, QString>;

    void bind(DbConnection &connection);

    // Runs one row update: the query text "Select * From " + table + condition, the first row of its result,
    // the assignments in order, then one write of that row. Throws Failure; a failure writes nothing of it.
    void updateFirstRow(const QString &table, const QString &condition, const std::vector<Assignment> &assignments);

private:
    DbConnection *m_connection = nullptr;
};
