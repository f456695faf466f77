#include "platform/PrivateFolder.h"

#include "platform/Failure.h"

QByteArray PrivateFolder::read(const QString &relativePath, qint64 maxSize) const
{
    const QStringList names = relativePath.split(QLatin1Char('/'));
    std::optional<PrivateFolder> below;
    for (qsizetype i = 0; i + 1 < names.size(); ++i) {
        below = (below ? *below : *this).folder(names.at(i));
        if (!below)
            throw Failure(causeAt(m_path + QLatin1Char('/') + relativePath, QStringLiteral("There is no such file")));
    }
    return (below ? *below : *this).readHere(names.last(), maxSize);
}
