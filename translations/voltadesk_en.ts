<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>CalibrationFlow</name>
    <message>
        <source>Калибровка</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>Калибровка точки напряжения</source>
        <translation>Voltage point calibration</translation>
    </message>
    <message>
        <source>Введите значение напряжения.</source>
        <translation>Enter the voltage value.</translation>
    </message>
    <message>
        <source>Калибровка точки тока</source>
        <translation>Current point calibration</translation>
    </message>
    <message>
        <source>Введите значение тока.</source>
        <translation>Enter the current value.</translation>
    </message>
    <message>
        <source>Установить калибровочную точку для напряжения/тока.</source>
        <translation>Set a calibration point for voltage or current.</translation>
    </message>
    <message>
        <source>Напряжение</source>
        <translation>Voltage</translation>
    </message>
    <message>
        <source>Ток</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Внимание!
Неправильная калибровка может сломать инструмент.
Продолжить?</source>
        <translation>Warning!
A wrong calibration can break the instrument.
Continue?</translation>
    </message>
    <message>
        <source>Да</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>Нет</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Установить калибровочную точку или сбросить калибровку?</source>
        <translation>Set a calibration point or clear the calibration?</translation>
    </message>
    <message>
        <source>Установить</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>Сбросить</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Сохранить калибровку?</source>
        <translation>Save the calibration?</translation>
    </message>
</context>
<context>
    <name>CommandConsole</name>
    <message>
        <source>Консоль</source>
        <translation>Console</translation>
    </message>
    <message>
        <source>Поиск в истории</source>
        <translation>Search the history</translation>
    </message>
    <message>
        <source>Двойной щелчок переносит строку в поле ввода</source>
        <translation>Double-click puts the line into the input field</translation>
    </message>
    <message>
        <source>Команда или запрос, например *IDN?</source>
        <translation>A command or a query, e.g. *IDN?</translation>
    </message>
    <message>
        <source>Отправить</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>читать *ERR? после команды</source>
        <translation>read *ERR? after a command</translation>
    </message>
    <message>
        <source>Данные последнего ответа-блока в файл</source>
        <translation>The data of the last block reply to a file</translation>
    </message>
    <message>
        <source>Сохранить блок...</source>
        <translation>Save block...</translation>
    </message>
    <message>
        <source>Копировать</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Сохранить...</source>
        <translation>Save...</translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Сохранить блок</source>
        <translation>Save block</translation>
    </message>
    <message>
        <source>Все файлы (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>Сохранить вывод консоли</source>
        <translation>Save the console output</translation>
    </message>
    <message>
        <source>Текст (*.txt)</source>
        <translation>Text (*.txt)</translation>
    </message>
</context>
<context>
    <name>CommandLineRun</name>
    <message>
        <source>укажите ресурс модуля или &quot;list&quot;
</source>
        <translation>name the module&apos;s resource or &quot;list&quot;
</translation>
    </message>
    <message>
        <source>не выбрана ни одна процедура</source>
        <translation>no procedure chosen</translation>
    </message>
    <message>
        <source>пути протоколов должны быть заданы и различаться</source>
        <translation>the protocol paths must be given and differ</translation>
    </message>
    <message>
        <source>Не удалось создать общую структуру VISA!</source>
        <translation>Could not create the VISA resource manager!</translation>
    </message>
    <message>
        <source>: Не удалось открыть соединение!</source>
        <translation>: Could not open the connection!</translation>
    </message>
    <message>
        <source>остановлено</source>
        <translation>stopped</translation>
    </message>
    <message>
        <source>не все процедуры выполнены</source>
        <translation>not every procedure ran</translation>
    </message>
    <message>
        <source>voltadesk-run: укажите порты приборов: --multimeter ПОРТ и --load ПОРТ, или опишите их в VOLTADESK_SERIAL_PORTS (см. --help)</source>
        <translation>voltadesk-run: name the instruments&apos; ports: --multimeter PORT and --load PORT, or describe them in VOLTADESK_SERIAL_PORTS (see --help)</translation>
    </message>
    <message>
        <source>эталонные средства измерений не подтверждены реестром</source>
        <translation>the reference instruments are not confirmed by the register</translation>
    </message>
    <message>
        <source>не все результаты сохранены в хранилище</source>
        <translation>not every result was stored</translation>
    </message>
    <message>
        <source>не найдено ни одного модуля RVKA5630 (проверьте подключение к сети и VDVISA_RESOURCES)</source>
        <translation>no RVKA5630 module found (check the network connection and VDVISA_RESOURCES)</translation>
    </message>
    <message>
        <source>протокол %1 уже существует; чтобы заменить его, укажите --overwrite</source>
        <translation>the protocol %1 exists already; give --overwrite to replace it</translation>
    </message>
    <message>
        <source>%1 не модуль RVKA5630: %2</source>
        <translation>%1 is not an RVKA5630 module: %2</translation>
    </message>
    <message>
        <source>%1 не отвечает на запрос *IDN?</source>
        <translation>%1 does not answer *IDN?</translation>
    </message>
</context>
<context>
    <name>ConsoleExchange</name>
    <message>
        <source>блок: заголовок %1, длина %2 байт</source>
        <translation>block: header %1, length %2 bytes</translation>
    </message>
    <message>
        <source>ошибка: </source>
        <translation>error: </translation>
    </message>
    <message>
        <source>, %1 мс</source>
        <translation>, %1 ms</translation>
    </message>
</context>
<context>
    <name>FirmwareUpdate</name>
    <message>
        <source>Обновление встроенного ПО</source>
        <translation>Firmware update</translation>
    </message>
    <message>
        <source>Выберите двоичный файл с новым ПО для записи</source>
        <translation>Choose the binary file with the new firmware to write</translation>
    </message>
    <message>
        <source>(*.bin)</source>
        <translation>(*.bin)</translation>
    </message>
    <message>
        <source>Да</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>Нет</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Выбранный файл не является прошивкой STM32F4. Продолжить?</source>
        <translation>The chosen file is not STM32F4 firmware. Continue?</translation>
    </message>
    <message>
        <source>Выбранный файл уже записан. Желаете перезаписать?</source>
        <translation>The chosen file is already written. Write it again?</translation>
    </message>
    <message>
        <source>Запись прошивки в инструмент...</source>
        <translation>Writing the firmware to the instrument...</translation>
    </message>
    <message>
        <source>Недостаточно памяти для записи прошивки.</source>
        <translation>Not enough memory to write the firmware.</translation>
    </message>
    <message>
        <source>Подготовка данных.</source>
        <translation>Preparing the data.</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Запись прошивки завершена с ошибкой! Не удалось записать прошивку!</source>
        <translation>Firmware writing ended with an error! The firmware could not be written!</translation>
    </message>
    <message>
        <source>Инструмент после перезаписи прошивки не отзывается! Связь после перезапуска не восстановлена, прошивка с файлом не сверена.</source>
        <translation>The instrument does not respond after the firmware was written! The link was not restored after the restart; the firmware was not compared with the file.</translation>
    </message>
    <message>
        <source>Обновление завершено</source>
        <translation>Update complete</translation>
    </message>
    <message>
        <source>Запись прошивки завершена успешно.</source>
        <translation>The firmware was written successfully.</translation>
    </message>
    <message>
        <source>Запись прошивки завершена с ошибкой! Содержимое файла и памяти отличается!</source>
        <translation>Firmware writing ended with an error! The file and the memory contents differ!</translation>
    </message>
    <message>
        <source>Ошибка ввода/вывода!</source>
        <translation>Input/output error!</translation>
    </message>
    <message>
        <source>Ошибка записи в промежуточное РПЗУ.</source>
        <translation>Error writing the intermediate flash memory.</translation>
    </message>
    <message>
        <source>Запись в промежуточное РПЗУ %1 байт по смещению %2...</source>
        <translation>Writing %1 bytes to the intermediate flash memory at offset %2...</translation>
    </message>
    <message>
        <source>Чтение данных РПЗУ...</source>
        <translation>Reading the flash memory...</translation>
    </message>
    <message>
        <source>Сравнение данных РПЗУ...</source>
        <translation>Comparing the flash memory...</translation>
    </message>
    <message>
        <source>Файл и прошивка инструмента совпадают.</source>
        <translation>The file and the instrument firmware match.</translation>
    </message>
    <message>
        <source>Записанный файл и содержимое памяти отличается!</source>
        <translation>The written file and the memory contents differ!</translation>
    </message>
    <message>
        <source>Очередь ошибок инструмента не очищается.</source>
        <translation>The instrument error queue does not clear.</translation>
    </message>
    <message>
        <source>Стирание промежуточного РПЗУ.</source>
        <translation>Erasing the intermediate flash memory.</translation>
    </message>
    <message>
        <source>Перезапись прошивки из промежуточного РПЗУ по месту...</source>
        <translation>Rewriting the firmware in place from the intermediate flash memory...</translation>
    </message>
    <message>
        <source>Внимание! 
После перезаписи прошивки инструмент перезагружается, 
поэтому сеанс связи с ним должен быть закрыт и открыт повторно!</source>
        <translation>Warning! 
After the firmware is rewritten the instrument restarts, 
so the session with it must be closed and opened again!</translation>
    </message>
</context>
<context>
    <name>FwRewriter</name>
    <message>
        <source>Не удалось открыть файл прошивки.</source>
        <translation>Could not open the firmware file.</translation>
    </message>
    <message>
        <source>Файл прошивки пуст.</source>
        <translation>The firmware file is empty.</translation>
    </message>
    <message>
        <source>Файл слишком велик (%1 байт): основное РПЗУ инструмента вмещает не более %2 байт.</source>
        <translation>The file is too large (%1 bytes): the instrument&apos;s main flash memory holds at most %2 bytes.</translation>
    </message>
    <message>
        <source>Файл слишком велик (%1 байт): его нельзя загрузить в память.</source>
        <translation>The file is too large (%1 bytes): it cannot be loaded into memory.</translation>
    </message>
    <message>
        <source>Не удалось прочитать файл прошивки.</source>
        <translation>Could not read the firmware file.</translation>
    </message>
</context>
<context>
    <name>IoExchangeModel</name>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Прибор</source>
        <translation>Instrument</translation>
    </message>
    <message>
        <source>Направление</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>Данные</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>Состояние</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Длительность, мс</source>
        <translation>Duration, ms</translation>
    </message>
</context>
<context>
    <name>IoMonitor</name>
    <message>
        <source>Журнал обмена</source>
        <translation>I/O log</translation>
    </message>
    <message>
        <source>Прибор:</source>
        <translation>Instrument:</translation>
    </message>
    <message>
        <source>Пауза</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Сохранить...</source>
        <translation>Save...</translation>
    </message>
    <message>
        <source>блок не прочитан</source>
        <translation>block not read</translation>
    </message>
    <message>
        <source> [блок, длина %1]</source>
        <translation> [block, length %1]</translation>
    </message>
    <message>
        <source>Все приборы</source>
        <translation>All instruments</translation>
    </message>
    <message>
        <source>Сохранить журнал обмена</source>
        <translation>Save the I/O log</translation>
    </message>
    <message>
        <source>Текст (*.txt)</source>
        <translation>Text (*.txt)</translation>
    </message>
    <message>
        <source>записано</source>
        <translation>written</translation>
    </message>
    <message>
        <source>нет связи</source>
        <translation>no link</translation>
    </message>
    <message>
        <source>значение</source>
        <translation>value</translation>
    </message>
    <message>
        <source>нет ответа</source>
        <translation>no reply</translation>
    </message>
    <message>
        <source>не число</source>
        <translation>not a number</translation>
    </message>
    <message>
        <source>ответ не завершён</source>
        <translation>incomplete reply</translation>
    </message>
    <message>
        <source>%1 консоль</source>
        <translation>%1 console</translation>
    </message>
    <message>
        <source>Записи: все, %1</source>
        <translation>Entries: all, %1</translation>
    </message>
    <message>
        <source>Записи: только прибор %1 (фильтр), %2 из %3</source>
        <translation>Entries: instrument %1 only (filtered), %2 of %3</translation>
    </message>
    <message>
        <source>Журнал обмена voltaDesk %1</source>
        <translation>voltaDesk I/O log %1</translation>
    </message>
    <message>
        <source>Сохранён: %1</source>
        <translation>Saved: %1</translation>
    </message>
    <message>
        <source>Приборы:</source>
        <translation>Instruments:</translation>
    </message>
</context>
<context>
    <name>MathLibraryChecksum</name>
    <message>
        <source>Контрольная сумма файла: %1
Требуемая контрольная сумма: %2
</source>
        <translation>File checksum: %1
Required checksum: %2
</translation>
    </message>
</context>
<context>
    <name>ModuleInformation</name>
    <message>
        <source>&lt;table border=&quot;0&quot; cellpadding=&quot;5&quot; style = &quot;font-family:courier new;font-size:16px;&quot;&gt;&lt;caption&gt;Подробная информация о модуле питания&lt;/caption&gt;&lt;tr&gt;&lt;th align=&quot;left&quot;&gt;Производитель&lt;/th&gt;    &lt;td align=&quot;left&quot;&gt;Korvalis ltd.&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;th align=&quot;left&quot;&gt;Модель&lt;/th&gt;           &lt;td align=&quot;left&quot;&gt;%s&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;th align=&quot;left&quot;&gt;Серийный номер&lt;/th&gt;   &lt;td align=&quot;left&quot;&gt;%s&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;th align=&quot;left&quot;&gt;PLACEID&lt;/th&gt;          &lt;td align=&quot;left&quot;&gt;%s&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;th align=&quot;left&quot;&gt;ADDRID (слот)&lt;/th&gt;    &lt;td align=&quot;left&quot;&gt;%s&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;th align=&quot;left&quot;&gt;SWITCHID&lt;/th&gt;         &lt;td align=&quot;left&quot;&gt;%s&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;th align=&quot;left&quot;&gt;Версия устройства&lt;/th&gt;&lt;td align=&quot;left&quot;&gt;%s&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;th align=&quot;left&quot;&gt;Версия прошивки&lt;/th&gt;  &lt;td align=&quot;left&quot;&gt;%s&lt;/td&gt;&lt;/tr&gt;&lt;/table&gt;</source>
        <translation>&lt;table border=&quot;0&quot; cellpadding=&quot;5&quot; style = &quot;font-family:courier new;font-size:16px;&quot;&gt;&lt;caption&gt;Power module details&lt;/caption&gt;&lt;tr&gt;&lt;th align=&quot;left&quot;&gt;Manufacturer&lt;/th&gt;    &lt;td align=&quot;left&quot;&gt;Korvalis ltd.&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;th align=&quot;left&quot;&gt;Model&lt;/th&gt;           &lt;td align=&quot;left&quot;&gt;%s&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;th align=&quot;left&quot;&gt;Serial number&lt;/th&gt;   &lt;td align=&quot;left&quot;&gt;%s&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;th align=&quot;left&quot;&gt;PLACEID&lt;/th&gt;          &lt;td align=&quot;left&quot;&gt;%s&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;th align=&quot;left&quot;&gt;ADDRID (slot)&lt;/th&gt;    &lt;td align=&quot;left&quot;&gt;%s&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;th align=&quot;left&quot;&gt;SWITCHID&lt;/th&gt;         &lt;td align=&quot;left&quot;&gt;%s&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;th align=&quot;left&quot;&gt;Hardware version&lt;/th&gt;&lt;td align=&quot;left&quot;&gt;%s&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;th align=&quot;left&quot;&gt;Firmware version&lt;/th&gt;  &lt;td align=&quot;left&quot;&gt;%s&lt;/td&gt;&lt;/tr&gt;&lt;/table&gt;</translation>
    </message>
</context>
<context>
    <name>ModuleInformationDialog</name>
    <message>
        <source>Подробнее...</source>
        <translation>Details...</translation>
    </message>
    <message>
        <source>Метрология</source>
        <translation>Metrology</translation>
    </message>
    <message>
        <source>Критическая ошибка</source>
        <translation>Critical error</translation>
    </message>
    <message>
        <source>Файл rvka5630_math.dll не найден.</source>
        <translation>File rvka5630_math.dll not found.</translation>
    </message>
    <message>
        <source>Контрольная сумма файла и требуемая контрольная сумма совпадают!</source>
        <translation>The file checksum matches the required checksum!</translation>
    </message>
    <message>
        <source>Контрольная сумма файла и требуемая контрольная сумма не совпадают!</source>
        <translation>The file checksum does not match the required checksum!</translation>
    </message>
</context>
<context>
    <name>ProgramHelp</name>
    <message>
        <source>Использование: voltadesk [ПАРАМЕТР...]
Панель управления модулями питания RVKA5630: находит модули в сети (ресурсы VISA по VXI-11), управляет ими, калибрует и поверяет их.

Параметры:
  -h, --help            показать эту справку и выйти
  -v, --version         показать версию и выйти
  -platform ИМЯ         стандартные параметры Qt (-platform, -style, -display и другие) действуют как обычно

Окружение:
  VOLTADESK_LANG        &quot;ru&quot; или &quot;en&quot;: язык окон, иначе язык рабочего стола
  VDVISA_RESOURCES      ресурсы модулей (строки VISA или адреса) через &quot;;&quot;; иначе файл ~/.config/vdvisa/resources, по одному ресурсу в строке
  VDVISA_BROADCAST      0 отключает широковещательный поиск VXI-11
  VDVISA_BROADCAST_MS   сколько ждать ответов на широковещательный запрос, мс (по умолчанию 500)
  VOLTADESK_SERIAL_PORTS  порты мультиметра и нагрузки, которых нет в списке системы, записями &quot;путь|изготовитель|описание&quot; через &quot;;&quot;
  VXIPNPPATH            корень дерева VXIplug&amp;play с файлами драйвера модуля
  VOLTADESK_DEBUG       1 выводит отладочные сообщения в терминал
</source>
        <translation>Usage: voltadesk [OPTION...]
The control panel for RVKA5630 power modules: finds the modules on the LAN (VISA resources over VXI-11), controls, calibrates and verifies them.

Options:
  -h, --help            show this help and exit
  -v, --version         show the version and exit
  -platform NAME        Qt&apos;s standard options (-platform, -style, -display and others) work as usual

Environment:
  VOLTADESK_LANG        &quot;ru&quot; or &quot;en&quot;: the language of the windows, else the desktop&apos;s
  VDVISA_RESOURCES      module resources (VISA strings or addresses) separated by &quot;;&quot;; else the file ~/.config/vdvisa/resources, one resource per line
  VDVISA_BROADCAST      0 turns the VXI-11 broadcast search off
  VDVISA_BROADCAST_MS   how long answers to the broadcast are awaited, in ms (default 500)
  VOLTADESK_SERIAL_PORTS  ports of the multimeter and the load that the system does not list, as &quot;path|manufacturer|description&quot; entries separated by &quot;;&quot;
  VXIPNPPATH            root of the VXIplug&amp;play tree with the module&apos;s driver files
  VOLTADESK_DEBUG       1 prints the diagnostics on the terminal
</translation>
    </message>
</context>
<context>
    <name>ReadingChart</name>
    <message>
        <source>График</source>
        <translation>Chart</translation>
    </message>
    <message>
        <source>Пауза</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Автомасштаб</source>
        <translation>Autoscale</translation>
    </message>
    <message>
        <source>Сохранить CSV...</source>
        <translation>Save CSV...</translation>
    </message>
    <message>
        <source>Выделите область мышью, чтобы увеличить её; правая кнопка уменьшает</source>
        <translation>Drag over an area to zoom in; the right button zooms out</translation>
    </message>
    <message>
        <source>Напряжение, В</source>
        <translation>Voltage, V</translation>
    </message>
    <message>
        <source>Ток, А</source>
        <translation>Current, A</translation>
    </message>
    <message>
        <source>Мощность, Вт</source>
        <translation>Power, W</translation>
    </message>
    <message>
        <source>Температура, °C</source>
        <translation>Temperature, °C</translation>
    </message>
    <message>
        <source>График — %1</source>
        <translation>Chart — %1</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Сохранить показания</source>
        <translation>Save the readings</translation>
    </message>
    <message>
        <source>Таблица CSV (*.csv)</source>
        <translation>CSV table (*.csv)</translation>
    </message>
    <message>
        <source>%1   U = %2 В   I = %3 А   P = %4 Вт   T = %5 °C</source>
        <translation>%1   U = %2 V   I = %3 A   P = %4 W   T = %5 °C</translation>
    </message>
</context>
<context>
    <name>ResultsHistory</name>
    <message>
        <source>Погрешность</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Погрешность измерения</source>
        <translation>Measurement error</translation>
    </message>
    <message>
        <source>История</source>
        <translation>History</translation>
    </message>
    <message>
        <source>Начало (UTC)</source>
        <translation>Started (UTC)</translation>
    </message>
    <message>
        <source>Процедура</source>
        <translation>Procedure</translation>
    </message>
    <message>
        <source>Итог</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>Результат</source>
        <translation>Outcome</translation>
    </message>
    <message>
        <source>Рабочее место</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>Процедура:</source>
        <translation>Procedure:</translation>
    </message>
    <message>
        <source>Точка:</source>
        <translation>Point:</translation>
    </message>
    <message>
        <source>История: модуль %1</source>
        <translation>History: module %1</translation>
    </message>
    <message>
        <source>Хранилище результатов недоступно: %1</source>
        <translation>Results store unavailable: %1</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Допуск</source>
        <translation>Tolerance</translation>
    </message>
    <message>
        <source>−Допуск</source>
        <translation>−Tolerance</translation>
    </message>
    <message>
        <source>Запись</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>Записей нет</source>
        <translation>No records</translation>
    </message>
</context>
<context>
    <name>RunnerHelp</name>
    <message>
        <source>--vdc ФАЙЛ</source>
        <translation>--vdc FILE</translation>
    </message>
    <message>
        <source>--vdcn ФАЙЛ</source>
        <translation>--vdcn FILE</translation>
    </message>
    <message>
        <source>--vac ФАЙЛ</source>
        <translation>--vac FILE</translation>
    </message>
    <message>
        <source>--idc ФАЙЛ</source>
        <translation>--idc FILE</translation>
    </message>
    <message>
        <source>--idcn ФАЙЛ</source>
        <translation>--idcn FILE</translation>
    </message>
    <message>
        <source>--iac ФАЙЛ</source>
        <translation>--iac FILE</translation>
    </message>
    <message>
        <source>--multimeter ПОРТ</source>
        <translation>--multimeter PORT</translation>
    </message>
    <message>
        <source>последовательный порт мультиметра, например /dev/ttyACM0, вместо поиска по его строкам USB</source>
        <translation>serial port of the multimeter, e.g. /dev/ttyACM0, instead of the search by its USB strings</translation>
    </message>
    <message>
        <source>--load ПОРТ</source>
        <translation>--load PORT</translation>
    </message>
    <message>
        <source>последовательный порт нагрузки электронной</source>
        <translation>serial port of the electronic load</translation>
    </message>
    <message>
        <source>показать эту справку и выйти</source>
        <translation>show this help and exit</translation>
    </message>
    <message>
        <source>показать версию и выйти</source>
        <translation>show the version and exit</translation>
    </message>
    <message>
        <source>
Параметры:
</source>
        <translation>
Options:
</translation>
    </message>
    <message>
        <source>результаты строками JSON, с полем result: pass, fail, setup, stopped или error</source>
        <translation>results as JSON lines, with a field result: pass, fail, setup, stopped or error</translation>
    </message>
    <message>
        <source>заменять уже существующие протоколы</source>
        <translation>replace protocols that exist already</translation>
    </message>
    <message>
        <source>результат, не сохранённый в хранилище, - код 2</source>
        <translation>a result that could not be stored gives exit status 2</translation>
    </message>
    <message>
        <source>не выполнять процедуры, если приборы стенда не подтверждены реестром эталонов (код 2)</source>
        <translation>run nothing when the bench instruments are not confirmed by the reference register (status 2)</translation>
    </message>
    <message>
        <source>Использование: voltadesk-run list [--json]
  или: voltadesk-run РЕСУРС ПРОЦЕДУРА... [ПАРАМЕТР...]
Проводит процедуры калибровки и поверки модуля питания RVKA5630 без окна программы, для испытательных стендов, которые запускают их из сценариев.

  list                  перечислить найденные модули: ресурс, идентификация и размещение
  РЕСУРС                VISA-ресурс модуля, например TCPIP0::192.168.1.20::inst0::INSTR
  results               записи хранилища результатов (см. README, раздел Results)

Процедуры, выполняются в этом порядке; ФАЙЛ - протокол:
</source>
        <translation>Usage: voltadesk-run list [--json]
  or:  voltadesk-run RESOURCE PROCEDURE... [OPTION...]
Runs the calibration and verification procedures of an RVKA5630 power module without the window, for test stations that run them from scripts.

  list                  list the modules found: resource, identity and placement
  RESOURCE              the module&apos;s VISA resource, e.g. TCPIP0::192.168.1.20::inst0::INSTR
  results               the records of the results store (see the README, section Results)

Procedures, run in this order; FILE is the protocol to write:
</translation>
    </message>
    <message>
        <source>
Окружение:
  VOLTADESK_SERIAL_PORTS  порты, которых нет в списке системы, записями &quot;путь|изготовитель|описание&quot; через &quot;;&quot;
  VDVISA_RESOURCES      ресурсы для поиска помимо широковещательного запроса, через &quot;;&quot;
  VOLTADESK_LANG        &quot;ru&quot; или &quot;en&quot;: язык сообщений (протоколы остаются на русском)

Код завершения:
  0  все точки всех процедур в норме (и калибровка выполнена)
  1  есть точки &quot;не норма&quot;
  2  процедура не выполнена или остановлена, либо параметры не задают запуска
  3  list не нашёл ни одного модуля
SIGINT и SIGTERM безопасно останавливают идущую процедуру.
</source>
        <translation>
Environment:
  VOLTADESK_SERIAL_PORTS  ports the system does not list, as &quot;path|manufacturer|description&quot; entries separated by &quot;;&quot;
  VDVISA_RESOURCES      resources to search besides the broadcast, separated by &quot;;&quot;
  VOLTADESK_LANG        &quot;ru&quot; or &quot;en&quot;: the language of the messages (protocols stay Russian)

Exit status:
  0  every point of every procedure within tolerance (and the calibration done)
  1  a point out of tolerance
  2  a procedure could not run or was stopped, or the arguments make no run
  3  list found no module
SIGINT and SIGTERM stop the running procedure safely.
</translation>
    </message>
</context>
<context>
    <name>Rvka5630</name>
    <message>
        <source>Панель DIRERURe</source>
        <translation>DIRERURe panel</translation>
    </message>
    <message>
        <source>Конфигурация модуля питания</source>
        <translation>Power module configuration</translation>
    </message>
    <message>
        <source>Установка</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Напряжение, В</source>
        <translation>Voltage, V</translation>
    </message>
    <message>
        <source>Ограничение тока, А</source>
        <translation>Current limit, A</translation>
    </message>
    <message>
        <source>Уровень OVP, В</source>
        <translation>OVP level, V</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Ограничение&lt;br/&gt;мощности, Вт&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Power&lt;br/&gt;limit, W&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>360</source>
        <translation>360</translation>
    </message>
    <message>
        <source>500</source>
        <translation>500</translation>
    </message>
    <message>
        <source>Установить параметры</source>
        <translation>Apply settings</translation>
    </message>
    <message>
        <source>Измерение</source>
        <translation>Measurement</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>Ток, А</source>
        <translation>Current, A</translation>
    </message>
    <message>
        <source>Мощность, Вт</source>
        <translation>Power, W</translation>
    </message>
    <message>
        <source>Температура</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>--.--  </source>
        <translation>--.--  </translation>
    </message>
    <message>
        <source>℃</source>
        <translation>℃</translation>
    </message>
    <message>
        <source>Управление выходом</source>
        <translation>Output control</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>OFF</source>
        <translation>OFF</translation>
    </message>
    <message>
        <source>Вкл</source>
        <translation>On</translation>
    </message>
    <message>
        <source>Сброс ошибок</source>
        <translation>Clear faults</translation>
    </message>
    <message>
        <source>Конфигурация триггерных линий</source>
        <translation>Trigger line configuration</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Роль&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Role&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Master</source>
        <translation>Master</translation>
    </message>
    <message>
        <source>Slave</source>
        <translation>Slave</translation>
    </message>
    <message>
        <source>Линии</source>
        <translation>Lines</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Output&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Output&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Abort&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Abort&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Сконфигурировать триггеры</source>
        <translation>Configure triggers</translation>
    </message>
    <message>
        <source>Управление</source>
        <translation>Control</translation>
    </message>
    <message>
        <source>Самоконтроль</source>
        <translation>Self-test</translation>
    </message>
    <message>
        <source>Калибровка</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>Подробнее...</source>
        <translation>Details...</translation>
    </message>
    <message>
        <source>Обновление
встроенного ПО</source>
        <translation>Firmware
update</translation>
    </message>
    <message>
        <source>Сброс</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>debug</source>
        <translation>debug</translation>
    </message>
    <message>
        <source>Отключиться</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>График</source>
        <translation>Chart</translation>
    </message>
</context>
<context>
    <name>Rvka5630Debug</name>
    <message>
        <source>Отладочная панель DIRERURe</source>
        <translation>DIRERURe debug panel</translation>
    </message>
    <message>
        <source>значения</source>
        <translation>values</translation>
    </message>
    <message>
        <source>Vdrop:</source>
        <translation>Vdrop:</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>Ibal:</source>
        <translation>Ibal:</translation>
    </message>
    <message>
        <source>IbalDac1:</source>
        <translation>IbalDac1:</translation>
    </message>
    <message>
        <source>Установить</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>Метка самоконтроля</source>
        <translation>Self-test mark</translation>
    </message>
    <message>
        <source>334</source>
        <translation>334</translation>
    </message>
    <message>
        <source>Vns:</source>
        <translation>Vns:</translation>
    </message>
    <message>
        <source>PWM MAX</source>
        <translation>PWM MAX</translation>
    </message>
    <message>
        <source>Kp</source>
        <translation>Kp</translation>
    </message>
    <message>
        <source>Ki</source>
        <translation>Ki</translation>
    </message>
    <message>
        <source>Kd</source>
        <translation>Kd</translation>
    </message>
    <message>
        <source>сигналы</source>
        <translation>signals</translation>
    </message>
    <message>
        <source>CV CTR</source>
        <translation>CV CTR</translation>
    </message>
    <message>
        <source>CC CTR</source>
        <translation>CC CTR</translation>
    </message>
    <message>
        <source>OVV OUT</source>
        <translation>OVV OUT</translation>
    </message>
    <message>
        <source>TTF OVC</source>
        <translation>TTF OVC</translation>
    </message>
    <message>
        <source>OCP</source>
        <translation>OCP</translation>
    </message>
    <message>
        <source>OUT RELE</source>
        <translation>OUT RELE</translation>
    </message>
    <message>
        <source>ADG CTR</source>
        <translation>ADG CTR</translation>
    </message>
    <message>
        <source>ULPI STP</source>
        <translation>ULPI STP</translation>
    </message>
    <message>
        <source>Автоматизированные сценарии</source>
        <translation>Automated scenarios</translation>
    </message>
    <message>
        <source>Проверка доступности доп. оборудования</source>
        <translation>Check the auxiliary equipment</translation>
    </message>
    <message>
        <source>Автокалибровка</source>
        <translation>Automatic calibration</translation>
    </message>
    <message>
        <source>Поверка воспроизведения/измерения напряжения</source>
        <translation>Verification of voltage output and measurement</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Поверка нестабильности выходного напряжения</source>
        <translation>Verification of output voltage instability</translation>
    </message>
    <message>
        <source>Поверка уровня пульсаций выходного напряжения</source>
        <translation>Verification of output voltage ripple</translation>
    </message>
    <message>
        <source>Поверка воспроизведения/измерения выходного тока</source>
        <translation>Verification of output current and measurement</translation>
    </message>
    <message>
        <source>Поверка нестабильности выходного тока</source>
        <translation>Verification of output current instability</translation>
    </message>
    <message>
        <source>Поверка уровня пульсаций выходного тока</source>
        <translation>Verification of output current ripple</translation>
    </message>
    <message>
        <source>Пуск</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Мультиметр найден.
</source>
        <translation>Multimeter found.
</translation>
    </message>
    <message>
        <source>Мультиметр не найден!
</source>
        <translation>Multimeter not found!
</translation>
    </message>
    <message>
        <source>Нагрузка электронная найдена.</source>
        <translation>Electronic load found.</translation>
    </message>
    <message>
        <source>Нагрузка электронная не найдена!</source>
        <translation>Electronic load not found!</translation>
    </message>
    <message>
        <source>Проверка доступности дополнительного оборудования</source>
        <translation>Auxiliary equipment check</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Сохранить отчет</source>
        <translation>Save report</translation>
    </message>
    <message>
        <source>HTML страница (*.html)</source>
        <translation>HTML page (*.html)</translation>
    </message>
    <message>
        <source>Поля заполнены неверно!</source>
        <translation>The fields are filled in wrongly!</translation>
    </message>
    <message>
        <source>Ожидание выполнения программы...</source>
        <translation>Waiting for the procedure to finish...</translation>
    </message>
    <message>
        <source>Стоп</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Журнал обмена с модулем и приборами стенда</source>
        <translation>Log of the exchanges with the module and the bench instruments</translation>
    </message>
    <message>
        <source>Журнал обмена</source>
        <translation>I/O log</translation>
    </message>
    <message>
        <source>Метрология</source>
        <translation>Metrology</translation>
    </message>
    <message>
        <source>Эти протоколы уже существуют и будут заменены:
%1

Заменить их?</source>
        <translation>These protocols exist already and will be replaced:
%1

Replace them?</translation>
    </message>
    <message>
        <source>Да</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>Нет</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Записи процедур этого модуля и погрешность точек от записи к записи</source>
        <translation>This module&apos;s procedure records and each point&apos;s error from record to record</translation>
    </message>
    <message>
        <source>История</source>
        <translation>History</translation>
    </message>
    <message>
        <source>Эталонные средства измерений</source>
        <translation>Reference instruments</translation>
    </message>
    <message>
        <source>Реестр эталонов не подтверждает приборы стенда:
%1

Выполнить процедуры всё равно?</source>
        <translation>The reference register does not confirm the bench instruments:
%1

Run the procedures anyway?</translation>
    </message>
    <message>
        <source>Хранилище результатов</source>
        <translation>Results store</translation>
    </message>
    <message>
        <source>Результат не сохранён в хранилище:
%1</source>
        <translation>The result was not stored:
%1</translation>
    </message>
    <message>
        <source>Команды и запросы модулю вручную</source>
        <translation>Commands and queries to the module by hand</translation>
    </message>
    <message>
        <source>Консоль</source>
        <translation>Console</translation>
    </message>
</context>
<context>
    <name>Rvka5630panel</name>
    <message>
        <source>Модуль питания RVKA5630 AXIe-0</source>
        <translation>RVKA5630 AXIe-0 power module</translation>
    </message>
    <message>
        <source>Критическая ошибка</source>
        <translation>Critical error</translation>
    </message>
    <message>
        <source>Не удалось обнаружить VXIPNPPATH в переменных среды</source>
        <translation>VXIPNPPATH was not found in the environment</translation>
    </message>
    <message>
        <source>Файл rvka5630_32.dll не найден.</source>
        <translation>File rvka5630_32.dll not found.</translation>
    </message>
    <message>
        <source>Файл rvka5630_math.dll не найден.</source>
        <translation>File rvka5630_math.dll not found.</translation>
    </message>
    <message>
        <source>Не удалось открыть соединение!</source>
        <translation>Could not open the connection!</translation>
    </message>
    <message>
        <source>Выкл</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>Вкл</source>
        <translation>On</translation>
    </message>
    <message>
        <source>Включен выход!</source>
        <translation>The output is on!</translation>
    </message>
    <message>
        <source>Недопустимая комбинация!</source>
        <translation>Invalid combination!</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Сохранить отчет</source>
        <translation>Save report</translation>
    </message>
    <message>
        <source>HTML страница (*.html)</source>
        <translation>HTML page (*.html)</translation>
    </message>
</context>
<context>
    <name>SaveFileDialog</name>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Не удалось записать файл %1</source>
        <translation>Could not write the file %1</translation>
    </message>
</context>
<context>
    <name>ScenarioRunner</name>
    <message>
        <source>Автокалибровка</source>
        <translation>Automatic calibration</translation>
    </message>
    <message>
        <source>Поверка воспроизведения/измерения напряжения</source>
        <translation>Verification of voltage output and measurement</translation>
    </message>
    <message>
        <source>Поверка нестабильности выходного напряжения</source>
        <translation>Verification of output voltage instability</translation>
    </message>
    <message>
        <source>Поверка уровня пульсаций выходного напряжения</source>
        <translation>Verification of output voltage ripple</translation>
    </message>
    <message>
        <source>Поверка воспроизведения/измерения выходного тока</source>
        <translation>Verification of output current and measurement</translation>
    </message>
    <message>
        <source>Поверка нестабильности выходного тока</source>
        <translation>Verification of output current instability</translation>
    </message>
    <message>
        <source>Поверка уровня пульсаций выходного тока</source>
        <translation>Verification of output current ripple</translation>
    </message>
    <message>
        <source>Поверка: не удалось открыть файл для записи!</source>
        <translation>Verification: could not open the file for writing!</translation>
    </message>
    <message>
        <source>Автокалибровка: ошибка инициализации мультиметра!</source>
        <translation>Automatic calibration: the multimeter failed to initialise!</translation>
    </message>
    <message>
        <source>Поверка: ошибка инициализации мультиметра!</source>
        <translation>Verification: the multimeter failed to initialise!</translation>
    </message>
    <message>
        <source>Автокалибровка: связь с мультиметром разорвана!</source>
        <translation>Automatic calibration: the link to the multimeter is lost!</translation>
    </message>
    <message>
        <source>Поверка: связь с мультиметром разорвана!</source>
        <translation>Verification: the link to the multimeter is lost!</translation>
    </message>
    <message>
        <source>Поверка: ошибка инициализации нагрузки электронной!</source>
        <translation>Verification: the electronic load failed to initialise!</translation>
    </message>
    <message>
        <source>Поверка: связь с нагрузкой электронной разорвана!</source>
        <translation>Verification: the link to the electronic load is lost!</translation>
    </message>
    <message>
        <source>Автокалибровка: не удалось обнаружить доп. оборудование!</source>
        <translation>Automatic calibration: the auxiliary equipment was not found!</translation>
    </message>
    <message>
        <source>Поверка: не удалось обнаружить доп. оборудование!</source>
        <translation>Verification: the auxiliary equipment was not found!</translation>
    </message>
    <message>
        <source>Автокалибровка: связь с устройством разорвана!</source>
        <translation>Automatic calibration: the link to the module is lost!</translation>
    </message>
    <message>
        <source>Поверка: связь с устройством разорвана!</source>
        <translation>Verification: the link to the module is lost!</translation>
    </message>
    <message>
        <source>Автокалибровка: остановлена оператором.</source>
        <translation>Automatic calibration: stopped by the operator.</translation>
    </message>
    <message>
        <source>Поверка: остановлена оператором.</source>
        <translation>Verification: stopped by the operator.</translation>
    </message>
    <message>
        <source>: точка %1 из %2</source>
        <translation>: point %1 of %2</translation>
    </message>
    <message>
        <source>, прошло %1, осталось около %2</source>
        <translation>, %1 elapsed, about %2 left</translation>
    </message>
    <message>
        <source>выполнена</source>
        <translation>done</translation>
    </message>
    <message>
        <source>все точки &quot;норма&quot;</source>
        <translation>all points &quot;норма&quot; (pass)</translation>
    </message>
    <message>
        <source>&quot;не норма&quot;: %1 из %2 точек</source>
        <translation>&quot;не норма&quot; (fail): %1 of %2 points</translation>
    </message>
    <message>
        <source>Автокалибровка: показания мультиметра не следуют за выходом модуля. Проверьте подключение мультиметра к выходу модуля!</source>
        <translation>Automatic calibration: the multimeter&apos;s readings do not follow the module&apos;s output. Check the multimeter&apos;s connection to the module&apos;s output!</translation>
    </message>
    <message>
        <source>Поверка: показания мультиметра не следуют за выходом модуля. Проверьте подключение мультиметра к выходу модуля!</source>
        <translation>Verification: the multimeter&apos;s readings do not follow the module&apos;s output. Check the multimeter&apos;s connection to the module&apos;s output!</translation>
    </message>
</context>
<context>
    <name>ScenarioSummary</name>
    <message>
        <source>Итоги выполнения программы</source>
        <translation>Summary of the run</translation>
    </message>
    <message>
        <source>Открыть протокол</source>
        <translation>Open protocol</translation>
    </message>
</context>
<context>
    <name>SelfTestDialogs</name>
    <message>
        <source>Самоконтроль</source>
        <translation>Self-test</translation>
    </message>
    <message>
        <source>Самотестирование не было пройдено.
Управление выходом заблокировано.</source>
        <translation>The self-test was not passed.
Output control is locked.</translation>
    </message>
    <message>
        <source>Для нормальной работы модуля питания следует игнорировать результат самотестирования, исправить проблему и пройти самотестирование заново.</source>
        <translation>For normal operation of the power module, ignore the self-test result, fix the problem and run the self-test again.</translation>
    </message>
    <message>
        <source>Продолжить</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>Игнорировать</source>
        <translation>Ignore</translation>
    </message>
    <message>
        <source>Выполнить самоконтроль или сохранить результат?</source>
        <translation>Run the self-test or save the result?</translation>
    </message>
    <message>
        <source>Сохранить результат</source>
        <translation>Save result</translation>
    </message>
    <message>
        <source>Выполнить</source>
        <translation>Run</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Самотестирование успешно пройдено!</source>
        <translation>Self-test passed!</translation>
    </message>
    <message>
        <source>Самотестирование не пройдено!</source>
        <translation>Self-test failed!</translation>
    </message>
</context>
<context>
    <name>SelfTestProgress</name>
    <message>
        <source>Самоконтроль</source>
        <translation>Self-test</translation>
    </message>
    <message>
        <source>Ожидание завершения самотестирования...</source>
        <translation>Waiting for the self-test to finish...</translation>
    </message>
</context>
<context>
    <name>Widget</name>
    <message>
        <source>Панель управления источниками питания</source>
        <translation>Power supply control panel</translation>
    </message>
    <message>
        <source>Korvalis</source>
        <translation>Korvalis</translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>IDN</source>
        <translation>IDN</translation>
    </message>
    <message>
        <source>Дополнительная информация</source>
        <translation>Additional information</translation>
    </message>
    <message>
        <source>Подключиться</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>Обновить</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Панель управления модулями питания RVKA5630</source>
        <translation>RVKA5630 power module control panel</translation>
    </message>
    <message>
        <source>Критическая ошибка</source>
        <translation>Critical error</translation>
    </message>
    <message>
        <source>Не удалось создать общую структуру VISA!
Продолжение работы невозможно.</source>
        <translation>Could not create the VISA resource manager!
The program cannot continue.</translation>
    </message>
    <message>
        <source>Поиск инструментов...</source>
        <translation>Searching for instruments...</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Модули не найдены. Модули RVKA5630 ищутся широковещательным запросом VXI-11 во всех сетях компьютера (VDVISA_BROADCAST=0 его отключает) и среди заданных ресурсов: переменная окружения VDVISA_RESOURCES (строки VISA или адреса через &quot;;&quot;) или файл ~/.config/vdvisa/resources, по одному ресурсу в строке. Проверьте питание и подключение модулей и нажмите &quot;Обновить&quot;.</source>
        <translation>No modules found. RVKA5630 modules are found by a VXI-11 broadcast on every network of this computer (VDVISA_BROADCAST=0 turns it off) and among the configured resources: the environment variable VDVISA_RESOURCES (VISA strings or addresses separated by &quot;;&quot;) or the file ~/.config/vdvisa/resources, one resource per line. Check that the modules are powered and connected, then press &quot;Refresh&quot;.</translation>
    </message>
    <message>
        <source>%1: другая модель (%2)</source>
        <translation>%1: another model (%2)</translation>
    </message>
    <message>
        <source>%1: нет ответа</source>
        <translation>%1: no answer</translation>
    </message>
    <message>
        <source>Не показаны найденные ресурсы: %1 из %2 (не ответили: %3, другой модели: %4). Подробности - в подсказке этой строки.</source>
        <translation>Found resources not listed: %1 of %2 (no answer: %3, another model: %4). The details are in this line&apos;s tooltip.</translation>
    </message>
</context>
</TS>
