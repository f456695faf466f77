#pragma once

#include "platform/PathEntry.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

// An open file descriptor, closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int descriptor)
        : m_descriptor(descriptor)
    {
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }

    int get() const { return m_descriptor; }
    // Closes the descriptor held, and holds another.
    void reset(int descriptor)
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
        m_descriptor = descriptor;
    }
    // Hands the descriptor over: it is no longer closed here.
    int release()
    {
        const int descriptor = m_descriptor;
        m_descriptor = -1;
        return descriptor;
    }

private:
    int m_descriptor;
};

// What a status says lies there.
PathEntry entryOf(const struct stat &status);

// The bytes of the regular file open at handle (a failed open's -1, with its errno, fails naming path), at
// most maxSize of them. requireReadable, when given, throws for a file that must not be read.
QByteArray readOpenFile(int handle, const QString &path, qint64 maxSize, const std::function<void(const struct stat &)> &requireReadable);
