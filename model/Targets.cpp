#include "model/Targets.h"

#include <array>

namespace {

const std::array<const char *, TargetCount> Captions{{
    "TBL_PUBIPS",
    "TBL_SELECTGATEIPS",
    "TBL_SERVERINFO",
    "Mir3Server\\DBSvr\\!ServerInfo.txt",
    "Mir3Server\\DBSvr\\Setup.ini",
    "Mir3Server\\KLoginSvr\\!AddrTable.txt",
    "Mir3Server\\KLoginSvr\\!ServerAddr.txt",
    "Mir3Server\\KLoginSvr\\Logsrv.ini",
    "Mir3Server\\LoginGate\\Config.ini",
    "Mir3Server\\RunGate01\\GameGate.ini",
    "Mir3Server\\RunGate02\\GameGate.ini",
    "Mir3Server\\SelGate\\SelGate.ini",
    "Setup\\!RunAddr.txt",
    "Setup\\!ServerTable.txt",
    "Setup\\Plus_Setup.ini",
}};

} // namespace

QString targetCaption(int index)
{
    return QString::fromUtf8(Captions.at(static_cast<size_t>(index)));
}
