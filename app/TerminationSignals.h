#pragma once

#include <QObject>

#include <initializer_list>
#include <vector>

class QSocketNotifier;

namespace varnel {

// Turns the signals that ask a process to end (SIGTERM from `kill` or `timeout`, SIGHUP when the
// terminal or the session goes, SIGINT from Ctrl+C) into a Qt signal on the user-interface thread,
// so that the program can end the way closing its window does, setting saved, instead of dying
// where it stands. The handler only writes the signal's number into a pipe, which is all a
// signal handler may safely do; the pipe's reading end wakes the event loop.
//
// One instance at a time; the handlers it replaced come back when it is destroyed.
class CTerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit CTerminationSignals(std::initializer_list<int> signalNumbers,
                                 QObject* parent = nullptr);
    ~CTerminationSignals() override;
    CTerminationSignals(const CTerminationSignals&) = delete;
    CTerminationSignals& operator=(const CTerminationSignals&) = delete;

    // False when the pipe or a handler could not be set up; the signals then keep their
    // previous handling.
    bool IsActive() const { return m_notifier != nullptr; }

signals:
    void Received(int signalNumber);

private:
    void ReadPipe();

    int m_readEnd = -1;
    QSocketNotifier* m_notifier = nullptr;
    struct Previous;
    std::vector<Previous> m_previous;
};

}  // namespace varnel
