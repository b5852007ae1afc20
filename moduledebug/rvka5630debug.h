#pragma once

#include <visa.h>

#include <QWidget>

class QTimer;
class Rvka5630panel;

namespace Ui {
class Rvka5630Debug;
}

// The debug and metrology window of one RVKA5630 module. It works on the module panel's
// session (never opens or closes one) and asks to be disconnected through
// debugDisconnectDevice() when a call fails.
class Rvka5630Debug : public QWidget
{
    Q_OBJECT
public:
    Rvka5630Debug(ViSession session, Rvka5630panel *owner, QWidget *parent = nullptr);
    ~Rvka5630Debug() override;

signals:
    void debugDisconnectDevice();

public slots:
    void settableDataUpdate();
    void gettableDataUpdate();

private:
    Ui::Rvka5630Debug *ui;
    Rvka5630panel *owner;
    QTimer *timer = nullptr;
    ViSession session;
};
