#include "templates/GateFiles.h"

namespace {

ServerLines gameGateIni(const FieldSource &fields, Field gatePort)
{
    return expand(fields, {
        {QStringLiteral("[封外挂设置]")},
        {QStringLiteral("CheckSpeed1 = 1200")},
        {QStringLiteral("CheckSpeed2 = 300")},
        {QStringLiteral("CheckSpeed3 = 4")},
        {QStringLiteral("CheckSpeed4 = 2")},
        {QStringLiteral("CheckSpeed5 = 0")},
        EmptyLine,
        {QStringLiteral("[GameGate]")},
        {QStringLiteral("Title = Mir3")},
        {QStringLiteral("ServerAddr=127.0.0.1")},
        {QStringLiteral("ServerPort = 5010")},
        {QStringLiteral("GateAddr="), Field::txtInternalIP},
        {QStringLiteral("GatePort = "), gatePort},
        {QStringLiteral("ShowLogLevel = 0")},
        {QStringLiteral("ShowBite = 1")},
        {QStringLiteral("ServerCheckTimeOut = 180000")},
        {QStringLiteral("ClientSendBlockSize = 1000")},
        {QStringLiteral("MaxConnOfIPaddr = 50")},
        {QStringLiteral("BlockMethod = 0")},
        {QStringLiteral("MaxClientPacketSize = 7070")},
        {QStringLiteral("NomClientPacketSize = 410")},
        {QStringLiteral("MaxClientMsgCount = 29")},
        {QStringLiteral("kickOverPacket = 1")},
        {QStringLiteral("ClientTimeOutTime = 5000")},
    });
}

// One forwarding group of the select gate, "%1" standing for the group's number. Its keys follow the
// gate's own order 1, 4, 7, 8, 5, 2, 9, 6, 3; keys 2 and 3 lead to the two run gates.
ServerLines forwardingGroup(const FieldSource &fields, int group)
{
    return expandNumbered(fields, group, {
        {QStringLiteral("OpenChangeSend%1 = 0")},
        {QStringLiteral("Port1_%1 = 7200")},
        {QStringLiteral("Port4_%1 = 7203")},
        {QStringLiteral("Port7_%1 = 7206")},
        {QStringLiteral("Port8_%1 = 7207")},
        {QStringLiteral("Port5_%1 = 7204")},
        {QStringLiteral("Port2_%1 = "), Field::txtRG01Port},
        {QStringLiteral("Port9_%1 = 7208")},
        {QStringLiteral("Port6_%1 = 7205")},
        {QStringLiteral("Port3_%1 = "), Field::txtRG02Port},
        {QStringLiteral("SourcePort%1=7200,"), Field::txtRG02Port},
        {QStringLiteral("SourceIp%1=127.0.0.1")},
        {QStringLiteral("DestinationIp%1=127.0.0.1")},
    });
}

} // namespace

ServerLines GateFiles::loginGateConfigIni(const FieldSource &fields)
{
    return expand(fields, {
        {QStringLiteral("[LoginGate]")},
        {QStringLiteral("KeepConnectTimeOut = 60000")},
        {QStringLiteral("Title = Mir3")},
        {QStringLiteral("ServerAddr=127.0.0.1")},
        {QStringLiteral("ServerPort = 5500")},
        {QStringLiteral("GateAddr="), Field::txtInternalIP},
        {QStringLiteral("GatePort = "), Field::txtLGPort},
        {QStringLiteral("ShowLogLevel = 3")},
        {QStringLiteral("MaxConnOfIPaddr = 10")},
        {QStringLiteral("BlockMethod = 0")},
    });
}

ServerLines GateFiles::runGate01GameGateIni(const FieldSource &fields)
{
    return gameGateIni(fields, Field::txtRG01Port);
}

ServerLines GateFiles::runGate02GameGateIni(const FieldSource &fields)
{
    return gameGateIni(fields, Field::txtRG02Port);
}

ServerLines GateFiles::selGateIni(const FieldSource &fields)
{
    ServerLines lines = expand(fields, {
        {QStringLiteral("[SelGate]")},
        {QStringLiteral("KeepConnectTimeOut = 60000")},
        {QStringLiteral("Title = Mir3")},
        {QStringLiteral("ServerAddr=127.0.0.1")},
        {QStringLiteral("ServerPort = 5100")},
        {QStringLiteral("GateAddr="), Field::txtInternalIP},
        {QStringLiteral("GatePort = "), Field::txtSGPort},
        {QStringLiteral("ShowLogLevel = 0")},
        {QStringLiteral("OpenSendtoRunGate = 1")},
        {QStringLiteral("SendtoRunGateAddr=127.0.0.1")},
        // Both send-to slots lead to run gate 01.
        {QStringLiteral("SendtoRunGatePort1 = "), Field::txtRG01Port},
        {QStringLiteral("SendtoRunGatePort2 = "), Field::txtRG01Port},
    });
    for (int slot = 3; slot <= 9; ++slot)
        lines << fixedLine(QStringLiteral("SendtoRunGatePort%1 = 0").arg(slot));
    lines << expand(fields, {
        EmptyLine,
        {QStringLiteral("[转发设置]")},
        {QStringLiteral("OpenChangeSend = 1")},
        {QStringLiteral("Port1 = "), Field::txtRG01Port},
        {QStringLiteral("Port4 = 0")},
        {QStringLiteral("Port7 = 0")},
        {QStringLiteral("Port8 = 0")},
        {QStringLiteral("Port5 = 0")},
        {QStringLiteral("Port2 = "), Field::txtRG02Port},
        {QStringLiteral("Port9 = 0")},
        {QStringLiteral("Port6 = 0")},
        {QStringLiteral("Port3 = 0")},
        {QStringLiteral("SourcePort = "), Field::txtRG01Port},
        {QStringLiteral("SourceIp=127.0.0.1")},
        {QStringLiteral("DestinationIp=127.0.0.1")},
    });
    for (int group = 1; group <= 3; ++group)
        lines << forwardingGroup(fields, group);
    return lines;
}
