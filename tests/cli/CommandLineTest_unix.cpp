#include <QStringList>

QStringList withoutNetwork(const QString &program, const QStringList &arguments)
{
    return QStringList{QStringLiteral("unshare"), QStringLiteral("--net"), QStringLiteral("--"), program} + arguments;
}
