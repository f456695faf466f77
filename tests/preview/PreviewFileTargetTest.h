#pragma once

#include "model/FormValues.h"
#include "platform/ProgramPath.h"
#include "preview/Preview.h"
#include "support/InstallationTree.h"

#include <QFile>
#include <gtest/gtest.h>

using Preview::TargetPreview;

// A file target's preview against a temporary installation, with the built-in field values.
class FilePreview : public testing::Test {
protected:
    void SetUp() override { m_form.setFieldText(Field::txtMud3Path, m_tree.mud3Path()); }

    // What the run writes with the built-in values, from the hand-written files.
    static QByteArray defaultFile(int target)
    {
        return readFile(QStringLiteral(MUD3_TEST_DATA "/golden/defaults/") + fileSystemPath(targetCaption(target)))
            .replace("{txtSQLIP}", "192.168.0.24")
            .replace("{txtSQLPass}", "qef");
    }

    void putIntoTree(int target, const QByteArray &content)
    {
        QFile file(m_tree.filePath(target));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size());
    }

    TargetPreview preview(int target) const { return Preview::previewFileTarget(target, targetCaption(target), m_form); }

    static QString joined(const QStringList &lines) { return lines.join(QLatin1Char('\n')); }

    FormValues m_form;
    InstallationTree m_tree;
};
