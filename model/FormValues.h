#pragma once

#include "model/Form.h"

#include <array>

// The window's fields and ticks without a window: built-in defaults, every target ticked.
class FormModel : public Form {
public:
    FormModel();

    QString fieldText(Field field) const override;
    void setFieldText(Field field, const QString &text) override;
    bool isTicked(int target) const override;
    QString caption(int target) const override;
    void clearTick(int target) override;

    void setTicked(int target, bool ticked);

private:
    std::array<QString, FieldCount> m_texts;
    std::array<bool, TargetCount> m_ticks;
};
