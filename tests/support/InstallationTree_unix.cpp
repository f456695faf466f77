#include "support/InstallationTree.h"

#include <QFile>
#include <sys/stat.h>

unsigned fileMode(const QString &path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return 0;
    return status.st_mode & 07777;
}
