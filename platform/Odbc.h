#pragma once

// The ODBC interface of the system's driver manager; on Windows its headers need the system's types first.
#ifdef _WIN32
#include <qt_windows.h>
#endif
#include <sql.h>
#include <sqlext.h>
