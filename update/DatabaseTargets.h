#pragma once

#include <QString>

class FieldSource;
struct Module1;

// The work of database target 0, 1 or 2 on its table: its row updates in order, each written whole or
// not at all. Throws Failure at the first failing row update; earlier ones stay written.
void runDatabaseTarget(int target, const QString &table, const FieldSource &fields, Module1 &module);
