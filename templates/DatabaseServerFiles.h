#pragma once

#include "templates/Template.h"

// The database server's files below Mir3Server\DBSvr.
namespace DatabaseServerFiles {

// One line: where the two run gates are reached, for the database server to hand to clients.
ServerLines serverInfoTxt(const FieldSource &fields);

// The server's name, the accounts of its two databases, the login server and the run gates.
ServerLines setupIni(const FieldSource &fields);

} // namespace DatabaseServerFiles
