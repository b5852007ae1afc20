#include "diagnostics.h"

#include <QByteArray>
#include <QLoggingCategory>

void Diagnostics::apply()
{
    // QT_LOGGING_RULES and a logging configuration file still take precedence over this rule.
    if (qgetenv("VOLTADESK_DEBUG") != "1")
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}
