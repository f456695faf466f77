#include "templates/Template.h"

namespace {

ServerLine lineOf(const FieldSource &fields, const QString &literal, const TemplateRow &row)
{
    ServerLine line = fixedLine(literal);
    if (row.field)
        line << LinePiece::typed(fields.fieldText(*row.field));
    return line;
}

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
