#pragma once

#include <visa.h>

#include <QWidget>

class QCloseEvent;
class QTimer;
class Rvka5630panel;

namespace Ui {
class Rvka5630Debug;
}

// The debug and metrology window of one RVKA5630 module: the module's status pins as lamps,
// its control pins, raw measurement and feedback codes, the balance DAC code, the PWM ceiling
// and the PWM regulator gains, and the bench's auxiliary instruments. It works on the module
// panel's session (never opens or closes one) and asks to be disconnected through
// debugDisconnectDevice() when a call fails. Closing the window only hides it.
class Rvka5630Debug : public QWidget
{
    Q_OBJECT
public:
    Rvka5630Debug(ViSession session, Rvka5630panel *owner, QWidget *parent = nullptr);
    ~Rvka5630Debug() override;

    // The module panel's session after the panel has reopened it (a firmware update).
    void setSession(ViSession panelSession) { session = panelSession; }

signals:
    void debugDisconnectDevice();

public slots:
    // Reads the pins and codes that the window sets back into their widgets.
    void settableDataUpdate();
    // The timer's poll of the status pins and codes; does nothing while hidden or disabled.
    void gettableDataUpdate();

private slots:
    void on_cbOutRele_clicked(bool checked);
    void on_cbAdgCtr_clicked(bool checked);
    void on_cbUlpiStp_clicked(bool checked);
    void on_ibaldacButton_clicked();
    void on_pwmMaxButton_clicked();
    void on_pidButton_clicked();
    void on_addHwCheckButton_clicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void sendCode(const char *format, int value);
    void reportFailure();

    Ui::Rvka5630Debug *ui;
    Rvka5630panel *owner;
    QTimer *timer = nullptr;
    ViSession session;
    bool constructing = true;
};
