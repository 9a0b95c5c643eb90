#pragma once

#include "bus/link.h"

#include <QCanBusDevice>
#include <QLoggingCategory>

#include <memory>

Q_DECLARE_LOGGING_CATEGORY(lcSerialBus)

namespace bus {

// A link over a Qt SerialBus plugin's device: a CAN adapter (socketcan,
// peakcan, …) or whatever else a plugin reaches. The one way onto Qt
// SerialBus, so that every part of the program that uses a plugin's device
// makes, connects and reads it the same way. It takes the data frames only:
// remote requests, error frames, invalid frames and CAN FD frames are passed
// over, each traced at debug level.
//
// An error of the device loses the bus with the device's own words, but for a
// refused frame, which is a problem only; the device leaving its connected
// state loses it as busloss::adapterGone.
class SerialBusLink : public Link
{
    Q_OBJECT

public:
    // The link on the plugin's device for the interface, not yet open, at
    // the bit rate where the plugin takes one; nullptr, and why in *error,
    // when the plugin cannot make the device.
    static std::unique_ptr<SerialBusLink> create(const QString &plugin, const QString &interface, unsigned bitrate,
                                                 QString *error);
    ~SerialBusLink() override;

    // Waits for the connection in a local event loop without user input: a
    // plugin may connect after connectDevice() has returned (Qt's virtualcan
    // does, over TCP), and frames written before that are lost.
    bool open(int timeoutMs, QString *error) override;
    bool write(const Frame &frame) override;

private:
    SerialBusLink(QString name, std::unique_ptr<QCanBusDevice> device, unsigned bitrate);
    void read();
    void deviceError(QCanBusDevice::CanBusError error);

    QString name;  // "<plugin> <interface>", in traces
    std::unique_ptr<QCanBusDevice> device;
    unsigned bitrate = 0;
};

} // namespace bus
