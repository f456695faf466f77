#pragma once

#include "templates/Template.h"

// The configuration files of the four gates below Mir3Server.
namespace GateFiles {

// LoginGate\Config.ini
ServerLines loginGateConfigIni(const FieldSource &fields);

// RunGate01\GameGate.ini and RunGate02\GameGate.ini: the same file but for the gate's own port.
ServerLines runGate01GameGateIni(const FieldSource &fields);
ServerLines runGate02GameGateIni(const FieldSource &fields);

// SelGate\SelGate.ini
ServerLines selGateIni(const FieldSource &fields);

} // namespace GateFiles
