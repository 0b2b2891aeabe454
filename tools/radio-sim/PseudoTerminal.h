#pragma once

#include <string>

namespace varnel::sim {

// A pseudo-terminal pair that stands in for a serial line. The master is ours; the slave is the
// device the tool opens by its path. We keep a descriptor of our own on the slave for the whole
// life of the pair: without it the line hangs up each time the tool closes the port, the master
// reads EIO and the bytes written in between are lost.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Opens the pair with the slave in raw mode (no byte is translated, swallowed or echoed by
    // the line discipline) and the master non-blocking. On failure error tells which step.
    bool Open(std::string& error);
    // Closes the master first, so that the slave sees the line go away, then our slave.
    void Close();

    bool IsOpen() const { return m_master >= 0; }
    int Master() const { return m_master; }
    const std::string& SlavePath() const { return m_slavePath; }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

}  // namespace varnel::sim
