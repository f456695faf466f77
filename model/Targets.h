#pragma once

#include <QString>

// The fifteen update targets, in the order a run takes them: targets 0 to 2 are tables of the account
// database, 3 to 14 files below the Mud3 path.
constexpr int TargetCount = 15;
constexpr int FirstFileTarget = 3;

// The caption of target i: the table name (0 to 2) or the file path relative to the Mud3 path (3 to 14).
// The run takes both from the caption, never from a constant of its own.
QString targetCaption(int index);
