#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

// The operator's language, shared by the window and the command-line runner. The program's
// texts are written in Russian and stay Russian unless the desktop's UI language is English,
// or VOLTADESK_LANG ("ru" or "en") says otherwise. Self-test reports and verification
// protocols are metrology documents and keep their Russian texts in either language.
class Language
{
public:
    // True when the English texts are wanted: override is the value of VOLTADESK_LANG (any
    // value other than "ru" or "en" counts as unset), uiLanguages the desktop's UI languages,
    // most preferred first.
    static bool english(const QString &override, const QStringList &uiLanguages);
    // The choice for this process, from its environment and the system's locale.
    static bool englishWanted();
    // Loads the texts of the chosen language into the application: ours in English, and
    // Qt's own (the standard dialogs' buttons and labels) in Russian, from the system's Qt
    // translations. Call after the application object exists and before any window or text.
    static void install(QCoreApplication &application);
};
