#pragma once

#include "templates/Template.h"

// The login server's files below Mir3Server\KLoginSvr.
namespace LoginServerFiles {

// One line: the server as the login server lists it to clients, ending in the select gate's address.
ServerLines addrTableTxt(const FieldSource &fields);

// One line: the login server's own address.
ServerLines serverAddrTxt(const FieldSource &fields);

// The login server's ports, switches and the account database it logs into.
ServerLines logsrvIni(const FieldSource &fields);

} // namespace LoginServerFiles
