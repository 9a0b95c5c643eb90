#pragma once

#include <QDialog>

class Ui_CANChannelSelectDlg;
class VectorCAN;

// The modal dialog in which the user picks one of the driver's CAN channels.
class CANChannelSelectDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CANChannelSelectDlg(VectorCAN *can, QWidget *parent = nullptr);
    ~CANChannelSelectDlg() override;

    // The current row; -1 when there is none.
    int selectedRow() const;
    // The driver's index of the channel in the current row; -1 when there is
    // none. Rows hold only CAN-capable channels, so the two numbers differ
    // once the driver lists another channel ahead of the selected one.
    int selectedChannel() const;

private:
    Ui_CANChannelSelectDlg *ui;
};
