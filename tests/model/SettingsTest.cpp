#include "SettingsTest.h"

#include "model/FormValues.h"
#include "model/Settings.h"
#include "platform/Failure.h"
#include "support/InstallationTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QStringEncoder>
#include <gtest/gtest.h>

TEST_F(SettingsFile, SaveWritesElevenLinesInFileOrderWithCrLf)
{
    FormValues form;
    form.setFieldText(Field::txtServerName, QStringLiteral(" 龙城 "));
    form.setFieldText(Field::txtSQLPass, QStringLiteral("a=b;c"));
    Settings::save(form, path());

    const QByteArray expected = QByteArrayLiteral("[Settings]\r\n"
                                                  "ServerName= \xc1\xfa\xb3\xc7 \r\n"
                                                  "ExternalIP=203.0.113.24\r\n"
                                                  "InternalIP=192.168.0.24\r\n"
                                                  "SQLIP=192.168.0.24\r\n"
                                                  "SQLPass=a=b;c\r\n"
                                                  "Mud3Path=C:\\Mud3\\\r\n"
                                                  "LGPort=7005\r\n"
                                                  "SGPort=7105\r\n"
                                                  "RG01Port=7201\r\n"
                                                  "RG02Port=7202\r\n");
    EXPECT_EQ(readFile(path()), expected);
}

TEST_F(SettingsFile, SavedValuesLoadBackUnchanged)
{
    FormValues saved;
    const std::vector<std::pair<Field, QString>> values{
        {Field::txtServerName, QStringLiteral("Name=With=Signs")}, {Field::txtExternalIP, QStringLiteral(" 198.51.100.7 ")},
        {Field::txtInternalIP, QString()},                         {Field::txtSQLIP, QStringLiteral("127.0.0.1,1433")},
        {Field::txtSQLPass, QStringLiteral("p=;{x} ")},            {Field::txtMud3Path, QStringLiteral("D:\\Games\\Mud3\\")},
        {Field::txtLGPort, QStringLiteral("1")},                   {Field::txtSGPort, QStringLiteral("2")},
        {Field::txtRG01Port, QStringLiteral("3")},                 {Field::txtRG02Port, QStringLiteral("服务器")},
    };
    for (const auto &[field, text] : values)
        saved.setFieldText(field, text);
    Settings::save(saved, path());

    const FormValues form = loaded();
    for (const auto &[field, text] : values)
        EXPECT_EQ(form.fieldText(field), text) << definitionOf(field).controlName;
}

TEST_F(SettingsFile, FailedSaveKeepsThePreviousFile)
{
    write(QByteArrayLiteral("[Settings]\r\nServerName=Before\r\n"));
    FormValues form;
    form.setFieldText(Field::txtServerName, QStringLiteral("\u00DF cannot be written"));
    EXPECT_THROW(Settings::save(form, path()), Failure);
    EXPECT_EQ(readFile(path()), QByteArrayLiteral("[Settings]\r\nServerName=Before\r\n"));
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("Settings.ini")});
}

TEST_F(SettingsFile, LoadReadsByPositionIgnoringKeys)
{
    write(QByteArrayLiteral("anything\r\nRG02Port=first\r\nX=second\r\n=third\r\nno sign here\r\nSQLPass= spaced \r\n"
                            "C:\\Mud3\\\r\nLGPort=a=b\r\nSGPort=\r\nRG01Port=9\r\nServerName=tenth\r\nExtra=ignored\r\n"));
    const FormValues form = loaded();
    EXPECT_EQ(form.fieldText(Field::txtServerName), QStringLiteral("first"));
    EXPECT_EQ(form.fieldText(Field::txtExternalIP), QStringLiteral("second"));
    EXPECT_EQ(form.fieldText(Field::txtInternalIP), QStringLiteral("third"));
    EXPECT_EQ(form.fieldText(Field::txtSQLIP), QStringLiteral("no sign here"));
    EXPECT_EQ(form.fieldText(Field::txtSQLPass), QStringLiteral(" spaced "));
    EXPECT_EQ(form.fieldText(Field::txtMud3Path), QStringLiteral("C:\\Mud3\\"));
    EXPECT_EQ(form.fieldText(Field::txtLGPort), QStringLiteral("a=b"));
    EXPECT_EQ(form.fieldText(Field::txtSGPort), QString());
    EXPECT_EQ(form.fieldText(Field::txtRG01Port), QStringLiteral("9"));
    EXPECT_EQ(form.fieldText(Field::txtRG02Port), QStringLiteral("tenth"));
    expectDefaults(form, {Field::txtNICIP});
}

TEST_F(SettingsFile, LoadCutsValuesTo120Characters)
{
    const QByteArray longValue(300, 'v');
    const QByteArray longLine(130, 'k'); // no "=": the line itself, cut
    write("[Settings]\r\nServerName=" + longValue + "\r\n" + longLine + "\r\n");
    const FormValues form = loaded();
    EXPECT_EQ(form.fieldText(Field::txtServerName), QString(120, QLatin1Char('v')));
    EXPECT_EQ(form.fieldText(Field::txtExternalIP), QString(120, QLatin1Char('k')));
}

TEST_F(SettingsFile, MissingFileKeepsEveryDefault)
{
    const FormValues form = loaded();
    expectDefaults(form, {Field::txtServerName, Field::txtExternalIP, Field::txtInternalIP, Field::txtSQLIP, Field::txtSQLPass,
                          Field::txtMud3Path, Field::txtLGPort, Field::txtSGPort, Field::txtRG01Port, Field::txtRG02Port,
                          Field::txtNICIP});
}

TEST_F(SettingsFile, ShortFileKeepsTheDefaultsOfTheLinesItLacks)
{
    write(QByteArrayLiteral("[Settings]\nServerName=Short\nExternalIP=198.51.100.1"));
    const FormValues form = loaded();
    EXPECT_EQ(form.fieldText(Field::txtServerName), QStringLiteral("Short"));
    EXPECT_EQ(form.fieldText(Field::txtExternalIP), QStringLiteral("198.51.100.1"));
    expectDefaults(form, {Field::txtInternalIP, Field::txtSQLIP, Field::txtRG02Port});
}

TEST_F(SettingsFile, EmptyOrGarbageFileNeitherFailsNorInventsValues)
{
    write(QByteArray());
    expectDefaults(loaded(), {Field::txtServerName, Field::txtRG02Port});

    write(QByteArray("\xff\xfe\x00\x01\x80\r\nServerName=\x81\x30\xff", 14));
    const FormValues form = loaded();
    EXPECT_FALSE(form.fieldText(Field::txtServerName).isEmpty());
    expectDefaults(form, {Field::txtExternalIP, Field::txtRG02Port});
}

TEST_F(SettingsFile, ByteOrderMarkDecidesTheEncoding)
{
    const QString text = QStringLiteral("[Settings]\r\nServerName=龙城 \u00DF\r\nExternalIP=198.51.100.9\r\n");
    for (const auto encoding : {QStringConverter::Utf8, QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        QStringEncoder encoder(encoding, QStringEncoder::Flag::WriteBom);
        write(encoder.encode(text));
        const FormValues form = loaded();
        EXPECT_EQ(form.fieldText(Field::txtServerName), QStringLiteral("龙城 \u00DF")) << QStringConverter::nameForEncoding(encoding);
        EXPECT_EQ(form.fieldText(Field::txtExternalIP), QStringLiteral("198.51.100.9")) << QStringConverter::nameForEncoding(encoding);
        expectDefaults(form, {Field::txtInternalIP});
    }
}

TEST_F(SettingsFile, HalfACodeUnitAtTheEndIsNoLine)
{
    QStringEncoder encoder(QStringConverter::Utf16BE, QStringEncoder::Flag::WriteBom);
    write(encoder.encode(QStringLiteral("[Settings]\nServerName=龙\r")) + QByteArrayLiteral("\n"));
    const FormValues form = loaded();
    EXPECT_EQ(form.fieldText(Field::txtServerName), QStringLiteral("龙"));
    expectDefaults(form, {Field::txtExternalIP});
}

TEST_F(SettingsFile, UndecodableValueNamesTheFileAndTheFieldWhenSaved)
{
    // In code page 936 a lead byte 0x81 is never followed by 0x7F.
    write(QByteArrayLiteral("[Settings]\r\nServerName=\x81\x7f\r\nExternalIP=198.51.100.9\r\n"));
    const FormValues form = loaded();
    EXPECT_TRUE(form.fieldText(Field::txtServerName).contains(QChar::ReplacementCharacter));
    try {
        Settings::save(form, path());
        FAIL() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.cause(), QLatin1Char('"') + QDir::toNativeSeparators(path())
                                       + QStringLiteral("\": ServerName cannot be saved; retype the field \"Server Name\". The "
                                                        "character \"\uFFFD\" (U+FFFD) cannot be written in code page 936"));
    }
}

