#include "templates/LoginServerFiles.h"

ServerLines LoginServerFiles::addrTableTxt(const FieldSource &fields)
{
    // Fixed columns between the name and the address: 3 blanks, "Mir3", 11 blanks, "127.0.0.1",
    // 5 blanks, "127.0.0.1", 7 blanks. Nothing pads the name, so the columns line up only by chance.
    return {{LinePiece::typed(Field::txtServerName, fields.fieldText(Field::txtServerName)),
             LinePiece::fixed(QStringLiteral("   Mir3           127.0.0.1     127.0.0.1       ")),
             LinePiece::typed(Field::txtExternalIP, fields.fieldText(Field::txtExternalIP)), LinePiece::fixed(QStringLiteral(":")),
             LinePiece::typed(Field::txtSGPort, fields.fieldText(Field::txtSGPort))}};
}

ServerLines LoginServerFiles::serverAddrTxt(const FieldSource &)
{
    return {fixedLine(QStringLiteral("127.0.0.1"))};
}

ServerLines LoginServerFiles::logsrvIni(const FieldSource &fields)
{
    return expand(fields, {
        {QStringLiteral("[server]")},
        {QStringLiteral("ServerAddr=127.0.0.1")},
        {QStringLiteral("ServerPort = 5600")},
        {QStringLiteral("GateAddr=127.0.0.1")},
        {QStringLiteral("GatePort = 5500")},
        {QStringLiteral("ReadyServers = 0")},
        {QStringLiteral("TestServer = 0")},
        {QStringLiteral("EnableMakingID = 1")},
        {QStringLiteral("AccountName = Account")},
        {QStringLiteral("AccountID = sa")},
        {QStringLiteral("AccountPass = "), Field::txtSQLPass},
        {QStringLiteral("AccountIP="), Field::txtSQLIP},
        {QStringLiteral("ShowDetailMsg = 1")},
        {QStringLiteral("EnableEditPass = 1")},
        {QStringLiteral("EnableGetBackPass = 1")},
        {QStringLiteral("AutoStatr = 1")},
        {QStringLiteral("DynamicIPMode = 0")},
        {QStringLiteral("EnableEditRegInfo = 1")},
        {QStringLiteral("EnableMd5Pass = 0")},
        {QStringLiteral("MD5Count = 0")},
        {QStringLiteral("EnCodeAnswerN = 6.31759208164473E+28")},
        {QStringLiteral("EnCodeAnswerE = 65537")},
        {QStringLiteral("IDlengh = 11")},
    });
}
