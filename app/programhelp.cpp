#include "programhelp.h"

#include <QCoreApplication>
#include <QStringList>

QString ProgramHelp::text()
{
    // help2man reads the English layout: "Usage:", then sections of indented options.
    return QCoreApplication::translate(
        "ProgramHelp",
        "Использование: voltadesk [ПАРАМЕТР...]\n"
        "Панель управления модулями питания RVKA5630: находит модули в сети (ресурсы VISA по "
        "VXI-11), управляет ими, калибрует и поверяет их.\n\n"
        "Параметры:\n"
        "  -h, --help            показать эту справку и выйти\n"
        "  -v, --version         показать версию и выйти\n"
        "  -platform ИМЯ         стандартные параметры Qt (-platform, -style, -display и "
        "другие) действуют как обычно\n\n"
        "Окружение:\n"
        "  VOLTADESK_LANG        \"ru\" или \"en\": язык окон, иначе язык рабочего стола\n"
        "  VDVISA_RESOURCES      ресурсы модулей (строки VISA или адреса) через \";\"; "
        "иначе файл ~/.config/vdvisa/resources, по одному ресурсу в строке\n"
        "  VDVISA_BROADCAST      0 отключает широковещательный поиск VXI-11\n"
        "  VDVISA_BROADCAST_MS   сколько ждать ответов на широковещательный запрос, мс "
        "(по умолчанию 500)\n"
        "  VOLTADESK_SERIAL_PORTS  порты мультиметра и нагрузки, которых нет в списке "
        "системы, записями \"путь|изготовитель|описание\" через \";\"\n"
        "  VXIPNPPATH            корень дерева VXIplug&play с файлами драйвера модуля\n"
        "  VOLTADESK_DEBUG       1 выводит отладочные сообщения в терминал\n");
}

QString ProgramHelp::version(const QString &number)
{
    return QStringLiteral("voltadesk ") + number + QLatin1Char('\n');
}

QString ProgramHelp::requested(const QStringList &arguments, const QString &number)
{
    for (const QString &argument : arguments.mid(1)) {
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            return text();
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v"))
            return version(number);
    }
    return QString();
}
