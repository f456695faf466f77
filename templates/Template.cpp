#include "templates/Template.h"

#include "templates/DatabaseServerFiles.h"
#include "templates/GateFiles.h"
#include "templates/LoginServerFiles.h"
#include "templates/SetupFiles.h"

#include <array>

namespace {

ServerLine lineOf(const FieldSource &fields, const QString &literal, const TemplateRow &row)
{
    ServerLine line = fixedLine(literal);
    if (row.field)
        line << LinePiece::typed(*row.field, fields.fieldText(*row.field));
    return line;
}

// In target order from target 3.
constexpr std::array<LineProducer, TargetCount - FirstFileTarget> Producers{{
    DatabaseServerFiles::serverInfoTxt,  // 3
    DatabaseServerFiles::setupIni,       // 4
    LoginServerFiles::addrTableTxt,      // 5
    LoginServerFiles::serverAddrTxt,     // 6
    LoginServerFiles::logsrvIni,         // 7
    GateFiles::loginGateConfigIni,       // 8
    GateFiles::runGate01GameGateIni,     // 9
    GateFiles::runGate02GameGateIni,     // 10
    GateFiles::selGateIni,               // 11
    SetupFiles::runAddrTxt,              // 12
    SetupFiles::serverTableTxt,          // 13
    SetupFiles::plusSetupIni,            // 14
}};

} // namespace

ServerLines expand(const FieldSource &fields, std::initializer_list<TemplateRow> rows)
{
    ServerLines lines;
    for (const TemplateRow &row : rows)
        lines << lineOf(fields, row.literal, row);
    return lines;
}

ServerLines expandNumbered(const FieldSource &fields, int number, std::initializer_list<TemplateRow> rows)
{
    ServerLines lines;
    for (const TemplateRow &row : rows)
        lines << lineOf(fields, row.literal.arg(number), row);
    return lines;
}

LineProducer lineProducerOf(int target)
{
    return Producers.at(static_cast<size_t>(target - FirstFileTarget));
}
