#include "scriptedmodel.h"

#include <QMutexLocker>

ScriptedModel::ScriptedModel(const QByteArray &identity) : idn(identity) {}

void ScriptedModel::setIdentity(const QByteArray &identity)
{
    QMutexLocker locker(&lock);
    idn = identity;
}

void ScriptedModel::setReply(const QByteArray &message, const QByteArray &reply, int delayMs)
{
    QMutexLocker locker(&lock);
    replies[message.trimmed()] = DeviceResponse{reply, delayMs};
}

void ScriptedModel::pushError(const QByteArray &error)
{
    QMutexLocker locker(&lock);
    errors.append(error);
}

void ScriptedModel::reset()
{
    QMutexLocker locker(&lock);
    replies.clear();
    errors.clear();
}

DeviceResponse ScriptedModel::execute(const QByteArray &message)
{
    QMutexLocker locker(&lock);
    const QByteArray command = message.trimmed();
    if (replies.contains(command))
        return replies.value(command);
    if (command == "*IDN?")
        return {idn + '\n', 0};
    if (command == "*ERR?")
        return {errors.isEmpty() ? QByteArray("0,No error\n") : errors.takeFirst() + '\n', 0};
    if (command == "*RST" || command == "*CLS")
        return {};
    errors.append("-113,Undefined header");
    return {};
}
