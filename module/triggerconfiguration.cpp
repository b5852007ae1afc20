#include "triggerconfiguration.h"

#include <QtGlobal>

#include <climits>

namespace {
// Leading blanks, a sign and the leading digits, as atoi reads them, without its overflow.
int leadingNumber(const QByteArray &text)
{
    int i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    qint64 value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = qMin<qint64>(value * 10 + (text[i] - '0'), qint64(1) << 31);
    return int(qBound<qint64>(INT_MIN, negative ? -value : value, INT_MAX));
}
} // namespace

TriggerConfiguration TriggerConfiguration::fromSourceReply(const QByteArray &reply)
{
    const QByteArray text = reply.left(maxSourceReply);
    TriggerConfiguration source;
    if (text.startsWith("MASTER")) {
        source.line = leadingNumber(text.mid(7));
    } else if (text.startsWith("SLAVE")) {
        source.role = Role::Slave;
        source.line = leadingNumber(text.mid(6));
    }
    return source;
}

bool TriggerConfiguration::acceptable() const
{
    if (line != 0 && line == abortLine)
        return false;
    return !(line == 0 && abortLine == 0 && role == Role::Slave);
}

const char *TriggerConfiguration::roleText() const
{
    switch (role) {
    case Role::Master:
        return "MASTER";
    case Role::Slave:
        return "SLAVE";
    case Role::None:
        break;
    }
    return "";
}
