#include "model/FormValues.h"

FormValues::FormValues()
{
    for (const FieldDefinition &definition : fieldDefinitions())
        setFieldText(definition.field, defaultText(definition.field));
    m_ticks.fill(true);
}

FormValues FormValues::copyOf(const Form &form)
{
    FormValues values;
    for (const FieldDefinition &definition : fieldDefinitions())
        values.setFieldText(definition.field, form.fieldText(definition.field));
    for (int target = 0; target < TargetCount; ++target)
        values.setTicked(target, form.isTicked(target));
    return values;
}

QString FormValues::fieldText(Field field) const
{
    return m_texts[static_cast<size_t>(field)];
}

void FormValues::setFieldText(Field field, const QString &text)
{
    m_texts[static_cast<size_t>(field)] = text;
}

bool FormValues::isTicked(int target) const
{
    return m_ticks.at(static_cast<size_t>(target));
}

QString FormValues::caption(int target) const
{
    return targetCaption(target);
}

void FormValues::clearTick(int target)
{
    setTicked(target, false);
}

void FormValues::setTicked(int target, bool ticked)
{
    m_ticks.at(static_cast<size_t>(target)) = ticked;
}
