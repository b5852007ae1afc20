#include "language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

// The translation is compiled into the programs as a resource of this static library.
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

bool Language::englishWanted()
{
    return english(qEnvironmentVariable("VOLTADESK_LANG"), QLocale::system().uiLanguages());
}

void Language::install(QCoreApplication &application)
{
    if (!englishWanted()) {
        // Qt's own texts are English; Debian ships their Russian beside Qt. Without that
        // package the dialogs keep Qt's English and everything else works.
        auto *qtTexts = new QTranslator(&application);
        if (qtTexts->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
            application.installTranslator(qtTexts);
        else
            delete qtTexts;
        return;
    }
    initTranslations();
    auto *translator = new QTranslator(&application);
    if (translator->load(QStringLiteral(":/translations/voltadesk_en.qm")))
        application.installTranslator(translator);
    else
        qWarning("The English texts are missing from the program; it stays in Russian.");
}
