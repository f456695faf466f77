#include "templates/DatabaseServerFiles.h"

#include "templates/TemplateRow.h"

namespace {

// Only the blank is stripped: a tab or other white space at either end stays with the address.
QString withoutOuterBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

QStringList DatabaseServerFiles::serverInfoTxt(const FieldSource &fields)
{
    const QString internalIP = withoutOuterBlanks(fields.fieldText(Field::txtNICIP));
    const QString externalIP = withoutOuterBlanks(fields.fieldText(Field::txtExternalIP));
    // The ports go in as typed, blanks and all.
    return {internalIP + QLatin1Char(',')
            + externalIP + QLatin1Char(':') + fields.fieldText(Field::txtRG01Port) + QLatin1Char(',')
            + externalIP + QLatin1Char(':') + fields.fieldText(Field::txtRG02Port)};
}

QStringList DatabaseServerFiles::setupIni(const FieldSource &fields)
{
    QStringList lines = expand(fields, {
        {QStringLiteral("[setup]")},
        {QStringLiteral("Servername = "), Field::txtServerName},
        {QStringLiteral("GameDBName = Game3G")},
        {QStringLiteral("GameDBAcc = sa")},
        {QStringLiteral("GameDBPasswd = "), Field::txtSQLPass},
        {QStringLiteral("AccountDBName = Account")},
        {QStringLiteral("AccountDBAcc = sa")},
        {QStringLiteral("AccountDBPasswd = "), Field::txtSQLPass},
        {QStringLiteral("ver = 0")},
        EmptyLine,
        {QStringLiteral("[Server]")},
        {QStringLiteral("LoginSrvAddr=127.0.0.1")},
        {QStringLiteral("LoginSrvPort = 5600")},
        {QStringLiteral("MapFilePath=.\\")},
        EmptyLine,
        {QStringLiteral("[RunGate]")},
        {QStringLiteral("Rungate1=127.0.0.1,127.0.0.1:"), Field::txtRG01Port},
        {QStringLiteral("Rungate2=127.0.0.1,127.0.0.1:"), Field::txtRG02Port},
    });
    // The installation runs two game gates; the slots of the other six stay switched off.
    for (int gate = 3; gate <= 8; ++gate)
        lines << QStringLiteral("Rungate%1 = 0").arg(gate);
    return lines;
}
