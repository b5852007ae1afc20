#include "logcapture.h"

LogCapture *LogCapture::active = nullptr;

LogCapture::LogCapture()
{
    active = this;
    previous = qInstallMessageHandler(record);
}

LogCapture::~LogCapture()
{
    stop();
}

void LogCapture::stop()
{
    if (active != this)
        return;
    qInstallMessageHandler(previous);
    active = nullptr;
}

void LogCapture::record(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!active)
        return;
    active->captured << message;
    if (active->previous)
        active->previous(type, context, message);
}
