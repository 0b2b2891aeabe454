#pragma once

#include "win32/Win32Api.h"

#include <functional>
#include <memory>
#include <string>

#include "procedures/Session.h"
#include "usecases/ExchangePolicy.h"
#include "win32/WindowDisabler.h"

namespace varnel::win32 {

// The Win32 window's part in an exchange, whose course CExchangePolicy decides: a worker thread
// while the user-interface thread keeps pumping messages, a progress dialog built from a
// template, message boxes with the arrow cursor over them, and Varnel's windows disabled (input
// given meanwhile is dropped, never replayed) while the exchange runs.
class CExchangeRunner : private IExchangeHost {
public:
    explicit CExchangeRunner(HINSTANCE instance);
    ~CExchangeRunner() override;
    CExchangeRunner(const CExchangeRunner&) = delete;
    CExchangeRunner& operator=(const CExchangeRunner&) = delete;

    static constexpr UINT kProgressDelayMs = CExchangePolicy::kProgressDelayMs;

    // The runner of a session of the command commandName ("Radio Info"): its progress window is
    // titled "Varnel - Radio Info" and owned by owner.
    ProcedureRunner For(std::string commandName, HWND owner);

    bool IsRunning() const { return m_policy.IsRunning(); }
    // Stops the running exchange; nothing when none runs.
    void Cancel() { m_policy.Cancel(); }
    // Closes window (WM_CLOSE) once the running exchange has ended.
    void CloseAfter(HWND window) { m_closeAfter = window; }
    // The progress window while it is shown, else null.
    HWND ProgressWindow() const { return m_progress; }

private:
    void RunOnWorker(const std::function<void()>& work) override;
    void Post(std::function<void()> call) override;
    void Call(const std::function<void()>& call) override;
    void BeginBusy() override;
    void EndBusy() override;
    void StartTimer(ExchangeTimer timer, std::int64_t ms) override;
    void StopTimer(ExchangeTimer timer) override;
    void ShowProgress(const std::string& title, const ProgressStep* first) override;
    void ShowStep(const ProgressStep& step) override;
    void ShowBox(IMessageReporter& target, const Message& message) override;

    bool TakesInput(HWND window) const;
    static bool IsInput(UINT message);
    static bool IsEnter(const MSG& msg);
    static LRESULT CALLBACK NotifierProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    CExchangePolicy m_policy;
    HINSTANCE m_instance;
    // A message-only window: the worker reaches the user-interface thread through it.
    HWND m_notifier = nullptr;
    bool m_done = false;
    bool m_quit = false;
    WPARAM m_quitCode = 0;
    HWND m_owner = nullptr;
    HWND m_progress = nullptr;
    HWND m_closeAfter = nullptr;
    std::unique_ptr<CWindowDisabler> m_disabler;
};

}  // namespace varnel::win32
