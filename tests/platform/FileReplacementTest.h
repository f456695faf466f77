#pragma once

#include "support/InstallationTree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A folder holding Config.ini with an old line in it.
class TextFileReplacement : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArrayLiteral("old\r\n"));
    }

    QString path() const { return m_folder.filePath(QStringLiteral("Config.ini")); }
    QStringList folderEntries() const { return QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir m_folder;
};
