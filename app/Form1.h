#pragma once

#include "app/Form.h"
#include "app/Settings.h"
#include "update/Module1.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;

// The tool's one window: eleven fields, fifteen target check boxes and four buttons, laid out at fixed
// positions. It holds every value the logic reads and changes, and it owns the program's database objects.
class Form1 : public QWidget, public Form {
    Q_OBJECT

public:
    // Built with the built-in defaults and every target ticked; Form_Load then reads settingsPath.
    explicit Form1(const QString &settingsPath = Settings::path(), QWidget *parent = nullptr);

    // "MS Sans Serif" 12 pt where the system has it, else Liberation Sans, whose metrics match it.
    static QFont controlFont();

    void Form_Load();

    QString fieldText(Field field) const override;
    void setFieldText(Field field, const QString &text) override;
    bool isTicked(int target) const override;
    QString caption(int target) const override;
    void clearTick(int target) override;

public slots:
    void cmdUpdateIP_Click();
    void cmdRunODBC_Click();
    void cmdRunSetuptxt_Click();
    void cmdPreview_Click();

private:
    std::array<QLineEdit *, FieldCount> m_fields{};
    std::array<QCheckBox *, TargetCount> Check1{};
    QPushButton *cmdRunODBC = nullptr;
    QPushButton *cmdUpdateIP = nullptr;
    QPushButton *cmdRunSetuptxt = nullptr;
    QPushButton *cmdPreview = nullptr;

    QString m_settingsPath;
    Module1 m_module;
};
