#include "canchannelselectdlg.h"
#include "ui_canchannelselectdlg.h"

#include "can/vectorcan.h"

CANChannelSelectDlg::CANChannelSelectDlg(VectorCAN *can, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui_CANChannelSelectDlg)
{
    ui->setupUi(this);

    // Without a driver the list stays empty and OK opens nothing.
    QList<VectorCAN::ChannelEntry> list;
    can->listChannels(list);
    for (const VectorCAN::ChannelEntry &entry : std::as_const(list))
        new QListWidgetItem(entry.name, ui->channels, entry.index);
    if (ui->channels->count() > 0)
        ui->channels->setCurrentRow(0);
}

CANChannelSelectDlg::~CANChannelSelectDlg()
{
    delete ui;
}

int CANChannelSelectDlg::selectedRow() const
{
    return ui->channels->currentRow();
}

int CANChannelSelectDlg::selectedChannel() const
{
    const QListWidgetItem *item = ui->channels->currentItem();
    return item ? item->type() : -1;
}
