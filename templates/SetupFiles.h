#pragma once

#include "templates/Template.h"

// The files of the setup utility below Setup.
namespace SetupFiles {

// One line: the address the setup utility runs the servers at.
ServerLines runAddrTxt(const FieldSource &fields);

// One line per game gate: its number, address and port.
ServerLines serverTableTxt(const FieldSource &fields);

// The database login, the script's static texts and the bonuses of the twenty worn-item sets.
ServerLines plusSetupIni(const FieldSource &fields);

} // namespace SetupFiles
