// Any bytes as Settings.ini. The load never crashes, fills exactly the fields the file has lines for, each
// with at most 120 characters and no line end, and never touches txtNICIP, which the file does not hold.
#include "model/FormValues.h"
#include "model/Settings.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// Lines 2 to 11 of the file, in order.
constexpr std::array<Field, 10> StoredFields{Field::txtServerName, Field::txtExternalIP, Field::txtInternalIP, Field::txtSQLIP,
                                            Field::txtSQLPass,    Field::txtMud3Path,   Field::txtLGPort,     Field::txtSGPort,
                                            Field::txtRG01Port,   Field::txtRG02Port};

const QString Untouched = QStringLiteral("untouched \u2603");

[[noreturn]] void fail(const char *what, Field field, const QString &value)
{
    std::fprintf(stderr, "%s: %s = \"%s\"\n", what, definitionOf(field).controlName, value.toUtf8().constData());
    std::abort();
}

// The lines of the file as bytes: each ended by CR LF, CR or LF, and what follows the last line end when it
// is not empty. Code page 936 never uses the bytes of CR and LF inside a character. A file that starts with a
// byte-order mark has wider line ends, each holding an LF or CR byte, so this is the most lines it can have.
size_t lineCount(const uint8_t *data, size_t size)
{
    size_t lines = 0;
    bool pending = false;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\r' || data[i] == '\n') {
            ++lines;
            pending = false;
            if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n')
                ++i;
        } else {
            pending = true;
        }
    }
    return lines + (pending ? 1 : 0);
}

// The file lives in memory: a file on disk would make the disk, not the load, set the pace.
int settingsFile()
{
    static const int handle = ::memfd_create("Settings.ini", MFD_CLOEXEC);
    if (handle < 0) {
        std::perror("memfd_create");
        std::abort();
    }
    return handle;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const int handle = settingsFile();
    if (::ftruncate(handle, 0) != 0 || ::pwrite(handle, data, size, 0) != ssize_t(size)) {
        std::perror("Settings.ini");
        std::abort();
    }
    const QString path = QStringLiteral("/proc/self/fd/%1").arg(handle);

    FormValues form;
    for (Field field : StoredFields)
        form.setFieldText(field, Untouched);
    form.setFieldText(Field::txtNICIP, Untouched);

    Settings::load(form, path);

    // Line 1 is the header; line i + 2 fills stored field i.
    const size_t lines = lineCount(data, size);
    for (size_t i = 0; i < StoredFields.size(); ++i) {
        const Field field = StoredFields[i];
        const QString value = form.fieldText(field);
        if (i + 2 > lines) {
            if (value != Untouched)
                fail("filled from a line the file does not have", field, value);
            continue;
        }
        if (value.size() > 120)
            fail("longer than 120 characters", field, value);
        if (value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n')))
            fail("holds a line end", field, value);
    }
    if (form.fieldText(Field::txtNICIP) != Untouched)
        fail("changed, though never stored", Field::txtNICIP, form.fieldText(Field::txtNICIP));
    return 0;
}
