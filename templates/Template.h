#pragma once

#include "model/Form.h"

#include <QList>
#include <QString>
#include <initializer_list>
#include <optional>

// A piece of a line of a server file, marked with where it comes from. The template's own text is the
// server processes' (its Chinese section names are code page 936 bytes to them); what the user typed is
// the system's, and names the field it was typed into. FileTarget::content() writes each in its own code page.
struct LinePiece {
    enum Origin { Fixed, Typed };
    Origin origin;
    QString text;
    Field field = Field::txtServerName; // of a typed piece

    static LinePiece fixed(const QString &text) { return {Fixed, text}; }
    static LinePiece typed(Field field, const QString &text) { return {Typed, text, field}; }
};

// One line of a server file, without its line end.
using ServerLine = QList<LinePiece>;
using ServerLines = QList<ServerLine>;

// A line of the template's own text alone.
inline ServerLine fixedLine(const QString &text)
{
    return {LinePiece::fixed(text)};
}

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

// A file target's content: the lines of its template expanded against the current field values,
// in order, without line ends. Pure: no state, no file access, cannot fail.
using LineProducer = ServerLines (*)(const FieldSource &fields);

// The producer of file target i (3 to 14); the target's caption alone says where its file lies.
LineProducer lineProducerOf(int target);
