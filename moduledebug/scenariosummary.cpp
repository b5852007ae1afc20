#include "scenariosummary.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

ScenarioSummary::ScenarioSummary(const QVector<ScenarioOutcome> &outcomes, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Итоги выполнения программы"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *rows = new QGridLayout;
    for (int i = 0; i < outcomes.size(); ++i) {
        const ScenarioOutcome &outcome = outcomes.at(i);
        rows->addWidget(new QLabel(ScenarioRunner::name(outcome.scenario)), i, 0);
        rows->addWidget(new QLabel(ScenarioRunner::outcomeText(outcome)), i, 1);
        if (!outcome.protocolWritten())
            continue;
        auto *open = new QPushButton(tr("Открыть протокол"));
        const QUrl protocol = QUrl::fromLocalFile(outcome.fName);
        connect(open, &QPushButton::clicked, this,
                [protocol] { QDesktopServices::openUrl(protocol); });
        rows->addWidget(open, i, 2);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(rows);
    layout->addWidget(buttons);
}
