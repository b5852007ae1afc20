// ctest-timeout: 120
// The operator's language: Russian unless the desktop speaks English or VOLTADESK_LANG says
// otherwise; in English the windows' texts are translated and still fit their widgets, and
// the self-test report keeps its Russian texts.
#include "language.h"
#include "panelrig.h"
#include "selftestreport.h"
#include "widget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QTranslator>
#include <QtTest>

namespace {
// A push button's size hint is at least the style's minimum button width, which a short
// text such as "..." need not reach: what must fit is the text in the button's contents.
QSize pushButtonNeeds(QPushButton *button, QSize *room)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    *room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).size();
    return button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
}

// Texts that do not fit the widget that shows them, as "name: text (needed > size)". Widgets
// inside a folded group are not on the screen and are left out.
QStringList cutOff(QWidget *window)
{
    QStringList found;
    const auto report = [&found](QWidget *widget, const QString &text, const QSize &needed,
                                 QSize room = QSize()) {
        if (!room.isValid())
            room = widget->size();
        if (needed.width() > room.width() || needed.height() > room.height())
            found << QStringLiteral("%1: %2 (%3x%4 > %5x%6)")
                         .arg(widget->objectName(), text)
                         .arg(needed.width())
                         .arg(needed.height())
                         .arg(room.width())
                         .arg(room.height());
    };
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(window) || widget->visibleRegion().isEmpty())
            continue;
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            if (label->text().isEmpty())
                continue;
            const QSize needed = label->wordWrap() ? QSize(0, label->heightForWidth(label->width()))
                                                   : label->sizeHint();
            report(label, label->text(), needed);
        } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
            QSize room;
            const QSize needed = pushButtonNeeds(button, &room);
            if (!button->text().isEmpty())
                report(button, button->text(), needed, room);
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            if (!button->text().isEmpty())
                report(button, button->text(), button->sizeHint());
        } else if (auto *group = qobject_cast<QGroupBox *>(widget)) {
            report(group, group->title(), QSize(group->minimumSizeHint().width(), 0));
        }
    }
    return found;
}

QWidget *debugWindow()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->inherits("Rvka5630Debug"))
            return window;
    }
    return nullptr;
}
} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void choice_data();
    void choice();
    void qtTextsInRussian();
    void englishWindowsAndRussianReport();
};

void TestLanguage::choice_data()
{
    QTest::addColumn<QString>("override");
    QTest::addColumn<QStringList>("uiLanguages");
    QTest::addColumn<bool>("english");
    // The usual settings are tried end to end on the installed program; these are the corners.
    QTest::newRow("no UI language") << QString() << QStringList() << false;
    QTest::newRow("English second") << QString() << QStringList{"de-DE", "en-US"} << false;
    QTest::newRow("unknown value, English desktop") << "de" << QStringList{"en-US"} << true;
    QTest::newRow("unknown value, C") << "English" << QStringList{"C"} << false;
}

void TestLanguage::choice()
{
    QFETCH(QString, override);
    QFETCH(QStringList, uiLanguages);
    QFETCH(bool, english);
    QCOMPARE(Language::english(override, uiLanguages), english);
}

// Qt's own dialogs speak the window's Russian: the file dialog, the standard buttons.
void TestLanguage::qtTextsInRussian()
{
    qputenv("VOLTADESK_LANG", "ru");
    Language::install(*qApp);
    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setAcceptMode(QFileDialog::AcceptSave);
    const QString lookIn = files.findChild<QLabel *>(QStringLiteral("lookInLabel"))->text();
    // "OK" reads the same in Russian.
    QDialogButtonBox buttons(QDialogButtonBox::Close | QDialogButtonBox::Cancel);
    const QStringList texts = {lookIn, buttons.button(QDialogButtonBox::Close)->text(),
                               buttons.button(QDialogButtonBox::Cancel)->text()};
    // The English window that follows keeps Qt's English.
    for (QTranslator *translator : qApp->findChildren<QTranslator *>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    for (const QString &text : texts)
        QVERIFY2(text.contains(QRegularExpression(QStringLiteral("[А-Яа-я]"))), qPrintable(text));
    QCOMPARE(QString(texts[1]).remove(QLatin1Char('&')), QStringLiteral("Закрыть"));
}

void TestLanguage::englishWindowsAndRussianReport()
{
    qputenv("VOLTADESK_LANG", "en");
    Language::install(*qApp);

    QTest::ignoreMessage(QtDebugMsg, "~Widget");
    Widget main;
    QCOMPARE(main.windowTitle(), QStringLiteral("RVKA5630 power module control panel v1.01"));
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QStringList cut = cutOff(&main);

    PanelRig rig;
    QVERIFY(rig.ready());
    Rvka5630panel *panel = rig.open(PanelRig::moduleAddress);
    QVERIFY(panel);
    QCOMPARE(panel->windowTitle(), QStringLiteral("RVKA5630 AXIe-0 power module"));
    QVERIFY(QTest::qWaitForWindowExposed(&rig.host));
    cut << cutOff(panel);
    // The trigger lines' group opens when the operator checks it.
    auto *triggers = rig.widget<QGroupBox>("groupBoxConfTrig");
    QVERIFY(triggers);
    triggers->setChecked(true);
    QVERIFY(QMetaObject::invokeMethod(panel, "on_groupBoxConfTrig_clicked", Q_ARG(bool, true)));
    QApplication::processEvents();
    cut << cutOff(triggers);
    QWidget *debug = debugWindow();
    QVERIFY(debug);
    debug->show();
    QVERIFY(QTest::qWaitForWindowExposed(debug));
    cut << cutOff(debug);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));

    // A metrology document: the same bytes in either language.
    const QString report = QString::fromUtf8(
        SelfTestReport::report(QStringLiteral("Korvalis,RVKA5630,0042,1.3"), QStringLiteral("1,2;"))
            .bytes(QDate(2026, 12, 7)));
    QVERIFY(report.contains(QStringLiteral("Результат самотестирования источника питания")));
    QVERIFY(report.contains(QStringLiteral("<td>Измеренный<br>ток<br>(A)</td>")));
}

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
