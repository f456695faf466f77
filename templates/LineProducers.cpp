#include "templates/LineProducers.h"

#include "templates/DatabaseServerFiles.h"
#include "templates/GateFiles.h"
#include "templates/LoginServerFiles.h"
#include "templates/SetupFiles.h"

#include <array>

namespace {

// In target order from target 3; each target's caption alone says where its file lies.
constexpr std::array<LineProducer, TargetCount - FirstFileTarget> Producers{{
    DatabaseServerFiles::serverInfoTxt,  // 3
    DatabaseServerFiles::setupIni,       // 4
    LoginServerFiles::addrTableTxt,      // 5
    LoginServerFiles::serverAddrTxt,     // 6
    LoginServerFiles::logsrvIni,         // 7
    GateFiles::loginGateConfigIni,       // 8
    GateFiles::runGate01GameGateIni,     // 9
    GateFiles::runGate02GameGateIni,     // 10
    GateFiles::selGateIni,               // 11
    SetupFiles::runAddrTxt,              // 12
    SetupFiles::serverTableTxt,          // 13
    SetupFiles::plusSetupIni,            // 14
}};

} // namespace

LineProducer lineProducerOf(int target)
{
    return Producers.at(static_cast<size_t>(target - FirstFileTarget));
}
