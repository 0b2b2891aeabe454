#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/WaitCursor.h"
#include "link/BytePort.h"
#include "link/RadioLink.h"
#include "link/RadioStatus.h"

namespace varnel {

// The road every radio exchange of the dialogs takes: open the configured port, show the wait
// cursor, attach the port to the link, run the dialog's commands, then either end the exchange
// (EndExchange, detach, close, cursor off) or abort it after a link failure (detach, close,
// cursor off, and no EndExchange: a radio that stopped answering would only time out again).
//
// The object owns the port for its lifetime. Its destructor takes the abort way when neither
// End nor Abort ran, so the port is closed and the link never keeps a dangling port on any way
// out, an exception included.
//
//     CRadioExchange exchange;
//     if (!exchange.Open()) { ... the port error box has been shown; nothing was sent ... }
//     if (!exchange.Link().ReadParameter(value, id, length, false) &&
//         exchange.TakeStatus() != RadioStatus::Ok) {
//         exchange.Abort();
//         ...
//     }
//     exchange.End();
class CRadioExchange {
public:
    // Opens the named port for an exchange, or gives nullptr when it cannot be had. The default
    // opens a CSerialPort; tests put a scripted line in its place.
    using PortOpener = std::function<std::unique_ptr<IBytePort>(const std::string& portName)>;

    // Installs the opener every later exchange uses and returns the one it replaces; an empty
    // function restores the default.
    static PortOpener SetPortOpener(PortOpener opener);
    // The default: a CSerialPort opened on portName, or nullptr when Open fails.
    static std::unique_ptr<IBytePort> OpenSerialPort(const std::string& portName);

    // "COM%1d" from the application's port index plus one; COM1 when there is no application.
    static std::string CurrentPortName();

    explicit CRadioExchange(CRadioLink& link = g_radioLink);
    ~CRadioExchange();
    CRadioExchange(const CRadioExchange&) = delete;
    CRadioExchange& operator=(const CRadioExchange&) = delete;

    // Opens the port of the application's current index (or the one named). On failure shows
    // the port error box naming the port and returns false: no wait cursor, nothing sent. On
    // success the wait cursor is up and the port is attached to the link.
    bool Open();
    bool Open(const std::string& portName);

    bool IsOpen() const { return m_port != nullptr; }
    const std::string& PortName() const { return m_portName; }
    CRadioLink& Link() { return m_link; }

    // The link's status after a failed read, set back to Ok for the next command: Ok means the
    // radio refused or answered unexpectedly, NotSupported that it lacks the parameter, any
    // other value that the link itself failed.
    RadioStatus TakeStatus() { return TakeStatus(m_link); }
    static RadioStatus TakeStatus(CRadioLink& link);

    // The normal end: EndExchange (its result is not looked at: the link has reported any
    // failure), then detach, close and cursor off. Does nothing when the port is not open.
    void End();
    // The abort way: detach, close, cursor off, without EndExchange.
    void Abort();

    // The whole road in one call. commands runs with the port attached and the wait cursor up;
    // it returns true to end the exchange normally and false to take the abort way.
    enum class Outcome { PortNotOpened, Ended, Aborted };
    static Outcome Run(const std::function<bool(CRadioLink& link)>& commands,
                       CRadioLink& link = g_radioLink);

    // The test a programming dialog makes when it opens: one exchange that reads parameter id
    // and lets judge decide from its value. judge returns 0 to let the user go on, or the string
    // id of the error to show, which is shown while the port is still open. After a failed read
    // a refusal still ends the exchange; a failed link (or a radio without the parameter) takes
    // the abort way. True only when the user may go on.
    using ValueJudge = std::function<int(const char* value, std::uint32_t length)>;
    static bool ReadAndJudge(std::uint8_t id, const ValueJudge& judge,
                             CRadioLink& link = g_radioLink);

    // One programming exchange: write payload, report successId or failureId while the port is
    // still open (the user hears the outcome before the exchange is closed), then end the
    // exchange, after a failed write as well. True when the write landed.
    static bool WriteAndReport(const std::uint8_t* payload, std::uint32_t length, int successId,
                               int failureId, CRadioLink& link = g_radioLink);

private:
    void Release();

    CRadioLink& m_link;
    std::string m_portName;
    std::unique_ptr<IBytePort> m_port;
    std::optional<CWaitCursor> m_waitCursor;
};

}  // namespace varnel
