#include "update/CodePage.h"
#include "update/Failure.h"

#include <gtest/gtest.h>

TEST(CodePage, ChineseSectionNamesBecomeTheirCodePage936Bytes)
{
    EXPECT_EQ(CodePage::encode(QStringLiteral("[封外挂设置]")).toHex(' '), QByteArray("5b b7 e2 cd e2 b9 d2 c9 e8 d6 c3 5d"));
    EXPECT_EQ(CodePage::encode(QStringLiteral("[转发设置]")).toHex(' '), QByteArray("5b d7 aa b7 a2 c9 e8 d6 c3 5d"));
}

TEST(CodePage, UnencodableCharacterFailsNamingIt)
{
    try {
        CodePage::encode(QStringLiteral("Server ß"));
        FAIL() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.cause(), QStringLiteral("The character \"ß\" (U+00DF) cannot be written in code page 936"));
    }
}

TEST(CodePage, CharacterOutsideTheBasicPlaneIsNamedWhole)
{
    try {
        CodePage::encode(QStringLiteral("a\U0001F600b"));
        FAIL() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.cause(), QStringLiteral("The character \"\U0001F600\" (U+1F600) cannot be written in code page 936"));
    }
}

TEST(CodePage, DecodeReadsBackWhatEncodeWrote)
{
    const QString text = QStringLiteral("代理商角色名1 = 在线管理");
    EXPECT_EQ(CodePage::decode(CodePage::encode(text)), text);
}
