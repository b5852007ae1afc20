#pragma once

#include <QByteArray>
#include <mutex>

// The progress messages of a firmware update as one UTF-8 byte string: every message is
// followed by the separator "@", so the log always ends with one. The update thread appends
// while the GUI thread takes copies, hence every access holds the lock.
class FirmwareLog
{
public:
    static constexpr char separator = '@';

    void append(const QByteArray &message);
    void clear();
    QByteArray snapshot() const;
    // The latest complete message: the next-to-last piece of the log split at the separator
    // (empty while the log holds no message).
    QByteArray latestMessage() const;

    static QByteArray latestMessageOf(const QByteArray &log);

private:
    mutable std::mutex lock;
    QByteArray text;
};
