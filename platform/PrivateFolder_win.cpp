#include "platform/PrivateFolder.h"

#include "platform/Failure.h"

#include <QDir>
#include <string>
#include <utility>
#include <vector>

#include <qt_windows.h>
#include <aclapi.h>
#include <sddl.h>

// Windows opens nothing relative to a folder's handle; instead each folder on the way is held open without
// letting it be renamed or deleted (no FILE_SHARE_DELETE), so that its path goes on naming the folder that
// was checked, and every open refuses to follow a reparse point.
namespace {

std::wstring nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

[[noreturn]] void failWithError(const QString &path, DWORD error)
{
    throw Failure(causeAt(path, qt_error_string(int(error))));
}

bool isMissing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The SIDs this user's own files carry as their owner: the user's, and the default owner of what the user
// creates, which is the Administrators group for an elevated administrator.
bool isOwnSid(PSID owner)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    bool own = false;
    for (const TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
        DWORD size = 0;
        GetTokenInformation(token, kind, nullptr, 0, &size);
        std::vector<char> buffer(size);
        if (size == 0 || !GetTokenInformation(token, kind, buffer.data(), size, &size))
            continue;
        const PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid
                                           : reinterpret_cast<TOKEN_OWNER *>(buffer.data())->Owner;
        own = own || EqualSid(owner, sid);
    }
    CloseHandle(token);
    return own;
}

QString accountName(PSID sid)
{
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        return QString::fromWCharArray(domain) + QLatin1Char('\\') + QString::fromWCharArray(name);
    wchar_t *text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text))
        return QStringLiteral("another user");
    const QString shown = QString::fromWCharArray(text);
    LocalFree(text);
    return shown;
}

void requireOwnOwner(HANDLE handle, const QString &path, const QString &what)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr, &descriptor);
    if (error != ERROR_SUCCESS)
        failWithError(path, error);
    const bool own = isOwnSid(owner);
    const QString name = own ? QString() : accountName(owner);
    LocalFree(descriptor);
    if (!own)
        throw Failure(causeAt(path, QStringLiteral("This %1 belongs to %2, not to the user running the tool; someone else could have put "
                                                   "what it holds there, so none of it was used")
                                        .arg(what, name)));
}

class Handle {
public:
    explicit Handle(HANDLE handle)
        : m_handle(handle)
    {
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    HANDLE get() const { return m_handle; }
    HANDLE release() { return std::exchange(m_handle, INVALID_HANDLE_VALUE); }

private:
    HANDLE m_handle;
};

HANDLE openEntry(const QString &path)
{
    return CreateFileW(nativePath(path).c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

DWORD attributesOf(HANDLE handle, const QString &path)
{
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information))
        failWithError(path, GetLastError());
    return information.dwFileAttributes;
}

// What lies at path, opened without following a reparse point and checked; INVALID_HANDLE_VALUE when a
// folder is missing.
HANDLE openChecked(const QString &path, bool folder)
{
    Handle handle(openEntry(path));
    if (handle.get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (folder && isMissing(error))
            return INVALID_HANDLE_VALUE;
        failWithError(path, error);
    }
    const DWORD attributes = attributesOf(handle.get(), path);
    const QString what = folder ? QStringLiteral("folder") : QStringLiteral("file");
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        throw Failure(causeAt(path, QStringLiteral("This is a symbolic link or a junction, which is never followed here; none of it was used")));
    if (((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder)
        throw Failure(causeAt(path, QStringLiteral("This is no %1; none of it was used").arg(what)));
    requireOwnOwner(handle.get(), path, what);
    return handle.release();
}

// The entries in folder, "." and ".." left out, with their attributes.
std::vector<std::pair<QString, DWORD>> entriesIn(const QString &folder)
{
    std::vector<std::pair<QString, DWORD>> entries;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(nativePath(folder + QStringLiteral("/*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return entries;
        failWithError(folder, error);
    }
    do {
        const QString name = QString::fromWCharArray(found.cFileName);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            entries.emplace_back(name, found.dwFileAttributes);
    } while (FindNextFileW(search, &found));
    const DWORD error = GetLastError();
    FindClose(search);
    if (error != ERROR_NO_MORE_FILES)
        failWithError(folder, error);
    return entries;
}

void removeLink(const QString &path, DWORD attributes)
{
    const bool removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? RemoveDirectoryW(nativePath(path).c_str())
                                                                       : DeleteFileW(nativePath(path).c_str());
    if (!removed && !isMissing(GetLastError()))
        failWithError(path, GetLastError());
}

void removeAt(const QString &path)
{
    const DWORD attributes = GetFileAttributesW(nativePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (isMissing(GetLastError()))
            return;
        failWithError(path, GetLastError());
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return removeLink(path, attributes);
    {
        // Held while it is emptied, so that no junction can take its place meanwhile.
        const Handle folder(openEntry(path));
        if (folder.get() == INVALID_HANDLE_VALUE)
            failWithError(path, GetLastError());
        const DWORD held = attributesOf(folder.get(), path);
        if ((held & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            return removeLink(path, held);
        for (const auto &[name, entryAttributes] : entriesIn(path))
            removeAt(path + QLatin1Char('/') + name);
    }
    if (!RemoveDirectoryW(nativePath(path).c_str()) && !isMissing(GetLastError()))
        failWithError(path, GetLastError());
}

} // namespace

PrivateFolder::PrivateFolder(qintptr handle, const QString &path)
    : m_handle(handle)
    , m_path(path)
{
}

PrivateFolder::PrivateFolder(PrivateFolder &&other) noexcept
    : m_handle(std::exchange(other.m_handle, reinterpret_cast<qintptr>(INVALID_HANDLE_VALUE)))
    , m_path(other.m_path)
{
}

PrivateFolder &PrivateFolder::operator=(PrivateFolder &&other) noexcept
{
    std::swap(m_handle, other.m_handle);
    std::swap(m_path, other.m_path);
    return *this;
}

PrivateFolder::~PrivateFolder()
{
    if (reinterpret_cast<HANDLE>(m_handle) != INVALID_HANDLE_VALUE)
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

std::optional<PrivateFolder> PrivateFolder::open(const QString &path)
{
    const HANDLE handle = openChecked(path, true);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    return PrivateFolder(reinterpret_cast<qintptr>(handle), path);
}

QStringList PrivateFolder::folders() const
{
    QStringList folders;
    for (const auto &[name, attributes] : entriesIn(m_path)) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
            folders.append(name);
    }
    folders.sort();
    return folders;
}

PathEntry::Kind PrivateFolder::kind(const QString &relativePath) const
{
    const QString path = m_path + QLatin1Char('/') + relativePath;
    const DWORD attributes = GetFileAttributesW(nativePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (isMissing(GetLastError()))
            return PathEntry::Kind::Missing;
        failWithError(path, GetLastError());
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return PathEntry::Kind::Link;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathEntry::Kind::Folder : PathEntry::Kind::File;
}

std::optional<PrivateFolder> PrivateFolder::folder(const QString &name) const
{
    return open(m_path + QLatin1Char('/') + name);
}

QByteArray PrivateFolder::readHere(const QString &name, qint64 maxSize) const
{
    const QString path = m_path + QLatin1Char('/') + name;
    const Handle file(openChecked(path, false));
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        failWithError(path, GetLastError());
    if (size.QuadPart > maxSize)
        throw Failure(causeAt(path, tooLargeCause(size.QuadPart, maxSize)));
    QByteArray bytes(qsizetype(size.QuadPart), Qt::Uninitialized);
    qsizetype read = 0;
    while (read < bytes.size()) {
        DWORD step = 0;
        if (!ReadFile(file.get(), bytes.data() + read, DWORD(bytes.size() - read), &step, nullptr))
            failWithError(path, GetLastError());
        if (step == 0)
            break; // cut short meanwhile: what is there is the file
        read += step;
    }
    bytes.truncate(read);
    return bytes;
}

void PrivateFolder::remove(const QString &name) const
{
    removeAt(m_path + QLatin1Char('/') + name);
}
