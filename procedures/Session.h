#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "link/BytePort.h"
#include "link/CancelToken.h"
#include "link/Clock.h"
#include "link/FrameTrace.h"
#include "link/RadioLink.h"
#include "registry/EsnRegistry.h"
#include "strings/Messages.h"

namespace varnel {

// What opening a port gave: the open line, or nothing and, where it is known, why not in plain
// words (shown under the port error).
struct PortOpenResult {
    std::unique_ptr<IBytePort> port;
    std::string detail;
};

// Opens the port a user names ("COM1", or a device path) for one exchange; a read waiting on the
// port gives up at once when cancel (which may be null) is cancelled. The real one opens a
// CSerialPort; tests hand in a scripted line.
using PortOpener =
    std::function<PortOpenResult(const std::string& portName, const CancelToken* cancel)>;

// One step of an exchange, for a front end that shows progress: "Reading Software Version",
// number 3 of count 11. A step without a number (count 0) is the closing of the exchange.
struct ExchangeStep {
    std::string description;
    int number = 0;
    int count = 0;
};

// What a front end learns while an exchange runs. Everything is called on the thread that runs
// the procedure.
class IExchangeObserver {
public:
    virtual ~IExchangeObserver() = default;
    // The port is open and the exchange begins: the front end shows that it is busy.
    virtual void ExchangeStarted() {}
    virtual void StepStarted(const ExchangeStep& step) { (void)step; }
    // The radio has confirmed a write; only the end of the exchange is left. Called before the
    // box that says so.
    virtual void WriteConfirmed() {}
    // The port is closed again, on every way out.
    virtual void ExchangeFinished() {}
};

struct Session;

// How a front end runs a procedure: it calls procedure with the session to use, which may be the
// one it was given with its reporter, observer and cancel token replaced (the window runs the
// procedure on a worker thread while it keeps painting, and shows the messages on its own
// thread). Without one the procedure runs on the calling thread.
using ProcedureRunner =
    std::function<void(Session& session, const std::function<void(Session&)>& procedure)>;

// Everything a procedure needs to talk to the radio, handed in by the front end that runs it:
// the port to open and how, the link, where messages go, the clock the protocol's timing runs
// on, who watches, how to cancel, and who sees the frames. An exchange lends the link the
// session's reporter and clock for its own span only, so nothing is told or timed through
// anything the front end did not choose.
struct Session {
    Session(CRadioLink& radioLink, IMessageReporter& messageReporter, IClock& exchangeClock,
            PortOpener opener, std::string port)
        : link(radioLink),
          reporter(messageReporter),
          clock(exchangeClock),
          openPort(std::move(opener)),
          portName(std::move(port)) {}

    CRadioLink& link;
    IMessageReporter& reporter;
    IClock& clock;
    PortOpener openPort;
    std::string portName;
    IExchangeObserver* observer = nullptr;
    const CancelToken* cancel = nullptr;
    // Sees every frame of the session's exchanges; none by default.
    IFrameTrace* trace = nullptr;
    ProcedureRunner runner;
    // Where every ESN is reserved before its write frame leaves and settled after the reply; the
    // front end opens it and keeps it open while the session lives. Without one no ESN is
    // written: two radios sharing an ESN is worse than a radio left blank.
    IEsnRegistry* registry = nullptr;
    // Who writes, kept with every ESN reserved; the port is the session's when left empty.
    WriteOrigin origin;
};

// Runs procedure on session the way the session's runner says, and gives its result.
template <class Procedure>
auto RunProcedure(Session& session, Procedure&& procedure) {
    using Result = std::invoke_result_t<Procedure&, Session&>;
    if (!session.runner) {
        return procedure(session);
    }
    std::optional<Result> result;
    session.runner(session, [&](Session& s) { result.emplace(procedure(s)); });
    return result ? std::move(*result) : Result{};
}

// How a procedure ended. The user has been told the details through the session's reporter.
enum class Outcome {
    Done,
    Refused,         // the radio refused, or the operation cannot be done on this radio
    LinkFailed,      // no answer, a broken frame, or an answer that makes no sense
    PortNotOpened,   // nothing was sent
    Cancelled,       // stopped on request; the port was closed without ending the exchange
    RegistryFailed,  // the ESN registry could not be used; nothing was sent
};

}  // namespace varnel
