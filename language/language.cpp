#include "language.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

// The translation is compiled into the program as a resource of its static library.
static void initTranslations()
{
    Q_INIT_RESOURCE(translations);
}

bool Language::english(const QString &override, const QStringList &uiLanguages)
{
    if (override == QLatin1String("en"))
        return true;
    if (override == QLatin1String("ru"))
        return false;
    // The C locale names no language: Russian, as before there was a choice.
    return !uiLanguages.isEmpty() && QLocale(uiLanguages.first()).language() == QLocale::English;
}

void Language::install(QCoreApplication &application)
{
    if (!english(qEnvironmentVariable("VOLTADESK_LANG"), QLocale::system().uiLanguages()))
        return;
    initTranslations();
    auto *translator = new QTranslator(&application);
    if (translator->load(QStringLiteral(":/translations/voltadesk_en.qm")))
        application.installTranslator(translator);
    else
        qWarning("The English texts are missing from the program; it stays in Russian.");
}
