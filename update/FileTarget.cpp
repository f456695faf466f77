#include "update/FileTarget.h"

#include "app/Form.h"
#include "templates/LineProducers.h"
#include "update/FileSystemPath.h"
#include "update/TextFile.h"

QString FileTarget::path(const FieldSource &fields, const QString &caption)
{
    return programRelativePath(fields.fieldText(Field::txtMud3Path) + caption);
}

QByteArray FileTarget::content(int target, const FieldSource &fields)
{
    return TextFile::encodeLines(lineProducerOf(target)(fields));
}
