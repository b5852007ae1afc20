#pragma once

#include <QByteArray>
#include <QVector>

// The instrument's error queue as read by "*ERR?": first in, first out, bounded. When it is
// full the newest entry is replaced by "-350,Queue overflow", as SCPI instruments do, so that
// a program which never reads the queue cannot grow it without limit.
class ScpiErrorQueue
{
public:
    enum Code
    {
        CommandError = -100,
        SyntaxError = -102,
        DataTypeError = -104,
        ParameterNotAllowed = -108,
        MissingParameter = -109,
        UndefinedHeader = -113,
        InvalidBlockData = -161,
        BlockDataNotAllowed = -168,
        ExecutionError = -200,
        SettingsConflict = -221,
        DataOutOfRange = -222,
        TooMuchData = -223,
        IllegalParameterValue = -224,
        DeviceSpecificError = -300,
        MemoryError = -311,
        SelfTestFailed = -330,
        QueueOverflow = -350,
    };

    explicit ScpiErrorQueue(int capacity = 16);

    void push(int code);
    // The oldest entry, e.g. "-113,Undefined header"; "0,No error" when the queue is empty.
    QByteArray pop();
    QVector<QByteArray> entries() const { return queue; }
    int size() const { return queue.size(); }
    void clear() { queue.clear(); }

    static QByteArray entryText(int code);

private:
    int capacity;
    QVector<QByteArray> queue;
};
