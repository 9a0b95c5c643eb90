#include "xl/serialbusdevice.h"

#include <QCanBus>
#include <QEventLoop>
#include <QTimer>
#include <QVariant>

Q_LOGGING_CATEGORY(lcSerialBus, "korvel.xl.serialbus")

namespace xl {

std::unique_ptr<QCanBusDevice> createSerialBusDevice(const QString &plugin, const QString &interface,
                                                     QString *error)
{
    return std::unique_ptr<QCanBusDevice>(QCanBus::instance()->createDevice(plugin, interface, error));
}

// A plugin may connect after connectDevice() has returned (Qt's virtualcan
// does, over TCP), and frames written before that are lost: a device counts
// only once it says it is connected.
bool connectSerialBusDevice(QCanBusDevice &device, unsigned bitrate, int timeoutMs, QString *error)
{
    // Plugins without a bit rate of their own (virtualcan) ignore it; socketcan
    // keeps the one its interface was brought up with unless it may change it.
    device.setConfigurationParameter(QCanBusDevice::BitRateKey, QVariant(bitrate));
    // Some plugins take any interface name and only flag it as wrong.
    if (device.error() != QCanBusDevice::NoError || !device.connectDevice()) {
        *error = device.errorString();
        return false;
    }
    if (device.state() == QCanBusDevice::ConnectingState) {
        QEventLoop loop;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        QObject::connect(&device, &QCanBusDevice::stateChanged, &loop, &QEventLoop::quit);
        // No clicks meanwhile: whoever asked is still opening its bus.
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (device.state() == QCanBusDevice::ConnectedState)
        return true;
    *error = device.state() == QCanBusDevice::ConnectingState
        ? QStringLiteral("no connection within %1 ms").arg(timeoutMs)
        : device.errorString();
    return false;
}

QList<QCanBusFrame> readDataFrames(QCanBusDevice &device, const QString &reader)
{
    QList<QCanBusFrame> frames = device.readAllFrames();
    frames.removeIf([&](const QCanBusFrame &frame) {
        if (frame.frameType() == QCanBusFrame::DataFrame && frame.isValid() && !frame.hasFlexibleDataRateFormat())
            return false;
        qCDebug(lcSerialBus).noquote() << reader << "passes over a frame of type" << frame.frameType()
                                       << frame.toString() << device.interpretErrorFrame(frame);
        return true;
    });
    return frames;
}

QCanBusFrame serialBusFrame(const XlEvent &event)
{
    QCanBusFrame frame(event.id & ~XL_CAN_EXT_MSG_ID,
                       QByteArray(reinterpret_cast<const char *>(event.data), qMin<int>(event.dlc, XL_CAN_MAX_DATA)));
    frame.setExtendedFrameFormat(event.id & XL_CAN_EXT_MSG_ID);
    return frame;
}

} // namespace xl
