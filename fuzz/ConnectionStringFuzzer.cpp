// Any server and password, split from the fuzzer's bytes at the first 0xFF (a byte that UTF-8 never uses).
// The connection string is either refused with a Failure, or it parses back, by the ODBC rules and a parser
// of its own, into exactly the keywords the tool means, each once, in order, carrying the values exactly as
// given: no value can end early or add a keyword of its own.
#include "database/OdbcConnectionString.h"
#include "platform/Failure.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using Keyword = std::pair<QString, QString>;

// Readable and whole, whatever the characters: "\u0000" instead of an end of the C string.
std::string escaped(const QString &text)
{
    std::string out;
    for (QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F) {
            out += char(c.unicode());
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04X", unsigned(c.unicode()));
            out += code;
        }
    }
    return out;
}

[[noreturn]] void fail(const char *what, const QString &text, const QString &server, const QString &password)
{
    std::fprintf(stderr, "%s\n  string:   %s\n  server:   %s\n  password: %s\n", what, escaped(text).c_str(),
                 escaped(server).c_str(), escaped(password).c_str());
    std::abort();
}

// The white space that drivers, parsing in C, trim from around a value.
bool isCSpace(QChar c)
{
    return c == QLatin1Char(' ') || (c.unicode() >= 0x09 && c.unicode() <= 0x0D);
}

// KEY=VALUE pairs, each ended by ";" or the end. A value that starts with "{" runs to the matching "}", inside
// which "}}" stands for one "}", and the ";" or the end must follow at once. Any other value runs to the next
// ";"; it is refused when it holds a brace or begins or ends with white space, which drivers read differently.
bool parse(const QString &text, std::vector<Keyword> &keywords)
{
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype equals = text.indexOf(QLatin1Char('='), at);
        if (equals < 0)
            return false;
        const QString key = text.mid(at, equals - at);
        for (QChar c : key) {
            if (!c.isLetterOrNumber() && c != QLatin1Char('_'))
                return false;
        }
        if (key.isEmpty())
            return false;
        at = equals + 1;
        QString value;
        if (at < text.size() && text.at(at) == QLatin1Char('{')) {
            for (++at;; ++at) {
                if (at >= text.size())
                    return false;
                if (text.at(at) == QLatin1Char('}')) {
                    if (at + 1 < text.size() && text.at(at + 1) == QLatin1Char('}')) {
                        value += QLatin1Char('}');
                        ++at;
                        continue;
                    }
                    ++at;
                    break;
                }
                value += text.at(at);
            }
            if (at < text.size() && text.at(at) != QLatin1Char(';'))
                return false;
        } else {
            const qsizetype semicolon = text.indexOf(QLatin1Char(';'), at);
            const qsizetype end = semicolon < 0 ? text.size() : semicolon;
            value = text.mid(at, end - at);
            if (value.contains(QLatin1Char('{')) || value.contains(QLatin1Char('}')))
                return false;
            if (!value.isEmpty() && (isCSpace(value.front()) || isCSpace(value.back())))
                return false;
            at = end;
        }
        if (at < text.size())
            ++at; // the ";"
        keywords.emplace_back(key, value);
    }
    return true;
}

// What the string must carry. FreeTDS takes a port in a keyword of its own, and has none unless told:
// "host,port" splits into Server and Port (a port named beside an instance wins over it), a host without
// a port gets SQL Server's 1433, and only "host\instance" without a port goes whole in Server, for FreeTDS
// to look up.
std::vector<Keyword> expected(const QString &server, const QString &user, const QString &password, const QString &catalog)
{
    std::vector<Keyword> keywords{{QStringLiteral("DRIVER"), QStringLiteral("FreeTDS")}};
    const qsizetype comma = server.indexOf(QLatin1Char(','));
    const QString name = comma < 0 ? server : server.left(comma);
    const QString port = comma < 0 ? QString() : server.mid(comma + 1);
    const qsizetype backslash = name.indexOf(QLatin1Char('\\'));
    const QString instance = backslash < 0 ? QString() : name.mid(backslash + 1);
    if (!instance.isEmpty() && port.isEmpty()) {
        keywords.emplace_back(QStringLiteral("Server"), server);
    } else {
        keywords.emplace_back(QStringLiteral("Server"), name.left(backslash));
        keywords.emplace_back(QStringLiteral("Port"), port.isEmpty() ? QStringLiteral("1433") : port);
    }
    keywords.emplace_back(QStringLiteral("TDS_Version"), QStringLiteral("7.4"));
    keywords.emplace_back(QStringLiteral("ClientCharset"), QStringLiteral("UTF-8"));
    keywords.emplace_back(QStringLiteral("Database"), catalog);
    keywords.emplace_back(QStringLiteral("UID"), user);
    keywords.emplace_back(QStringLiteral("PWD"), password);
    return keywords;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    size_t split = 0;
    while (split < size && data[split] != 0xFF)
        ++split;
    const QString server = QString::fromUtf8(bytes, qsizetype(split));
    const QString password = split < size ? QString::fromUtf8(bytes + split + 1, qsizetype(size - split - 1)) : QString();
    const QString user = QStringLiteral("sa");
    const QString catalog = QStringLiteral("Account");
    // FreeTDS before 1.4 cannot carry a "}" in any value; that and nothing else is refused.
    const bool refusable = server.contains(QLatin1Char('}')) || password.contains(QLatin1Char('}'));

    QString text;
    try {
        text = OdbcConnectionString::build(server, user, password, catalog);
    } catch (const Failure &failure) {
        if (!refusable)
            fail(qPrintable(QStringLiteral("refused: ") + failure.cause()), QString(), server, password);
        return 0;
    }
    if (refusable)
        fail("a \"}\" was let through", text, server, password);

    std::vector<Keyword> keywords;
    if (!parse(text, keywords))
        fail("does not parse", text, server, password);
    if (keywords != expected(server, user, password, catalog)) {
        QStringList found;
        for (const Keyword &keyword : keywords)
            found << keyword.first + QStringLiteral(" -> [") + keyword.second + QLatin1Char(']');
        fail(qPrintable(QStringLiteral("wrong keywords: ") + found.join(QStringLiteral(", "))), text, server, password);
    }
    return 0;
}
