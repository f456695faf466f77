#include "database/DatabaseTargets.h"

#include "database/Module1.h"
#include "database/Transaction.h"
#include "model/Form.h"
#include "platform/Failure.h"

#include <array>

namespace {

const std::array<std::vector<RowUpdate>, FirstFileTarget> RowUpdates = {{
    // 0: TBL_PUBIPS
    {
        {" WHERE FLD_DESCRIPTION = 'LoginGW'", {{"FLD_PUBIP", Field::txtNICIP}}},
        {" WHERE FLD_DESCRIPTION = 'LoginServer'", {{"FLD_PUBIP", Field::txtExternalIP}}},
        {" WHERE FLD_DESCRIPTION = 'SET1 DB Conn'", {{"FLD_PUBIP", Field::txtNICIP}}},
        {" WHERE FLD_DESCRIPTION = 'SET1 GameSrv1'", {{"FLD_PUBIP", Field::txtNICIP}}},
    },
    // 1: TBL_SELECTGATEIPS
    {
        {" WHERE FLD_GAMETYPE = 'MIR3'",
         {{"FLD_IP", Field::txtExternalIP}, {"FLD_NAME", Field::txtServerName}, {"FLD_PORT", Field::txtSGPort}}},
    },
    // 2: TBL_SERVERINFO
    {
        {" WHERE FLD_GAMETYPE = 'MIR3'", {{"FLD_SERVERNAME", Field::txtServerName}}},
    },
}};

} // namespace

const std::vector<RowUpdate> &rowUpdatesOf(int target)
{
    if (target < 0 || target >= FirstFileTarget)
        throw Failure(QStringLiteral("Target %1 is not a database target").arg(target));
    return RowUpdates[static_cast<size_t>(target)];
}

void checkDatabaseTarget(int target, const FieldSource &fields)
{
    for (const RowUpdate &rowUpdate : rowUpdatesOf(target)) {
        for (const RowUpdate::Assignment &assignment : rowUpdate.assignments)
            requireNoControlCharacter(assignment.field, fields.fieldText(assignment.field));
    }
}

void runDatabaseTarget(int target, const QString &table, const FieldSource &fields, Module1 &module, RowKeeper &keeper)
{
    const std::vector<RowUpdate> &rowUpdates = rowUpdatesOf(target);
    DbRecordset &recordset = module.dbRecordset;
    recordset.bind(module.dbConnection);
    for (const RowUpdate &rowUpdate : rowUpdates) {
        recordset.Open(table, QLatin1String(rowUpdate.condition));
        RowChange change{table, recordset.currentRow(), {}, {}, {}, recordset.otherRowsMatch()};
        // Each field is read at its own assignment, as the window holds it at that moment.
        for (const RowUpdate::Assignment &assignment : rowUpdate.assignments) {
            recordset.setCollect(QLatin1String(assignment.column), trimmedOfBlanks(fields.fieldText(assignment.field)));
            change.columns.append(QLatin1String(assignment.column));
        }
        writeOpenRow(recordset, keeper, change);
    }
}

void writeOpenRow(DbRecordset &recordset, RowKeeper &keeper, RowChange change)
{
    change.keyColumns = recordset.keyColumns();
    change.after = recordset.Update();
    recordset.Close();
    keeper.keepRow(change);
}

void commitRows(Transaction &transaction, RowKeeper &keeper)
{
    try {
        transaction.commit();
    } catch (const Failure &) {
        keeper.changed();
        throw;
    }
    keeper.changed();
}
