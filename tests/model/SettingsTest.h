#pragma once

#include "model/FormValues.h"
#include "model/Settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <initializer_list>

// A Settings.ini of the test's own, in a temporary folder.
class SettingsFile : public ::testing::Test {
protected:
    QString path() const { return m_folder.filePath(QStringLiteral("Settings.ini")); }

    void write(const QByteArray &bytes)
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    FormValues loaded()
    {
        FormValues form;
        Settings::load(form, path());
        return form;
    }

    QTemporaryDir m_folder;
};

inline void expectDefaults(const FormValues &form, std::initializer_list<Field> fields)
{
    for (Field field : fields)
        EXPECT_EQ(form.fieldText(field), defaultText(field)) << definitionOf(field).controlName;
}

