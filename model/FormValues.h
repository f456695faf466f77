#pragma once

#include "model/Form.h"

#include <array>

// The window's fields and ticks as plain values: what an update run is handed, a copy of the window taken
// when the run starts. Made without one, it holds the built-in defaults with every target ticked, as the
// window opens.
class FormValues : public Form {
public:
    FormValues();
    // The current texts and ticks of form.
    static FormValues copyOf(const Form &form);

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
