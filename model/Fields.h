#pragma once

#include <QString>
#include <array>

// The eleven text fields of the window, in their on-screen order from top to bottom.
// The enumerators carry the control names, so that a template reads like the window it takes its values from.
enum class Field {
    txtServerName,
    txtExternalIP,
    txtInternalIP,
    txtSQLIP,
    txtSQLPass,
    txtMud3Path,
    txtLGPort,
    txtSGPort,
    txtRG01Port,
    txtRG02Port,
    txtNICIP,
};

constexpr int FieldCount = 11;

struct FieldDefinition {
    Field field;
    const char *controlName; // "txtServerName"
    const char *labelName;   // "Label2(3)"
    const char *labelText;   // UTF-8
    const char *defaultText; // UTF-8
};

// In on-screen order; the index of a field in this table is static_cast<int>(field).
const std::array<FieldDefinition, FieldCount> &fieldDefinitions();
const FieldDefinition &definitionOf(Field field);
QString defaultText(Field field);

// Throws Failure naming the field and the character when text holds a control character other than a tab:
// invisible in the field, it would reach files and tables unseen, and be cut short in some of them.
void requireNoControlCharacter(Field field, const QString &text);

// A field's text with its leading and trailing blanks removed, where a value is used trimmed. Only the
// space character counts: a tab or other white space at either end stays.
QString trimmedOfBlanks(const QString &text);
