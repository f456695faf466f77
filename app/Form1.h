#pragma once

#include "app/WorkerThread.h"
#include "model/Form.h"
#include "model/Settings.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;
struct RunOutcome;

namespace Preview {
struct RunPreview;
}

// The tool's one window: eleven fields, fifteen target check boxes and five buttons, laid out at fixed
// positions. It holds every value the logic reads and changes. Update runs, previews and restores go to a
// worker on a thread of its own, which owns the program's database objects; meanwhile the window keeps
// painting and drops every input, so that nothing typed or clicked during a run takes effect when it ends.
class Form1 : public QWidget, public Form {
    Q_OBJECT

public:
    // Built with the built-in defaults and every target ticked; Form_Load then reads settingsPath.
    explicit Form1(const QString &settingsPath = Settings::path(), QWidget *parent = nullptr);

    // The controls' font: MS Sans Serif at 12 points, Liberation Sans where the system lacks it.
    static QFont controlFont();

    // Loads the stored fields; once the window shows, says so when the settings' folder cannot be written.
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
    void cmdRestore_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void makeTargets();
    void makeFields();
    void makeButtons();
    void chainTabOrder();
    // Every control hands its keys to eventFilter first: Enter and Return press the focused button.
    void filterInput();
    // Hands the shell the file at this path below the Mud3 path.
    void runBelowMud3Path(const QString &file);
    void showOutcome(const RunOutcome &outcome);
    void showPreview(const Preview::RunPreview &preview);

    std::array<QLineEdit *, FieldCount> m_fields{};
    std::array<QCheckBox *, TargetCount> Check1{};
    QPushButton *cmdRunODBC = nullptr;
    QPushButton *cmdUpdateIP = nullptr;
    QPushButton *cmdRunSetuptxt = nullptr;
    QPushButton *cmdPreview = nullptr;
    QPushButton *cmdRestore = nullptr;

    QString m_settingsPath;
    WorkerThread m_jobs;
};
