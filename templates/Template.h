#pragma once

#include "model/Form.h"
#include "templates/ServerLine.h"

#include <QString>
#include <initializer_list>
#include <optional>

// One line of a server file's template: a literal, followed directly by the text of a field when the row
// names one. The text goes in as typed; the literal, the template's own text, carries its own "=", blanks
// or comma.
struct TemplateRow {
    QString literal;
    std::optional<Field> field = std::nullopt;
};

// An empty line of a template.
inline const TemplateRow EmptyLine{QString()};

// The rows' lines, top to bottom.
ServerLines expand(const FieldSource &fields, std::initializer_list<TemplateRow> rows);

// The lines of a block that repeats with a number in each key: every literal holds "%1", which becomes
// the number. The field's text is added afterwards, so a "%1" that a user typed stays as typed.
ServerLines expandNumbered(const FieldSource &fields, int number, std::initializer_list<TemplateRow> rows);
