#pragma once

#include "simdevicemodel.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>

// A plain message-based instrument for transport tests: it answers "*IDN?", keeps an error
// queue for "*ERR?" and answers any other query from a table of canned replies; a message
// it does not know queues -113. Commands in the table may be matched with or without
// their line end.
class ScriptedModel : public SimDeviceModel
{
public:
    explicit ScriptedModel(const QByteArray &identity = "Korvalis,RVKA5630,0042,1.3");

    DeviceResponse execute(const QByteArray &message) override;

    void setIdentity(const QByteArray &identity);
    // The reply (sent exactly as given) to a message, after optional delayMs.
    void setReply(const QByteArray &message, const QByteArray &reply, int delayMs = 0);
    void pushError(const QByteArray &error);
    // Forgets the canned replies and queued errors.
    void reset();

private:
    mutable QMutex lock;
    QByteArray idn;
    QMap<QByteArray, DeviceResponse> replies;
    QList<QByteArray> errors;
};
