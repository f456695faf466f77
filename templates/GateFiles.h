#pragma once

#include "app/Form.h"

#include <QStringList>

// The configuration files of the four gates below Mir3Server.
namespace GateFiles {

// LoginGate\Config.ini
QStringList loginGateConfigIni(const FieldSource &fields);

// RunGate01\GameGate.ini and RunGate02\GameGate.ini: the same file but for the gate's own port.
QStringList runGate01GameGateIni(const FieldSource &fields);
QStringList runGate02GameGateIni(const FieldSource &fields);

// SelGate\SelGate.ini
QStringList selGateIni(const FieldSource &fields);

} // namespace GateFiles
