#include "app/Form1.h"
#include "app/Fonts.h"
#include "app/PreviewDialog.h"
#include "app/RestoreDialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Each field row as designed, in twips (15 twips make one pixel): the field's top, its label, where the
// label starts (every label ends at 7455), the label's text and the field's built-in default.
struct Row {
    const char *field;
    int top;
    const char *label;
    int labelLeft;
    const char *labelText;
    const char *text; // null: any public address
};

const Row Rows[] = {
    {"txtServerName", 120, "Label2_3", 5400, "Server Name", "Morrowtide"},
    {"txtExternalIP", 600, "Label2_1", 5400, "Server External IP", nullptr},
    {"txtInternalIP", 1080, "Label2_0", 5400, "Server Internal IP", "192.168.0.24"},
    {"txtSQLIP", 1560, "Label1", 6240, "SQL IP", "192.168.0.24"},
    {"txtSQLPass", 2040, "Label2_4", 5400, "SQL Password", "qef"},
    {"txtMud3Path", 2520, "Label2_5", 5400, "Path to Mud3", "C:\\Mud3\\"},
    {"txtLGPort", 3000, "Label2_6", 5400, "Login Gate Port", "7005"},
    {"txtSGPort", 3480, "Label2_7", 5400, "Select Gate Port", "7105"},
    {"txtRG01Port", 3960, "Label2_8", 5400, "Run Gate 01 Port", "7201"},
    {"txtRG02Port", 4440, "Label2_9", 5400, "Run Gate 02 Port", "7202"},
    {"txtNICIP", 6960, "Label2_2", 5400, "Internal IP", "127.0.0.1"},
};

struct Button {
    const char *name;
    int top;
    const char *text;
};

const Button Buttons[] = {
    {"cmdRunODBC", 5040, "Run ODBC Setup"},
    {"cmdUpdateIP", 5520, "Update Selected IP's"},
    {"cmdRunSetuptxt", 6000, "Run !Setup.txt Editor"},
    {"cmdPreview", 6480, "Preview Changes"},
    {"cmdRestore", 7440, "Restore a &Kept Run\u2026"},
};

QRect fromTwips(int left, int top, int width, int height)
{
    return {left / 15, top / 15, width / 15, height / 15};
}

template <typename T>
T *control(const QWidget &window, const char *name)
{
    T *found = window.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QCheckBox *target(const QWidget &window, int index)
{
    return control<QCheckBox>(window, QStringLiteral("Check1_%1").arg(index).toLatin1().constData());
}

// A settings file path that does not exist, so that nothing beside the test binary is read.
QString noSettings(const QTemporaryDir &dir)
{
    return dir.filePath(QStringLiteral("Settings.ini"));
}

// How many device pixels of the button its caption changes: the button drawn with and without it.
int captionPixels(QPushButton &button)
{
    const QString caption = button.text();
    const QImage with = button.grab().toImage();
    button.setText(QString());
    const QImage without = button.grab().toImage();
    button.setText(caption);
    int pixels = 0;
    for (int y = 0; y < with.height(); ++y) {
        for (int x = 0; x < with.width(); ++x)
            pixels += with.pixel(x, y) != without.pixel(x, y);
    }
    return pixels;
}

// Every label and check box shows its whole text, and every push button as many pixels of its caption as in the
// same button 48 px taller (whole device pixels lower at 150 % too), where nothing cuts it. A label that wraps
// its text has the lines it needs.
void expectEveryCaptionWhole(QWidget &window)
{
    for (const QLabel *label : window.findChildren<QLabel *>()) {
        if (label->wordWrap())
            continue;
        const QFontMetrics metrics(label->font());
        EXPECT_LE(metrics.horizontalAdvance(label->text()), label->contentsRect().width()) << label->text().toStdString();
        EXPECT_LE(metrics.height(), label->contentsRect().height()) << label->text().toStdString();
    }
    // A check box's text is drawn in the part of it that the style leaves beside the indicator.
    for (const QCheckBox *button : window.findChildren<QCheckBox *>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect contents = button->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, button);
        const QFontMetrics metrics(button->font());
        // Without the "&" that marks the mnemonic, which is not drawn.
        EXPECT_LE(metrics.horizontalAdvance(QString(button->text()).remove(QLatin1Char('&'))), contents.width()) << button->text().toStdString();
        EXPECT_LE(metrics.height(), contents.height()) << button->text().toStdString();
        EXPECT_TRUE(button->rect().contains(contents)) << button->text().toStdString();
    }
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        QPushButton tall(button->text(), &window);
        tall.setStyle(button->style());
        tall.setIcon(button->icon());
        tall.setEnabled(button->isEnabled());
        tall.setGeometry(button->x(), 0, button->width(), button->height() + 48);
        EXPECT_EQ(captionPixels(*button), captionPixels(tall)) << button->text().toStdString();
    }
}

class WindowTest : public testing::Test {
protected:
    QTemporaryDir dir;
    Form1 window{noSettings(dir)};
};

} // namespace

TEST_F(WindowTest, OpensWithBuiltInDefaultsAndEveryTargetTicked)
{
    for (const Row &row : Rows) {
        QLineEdit *edit = control<QLineEdit>(window, row.field);
        QLabel *label = control<QLabel>(window, row.label);
        ASSERT_TRUE(edit && label);
        EXPECT_EQ(label->text(), QString::fromUtf8(row.labelText)) << row.label;
        if (row.text) {
            EXPECT_EQ(edit->text(), QString::fromUtf8(row.text)) << row.field;
        }
    }
    EXPECT_TRUE(window.fieldText(Field::txtExternalIP).contains(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$"))));

    for (int i = 0; i < TargetCount; ++i) {
        ASSERT_TRUE(target(window, i));
        EXPECT_TRUE(target(window, i)->isChecked()) << i;
    }
    EXPECT_EQ(target(window, 0)->text(), QStringLiteral("TBL_PUBIPS"));
    EXPECT_EQ(target(window, 14)->text(), QStringLiteral("Setup\\Plus_Setup.ini"));

    for (const Button &button : Buttons)
        EXPECT_EQ(control<QPushButton>(window, button.name)->text(), QString::fromUtf8(button.text));
}

TEST_F(WindowTest, NicAddressIsGreyedAndCannotBeEdited)
{
    QLineEdit *nic = control<QLineEdit>(window, "txtNICIP");
    ASSERT_TRUE(nic);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::mouseClick(nic, Qt::LeftButton);
    QTest::keyClicks(nic, QStringLiteral("9"));
    EXPECT_FALSE(nic->isEnabled());
    EXPECT_EQ(nic->text(), QStringLiteral("127.0.0.1"));
}

TEST_F(WindowTest, PasswordShowsInClear)
{
    EXPECT_EQ(control<QLineEdit>(window, "txtSQLPass")->echoMode(), QLineEdit::Normal);
}

TEST_F(WindowTest, ControlsSitAtTheirTwipsPositions)
{
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Form1"));
    // One row below the designed 7470 twips holds the restore button.
    EXPECT_EQ(window.minimumSize(), QSize(9990 / 15, 7950 / 15));
    EXPECT_EQ(window.maximumSize(), QSize(9990 / 15, 7950 / 15));

    // One column of boxes, one every 480 twips; the file paths get the wider boxes.
    for (int i = 0; i < TargetCount; ++i)
        EXPECT_EQ(target(window, i)->geometry(), fromTwips(240, 240 + 480 * i, i < 3 ? 4095 : 4335, 375)) << i;
    EXPECT_EQ(target(window, 14)->geometry().top(), 6960 / 15);

    for (const Row &row : Rows) {
        EXPECT_EQ(control<QWidget>(window, row.field)->geometry(), fromTwips(7560, row.top, 2295, 405)) << row.field;
        EXPECT_EQ(control<QWidget>(window, row.label)->geometry(), fromTwips(row.labelLeft, row.top, 7455 - row.labelLeft, 375))
            << row.label;
    }
    for (const Button &button : Buttons)
        EXPECT_EQ(control<QWidget>(window, button.name)->geometry(), fromTwips(5640, button.top, 4215, 375)) << button.name;
}

TEST_F(WindowTest, ControlsUseMsSansSerifOrLiberationSansAt12Points)
{
    const QFont font = control<QWidget>(window, "Check1_5")->font();
    EXPECT_EQ(font.pointSize(), 12);
    EXPECT_EQ(font.weight(), QFont::Normal);
    const QString family = QFontInfo(font).family();
    EXPECT_TRUE(family == QStringLiteral("MS Sans Serif") || family == QStringLiteral("Liberation Sans")) << family.toStdString();
}

TEST_F(WindowTest, NoCaptionIsClipped)
{
    window.show();
    expectEveryCaptionWhole(window);
    for (const QLineEdit *edit : window.findChildren<QLineEdit *>())
        EXPECT_LE(edit->minimumSizeHint().height(), edit->height()) << edit->objectName().toStdString();
}

// The dialogs are laid out in the system's UI font, not the window's, every text drawn in the face it names
// (no fallback face, as a serif one under Wine), and show every caption whole.
TEST_F(WindowTest, DialogsUseTheSystemFontAndShowEveryCaptionWhole)
{
    WorkerThread jobs(noSettings(dir));
    PreviewDialog preview(Preview::RunPreview{}, &window);
    RestoreDialog restore(jobs, FormValues(), {}, &window);
    const QFont system = Fonts::dialog();
    EXPECT_NE(QFontInfo(system).family(), QFontInfo(Form1::controlFont()).family());
    for (QDialog *dialog : std::initializer_list<QDialog *>{&preview, &restore}) {
        dialog->show();
        EXPECT_EQ(dialog->font(), system);
        for (const QWidget *widget : dialog->findChildren<QWidget *>())
            EXPECT_EQ(QFontInfo(widget->font()).family(), widget->font().family()) << widget->metaObject()->className();
        expectEveryCaptionWhole(*dialog);
    }
}

TEST_F(WindowTest, UpdateButtonHasTheFocusAndLeadsTheTabOrder)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), control<QWidget>(window, "cmdUpdateIP"));

    QStringList expected{QStringLiteral("cmdUpdateIP")};
    for (const Row &row : Rows) {
        if (qstrcmp(row.field, "txtNICIP") != 0)
            expected << QString::fromLatin1(row.field);
    }
    expected << QStringLiteral("cmdRunODBC") << QStringLiteral("cmdRunSetuptxt") << QStringLiteral("cmdPreview") << QStringLiteral("cmdRestore");
    for (int i = 0; i < TargetCount; ++i)
        expected << QStringLiteral("Check1_%1").arg(i);
    expected << QStringLiteral("cmdUpdateIP"); // and round again
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        visited << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, expected);
}

// Every button of the window, whichever has the focus. The buttons' actions are cut off: a press is
// seen by its signal alone, and nothing is run or launched.
TEST_F(WindowTest, EnterAndReturnPressTheFocusedButton)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const QList<QPushButton *> buttons = window.findChildren<QPushButton *>();
    ASSERT_GE(buttons.size(), 3);
    for (QPushButton *button : buttons) {
        QObject::disconnect(button, &QPushButton::clicked, &window, nullptr);
        QSignalSpy pressed(button, &QPushButton::clicked);
        button->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), button);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(pressed.count(), 2) << button->objectName().toStdString();
        EXPECT_FALSE(button->autoDefault()) << "its frame narrows the caption";
    }
}

TEST_F(WindowTest, FormLoadReplacesTheStoredFieldsOnly)
{
    QFile file(noSettings(dir));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Settings]\r\nServerName=Home\r\nExternalIP=198.51.7.9\r\nInternalIP=192.0.2.2\r\nSQLIP=192.0.2.3\r\n"
               "SQLPass=p=q\r\nMud3Path=D:\\Games\\Mud3\\\r\nLGPort=1\r\nSGPort=2\r\nRG01Port=3\r\nRG02Port= 4 \r\n");
    file.close();

    window.Form_Load();

    EXPECT_EQ(window.fieldText(Field::txtServerName), QStringLiteral("Home"));
    EXPECT_EQ(control<QLineEdit>(window, "txtSQLPass")->text(), QStringLiteral("p=q"));
    EXPECT_EQ(control<QLineEdit>(window, "txtMud3Path")->text(), QStringLiteral("D:\\Games\\Mud3\\"));
    EXPECT_EQ(control<QLineEdit>(window, "txtRG02Port")->text(), QStringLiteral(" 4 "));
    EXPECT_EQ(control<QLineEdit>(window, "txtNICIP")->text(), QStringLiteral("127.0.0.1"));
}

TEST_F(WindowTest, LogicReadsAndChangesTheControlsThemselves)
{
    QTest::keyClicks(control<QLineEdit>(window, "txtServerName"), QStringLiteral("  Two "));
    EXPECT_EQ(window.fieldText(Field::txtServerName), QStringLiteral("Morrowtide  Two "));

    window.setFieldText(Field::txtMud3Path, QStringLiteral("C:\\Mud3\\"));
    EXPECT_EQ(control<QLineEdit>(window, "txtMud3Path")->text(), QStringLiteral("C:\\Mud3\\"));

    target(window, 7)->setChecked(false);
    EXPECT_FALSE(window.isTicked(7));
    window.clearTick(3);
    EXPECT_FALSE(target(window, 3)->isChecked());
    EXPECT_TRUE(window.isTicked(4));

    target(window, 9)->setText(QStringLiteral("Elsewhere\\GameGate.ini"));
    EXPECT_EQ(window.caption(9), QStringLiteral("Elsewhere\\GameGate.ini"));
}
