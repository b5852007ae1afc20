#include "scpierrorqueue.h"

ScpiErrorQueue::ScpiErrorQueue(int capacity) : capacity(qMax(2, capacity)) {}

void ScpiErrorQueue::push(int code)
{
    if (queue.size() >= capacity) {
        queue.last() = entryText(QueueOverflow);
        return;
    }
    queue.append(entryText(code));
}

QByteArray ScpiErrorQueue::pop()
{
    if (queue.isEmpty())
        return entryText(0);
    return queue.takeFirst();
}

QByteArray ScpiErrorQueue::entryText(int code)
{
    const char *text = "Unknown error";
    switch (code) {
    case 0:
        text = "No error";
        break;
    case CommandError:
        text = "Command error";
        break;
    case SyntaxError:
        text = "Syntax error";
        break;
    case DataTypeError:
        text = "Data type error";
        break;
    case ParameterNotAllowed:
        text = "Parameter not allowed";
        break;
    case MissingParameter:
        text = "Missing parameter";
        break;
    case UndefinedHeader:
        text = "Undefined header";
        break;
    case InvalidBlockData:
        text = "Invalid block data";
        break;
    case BlockDataNotAllowed:
        text = "Block data not allowed";
        break;
    case ExecutionError:
        text = "Execution error";
        break;
    case SettingsConflict:
        text = "Settings conflict";
        break;
    case DataOutOfRange:
        text = "Data out of range";
        break;
    case TooMuchData:
        text = "Too much data";
        break;
    case IllegalParameterValue:
        text = "Illegal parameter value";
        break;
    case DeviceSpecificError:
        text = "Device-specific error";
        break;
    case MemoryError:
        text = "Memory error";
        break;
    case SelfTestFailed:
        text = "Self-test failed";
        break;
    case QueueOverflow:
        text = "Queue overflow";
        break;
    }
    return QByteArray::number(code) + ',' + text;
}
