#include "templates/TemplateRow.h"

namespace {

QString lineOf(const FieldSource &fields, const QString &literal, const TemplateRow &row)
{
    return row.field ? literal + fields.fieldText(*row.field) : literal;
}

} // namespace

QStringList expand(const FieldSource &fields, std::initializer_list<TemplateRow> rows)
{
    QStringList lines;
    for (const TemplateRow &row : rows)
        lines << lineOf(fields, row.literal, row);
    return lines;
}

QStringList expandNumbered(const FieldSource &fields, int number, std::initializer_list<TemplateRow> rows)
{
    QStringList lines;
    for (const TemplateRow &row : rows)
        lines << lineOf(fields, row.literal.arg(number), row);
    return lines;
}
