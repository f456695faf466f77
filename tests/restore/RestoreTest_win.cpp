#include <QString>

// QSaveFile's temporary file bears no mark of the tool's: a leftover is left to the user.
QString leaveTemporaryFileBeside(const QString &)
{
    return {};
}
