#include "canwindow.h"
#include "ui_canwindow.h"

#include <QHeaderView>

CANWindow::CANWindow(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui_CANWindow)
{
    ui->setupUi(this);
    // The form's header item has texts for four columns until the texts are
    // translated, so the data column is taken out and added again on the way
    // and comes back without the stretch the list gave it.
    ui->canView->header()->setSectionResizeMode(CanViewer::DataColumn, QHeaderView::Stretch);
    setAttribute(Qt::WA_DeleteOnClose, true);
}

CANWindow::~CANWindow()
{
    delete ui;
}

void CANWindow::on_clear_clicked()
{
    ui->canView->clear();
}

void CANWindow::handleMsg(const VectorCAN::Message &msg)
{
    ui->canView->handleMsg(msg);
}
