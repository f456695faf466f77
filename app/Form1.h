#pragma once

#include "model/Form.h"
#include "app/RunWorker.h"
#include "model/Settings.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;

// The tool's one window: eleven fields, fifteen target check boxes and four buttons, laid out at fixed
// positions. It holds every value the logic reads and changes; the program's database objects belong to
// the thread that its update runs go on.
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
    // Runs work on the run thread with the busy cursor, returning when it has ended.
    void runOnRunThread(const std::function<void(Form &, Module1 &)> &work);

    std::array<QLineEdit *, FieldCount> m_fields{};
    std::array<QCheckBox *, TargetCount> Check1{};
    QPushButton *cmdRunODBC = nullptr;
    QPushButton *cmdUpdateIP = nullptr;
    QPushButton *cmdRunSetuptxt = nullptr;
    QPushButton *cmdPreview = nullptr;

    QString m_settingsPath;
    RunThread m_runThread;
};
