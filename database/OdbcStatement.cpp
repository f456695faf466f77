#include "database/OdbcStatement.h"

#include "database/DbConnection.h"
#include "database/ServerDialect.h"
#include "database/StatementTimeout.h"
#include "platform/Odbc.h"

#include <QSqlField>
#include <QStringList>
#include <vector>

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC's wide characters are UTF-16");

// Taken as the driver gave it, code unit by code unit: a surrogate pair split between two pieces of a long
// value stays one character.
QString fromWide(const SQLWCHAR *text, qsizetype length)
{
    return QString(reinterpret_cast<const QChar *>(text), length);
}

bool succeeded(SQLRETURN result)
{
    return result == SQL_SUCCESS || result == SQL_SUCCESS_WITH_INFO;
}

bool isWholeNumberType(int odbcSqlType)
{
    return odbcSqlType == SQL_TINYINT || odbcSqlType == SQL_SMALLINT || odbcSqlType == SQL_INTEGER || odbcSqlType == SQL_BIGINT;
}

// Beyond this a text parameter is a long one for the driver (SQL Server's nvarchar holds 4,000 characters).
constexpr qsizetype LongTextLength = 4000;

} // namespace

OdbcStatement::OdbcStatement(const DbConnection &connection)
{
    SQLHANDLE handle = SQL_NULL_HANDLE;
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_STMT, static_cast<SQLHANDLE>(connection.odbcHandle()), &handle)))
        throw StatementFailure(QStringLiteral("The driver could not make a statement on the connection"), false);
    m_statement = handle;
    SQLSetStmtAttr(handle, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(StatementTimeout::QuerySeconds)),
                   SQL_IS_UINTEGER);
}

OdbcStatement::~OdbcStatement()
{
    SQLFreeHandle(SQL_HANDLE_STMT, m_statement);
}

void OdbcStatement::execute(const QString &text, const QList<QVariant> &values)
{
    m_row.clear();
    SQLFreeStmt(m_statement, SQL_CLOSE);
    SQLFreeStmt(m_statement, SQL_RESET_PARAMS);
    // Each parameter's value and length stay where the driver was shown them until the statement has run.
    std::vector<std::u16string> texts(static_cast<size_t>(values.size()));
    std::vector<SQLBIGINT> numbers(static_cast<size_t>(values.size()));
    std::vector<SQLLEN> lengths(static_cast<size_t>(values.size()));
    for (qsizetype i = 0; i < values.size(); ++i) {
        const size_t at = static_cast<size_t>(i);
        const QVariant &value = values.at(i);
        SQLRETURN bound;
        if (isWholeNumber(value)) {
            numbers[at] = value.toLongLong();
            bound = SQLBindParameter(m_statement, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &numbers[at], 0, nullptr);
        } else {
            texts[at] = value.toString().toStdU16String();
            const SQLULEN characters = texts[at].size();
            lengths[at] = value.isNull() ? SQL_NULL_DATA : SQLLEN(characters * sizeof(char16_t));
            const SQLSMALLINT type = qsizetype(characters) > LongTextLength ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
            bound = SQLBindParameter(m_statement, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, SQL_C_WCHAR, type, characters > 0 ? characters : 1, 0,
                                     texts[at].data(), SQLLEN(characters * sizeof(char16_t)), &lengths[at]);
        }
        if (!succeeded(bound))
            fail(QStringLiteral("The driver refused parameter %1 of: %2").arg(i + 1).arg(text));
    }
    std::u16string statement = text.toStdU16String();
    const SQLRETURN result = SQLExecDirectW(m_statement, reinterpret_cast<SQLWCHAR *>(statement.data()), SQLINTEGER(statement.size()));
    if (!succeeded(result) && result != SQL_NO_DATA)
        fail(QStringLiteral("The statement failed: ") + text);

    SQLSMALLINT columns = 0;
    SQLNumResultCols(m_statement, &columns);
    for (SQLUSMALLINT column = 1; column <= columns; ++column) {
        SQLWCHAR name[256] = {};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        const SQLRETURN described =
            SQLDescribeColW(m_statement, column, name, SQLSMALLINT(std::size(name)), &nameLength, &type, &size, &digits, &nullable);
        if (!succeeded(described))
            fail(QStringLiteral("The driver could not describe the result of: ") + text);
        QSqlField field(fromWide(name, qMin<qsizetype>(nameLength, std::size(name) - 1)), QMetaType::fromType<QString>());
        field.setSqlType(type);
        m_row.append(field);
    }
}

qint64 OdbcStatement::rowsAffected() const
{
    SQLLEN rows = -1;
    SQLRowCount(m_statement, &rows);
    return rows;
}

bool OdbcStatement::next()
{
    const SQLRETURN fetched = SQLFetch(m_statement);
    if (fetched == SQL_NO_DATA)
        return false;
    if (!succeeded(fetched))
        fail(QStringLiteral("The result could not be read"));
    for (int column = 0; column < m_row.count(); ++column) {
        const QVariant value = columnValue(column);
        // Whole numbers as numbers, so that a value kept from an integer column is written back as one.
        m_row.setValue(column, isWholeNumberType(m_row.field(column).typeID()) && !value.isNull() ? QVariant(value.toLongLong()) : value);
    }
    return true;
}

QVariant OdbcStatement::columnValue(int column) const
{
    // Read in pieces: the driver says how long the whole is only when it knows.
    QString value = QStringLiteral("");
    SQLWCHAR piece[4096];
    for (;;) {
        SQLLEN length = 0;
        const SQLRETURN read = SQLGetData(m_statement, SQLUSMALLINT(column + 1), SQL_C_WCHAR, piece, sizeof(piece), &length);
        if (read == SQL_NO_DATA)
            break;
        if (!succeeded(read))
            fail(QStringLiteral("The column %1 could not be read").arg(m_row.fieldName(column)));
        if (length == SQL_NULL_DATA)
            return QVariant(QMetaType::fromType<QString>());
        const qsizetype whole = qsizetype(std::size(piece)) - 1;
        const bool more = read == SQL_SUCCESS_WITH_INFO && (length == SQL_NO_TOTAL || length / qsizetype(sizeof(SQLWCHAR)) > whole);
        value += fromWide(piece, more ? whole : length / qsizetype(sizeof(SQLWCHAR)));
        if (!more)
            break;
    }
    return value;
}

bool isWholeNumber(const QVariant &value)
{
    if (value.isNull())
        return false;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

void OdbcStatement::fail(const QString &what) const
{
    bool busy = false;
    const QString cause = odbcCause(SQL_HANDLE_STMT, m_statement, what, &busy);
    throw StatementFailure(cause, busy);
}

QString odbcCause(short handleType, void *handle, const QString &fallback, bool *busy)
{
    QStringList messages;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
        SQLINTEGER nativeError = 0;
        SQLWCHAR message[SQL_MAX_MESSAGE_LENGTH] = {};
        SQLSMALLINT messageLength = 0;
        if (!succeeded(SQLGetDiagRecW(handleType, handle, record, state, &nativeError, message, SQLSMALLINT(std::size(message)), &messageLength)))
            break;
        if (busy != nullptr)
            *busy = *busy || serverDialect().isBusy(fromWide(state, SQL_SQLSTATE_SIZE), nativeError);
        messages.append(fromWide(message, qMin<qsizetype>(messageLength, std::size(message) - 1)).trimmed());
    }
    messages.removeAll(QString());
    return messages.isEmpty() ? fallback : messages.join(QLatin1Char('\n'));
}
