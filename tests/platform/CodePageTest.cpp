#include "platform/CodePage.h"
#include "platform/Failure.h"

#include <gtest/gtest.h>

namespace {

// What a user might type on a system of each code page, and its bytes there. Linux is always 936.
struct TypedSample {
    const char *codePage;
    QString text;
    QByteArray hex;
};

const TypedSample *typedSample()
{
    static const TypedSample samples[] = {
        {"936", QStringLiteral("墨潮一区"), "c4 ab b3 b1 d2 bb c7 f8"},
        {"1252", QStringLiteral("Café Münster"), "43 61 66 e9 20 4d fc 6e 73 74 65 72"},
        {"65001", QStringLiteral("Café 墨潮"), "43 61 66 c3 a9 20 e5 a2 a8 e6 bd ae"},
    };
    for (const TypedSample &sample : samples) {
        if (CodePage::name() == QLatin1String(sample.codePage))
            return &sample;
    }
    return nullptr;
}

QString causeOf(const QString &text)
{
    try {
        CodePage::encode(text);
    } catch (const Failure &failure) {
        return failure.cause();
    }
    return QStringLiteral("no failure");
}

} // namespace

TEST(CodePage, ChineseSectionNamesBecomeTheirCodePage936BytesWhateverTheSystemCodePage)
{
    EXPECT_EQ(CodePage::encodeServerText(QStringLiteral("[封外挂设置]")).toHex(' '), QByteArray("5b b7 e2 cd e2 b9 d2 c9 e8 d6 c3 5d"));
    EXPECT_EQ(CodePage::encodeServerText(QStringLiteral("[转发设置]")).toHex(' '), QByteArray("5b d7 aa b7 a2 c9 e8 d6 c3 5d"));
}

TEST(CodePage, PlainTextKeepsItsBytesInEverySystemCodePage)
{
    EXPECT_EQ(CodePage::encode(QStringLiteral("GatePort = 7200")), QByteArray("GatePort = 7200"));
}

TEST(CodePage, TypedTextIsWrittenInTheSystemCodePage)
{
    const TypedSample *sample = typedSample();
    if (!sample)
        GTEST_SKIP() << "no sample for code page " << CodePage::name().toStdString();
    EXPECT_EQ(CodePage::encode(sample->text).toHex(' '), sample->hex);
    EXPECT_EQ(CodePage::decode(QByteArray::fromHex(sample->hex)), sample->text);
}

TEST(CodePage, UnencodableCharacterFailsNamingIt)
{
    const QString name = CodePage::name();
    if (name == QLatin1String("65001"))
        GTEST_SKIP() << "UTF-8 holds every character";
    // "墨" is outside code page 1252, "ß" outside 936.
    const QString missing = name == QLatin1String("936") ? QStringLiteral("ß") : QStringLiteral("墨");
    const QString codePoint = name == QLatin1String("936") ? QStringLiteral("00DF") : QStringLiteral("58A8");
    EXPECT_EQ(causeOf(QStringLiteral("Server ") + missing),
              QStringLiteral("The character \"%1\" (U+%2) cannot be written in code page %3").arg(missing, codePoint, name));
}

TEST(CodePage, LoneSurrogateCannotBeWrittenInUtf8)
{
    if (CodePage::name() != QLatin1String("65001"))
        GTEST_SKIP() << "for code page 65001";
    EXPECT_EQ(causeOf(QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b")).left(15), QStringLiteral("The character \""));
}

TEST(CodePage, CharacterOutsideTheBasicPlaneIsNamedWhole)
{
    if (CodePage::name() == QLatin1String("65001"))
        GTEST_SKIP() << "UTF-8 holds every character";
    EXPECT_EQ(causeOf(QStringLiteral("a\U0001F600b")),
              QStringLiteral("The character \"\U0001F600\" (U+1F600) cannot be written in code page %1").arg(CodePage::name()));
}
