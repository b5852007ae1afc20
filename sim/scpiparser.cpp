#include "scpiparser.h"

#include "simdefiniteblock.h"

#include <cmath>

namespace {

bool isHeaderChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == ':' || c == '*' || c == '?';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

int skipBlanks(const QByteArray &bytes, int i)
{
    while (i < bytes.size() && isBlank(bytes.at(i)))
        ++i;
    return i;
}

// Finds where the argument that starts at 'from' ends: at the ";" or line feed that ends the
// unit, or at the end of the message. blockEnd receives the index just after the last block.
int argumentEnd(const QByteArray &bytes, int from, int *blockEnd, ScpiCommand::Fault *fault)
{
    int i = from;
    while (i < bytes.size()) {
        const char c = bytes.at(i);
        if (c == ';' || c == '\n')
            return i;
        if (c == '"' || c == '\'') {
            const int close = bytes.indexOf(c, i + 1);
            i = close < 0 ? bytes.size() : close + 1;
            continue;
        }
        if (c == '#') {
            int start = 0;
            int length = 0;
            switch (SimDefiniteBlock::scan(bytes, i, &start, &length)) {
            case SimDefiniteBlock::Scan::NotABlock:
                ++i;
                continue;
            case SimDefiniteBlock::Scan::Ok:
                break;
            default:
                // Where a block's byte count is wrong nothing after it can be trusted to be
                // text: the rest of the message belongs to this unit.
                *fault = ScpiCommand::Fault::Block;
                *blockEnd = bytes.size();
                return bytes.size();
            }
            i = start + length;
            *blockEnd = i;
            const int next = skipBlanks(bytes, i);
            if (next < bytes.size() && bytes.at(next) != ';' && bytes.at(next) != '\n' &&
                bytes.at(next) != ',') {
                *fault = ScpiCommand::Fault::Block;
                *blockEnd = bytes.size();
                return bytes.size();
            }
            continue;
        }
        ++i;
    }
    return i;
}

bool resolveHeader(ScpiCommand &command, QByteArrayList &currentPath)
{
    QByteArray header = command.header;
    if (header.endsWith('?')) {
        command.query = true;
        header.chop(1);
    }
    if (header.isEmpty() || header.contains('?'))
        return false;
    if (header.startsWith('*')) {
        if (header.size() < 2 || header.indexOf('*', 1) >= 0 || header.contains(':'))
            return false;
        command.common = true;
        command.path = {header.toUpper()};
        return true;
    }
    const bool absolute = header.startsWith(':');
    if (absolute)
        header.remove(0, 1);
    const QByteArrayList nodes = header.toUpper().split(':');
    for (const QByteArray &node : nodes)
        if (node.isEmpty() || node.contains('*'))
            return false;
    command.path = absolute ? QByteArrayList() : currentPath;
    command.path += nodes;
    currentPath = command.path.mid(0, command.path.size() - 1);
    return true;
}

} // namespace

QVector<ScpiCommand> ScpiParser::parse(const QByteArray &message)
{
    QVector<ScpiCommand> commands;
    QByteArrayList currentPath;
    int i = 0;
    while (i < message.size()) {
        i = skipBlanks(message, i);
        if (i >= message.size())
            break;
        if (message.at(i) == '\n') {
            currentPath.clear();
            ++i;
            continue;
        }
        if (message.at(i) == ';') {
            ++i;
            continue;
        }
        ScpiCommand command;
        const int headerStart = i;
        while (i < message.size() && isHeaderChar(message.at(i)))
            ++i;
        command.header = message.mid(headerStart, i - headerStart);
        const bool separated = i >= message.size() || isBlank(message.at(i)) ||
                               message.at(i) == ';' || message.at(i) == '\n';
        const int argumentStart = skipBlanks(message, i);
        int blockEnd = argumentStart;
        const int end = argumentEnd(message, argumentStart, &blockEnd, &command.fault);
        int argumentStop = end;
        while (argumentStop > blockEnd && isBlank(message.at(argumentStop - 1)))
            --argumentStop;
        command.argument = message.mid(argumentStart, argumentStop - argumentStart);
        if (!separated || !resolveHeader(command, currentPath))
            command.fault = ScpiCommand::Fault::Syntax;
        commands.append(command);
        i = end;
        if (i < message.size() && message.at(i) == ';')
            ++i;
    }
    return commands;
}

QByteArrayList ScpiCommand::parameters() const
{
    QByteArrayList result;
    if (argument.trimmed().isEmpty())
        return result;
    int start = 0;
    int i = 0;
    while (i < argument.size()) {
        const char c = argument.at(i);
        if (c == '"' || c == '\'') {
            const int close = argument.indexOf(c, i + 1);
            i = close < 0 ? argument.size() : close + 1;
        } else if (c == '#') {
            int dataStart = 0;
            int length = 0;
            if (SimDefiniteBlock::scan(argument, i, &dataStart, &length) ==
                SimDefiniteBlock::Scan::Ok)
                i = dataStart + length;
            else
                ++i;
        } else if (c == ',') {
            result.append(argument.mid(start, i - start).trimmed());
            start = ++i;
        } else {
            ++i;
        }
    }
    result.append(argument.mid(start).trimmed());
    return result;
}

bool ScpiParser::toNumber(const QByteArray &text, double *value)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

bool ScpiParser::toInteger(const QByteArray &text, qint64 *value)
{
    const QByteArray t = text.trimmed().toUpper();
    bool ok = false;
    qint64 v = 0;
    if (t.startsWith("0X"))
        v = t.mid(2).toLongLong(&ok, 16);
    else if (t.startsWith("#H"))
        v = t.mid(2).toLongLong(&ok, 16);
    else
        v = t.toLongLong(&ok, 10);
    if (!ok)
        return false;
    *value = v;
    return true;
}

bool ScpiParser::toBoolean(const QByteArray &text, bool *value)
{
    const QByteArray t = text.trimmed().toUpper();
    if (t == "1" || t == "ON") {
        *value = true;
        return true;
    }
    if (t == "0" || t == "OFF") {
        *value = false;
        return true;
    }
    return false;
}
