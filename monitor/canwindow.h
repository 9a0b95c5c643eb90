#pragma once

#include "can/vectorcan.h"

#include <QWidget>

class Ui_CANWindow;

// The top-level window around the CAN activity list, with a button that
// empties it. It deletes itself when the user closes it.
class CANWindow : public QWidget
{
    Q_OBJECT

public:
    explicit CANWindow(QWidget *parent = nullptr);
    ~CANWindow() override;

private slots:
    void on_clear_clicked();

public slots:
    void handleMsg(const VectorCAN::Message &msg);

private:
    Ui_CANWindow *ui;
};
