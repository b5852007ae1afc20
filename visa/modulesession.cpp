#include "modulesession.h"

#include "iorecorder.h"

#include <QDebug>

ModuleSession::ModuleSession(QObject *parent) : QObject(parent) {}

ModuleSession::~ModuleSession()
{
    closeSession();
}

ViStatus ModuleSession::open(ViSession manager, const QString &resource, ViUInt32 openTimeoutMs)
{
    closeSession();
    resourceManager = manager;
    resourceName = resource;
    return openSession(openTimeoutMs);
}

ViStatus ModuleSession::reopen(ViUInt32 openTimeoutMs)
{
    closeSession();
    const ViStatus status = openSession(openTimeoutMs);
    if (isOpen())
        emit replaced();
    else
        emit lost();
    return status;
}

void ModuleSession::close()
{
    if (!isOpen())
        return;
    closeSession();
    emit lost();
}

ViStatus ModuleSession::openSession(ViUInt32 openTimeoutMs)
{
    ViSession opened = VI_NULL;
    const ViStatus status = viOpen(resourceManager, resourceName.toUtf8().constData(), VI_NULL,
                                   openTimeoutMs, &opened);
    // A warning still leaves an open session, which has to be closed in its turn.
    if (status >= VI_SUCCESS) {
        handle.store(opened);
        IoRecorder::instance().nameSession(opened, resourceName);
    }
    if (status == VI_SUCCESS)
        clearFailure();
    else
        noteFailure("viOpen", status);
    return status;
}

void ModuleSession::closeSession()
{
    const ViSession closing = handle.exchange(VI_NULL);
    if (closing == VI_NULL)
        return;
    IoRecorder::instance().forgetSession(closing);
    viClose(closing);
}

void ModuleSession::noteFailure(const char *call, ViStatus status)
{
    std::lock_guard<std::mutex> guard(failureLock);
    failed = true;
    failedCall = call;
    failedStatus = status;
}

void ModuleSession::clearFailure()
{
    std::lock_guard<std::mutex> guard(failureLock);
    failed = false;
}

void ModuleSession::traceFailure()
{
    QByteArray call;
    ViStatus status = VI_SUCCESS;
    {
        std::lock_guard<std::mutex> guard(failureLock);
        if (!failed)
            return;
        failed = false;
        call = failedCall;
        status = failedStatus;
    }
    ViChar description[256] = {};
    viStatusDesc(resourceManager, status, description);
    description[sizeof description - 1] = '\0';
    qWarning().noquote().nospace()
        << "VISA call failed: \"" << QString::fromLatin1(call).replace("\n", "\\n") << "\" on "
        << resourceName << ", status 0x" << QString::number(quint32(status), 16).toUpper()
        << " (" << QString::fromLatin1(description) << ")";
}
