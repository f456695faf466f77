#include "AccountTables.h"

#include "support/TestDatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <gtest/gtest.h>

QStringList AccountTables::drop()
{
    return {
        QStringLiteral("DROP TABLE IF EXISTS TBL_PUBIPS"),
        QStringLiteral("DROP TABLE IF EXISTS TBL_SELECTGATEIPS"),
        QStringLiteral("DROP TABLE IF EXISTS TBL_SERVERINFO"),
    };
}

QStringList AccountTables::create()
{
    // The names are Unicode text, as a game's account database keeps them: PostgreSQL's varchar is.
    const QString unicodeText = TestDatabase::either(QStringLiteral("varchar"), QStringLiteral("nvarchar"));
    return drop()
        + QStringList{
              QStringLiteral("CREATE TABLE TBL_PUBIPS (FLD_ID integer CONSTRAINT PK_TBL_PUBIPS PRIMARY KEY, FLD_DESCRIPTION varchar(50), "
                             "FLD_PUBIP varchar(15), FLD_REMARK varchar(50))"),
              QStringLiteral("INSERT INTO TBL_PUBIPS VALUES (1, 'LoginGW', '192.0.2.1', 'kept 1'), (2, 'LoginServer', '192.0.2.2', 'kept 2'), "
                             "(3, 'SET1 DB Conn', '192.0.2.3', 'kept 3'), (4, 'SET1 GameSrv1', '192.0.2.4', 'kept 4')"),
              QStringLiteral("CREATE TABLE TBL_SELECTGATEIPS (FLD_ID integer CONSTRAINT PK_TBL_SELECTGATEIPS PRIMARY KEY, "
                             "FLD_GAMETYPE varchar(10), FLD_IP varchar(15), FLD_NAME %1(50), FLD_PORT integer, FLD_REMARK varchar(50))")
                  .arg(unicodeText),
              QStringLiteral("INSERT INTO TBL_SELECTGATEIPS VALUES (1, 'MIR3', '192.0.2.5', 'Old Gate', 7100, 'kept 5')"),
              QStringLiteral("CREATE TABLE TBL_SERVERINFO (FLD_ID integer CONSTRAINT PK_TBL_SERVERINFO PRIMARY KEY, "
                             "FLD_GAMETYPE varchar(10), FLD_SERVERNAME %1(50), FLD_REMARK varchar(50))")
                  .arg(unicodeText),
              QStringLiteral("INSERT INTO TBL_SERVERINFO VALUES (1, 'MIR3', 'Old Server', 'kept 6')"),
          };
}

QStringList AccountTables::rows(QSqlDatabase database, const QString &table)
{
    QStringList result;
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" ORDER BY 1"))) {
        result.append(QStringLiteral("<error: ") + query.lastError().text() + QLatin1Char('>'));
        return result;
    }
    while (query.next()) {
        QStringList cells;
        for (int column = 0; column < query.record().count(); ++column)
            cells.append(query.isNull(column) ? QStringLiteral("<null>") : query.value(column).toString());
        result.append(cells.join(QLatin1Char('|')));
    }
    return result;
}

QStringList AccountTables::initialRows(const QString &table)
{
    if (table == QLatin1String("TBL_PUBIPS"))
        return {QStringLiteral("1|LoginGW|192.0.2.1|kept 1"), QStringLiteral("2|LoginServer|192.0.2.2|kept 2"),
                QStringLiteral("3|SET1 DB Conn|192.0.2.3|kept 3"), QStringLiteral("4|SET1 GameSrv1|192.0.2.4|kept 4")};
    if (table == QLatin1String("TBL_SELECTGATEIPS"))
        return {QStringLiteral("1|MIR3|192.0.2.5|Old Gate|7100|kept 5")};
    if (table == QLatin1String("TBL_SERVERINFO"))
        return {QStringLiteral("1|MIR3|Old Server|kept 6")};
    ADD_FAILURE() << "no such table " << table.toStdString();
    return {};
}

void AccountTables::setNewValues(FormValues &form)
{
    form.setFieldText(Field::txtExternalIP, QStringLiteral("198.51.100.7"));
    form.setFieldText(Field::txtServerName, QStringLiteral("New Realm"));
    form.setFieldText(Field::txtSGPort, QStringLiteral("7777"));
    form.setFieldText(Field::txtInternalIP, QStringLiteral("198.51.100.99"));
}

void AccountTables::tickOnlyDatabaseTargets(FormValues &form)
{
    for (int target = 0; target < TargetCount; ++target)
        form.setTicked(target, target < FirstFileTarget);
}

QStringList AccountTables::updatedRows(const QString &table)
{
    if (table == QLatin1String("TBL_PUBIPS"))
        return {QStringLiteral("1|LoginGW|127.0.0.1|kept 1"), QStringLiteral("2|LoginServer|198.51.100.7|kept 2"),
                QStringLiteral("3|SET1 DB Conn|127.0.0.1|kept 3"), QStringLiteral("4|SET1 GameSrv1|127.0.0.1|kept 4")};
    if (table == QLatin1String("TBL_SELECTGATEIPS"))
        return {QStringLiteral("1|MIR3|198.51.100.7|New Realm|7777|kept 5")};
    if (table == QLatin1String("TBL_SERVERINFO"))
        return {QStringLiteral("1|MIR3|New Realm|kept 6")};
    ADD_FAILURE() << "no such table " << table.toStdString();
    return {};
}
