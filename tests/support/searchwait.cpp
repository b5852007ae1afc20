#include "searchwait.h"

#include "widget.h"

#include <QPushButton>
#include <QtTest>

bool waitForSearch(const Widget &window, int limitMs)
{
    return QTest::qWaitFor([&window] { return !window.searching(); }, limitMs);
}

bool refreshAndWait(Widget &window, int limitMs)
{
    auto *refresh = window.findChild<QPushButton *>(QStringLiteral("refreshInstrumentsListButton"));
    if (!refresh)
        return false;
    QTest::mouseClick(refresh, Qt::LeftButton);
    return waitForSearch(window, limitMs);
}
