#include "model/FormValues.h"
#include "support/TemplateText.h"

#include <gtest/gtest.h>
#include <set>
#include <utility>

namespace {

using FileLine = std::pair<int, int>; // target, 1-based line

struct Splice {
    Field field;
    std::set<FileLine> lines;
};

// Every line each field reaches, across the twelve files.
const Splice Splices[] = {
    {Field::txtServerName, {{4, 2}, {5, 1}, {14, 32}}},
    {Field::txtExternalIP, {{3, 1}, {5, 1}}},
    {Field::txtInternalIP, {{8, 6}, {9, 12}, {10, 12}, {11, 6}}},
    {Field::txtSQLIP, {{7, 12}, {14, 2}}},
    {Field::txtSQLPass, {{4, 5}, {4, 8}, {7, 11}, {14, 5}}},
    {Field::txtMud3Path, {}},
    {Field::txtLGPort, {{8, 7}}},
    {Field::txtSGPort, {{5, 1}, {11, 7}}},
    {Field::txtRG01Port, {{3, 1}, {4, 17}, {9, 13}, {11, 11}, {11, 12}, {11, 23}, {11, 32}, {11, 41}, {11, 54}, {11, 67}, {13, 1}}},
    {Field::txtRG02Port, {{3, 1}, {4, 18}, {10, 13}, {11, 28}, {11, 44}, {11, 45}, {11, 57}, {11, 58}, {11, 70}, {11, 71}, {13, 2}}},
    {Field::txtNICIP, {{3, 1}}},
};

// Names the case by its field in the test log.
void PrintTo(const Splice &splice, std::ostream *out)
{
    *out << definitionOf(splice.field).controlName;
}

class FieldSplices : public testing::TestWithParam<Splice> {};

QStringList linesOf(int target, const FieldSource &fields)
{
    return textOf(lineProducerOf(target)(fields));
}

} // namespace

TEST_P(FieldSplices, ChangingTheFieldAltersExactlyItsLines)
{
    const FormValues before;
    FormValues after;
    after.setFieldText(GetParam().field, QStringLiteral("changed"));

    std::set<FileLine> altered;
    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        const QStringList old = linesOf(target, before);
        const QStringList changed = linesOf(target, after);
        ASSERT_EQ(changed.size(), old.size()) << "target " << target;
        for (int line = 0; line < old.size(); ++line) {
            if (changed.at(line) != old.at(line))
                altered.insert({target, line + 1});
        }
    }
    EXPECT_EQ(altered, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(EveryField, FieldSplices, testing::ValuesIn(Splices),
                         [](const testing::TestParamInfo<Splice> &info) {
                             return std::string(definitionOf(info.param.field).controlName);
                         });

// The golden runs need the real SQL address and password to reach the test server; these two fields'
// unusual values are checked on the lines alone.
TEST(SqlFieldSplices, AddressAndPasswordGoInAsTyped)
{
    FormValues form;
    form.setFieldText(Field::txtSQLIP, QString());
    form.setFieldText(Field::txtSQLPass, QStringLiteral(" p=a:s,密 "));

    const QStringList dbSvrSetup = linesOf(4, form);
    EXPECT_EQ(dbSvrSetup.at(4), QStringLiteral("GameDBPasswd =  p=a:s,密 "));
    EXPECT_EQ(dbSvrSetup.at(7), QStringLiteral("AccountDBPasswd =  p=a:s,密 "));
    const QStringList logsrv = linesOf(7, form);
    EXPECT_EQ(logsrv.at(10), QStringLiteral("AccountPass =  p=a:s,密 "));
    EXPECT_EQ(logsrv.at(11), QStringLiteral("AccountIP="));
    const QStringList plusSetup = linesOf(14, form);
    EXPECT_EQ(plusSetup.at(1), QStringLiteral("SQLIP="));
    EXPECT_EQ(plusSetup.at(4), QStringLiteral("SqlUserPass =  p=a:s,密 "));
}
