#pragma once

#include "win32/Win32Api.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "procedures/Session.h"

namespace varnel::win32 {

// Runs the window's exchanges on a worker thread while the user-interface thread keeps pumping
// messages, so that the windows keep painting while a slow radio takes its time:
// - a message raised meanwhile is shown on the user-interface thread at the moment it is raised,
//   while the exchange waits for the box to be dismissed (the port stays open), so the order of
//   bytes and boxes is that of a run on one thread;
// - from the first moment, Varnel's windows are disabled: input given then is dropped, never
//   replayed; the wait cursor shows over them, the arrow over message boxes;
// - after kProgressDelayMs a progress window ("Varnel - <command>") shows the step, a progress
//   bar and Cancel; Cancel or Esc stops the exchange at once, without EndExchange;
// - a window closed meanwhile (the main window, the session ending) cancels the exchange and is
//   closed once the exchange has ended.
class CExchangeRunner {
public:
    explicit CExchangeRunner(HINSTANCE instance);
    ~CExchangeRunner();
    CExchangeRunner(const CExchangeRunner&) = delete;
    CExchangeRunner& operator=(const CExchangeRunner&) = delete;

    static constexpr UINT kProgressDelayMs = 300;

    // The runner of a session of the command commandName ("Radio Info"): its progress window is
    // titled "Varnel - Radio Info" and owned by owner.
    ProcedureRunner For(std::string commandName, HWND owner);

    bool IsRunning() const { return m_running; }
    // Stops the running exchange; nothing when none runs.
    void Cancel();
    // Closes window (WM_CLOSE) once the running exchange has ended.
    void CloseAfter(HWND window) { m_closeAfter = window; }
    // The progress window while it is shown, else null.
    HWND ProgressWindow() const { return m_progress; }

private:
    class UiReporter;
    class StepForwarder;

    void Execute(Session& session, const std::function<void(Session&)>& procedure,
                 const std::string& commandName, HWND owner);
    void ShowProgress();
    void ShowStep();
    bool TakesInput(HWND window) const;
    static bool IsInput(UINT message);
    static LRESULT CALLBACK NotifierProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE m_instance;
    // A message-only window: the worker reaches the user-interface thread through it.
    HWND m_notifier = nullptr;
    bool m_running = false;
    bool m_done = false;
    std::function<void()> m_requestCancel;
    std::wstring m_title;
    HWND m_owner = nullptr;
    HWND m_progress = nullptr;
    HWND m_closeAfter = nullptr;
    // Boxes up now: the progress window waits for them, so that it never comes up over a box
    // and takes the keys meant for it.
    int m_boxesShown = 0;
    bool m_progressDue = false;
    std::mutex m_stepMutex;
    std::optional<ExchangeStep> m_lastStep;  // guarded by m_stepMutex
};

}  // namespace varnel::win32
