#include "PreviewFileTargetTest.h"

#include <QFile>
#include <gtest/gtest.h>

#include <sys/stat.h>

TEST_F(FilePreview, PipeInPlaceOfTheFileIsNotReadAndFails)
{
    const QString path = m_tree.filePath(5);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const TargetPreview shown = preview(5);
    EXPECT_EQ(shown.lines, QStringList{QStringLiteral("    fails: \"") + path + QStringLiteral("\": This is a named pipe, not a file; nothing was written")});
}
