// ctest-timeout: 120
// The window classes bind their slots to form widgets by object name and read or write
// those widgets directly, so a renamed widget, a changed class or a lost initial state in
// a form breaks them silently. These tests pin the names, classes, captions and initial
// states that the code and the operator rely on.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QtTest>

#include "ui_rvka5630debug.h"
#include "ui_rvka5630panel.h"
#include "ui_widget.h"

namespace {

const QString mainForm = QStringLiteral("widget");
const QString panelForm = QStringLiteral("panel");
const QString debugForm = QStringLiteral("debug");

// Marks a horizontal separator in a flattened layout.
const QString separator = QStringLiteral("----");

QVariant font(const QString &family, int points, bool bold = false, bool italic = false)
{
    QFont f(family, points);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

QVariant rightAligned()
{
    return QVariant::fromValue(Qt::Alignment(Qt::AlignRight));
}

QVariantMap valueBox(QVariantMap properties)
{
    properties.insert("minimumSize", QSize(131, 31));
    properties.insert("maximumSize", QSize(131, 31));
    return properties;
}

QString describe(const QVariant &value)
{
    QString text;
    QDebug(&text) << value;
    return text;
}

// The widgets of a layout, top to bottom and left to right, spacers left out.
QStringList widgetOrder(const QLayout *layout)
{
    QStringList names;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (QWidget *w = item->widget()) {
            const auto *frame = qobject_cast<QFrame *>(w);
            const bool line = frame && frame->metaObject() == &QFrame::staticMetaObject &&
                              frame->frameShape() == QFrame::HLine &&
                              frame->frameShadow() == QFrame::Sunken;
            names << (line ? separator : w->objectName());
        } else if (item->layout()) {
            names << widgetOrder(item->layout());
        }
    }
    return names;
}

QGroupBox *groupTitled(QWidget *form, const QString &title)
{
    QGroupBox *found = nullptr;
    for (QGroupBox *group : form->findChildren<QGroupBox *>()) {
        if (group->title() == title) {
            if (found)
                return nullptr; // two groups of one title: ambiguous for the operator
            found = group;
        }
    }
    return found;
}

} // namespace

class tst_Forms : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void namedWidgets_data();
    void namedWidgets();
    void groups_data();
    void groups();
    void instrumentTableSelectsWholeRows();
    void logoIsCompiledIn();
    void radioPairsAreIndependent();
    void foldedTriggerGroupDisablesItsControls();
    void debugWindowArrangement();
    void scenarioControlsInOrder();
    void formsFitTheirDesignedSize_data();
    void formsFitTheirDesignedSize();

private:
    QWidget *form(const QString &name);

    QWidget mainHost;
    QWidget panelHost;
    QWidget debugHost;
    Ui::Widget mainUi;
    Ui::Rvka5630 panelUi;
    Ui::Rvka5630Debug debugUi;
};

QWidget *tst_Forms::form(const QString &name)
{
    if (name == mainForm)
        return &mainHost;
    if (name == panelForm)
        return &panelHost;
    return &debugHost;
}

void tst_Forms::initTestCase()
{
    // The logo lives in the static core library; nothing else references its resource unit.
    Q_INIT_RESOURCE(resources);
    mainUi.setupUi(&mainHost);
    panelUi.setupUi(&panelHost);
    debugUi.setupUi(&debugHost);
}

void tst_Forms::namedWidgets_data()
{
    QTest::addColumn<QString>("formName");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<QVariantMap>("properties");

    auto row = [](const QString &formName, const char *name, const char *className,
                  const QVariantMap &properties = {}) {
        QTest::newRow(qPrintable(formName + '/' + name))
            << formName << QString::fromLatin1(name) << QByteArray(className) << properties;
    };

    // Main window.
    row(mainForm, "Widget", "QWidget",
        {{"windowTitle", "Панель управления источниками питания"},
         {"size", QSize(800, 600)},
         {"minimumSize", QSize(0, 0)}});
    row(mainForm, "groupBox", "QGroupBox", {{"title", QString()}});
    row(mainForm, "label", "QLabel",
        {{"text", QString()}, {"maximumSize", QSize(51, 51)}, {"scaledContents", true}});
    row(mainForm, "headerLabel", "QLabel",
        {{"text", "Korvalis"}, {"font", font("Arial", 24, true, true)}});
    row(mainForm, "stackedWidget", "QStackedWidget", {{"currentIndex", 0}});
    row(mainForm, "mainPage", "QWidget");
    row(mainForm, "devicesTable", "QTableWidget", {{"columnCount", 3}, {"rowCount", 0}});
    for (const char *name : {"connectButton", "refreshInstrumentsListButton"}) {
        const bool connect = qstrcmp(name, "connectButton") == 0;
        row(mainForm, name, "QPushButton",
            {{"text", connect ? "Подключиться" : "Обновить"},
             {"enabled", !connect},
             {"minimumSize", QSize(151, 0)},
             {"font", font("Arial", 12, true)}});
    }

    // Module panel.
    const QVariant mono = font("Courier New", 12);
    row(panelForm, "Rvka5630", "QWidget",
        {{"windowTitle", "Панель DIRERURe"},
         {"size", QSize(759, 610)},
         {"font", font("Arial", 10)}});
    for (const char *name : {"dsbVolt", "dsbCurr", "dsbOvp"})
        row(panelForm, name, "QDoubleSpinBox",
            valueBox(
                {{"value", 0.0}, {"decimals", 4}, {"alignment", rightAligned()}, {"font", mono}}));
    for (const char *name : {"dispVolt", "dispCurr", "dispWatt"})
        row(panelForm, name, "QLineEdit",
            valueBox({{"text", "0"},
                      {"readOnly", true},
                      {"alignment", rightAligned()},
                      {"font", mono}}));
    for (const char *name : {"sbInOutTrigger", "sbAbortTrigger"})
        row(panelForm, name, "QSpinBox",
            valueBox({{"minimum", 0}, {"maximum", 12}, {"value", 0}, {"font", mono}}));
    row(panelForm, "setupParametersButton", "QPushButton", {{"text", "Установить параметры"}});
    row(panelForm, "rbNormalWatt", "QRadioButton", {{"text", "360"}, {"checked", true}});
    row(panelForm, "rbOverWatt", "QRadioButton", {{"text", "500"}, {"checked", false}});
    row(panelForm, "outpButton", "QPushButton",
        {{"text", "Вкл"}, {"checkable", true}, {"checked", false}, {"enabled", true}});
    row(panelForm, "dispOutp", "QLabel", {{"text", "OFF"}, {"font", mono}});
    row(panelForm, "clearFaultsButton", "QPushButton", {{"text", "Сброс ошибок"}});
    row(panelForm, "temperatureLabel", "QLabel", {{"text", "--.--  "}, {"font", mono}});
    row(panelForm, "disconnectButton", "QPushButton", {{"text", "Отключиться"}});
    row(panelForm, "aboutButton", "QPushButton", {{"text", "Подробнее..."}});
    row(panelForm, "resetButton", "QPushButton", {{"text", "Сброс"}});
    row(panelForm, "selfTestButton", "QPushButton", {{"text", "Самоконтроль"}});
    row(panelForm, "swUpdateButton", "QPushButton", {{"text", "Обновление\nвстроенного ПО"}});
    row(panelForm, "calibButton", "QPushButton", {{"text", "Калибровка"}});
    row(panelForm, "debugShowButton", "QPushButton", {{"text", "debug"}});
    row(panelForm, "groupBoxConfTrig", "QGroupBox",
        {{"title", "Конфигурация триггерных линий"}, {"checkable", true}, {"checked", true}});
    row(panelForm, "rbMaster", "QRadioButton", {{"text", "Master"}, {"checked", true}});
    row(panelForm, "rbSlave", "QRadioButton", {{"text", "Slave"}, {"checked", false}});
    row(panelForm, "setupTriggersButton", "QPushButton", {{"text", "Сконфигурировать триггеры"}});

    // Debug window: raw pins and codes.
    const QVariant caption = font("Arial", 12);
    row(debugForm, "Rvka5630Debug", "QWidget",
        {{"windowTitle", "Отладочная панель DIRERURe"}, {"size", QSize(831, 607)}});
    for (const char *name : {"lblVdrop", "lblIbal", "lblSelfTest", "lblVdrop334", "lblVns334"})
        row(debugForm, name, "QLabel", {{"text", "0"}, {"font", mono}});
    for (const char *name : {"sbIbaldac1", "sbPwmMax"})
        row(debugForm, name, "QSpinBox", {{"minimum", 0}, {"maximum", 65535}, {"font", mono}});
    for (const char *name : {"dsbKp", "dsbKi", "dsbKd"})
        row(debugForm, name, "QDoubleSpinBox",
            {{"minimum", 0.0}, {"maximum", 65.535}, {"decimals", 3}, {"font", mono}});
    for (const char *name : {"ibaldacButton", "pwmMaxButton", "pidButton"})
        row(debugForm, name, "QPushButton", {{"text", "Установить"}, {"font", caption}});
    const QPair<const char *, const char *> lamps[] = {{"led_CV_CTR", "CV CTR"},
                                                       {"led_CC_CTR", "CC CTR"},
                                                       {"led_OVV_OUT", "OVV OUT"},
                                                       {"led_TTF_OVC", "TTF OVC"},
                                                       {"led_OCP", "OCP"}};
    for (const auto &lamp : lamps)
        row(debugForm, lamp.first, "QPushButton",
            {{"text", lamp.second}, {"enabled", false}, {"font", caption}});
    const QPair<const char *, const char *> pins[] = {
        {"cbOutRele", "OUT RELE"}, {"cbAdgCtr", "ADG CTR"}, {"cbUlpiStp", "ULPI STP"}};
    for (const auto &pin : pins)
        row(debugForm, pin.first, "QCheckBox",
            {{"text", pin.second}, {"checked", false}, {"font", caption}});

    // Debug window: automated scenarios.
    row(debugForm, "addHwCheckButton", "QPushButton",
        {{"text", "Проверка доступности доп. оборудования"}});
    row(debugForm, "cbAutoCalib", "QCheckBox", {{"text", "Автокалибровка"}, {"checked", false}});
    struct Scenario
    {
        const char *box, *caption, *field, *button;
    };
    const Scenario scenarios[] = {
        {"cbVdc", "Поверка воспроизведения/измерения напряжения", "leVdc", "vdcPathButton"},
        {"cbVdcCurr", "Поверка нестабильности выходного напряжения", "leVdcCurr",
         "vdcCurrPathButton"},
        {"cbVacCurr", "Поверка уровня пульсаций выходного напряжения", "leVacCurr",
         "vacCurrPathButton"},
        {"cbIdc", "Поверка воспроизведения/измерения выходного тока", "leIdc", "idcPathButton"},
        {"cbIdcN", "Поверка нестабильности выходного тока", "leIdcN", "idcNPathButton"},
        {"cbIac", "Поверка уровня пульсаций выходного тока", "leIac", "iacPathButton"}};
    for (const Scenario &s : scenarios) {
        row(debugForm, s.box, "QCheckBox", {{"text", s.caption}, {"checked", false}});
        // Path fields only display what the path dialog returned.
        row(debugForm, s.field, "QLineEdit", {{"text", QString()}, {"enabled", false}});
        row(debugForm, s.button, "QPushButton", {{"text", "..."}, {"enabled", true}});
    }
    row(debugForm, "runScriptsButton", "QPushButton", {{"text", "Пуск"}});
}

void tst_Forms::namedWidgets()
{
    QFETCH(QString, formName);
    QFETCH(QString, name);
    QFETCH(QByteArray, className);
    QFETCH(QVariantMap, properties);

    QWidget *host = form(formName);
    QWidget *widget = host;
    if (host->objectName() != name) {
        // A second widget of the same name would take the by-name slot binding.
        const QList<QWidget *> matches = host->findChildren<QWidget *>(name);
        QCOMPARE(matches.size(), 1);
        widget = matches.first();
    }
    QCOMPARE(QByteArray(widget->metaObject()->className()), className);

    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        const QByteArray property = it.key().toLatin1();
        const QVariant actual = widget->property(property.constData());
        const QVariant &expected = it.value();
        QVERIFY2(actual.isValid(), property.constData());
        if (expected.userType() == QMetaType::QFont) {
            const QFont got = actual.value<QFont>();
            const QFont want = expected.value<QFont>();
            QCOMPARE(got.family(), want.family());
            QCOMPARE(got.pointSize(), want.pointSize());
            QCOMPARE(got.bold(), want.bold());
            QCOMPARE(got.italic(), want.italic());
        } else if (expected.userType() == qMetaTypeId<Qt::Alignment>()) {
            QCOMPARE(int(actual.value<Qt::Alignment>() & Qt::AlignHorizontal_Mask),
                     int(expected.value<Qt::Alignment>()));
        } else {
            QVERIFY2(actual == expected,
                     qPrintable(QStringLiteral("%1 is %2, expected %3")
                                    .arg(QString::fromLatin1(property), describe(actual),
                                         describe(expected))));
        }
    }
}

void tst_Forms::groups_data()
{
    QTest::addColumn<QString>("formName");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("members");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QVariant>("titleFont");
    QTest::addColumn<QVariant>("captionFont");

    const QVariant any;
    QTest::newRow("panel module") << panelForm << "Конфигурация модуля питания"
                                  << QStringList{"dsbVolt",         "setupParametersButton",
                                                 "rbOverWatt",      "dispWatt",
                                                 "outpButton",      "clearFaultsButton",
                                                 "temperatureLabel"}
                                  << QStringList{} << any << any;
    QTest::newRow("panel setting")
        << panelForm << "Установка"
        << QStringList{"dsbVolt",      "dsbCurr",   "dsbOvp", "setupParametersButton",
                       "rbNormalWatt", "rbOverWatt"}
        << QStringList{"Напряжение, В", "Ограничение тока, А", "Уровень OVP, В",
                       "<html><head/><body><p>Ограничение<br/>мощности, Вт</p></body></html>"}
        << any << any;
    QTest::newRow("panel measurement")
        << panelForm << "Измерение" << QStringList{"dispVolt", "dispCurr", "dispWatt"}
        << QStringList{"Напряжение, В", "Ток, А", "Мощность, Вт"} << any << any;
    QTest::newRow("panel output") << panelForm << "Управление выходом"
                                  << QStringList{"outpButton", "dispOutp"} << QStringList{"Выход"}
                                  << any << any;
    QTest::newRow("panel faults") << panelForm << "Сброс ошибок" << QStringList{"clearFaultsButton"}
                                  << QStringList{} << any << any;
    QTest::newRow("panel temperature")
        << panelForm << "Температура" << QStringList{"temperatureLabel"} << QStringList{"℃"} << any
        << any;
    QTest::newRow("panel control")
        << panelForm << "Управление"
        << QStringList{"disconnectButton", "aboutButton", "resetButton",    "selfTestButton",
                       "swUpdateButton",   "calibButton", "debugShowButton"}
        << QStringList{} << any << any;
    QTest::newRow("panel triggers")
        << panelForm << "Конфигурация триггерных линий"
        << QStringList{"rbMaster", "rbSlave", "sbInOutTrigger", "sbAbortTrigger",
                       "setupTriggersButton"}
        << QStringList{"<html><head/><body><p>Роль</p></body></html>"} << any << any;
    QTest::newRow("panel lines") << panelForm << "Линии"
                                 << QStringList{"sbInOutTrigger", "sbAbortTrigger"}
                                 << QStringList{"<html><head/><body><p>Output</p></body></html>",
                                                "<html><head/><body><p>Abort</p></body></html>"}
                                 << any << any;

    const QVariant title = font("Arial", 10);
    const QVariant caption = font("Arial", 12);
    QTest::newRow("debug values")
        << debugForm << "значения"
        << QStringList{"lblVdrop", "lblIbal", "sbIbaldac1", "ibaldacButton", "lblSelfTest"}
        << QStringList{"Vdrop:", "Ibal:", "IbalDac1:", "Метка самоконтроля"} << title << caption;
    QTest::newRow("debug 334") << debugForm << "334"
                               << QStringList{"lblVdrop334",  "lblVns334", "sbPwmMax",
                                              "pwmMaxButton", "dsbKp",     "dsbKi",
                                              "dsbKd",        "pidButton"}
                               << QStringList{"Vdrop:", "Vns:", "PWM MAX", "Kp", "Ki", "Kd"}
                               << title << caption;
    QTest::newRow("debug signals")
        << debugForm << "сигналы"
        << QStringList{"led_CV_CTR", "led_CC_CTR", "led_OVV_OUT", "led_TTF_OVC",
                       "led_OCP",    "cbOutRele",  "cbAdgCtr",    "cbUlpiStp"}
        << QStringList{} << title << any;
    QTest::newRow("debug scenarios") << debugForm << "Автоматизированные сценарии"
                                     << QStringList{"addHwCheckButton", "cbAutoCalib",     "leVdc",
                                                    "vdcPathButton",    "cbIac",           "leIac",
                                                    "iacPathButton",    "runScriptsButton"}
                                     << QStringList{} << title << any;
}

void tst_Forms::groups()
{
    QFETCH(QString, formName);
    QFETCH(QString, title);
    QFETCH(QStringList, members);
    QFETCH(QStringList, captions);
    QFETCH(QVariant, titleFont);
    QFETCH(QVariant, captionFont);

    QGroupBox *group = groupTitled(form(formName), title);
    QVERIFY2(group, "no single group of this title");
    for (const QString &member : members)
        QVERIFY2(group->findChild<QWidget *>(member), qPrintable(member));

    if (titleFont.isValid()) {
        QCOMPARE(group->font().family(), titleFont.value<QFont>().family());
        QCOMPARE(group->font().pointSize(), titleFont.value<QFont>().pointSize());
    }
    const QList<QLabel *> labels = group->findChildren<QLabel *>();
    for (const QString &text : captions) {
        auto it = std::find_if(labels.cbegin(), labels.cend(),
                               [&](QLabel *l) { return l->text() == text; });
        QVERIFY2(it != labels.cend(), qPrintable(text));
        if (captionFont.isValid()) {
            QCOMPARE((*it)->font().family(), captionFont.value<QFont>().family());
            QCOMPARE((*it)->font().pointSize(), captionFont.value<QFont>().pointSize());
        }
    }
}

void tst_Forms::instrumentTableSelectsWholeRows()
{
    QWidget host;
    Ui::Widget ui;
    ui.setupUi(&host);
    QTableWidget *table = ui.devicesTable;

    QStringList headers;
    for (int column = 0; column < table->columnCount(); ++column)
        headers << table->horizontalHeaderItem(column)->text();
    QCOMPARE(headers, (QStringList{"Адрес", "IDN", "Дополнительная информация"}));
    QCOMPARE(table->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(table->horizontalHeader()->stretchLastSection());
    QCOMPARE(ui.stackedWidget->count(), 1);
    QCOMPARE(ui.stackedWidget->currentWidget(), ui.mainPage);

    // Connecting takes the first selected item as the address, whichever cell was clicked.
    table->setRowCount(2);
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 3; ++column)
            table->setItem(row, column,
                           new QTableWidgetItem(QStringLiteral("r%1c%2").arg(row).arg(column)));
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    for (const int column : {2, 1}) {
        const QRect cell = table->visualItemRect(table->item(1, column));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        const QList<QTableWidgetItem *> selected = table->selectedItems();
        QCOMPARE(selected.size(), 3);
        QCOMPARE(selected.first()->text(), QStringLiteral("r1c0"));
    }
}

void tst_Forms::logoIsCompiledIn()
{
    const QPixmap logo(QStringLiteral(":/resources/lgo_rus_blue.png"));
    QVERIFY(!logo.isNull());
    QCOMPARE(logo.width(), logo.height());
    QVERIFY(!mainUi.label->pixmap(Qt::ReturnByValue).isNull());
}

void tst_Forms::radioPairsAreIndependent()
{
    // The power limit and the trigger role are separate choices: picking one must not
    // clear the other.
    QWidget host;
    Ui::Rvka5630 ui;
    ui.setupUi(&host);

    ui.rbOverWatt->click();
    QVERIFY(!ui.rbNormalWatt->isChecked());
    QVERIFY(ui.rbMaster->isChecked());
    ui.rbSlave->click();
    QVERIFY(!ui.rbMaster->isChecked());
    QVERIFY(ui.rbOverWatt->isChecked());
    ui.rbNormalWatt->click();
    QVERIFY(!ui.rbOverWatt->isChecked());
    QVERIFY(ui.rbSlave->isChecked());
}

void tst_Forms::foldedTriggerGroupDisablesItsControls()
{
    QWidget host;
    Ui::Rvka5630 ui;
    ui.setupUi(&host);
    const QList<QWidget *> controls = {ui.rbMaster, ui.rbSlave, ui.sbInOutTrigger,
                                       ui.sbAbortTrigger, ui.setupTriggersButton};

    ui.groupBoxConfTrig->setChecked(false);
    for (QWidget *w : controls)
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(ui.setupParametersButton->isEnabled());
    QVERIFY(ui.outpButton->isEnabled());

    ui.groupBoxConfTrig->setChecked(true);
    for (QWidget *w : controls)
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
}

void tst_Forms::debugWindowArrangement()
{
    struct Cell
    {
        const char *title;
        int row, column, rowSpan, columnSpan;
    };
    const Cell cells[] = {{"значения", 0, 0, 1, 1},
                          {"334", 1, 0, 1, 1},
                          {"сигналы", 0, 1, 2, 1},
                          {"Автоматизированные сценарии", 0, 2, 2, 1}};
    for (const Cell &cell : cells) {
        QGroupBox *group = groupTitled(&debugHost, QString::fromUtf8(cell.title));
        QVERIFY2(group, cell.title);
        const int index = debugUi.gridLayout->indexOf(group);
        QVERIFY2(index >= 0, cell.title);
        int row, column, rowSpan, columnSpan;
        debugUi.gridLayout->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(QVector<int>({row, column, rowSpan, columnSpan}),
                 QVector<int>({cell.row, cell.column, cell.rowSpan, cell.columnSpan}));
    }

    QCOMPARE(widgetOrder(debugUi.groupBoxSignals->layout()),
             (QStringList{"led_CV_CTR", "led_CC_CTR", "led_OVV_OUT", "led_TTF_OVC", "led_OCP",
                          "cbOutRele", "cbAdgCtr", "cbUlpiStp"}));
}

void tst_Forms::scenarioControlsInOrder()
{
    const QLayout *layout = debugUi.groupBoxScenarios->layout();
    QVERIFY(qobject_cast<const QVBoxLayout *>(layout));
    QCOMPARE(layout->spacing(), 11);
    QCOMPARE(widgetOrder(layout), (QStringList{"addHwCheckButton",
                                               "cbAutoCalib",
                                               separator,
                                               "cbVdc",
                                               "leVdc",
                                               "vdcPathButton",
                                               "cbVdcCurr",
                                               "leVdcCurr",
                                               "vdcCurrPathButton",
                                               "cbVacCurr",
                                               "leVacCurr",
                                               "vacCurrPathButton",
                                               separator,
                                               "cbIdc",
                                               "leIdc",
                                               "idcPathButton",
                                               "cbIdcN",
                                               "leIdcN",
                                               "idcNPathButton",
                                               "cbIac",
                                               "leIac",
                                               "iacPathButton",
                                               separator,
                                               "runScriptsButton"}));
}

void tst_Forms::formsFitTheirDesignedSize_data()
{
    QTest::addColumn<QString>("formName");
    QTest::addColumn<QSize>("designed");
    QTest::newRow("main window") << mainForm << QSize(800, 600);
    QTest::newRow("module panel") << panelForm << QSize(759, 610);
    QTest::newRow("debug window") << debugForm << QSize(831, 607);
}

void tst_Forms::formsFitTheirDesignedSize()
{
    // A layout that needs more room than the designed size makes the window grow or squeezes
    // captions; the stand-in fonts of a machine without Arial and Courier New are wider still.
    QFETCH(QString, formName);
    QFETCH(QSize, designed);

    QWidget host;
    if (formName == mainForm)
        Ui::Widget().setupUi(&host);
    else if (formName == panelForm)
        Ui::Rvka5630().setupUi(&host);
    else
        Ui::Rvka5630Debug().setupUi(&host);
    const QSize minimum = host.layout()->minimumSize();
    QVERIFY2(
        minimum.width() <= designed.width() && minimum.height() <= designed.height(),
        qPrintable(QStringLiteral("needs %1 x %2").arg(minimum.width()).arg(minimum.height())));
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QCOMPARE(host.size(), designed);
}

QTEST_MAIN(tst_Forms)
#include "tst_forms.moc"
