#include "rvka5630debug.h"

#include "ui_rvka5630debug.h"

#include <QDebug>

Rvka5630Debug::Rvka5630Debug(ViSession panelSession, Rvka5630panel *panel, QWidget *parent)
    : QWidget(parent), ui(new Ui::Rvka5630Debug), owner(panel), session(panelSession)
{
    ui->setupUi(this);
}

Rvka5630Debug::~Rvka5630Debug()
{
    qDebug() << "~Direrure5630Debug";
    delete ui;
}

void Rvka5630Debug::settableDataUpdate() {}

void Rvka5630Debug::gettableDataUpdate() {}
