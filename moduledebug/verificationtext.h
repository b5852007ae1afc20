#pragma once

#include <QString>

// Verification values are kept as the text they appear with in the protocol, six significant
// digits without trailing zeros (0.1, 12.2, 15.05, 1e-05); whatever is computed from them
// later reads the number back from that text, so the protocol's figures add up.
QString verificationText(double value);
double verificationValue(const QString &text);
