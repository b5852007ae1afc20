#include "filesave.h"

#include "eventwait.h"

#include <QSaveFile>

bool saveFile(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    // Unbuffered, so that a short write (a full disk, a size limit) shows in write()'s count;
    // through the buffer it would be lost silently at commit.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    bool written = false;
    runBesideEventLoop([&file, &data, &written] {
        if (file.write(data) == data.size())
            written = file.commit();
        else
            file.cancelWriting();
    });
    return written;
}
