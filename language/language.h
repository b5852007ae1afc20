#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

// The operator's language. The program's texts are written in Russian and stay Russian
// unless the desktop's UI language is English, or VOLTADESK_LANG ("ru" or "en") says
// otherwise. Self-test reports and verification protocols are metrology documents and keep
// their Russian texts in either language.
class Language
{
public:
    // True when the English texts are wanted: override is the value of VOLTADESK_LANG (any
    // value other than "ru" or "en" counts as unset), uiLanguages the desktop's UI languages,
    // most preferred first.
    static bool english(const QString &override, const QStringList &uiLanguages);
    // Loads the English texts into the application when they are wanted; call after the
    // application object exists and before any window.
    static void install(QCoreApplication &application);
};
