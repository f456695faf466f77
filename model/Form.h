#pragma once

#include "model/Fields.h"
#include "model/Targets.h"

// What the logic may read: the current text of a field. Template producers see only this.
class FieldSource {
public:
    virtual ~FieldSource() = default;
    virtual QString fieldText(Field field) const = 0;
};

// The whole of what the logic may read and change of the window: its fields and its targets' ticks and
// captions. Implemented by the window itself and by FormValues, a copy of them without a window.
class Form : public FieldSource {
public:
    virtual void setFieldText(Field field, const QString &text) = 0;
    virtual bool isTicked(int target) const = 0;
    virtual QString caption(int target) const = 0;
    virtual void clearTick(int target) = 0;
};
