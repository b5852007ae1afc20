#pragma once

#include <QStringList>
#include <QtGlobal>

// Records the lines of the program's debug log from construction until stop() or destruction,
// passing every line on to the previous handler as well.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    void stop();
    QStringList lines() const { return captured; }

private:
    static void record(QtMsgType type, const QMessageLogContext &context, const QString &message);

    static LogCapture *active;
    QtMessageHandler previous = nullptr;
    QStringList captured;
};
