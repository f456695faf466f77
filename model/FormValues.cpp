#include "model/FormValues.h"

FormModel::FormModel()
{
    for (const FieldDefinition &definition : fieldDefinitions())
        setFieldText(definition.field, defaultText(definition.field));
    m_ticks.fill(true);
}

QString FormModel::fieldText(Field field) const
{
    return m_texts[static_cast<size_t>(field)];
}

void FormModel::setFieldText(Field field, const QString &text)
{
    m_texts[static_cast<size_t>(field)] = text;
}

bool FormModel::isTicked(int target) const
{
    return m_ticks.at(static_cast<size_t>(target));
}

QString FormModel::caption(int target) const
{
    return targetCaption(target);
}

void FormModel::clearTick(int target)
{
    setTicked(target, false);
}

void FormModel::setTicked(int target, bool ticked)
{
    m_ticks.at(static_cast<size_t>(target)) = ticked;
}
