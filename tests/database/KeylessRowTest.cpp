#include "AccountTables.h"
#include "support/InstallationTree.h"
#include "support/TestDatabase.h"

#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

// A time stamp to the microsecond, which the drivers read back shortened.
const QString TimeStamp = TestDatabase::either(QStringLiteral("timestamp(6)"), QStringLiteral("datetime2(6)"));

// TBL_SERVERINFO without a key, with a time stamp and a decimal whose values the driver reads back
// shortened: the row must be found again by its other columns.
class KeylessRow : public testing::Test {
protected:
    void SetUp() override
    {
        TestDatabase::execute(AccountTables::drop()
                              + QStringList{QStringLiteral("CREATE TABLE TBL_SERVERINFO (FLD_GAMETYPE varchar(10), FLD_SERVERNAME varchar(50), "
                                                           "FLD_CREATED %1, FLD_RATE numeric(30,20), FLD_ORDER integer)")
                                                .arg(TimeStamp)});
        pointAtTestSystem(form, tree);
        AccountTables::setNewValues(form);
        for (int target = 0; target < TargetCount; ++target)
            form.setTicked(target, target == 2);
    }
    void TearDown() override { TestDatabase::execute(AccountTables::drop()); }

    static QStringList rows()
    {
        QStringList result;
        QSqlQuery query(TestDatabase::admin());
        query.setForwardOnly(true);
        query.exec(QStringLiteral("SELECT CONCAT(FLD_GAMETYPE, '|', FLD_SERVERNAME, '|', FLD_CREATED, '|', FLD_RATE, '|', FLD_ORDER) "
                                  "FROM TBL_SERVERINFO ORDER BY FLD_ORDER"));
        while (query.next())
            result.append(query.value(0).toString());
        return result;
    }

    InstallationTree tree;
    FormValues form;
    Module1 module;
};

} // namespace

TEST_F(KeylessRow, RowWithTimeStampAndDecimalIsFoundByItsExactColumns)
{
    TestDatabase::execute({QStringLiteral("INSERT INTO TBL_SERVERINFO VALUES ('MIR3', 'Old Server', '2026-12-07 11:22:33.123456', "
                                          "1.12345678901234567890, 1), ('MIR2', 'Other', '2026-12-07 11:22:33.654321', 2.5, 2)")});
    const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());

    EXPECT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    EXPECT_FALSE(form.isTicked(2));
    EXPECT_EQ(rows(), QStringList({QStringLiteral("MIR3|New Realm|2026-12-07 11:22:33.123456|1.12345678901234567890|1"),
                                   QStringLiteral("MIR2|Other|2026-12-07 11:22:33.654321|2.50000000000000000000|2")}));
}

TEST_F(KeylessRow, TwoRowsAlikeInTheirExactColumnsFailWithoutWritingEither)
{
    TestDatabase::execute({QStringLiteral("INSERT INTO TBL_SERVERINFO VALUES ('MIR3', 'Old Server', '2026-12-07 11:22:33.1', 1.5, 1), "
                                          "('MIR3', 'Old Server', '2026-12-07 11:22:33.2', 1.5, 1)")});
    const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());

    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading DataTBL_SERVERINFOCannot be found, check IP Adress, and SQL Password"));
    EXPECT_EQ(outcome.cause,
              QStringLiteral("The update of TBL_SERVERINFO would have changed 2 rows instead of the one row read; nothing was written"));
    EXPECT_TRUE(form.isTicked(2));
    EXPECT_EQ(rows(), QStringList({QStringLiteral("MIR3|Old Server|2026-12-07 11:22:33.1|1.50000000000000000000|1"),
                                   QStringLiteral("MIR3|Old Server|2026-12-07 11:22:33.2|1.50000000000000000000|1")}));
}

TEST_F(KeylessRow, RowWithNoColumnThatComparesExactlyFailsWithoutWriting)
{
    TestDatabase::execute(AccountTables::drop()
                          + QStringList{QStringLiteral("CREATE TABLE TBL_SERVERINFO (FLD_GAMETYPE %1, FLD_SERVERNAME %1, FLD_CREATED %2)")
                                            .arg(TestDatabase::either(QStringLiteral("text"), QStringLiteral("ntext")), TimeStamp),
                                        QStringLiteral("INSERT INTO TBL_SERVERINFO VALUES ('MIR3', 'Old Server', '2026-12-07 11:22:33.123456')")});
    const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());

    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.cause, QStringLiteral("TBL_SERVERINFO has no key and no column of a character or integer type to find the row read "
                                            "again; nothing was written"));
    EXPECT_TRUE(form.isTicked(2));
    EXPECT_EQ(AccountTables::rows(TestDatabase::admin(), QStringLiteral("TBL_SERVERINFO")),
              QStringList{QStringLiteral("MIR3|Old Server|2026-12-07T11:22:33.123")});
}
