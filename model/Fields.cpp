#include "model/Fields.h"

#include "platform/Failure.h"

namespace {

const std::array<FieldDefinition, FieldCount> Definitions{{
    {Field::txtServerName, "txtServerName", "Label2(3)", "Server Name", "Morrowtide"},
    {Field::txtExternalIP, "txtExternalIP", "Label2(1)", "Server External IP", "203.0.113.24"},
    {Field::txtInternalIP, "txtInternalIP", "Label2(0)", "Server Internal IP", "192.168.0.24"},
    {Field::txtSQLIP, "txtSQLIP", "Label1", "SQL IP", "192.168.0.24"},
    {Field::txtSQLPass, "txtSQLPass", "Label2(4)", "SQL Password", "qef"},
    {Field::txtMud3Path, "txtMud3Path", "Label2(5)", "Path to Mud3", "C:\\Mud3\\"},
    {Field::txtLGPort, "txtLGPort", "Label2(6)", "Login Gate Port", "7005"},
    {Field::txtSGPort, "txtSGPort", "Label2(7)", "Select Gate Port", "7105"},
    {Field::txtRG01Port, "txtRG01Port", "Label2(8)", "Run Gate 01 Port", "7201"},
    {Field::txtRG02Port, "txtRG02Port", "Label2(9)", "Run Gate 02 Port", "7202"},
    {Field::txtNICIP, "txtNICIP", "Label2(2)", "Internal IP", "127.0.0.1"},
}};


} // namespace

const std::array<FieldDefinition, FieldCount> &fieldDefinitions()
{
    return Definitions;
}

const FieldDefinition &definitionOf(Field field)
{
    return Definitions[static_cast<size_t>(field)];
}

QString defaultText(Field field)
{
    return QString::fromUtf8(definitionOf(field).defaultText);
}

QString trimmedOfBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

void requireNoControlCharacter(Field field, const QString &text)
{
    for (const QChar character : text) {
        if (character.category() == QChar::Other_Control && character != QLatin1Char('\t'))
            throw Failure(QStringLiteral("The field \"%1\" holds the control character U+%2, which shows as nothing and would "
                                         "reach the files and tables unseen; retype the field")
                              .arg(QString::fromUtf8(definitionOf(field).labelText),
                                   QString::number(character.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0'))));
    }
}
