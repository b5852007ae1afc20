#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// The file checksum of the module math library: the CRC-32 of the file in which the number
// after the checksum marker reads as "0" characters, against the number the file carries.
class MathLibraryChecksum
{
    Q_DECLARE_TR_FUNCTIONS(MathLibraryChecksum)

public:
    enum class Outcome
    {
        FileMissing,
        Unreadable, // could not be opened, held in memory or read whole
        Computed,
    };

    struct Result
    {
        Outcome outcome = Outcome::FileMissing;
        quint32 computed = 0;
        quint32 required = 0; // 0 when the file has no marker
        bool markerFound = false;
        QString details; // the two values as the operator sees them; empty unless Computed

        // A file without the marker carries no checksum, even where its CRC-32 happens to be 0
        // (an empty file): it never verifies.
        bool matches() const
        {
            return outcome == Outcome::Computed && markerFound && computed == required;
        }
    };

    static Result check(const QString &filePath);

    // "ВстроенныйCRC32=" in Windows-1251.
    static QByteArray checksumMarker();
    // CRC-32 as in IEEE 802.3 and zlib.
    static quint32 crc32(const char *data, qint64 size);
    static QString details(quint32 computed, quint32 required);

private:
    static bool takeRequiredChecksum(char *buffer, qint64 size, quint32 *required);
};
