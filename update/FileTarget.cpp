#include "update/FileTarget.h"

#include "model/Form.h"
#include "platform/CodePage.h"
#include "platform/ProgramPath.h"
#include "templates/Template.h"

QString FileTarget::path(const FieldSource &fields, const QString &caption)
{
    return programRelativePath(fields.fieldText(Field::txtMud3Path) + caption);
}

QByteArray FileTarget::content(int target, const FieldSource &fields)
{
    QByteArray bytes;
    for (const ServerLine &line : lineProducerOf(target)(fields)) {
        for (const LinePiece &piece : line)
            bytes += piece.origin == LinePiece::Typed ? CodePage::encode(piece.text) : CodePage::encodeServerText(piece.text);
        bytes += "\r\n";
    }
    return bytes;
}
