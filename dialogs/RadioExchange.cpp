#include "dialogs/RadioExchange.h"

#include <utility>

#include "app/VarnelApp.h"
#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "strings/Messages.h"

namespace varnel {
namespace {

CRadioExchange::PortOpener& InstalledOpener() {
    static CRadioExchange::PortOpener opener;
    return opener;
}

}  // namespace

CRadioExchange::PortOpener CRadioExchange::SetPortOpener(PortOpener opener) {
    return std::exchange(InstalledOpener(), std::move(opener));
}

std::unique_ptr<IBytePort> CRadioExchange::OpenSerialPort(const std::string& portName) {
    auto port = std::make_unique<CSerialPort>();
    if (!port->Open(portName)) {
        // A device that opened but could not be set up is closed again by the destructor.
        return nullptr;
    }
    return port;
}

std::string CRadioExchange::CurrentPortName() {
    const CVarnelApp* app = AfxGetVarnelApp();
    return PortNameFromIndex(app ? app->m_nSerialPort : 0);
}

CRadioExchange::CRadioExchange(CRadioLink& link) : m_link(link) {}

CRadioExchange::~CRadioExchange() {
    Release();
}

bool CRadioExchange::Open() {
    return Open(CurrentPortName());
}

bool CRadioExchange::Open(const std::string& portName) {
    Release();
    m_portName = portName;
    const PortOpener& opener = InstalledOpener();
    std::unique_ptr<IBytePort> port = opener ? opener(portName) : OpenSerialPort(portName);
    if (!port) {
        ShowPortError(portName);
        return false;
    }
    m_port = std::move(port);
    m_waitCursor.emplace();
    m_link.m_pPort = m_port.get();
    return true;
}

RadioStatus CRadioExchange::TakeStatus(CRadioLink& link) {
    return std::exchange(link.m_status, RadioStatus::Ok);
}

void CRadioExchange::End() {
    if (!m_port) {
        return;
    }
    m_link.EndExchange();
    Release();
}

void CRadioExchange::Abort() {
    Release();
}

void CRadioExchange::Release() {
    // Detach before closing: the link must never hold a port that is gone.
    if (m_link.m_pPort == m_port.get()) {
        m_link.m_pPort = nullptr;
    }
    m_port.reset();
    m_waitCursor.reset();
}

CRadioExchange::Outcome CRadioExchange::Run(const std::function<bool(CRadioLink& link)>& commands,
                                            CRadioLink& link) {
    CRadioExchange exchange(link);
    if (!exchange.Open()) {
        return Outcome::PortNotOpened;
    }
    if (!commands(link)) {
        exchange.Abort();
        return Outcome::Aborted;
    }
    exchange.End();
    return Outcome::Ended;
}

bool CRadioExchange::ReadAndJudge(std::uint8_t id, const ValueJudge& judge, CRadioLink& link) {
    bool mayGoOn = false;
    const Outcome outcome = Run(
        [&](CRadioLink& l) {
            char value[CRadioLink::kValueSize] = {};
            std::uint32_t length = 0;
            if (l.ReadParameter(value, id, length, false)) {
                const int error = judge(value, length);
                if (error != 0) {
                    ShowMessage(MSG_ERROR, error);
                }
                mayGoOn = error == 0;
                return true;
            }
            // The read has reported its own failure.
            return TakeStatus(l) == RadioStatus::Ok;
        },
        link);
    return outcome == Outcome::Ended && mayGoOn;
}

bool CRadioExchange::WriteAndReport(const std::uint8_t* payload, std::uint32_t length,
                                    int successId, int failureId, CRadioLink& link) {
    bool written = false;
    const Outcome outcome = Run(
        [&](CRadioLink& l) {
            written = l.WriteParameter(payload, length);
            ShowMessage(written ? MSG_INFO : MSG_ERROR, written ? successId : failureId);
            return true;
        },
        link);
    return outcome == Outcome::Ended && written;
}

}  // namespace varnel
