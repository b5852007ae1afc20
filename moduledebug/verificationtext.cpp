#include "verificationtext.h"

QString verificationText(double value)
{
    return QString::number(value, 'g', 6);
}

double verificationValue(const QString &text)
{
    return text.toDouble();
}
