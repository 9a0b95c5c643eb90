#pragma once

#include "can/vectorcan.h"

#include <QByteArray>

namespace device {

// The touchpad's raw matrix, fetched four bytes at a time: a copy request
// freezes the matrix in the device and its reply gives the size, then each
// data request fetches four bytes from a position on. Unanswered requests are
// resent until an answer comes, or for giveUpMs: a device that stays silent
// so long is given up on.
//
// It keeps no timer: its owner sends request() after start() and after each
// reply taken, calls advance() every resendIntervalMs(), and passes its own
// clock in milliseconds, so the window and a command-line tool pace it alike.
class TouchpadDownload
{
public:
    enum State { Idle = 0, Init = 1, Download = 2 };
    // What a frame from the bus did.
    enum class Answer {
        Ignored,      // not the answer to the pending request
        HeaderTaken,  // the size is known: send request()
        DataTaken,    // four bytes are in the matrix: send request()
        Finished,     // the matrix is complete; Idle
    };
    // What the resend timer did.
    enum class Tick {
        Resend,      // send request() again
        GaveUp,      // no reply accepted for giveUpMs; Idle
        NotRunning,  // nothing to ask while Idle
    };

    static constexpr int copyResendMs = 50;
    static constexpr int dataResendMs = 30;
    static constexpr int giveUpMs = 2000;
    // How long an owner that keeps asking waits after a download given up, so
    // that the download picks up when the device comes back.
    static constexpr int restartPauseMs = 1000;

    // Asks for a fresh copy of the matrix, in any state.
    void start(qint64 now);
    // Takes any frame from the bus: a copy reply while Init, or the data
    // reply for the pending position while Download; late answers to a
    // repeated request carry another position.
    Answer accept(const VectorCAN::Message &msg, qint64 now);
    Tick advance(qint64 now);
    // The box is unticked. Without an answer to the copy request there is
    // nothing to finish, so asking stops (true); a download already running
    // runs to its end (false).
    bool stopAsking();

    // The request awaiting its answer, while Init or Download.
    VectorCAN::Message request() const;
    int resendIntervalMs() const { return current == Download ? dataResendMs : copyResendMs; }

    State state() const { return current; }
    // Row-major, rows() × columns(); complete once Finished.
    QByteArray matrix() const { return data; }
    int rows() const { return rowCount; }
    int columns() const { return columnCount; }
    // The position of the next byte expected.
    int row() const { return nextRow; }
    int column() const { return nextColumn; }
    int percent() const;

private:
    Answer takeData(const quint8 *bytes, qint64 now);

    State current = Idle;
    QByteArray data;
    int rowCount = 0;
    int columnCount = 0;
    int nextRow = 0;
    int nextColumn = 0;
    qint64 answeredAt = 0;  // the last reply accepted, or the start
};

} // namespace device
