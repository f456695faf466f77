#include "faults/TreeState.h"

#include <QString>

QString leaveTemporaryFileBeside(const QString &path)
{
    const QString leftover = path + QStringLiteral(".Mud3IPSetup-Ab12Cd");
    writeBytes(leftover, "half");
    return leftover;
}
