#pragma once

#include <QByteArray>
#include <QString>

// Writes data to path atomically: the file appears whole or not at all, and a write that fails
// part-way leaves an earlier file at that path as it was. Where the directory takes no new file
// but the file itself may be written, it is written in place instead. The write and the flush
// to disk run beside the event loop, so a large file or a slow disk does not freeze the window.
// False on failure.
bool saveFile(const QString &path, const QByteArray &data);
