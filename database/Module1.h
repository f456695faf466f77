#pragma once

#include "database/DbConnection.h"
#include "database/DbRecordset.h"

// The program-wide database objects: the one connection and the one record set, each created on first use.
struct Module1 {
    DbConnection dbConnection;
    DbRecordset dbRecordset;
};
