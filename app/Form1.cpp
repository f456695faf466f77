#include "app/Form1.h"

#include "app/MessageBox.h"
#include "app/PreviewDialog.h"
#include "app/RestoreDialog.h"
#include "app/RunWorker.h"
#include "platform/Failure.h"
#include "platform/ProgramPath.h"
#include "platform/ShellOpen.h"
#include "update/UpdateRun.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOption>
#include <QTimer>

namespace {

// The layout is kept in twips (1/1440 inch), the unit it was designed in; 15 twips make one pixel at
// 96 dpi, and Qt's device-pixel scaling takes care of denser screens.
struct Twips {
    int left;
    int top;
    int width;
    int height;
};

constexpr int TwipsPerPixel = 15;
constexpr int ClientWidth = 9990;
// One row more than the fields and targets need: "Restore a Kept Run…" stands below the Internal IP row.
constexpr int ClientHeight = 7470 + 480;
constexpr int RowPitch = 480;

QRect pixels(const Twips &twips)
{
    return {twips.left / TwipsPerPixel, twips.top / TwipsPerPixel, twips.width / TwipsPerPixel,
            twips.height / TwipsPerPixel};
}

// Left column: the targets in index order; the file paths are longer than the table names.
Twips checkBoxAt(int target)
{
    return {240, 240 + RowPitch * target, target < FirstFileTarget ? 4095 : 4335, 375};
}

// Right column: the ten editable fields top down; the fixed NIC address sits alone at the bottom.
int rowTop(Field field)
{
    return field == Field::txtNICIP ? 6960 : 120 + RowPitch * static_cast<int>(field);
}

Twips fieldAt(Field field)
{
    return {7560, rowTop(field), 2295, 405};
}

// Every label ends just left of its field; Label1 is narrower than the Label2 array.
Twips labelAt(const FieldDefinition &definition)
{
    constexpr int labelRight = 7455;
    const int left = qstrcmp(definition.labelName, "Label1") == 0 ? 6240 : 5400;
    return {left, rowTop(definition.field), labelRight - left, 375};
}

// The buttons, top down, between the last editable field and the NIC address; row 5 lies below that.
Twips buttonAt(int row)
{
    return {5640, 5040 + RowPitch * row, 4215, 375};
}

// Windows' themes keep a button's caption three pixels inside the frame and cut it there, which leaves a
// 25 px button a 17 px line and took the lowest rows of MS Sans Serif's 20 px letters. The caption may use
// the whole height inside the frame instead, as the buttons of the desktop the tool comes from let it.
class WholeCaptionStyle : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter, const QWidget *widget) const override
    {
        const auto *button = qstyleoption_cast<const QStyleOptionButton *>(option);
        if (element != CE_PushButtonLabel || !button || !widget) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        QStyleOptionButton label = *button;
        const int frame = pixelMetric(PM_DefaultFrameWidth, option, widget);
        label.rect.setTop(frame);
        label.rect.setBottom(widget->height() - 1 - frame);
        QProxyStyle::drawControl(element, &label, painter, widget);
    }
};

// "Label2(3)" becomes "Label2_3": object names cannot carry the array index in parentheses.
QString objectNameOf(const char *controlName)
{
    QString name = QString::fromLatin1(controlName);
    name.replace(QLatin1Char('('), QLatin1Char('_'));
    name.remove(QLatin1Char(')'));
    return name;
}

} // namespace

Form1::Form1(const QString &settingsPath, QWidget *parent)
    : QWidget(parent)
    , m_settingsPath(settingsPath)
    , m_jobs(settingsPath)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    setFont(controlFont());
    setFixedSize(ClientWidth / TwipsPerPixel, ClientHeight / TwipsPerPixel);
    makeTargets();
    makeFields();
    makeButtons();
    chainTabOrder();
    filterInput();
    connect(&m_jobs.worker(), &RunWorker::fieldChanged, this, &Form1::setFieldText);
    connect(&m_jobs.worker(), &RunWorker::tickCleared, this, &Form1::clearTick);
}

void Form1::makeTargets()
{
    for (int target = 0; target < TargetCount; ++target) {
        QCheckBox *box = new QCheckBox(targetCaption(target), this);
        box->setObjectName(QStringLiteral("Check1_%1").arg(target));
        box->setGeometry(pixels(checkBoxAt(target)));
        box->setChecked(true);
        Check1[static_cast<size_t>(target)] = box;
    }
}

void Form1::makeFields()
{
    for (const FieldDefinition &definition : fieldDefinitions()) {
        QLabel *label = new QLabel(QString::fromUtf8(definition.labelText), this);
        label->setObjectName(objectNameOf(definition.labelName));
        label->setGeometry(pixels(labelAt(definition)));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

        QLineEdit *edit = new QLineEdit(defaultText(definition.field), this);
        edit->setObjectName(QString::fromLatin1(definition.controlName));
        edit->setGeometry(pixels(fieldAt(definition.field)));
        m_fields[static_cast<size_t>(definition.field)] = edit;

        // The NIC address is always loopback: shown for reference, never changed, loaded or saved.
        if (definition.field == Field::txtNICIP) {
            label->setEnabled(false);
            edit->setEnabled(false);
        }
    }
}

void Form1::makeButtons()
{
    // The buttons hold the style in a QPointer: it may go before them when the window ends.
    auto *buttonStyle = new WholeCaptionStyle;
    buttonStyle->setParent(this);
    const auto makeButton = [this, buttonStyle](const char *name, const QString &text, int row) {
        QPushButton *button = new QPushButton(text, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(pixels(buttonAt(row)));
        button->setStyle(buttonStyle);
        return button;
    };
    cmdRunODBC = makeButton("cmdRunODBC", QStringLiteral("Run ODBC Setup"), 0);
    cmdUpdateIP = makeButton("cmdUpdateIP", QStringLiteral("Update Selected IP's"), 1);
    cmdRunSetuptxt = makeButton("cmdRunSetuptxt", QStringLiteral("Run !Setup.txt Editor"), 2);
    cmdPreview = makeButton("cmdPreview", QStringLiteral("Preview Changes"), 3);
    cmdRestore = makeButton("cmdRestore", QStringLiteral("Restore a &Kept Run\u2026"), 5);
    connect(cmdRunODBC, &QPushButton::clicked, this, &Form1::cmdRunODBC_Click);
    connect(cmdUpdateIP, &QPushButton::clicked, this, &Form1::cmdUpdateIP_Click);
    connect(cmdRunSetuptxt, &QPushButton::clicked, this, &Form1::cmdRunSetuptxt_Click);
    connect(cmdPreview, &QPushButton::clicked, this, &Form1::cmdPreview_Click);
    connect(cmdRestore, &QPushButton::clicked, this, &Form1::cmdRestore_Click);
}

// The update button first, then the fields top down, the launchers, the preview, the restore, the targets.
void Form1::chainTabOrder()
{
    QWidget *previous = cmdUpdateIP;
    const auto chain = [&previous](QWidget *next) {
        setTabOrder(previous, next);
        previous = next;
    };
    for (QLineEdit *edit : m_fields)
        chain(edit);
    chain(cmdRunODBC);
    chain(cmdRunSetuptxt);
    chain(cmdPreview);
    chain(cmdRestore);
    for (QCheckBox *box : Check1)
        chain(box);
    cmdUpdateIP->setFocus();
}

void Form1::filterInput()
{
    for (QWidget *control : findChildren<QWidget *>())
        control->installEventFilter(this);
}

QFont Form1::controlFont()
{
    // The window was laid out in MS Sans Serif; Windows has it (as Microsoft Sans Serif, its TrueType
    // successor). Elsewhere Liberation Sans, Arial's metric twin, whose captions fit the controls too.
    const QStringList families{QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")};
    for (const QString &family : families) {
        if (QFontDatabase::hasFamily(family))
            return QFont(family, 12, QFont::Normal);
    }
    return QFont(families.constFirst(), 12, QFont::Normal);
}

void Form1::Form_Load()
{
    Settings::load(*this, m_settingsPath);
    // Said as soon as the window shows, not when the first run fails at its first backup.
    const QString folder = QFileInfo(m_settingsPath).absolutePath();
    const QString failure = writeFailureIn(folder);
    if (!failure.isEmpty()) {
        const QString cause = causeAt(folder, failure);
        QTimer::singleShot(0, this, [this, cause] {
            showMessage(this,
                        QStringLiteral("Settings.ini and the backups of the update runs cannot be kept in the tool's folder. "
                                       "Move the tool to a folder that can be written, such as the server's own."),
                        cause);
        });
    }
}

QString Form1::fieldText(Field field) const
{
    return m_fields[static_cast<size_t>(field)]->text();
}

void Form1::setFieldText(Field field, const QString &text)
{
    m_fields[static_cast<size_t>(field)]->setText(text);
}

bool Form1::isTicked(int target) const
{
    return Check1.at(static_cast<size_t>(target))->isChecked();
}

QString Form1::caption(int target) const
{
    return Check1.at(static_cast<size_t>(target))->text();
}

void Form1::clearTick(int target)
{
    Check1.at(static_cast<size_t>(target))->setChecked(false);
}

void Form1::cmdUpdateIP_Click()
{
    m_jobs.start(*this, [this](RunWorker &worker, const FormValues &values) {
        const RunOutcome outcome = worker.update(values);
        return [this, outcome] { showOutcome(outcome); };
    });
}

void Form1::showOutcome(const RunOutcome &outcome)
{
    if (!outcome.succeeded)
        showMessage(this, outcome.message, outcome.cause);
}

void Form1::cmdRunODBC_Click()
{
    runBelowMud3Path(QStringLiteral("Database\\ODBC.reg"));
}

void Form1::cmdRunSetuptxt_Click()
{
    runBelowMud3Path(QStringLiteral("Setup\\!Setup.txt Editor.exe"));
}

void Form1::runBelowMud3Path(const QString &file)
{
    // The folder the run would use: "C:\Mud3" typed names C:\Mud3\Database\ODBC.reg, not C:\Mud3Database\ODBC.reg.
    // The field is left as typed; only a run stores its own form of the path.
    RunFile(mud3PathAsRunUsesIt(fieldText(Field::txtMud3Path)) + file, winId());
}

void Form1::cmdPreview_Click()
{
    // Reading the rows waits for the database like a run does, so it goes where a run goes.
    m_jobs.start(*this, [this](RunWorker &worker, const FormValues &values) {
        const Preview::RunPreview preview = worker.preview(values);
        return [this, preview] { showPreview(preview); };
    });
}

void Form1::showPreview(const Preview::RunPreview &preview)
{
    PreviewDialog dialog(preview, this);
    dialog.exec();
}

void Form1::cmdRestore_Click()
{
    if (m_jobs.busy())
        return;
    std::vector<Restore::KeptRun> runs;
    try {
        runs = Restore::keptRuns(m_settingsPath);
    } catch (const Failure &failure) {
        showMessage(this, QStringLiteral("The kept runs cannot be listed."), failure.cause());
        return;
    }
    RestoreDialog dialog(m_jobs, FormValues::copyOf(*this), std::move(runs), this);
    connect(&dialog, &RestoreDialog::settingsRestored, this, &Form1::Form_Load);
    dialog.exec();
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    // Enter and Return press the focused button, as on the desktop the tool comes from. Qt's own way, an
    // auto-default button, has a default frame that takes two more pixel rows from the caption in Windows'
    // classic look.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        auto *button = qobject_cast<QPushButton *>(watched);
        if (button && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            button->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (m_jobs.busy())
        event->ignore();
    else
        QWidget::closeEvent(event);
}
