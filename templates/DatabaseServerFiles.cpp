#include "templates/DatabaseServerFiles.h"

ServerLines DatabaseServerFiles::serverInfoTxt(const FieldSource &fields)
{
    const QString internalIP = trimmedOfBlanks(fields.fieldText(Field::txtNICIP));
    const QString externalIP = trimmedOfBlanks(fields.fieldText(Field::txtExternalIP));
    // The ports go in as typed, blanks and all.
    const LinePiece comma = LinePiece::fixed(QStringLiteral(","));
    const LinePiece colon = LinePiece::fixed(QStringLiteral(":"));
    return {{LinePiece::typed(Field::txtNICIP, internalIP), comma,
             LinePiece::typed(Field::txtExternalIP, externalIP), colon,
             LinePiece::typed(Field::txtRG01Port, fields.fieldText(Field::txtRG01Port)), comma,
             LinePiece::typed(Field::txtExternalIP, externalIP), colon,
             LinePiece::typed(Field::txtRG02Port, fields.fieldText(Field::txtRG02Port))}};
}

ServerLines DatabaseServerFiles::setupIni(const FieldSource &fields)
{
    ServerLines lines = expand(fields, {
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
        lines << fixedLine(QStringLiteral("Rungate%1 = 0").arg(gate));
    return lines;
}
