#include "win32/ExchangeRunner.h"

#include <exception>
#include <thread>
#include <vector>

#include "link/CancelToken.h"
#include "win32/DialogBuilder.h"
#include "win32/Text.h"
#include "win32/WaitCursor.h"
#include "win32/WindowDisabler.h"

namespace varnel {
namespace {

constexpr wchar_t kNotifierClass[] = L"VarnelExchangeNotifier";
constexpr UINT kShowMessage = WM_APP + 1;  // wParam: IMessageReporter*, lParam: const Message*
constexpr UINT kStepChanged = WM_APP + 2;
constexpr UINT kWorkerDone = WM_APP + 3;
constexpr UINT_PTR kProgressTimer = 1;

constexpr int kIdStepText = 100;
constexpr int kIdProgressBar = 101;

// The progress window: the step, a bar and Cancel, in dialog units like every dialog.
std::vector<WORD> ProgressTemplate() {
    DialogLayout layout;
    layout.style = kModalDialogStyle;
    layout.cx = 200;
    layout.cy = 58;
    layout.fontName = kDialogFontName;
    layout.pointSize = kDialogPointSize;
    DialogItem text;
    text.className = L"Static";
    text.style = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS;
    text.x = 8, text.y = 8, text.cx = 184, text.cy = 8;
    text.id = kIdStepText;
    layout.items.push_back(text);
    DialogItem bar;
    bar.className = PROGRESS_CLASSW;
    bar.style = WS_CHILD | WS_VISIBLE | WS_BORDER;
    bar.x = 8, bar.y = 20, bar.cx = 184, bar.cy = 10;
    bar.id = kIdProgressBar;
    layout.items.push_back(bar);
    DialogItem cancel;
    cancel.className = L"Button";
    cancel.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
    cancel.x = 142, cancel.y = 38, cancel.cx = 50, cancel.cy = 14;
    cancel.id = IDCANCEL;
    cancel.text = L"Cancel";
    layout.items.push_back(cancel);
    return BuildDialogTemplate(layout);
}

}  // namespace

// Shows each message on the user-interface thread and holds the exchange until it is dismissed.
class CExchangeRunner::UiReporter final : public IMessageReporter {
public:
    UiReporter(CExchangeRunner& runner, IMessageReporter& target)
        : m_runner(runner), m_target(target) {}

    void Show(const Message& message) override {
        // The texts stay valid: this thread waits until the box is gone.
        ::SendMessageW(m_runner.m_notifier, kShowMessage, reinterpret_cast<WPARAM>(&m_target),
                       reinterpret_cast<LPARAM>(&message));
    }

private:
    CExchangeRunner& m_runner;
    IMessageReporter& m_target;
};

// Passes each step to the progress window, and on to the session's own observer.
class CExchangeRunner::StepForwarder final : public IExchangeObserver {
public:
    StepForwarder(CExchangeRunner& runner, IExchangeObserver* next)
        : m_runner(runner), m_next(next) {}

    void ExchangeStarted() override {
        if (m_next != nullptr) {
            m_next->ExchangeStarted();
        }
    }
    void StepStarted(const ExchangeStep& step) override {
        {
            std::lock_guard lock(m_runner.m_stepMutex);
            m_runner.m_lastStep = step;
        }
        ::PostMessageW(m_runner.m_notifier, kStepChanged, 0, 0);
        if (m_next != nullptr) {
            m_next->StepStarted(step);
        }
    }
    void ExchangeFinished() override {
        if (m_next != nullptr) {
            m_next->ExchangeFinished();
        }
    }

private:
    CExchangeRunner& m_runner;
    IExchangeObserver* m_next;
};

CExchangeRunner::CExchangeRunner(HINSTANCE instance) : m_instance(instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &CExchangeRunner::NotifierProc;
    windowClass.hInstance = m_instance;
    windowClass.lpszClassName = kNotifierClass;
    ::RegisterClassExW(&windowClass);
    m_notifier = ::CreateWindowExW(0, kNotifierClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   m_instance, this);
}

CExchangeRunner::~CExchangeRunner() {
    if (m_notifier != nullptr) {
        ::DestroyWindow(m_notifier);
    }
}

ProcedureRunner CExchangeRunner::For(std::string commandName, HWND owner) {
    return [this, commandName = std::move(commandName), owner](
               Session& session, const std::function<void(Session&)>& procedure) {
        Execute(session, procedure, commandName, owner);
    };
}

void CExchangeRunner::Cancel() {
    if (m_requestCancel) {
        m_requestCancel();
    }
}

bool CExchangeRunner::IsInput(UINT message) {
    if (message >= WM_KEYFIRST && message <= WM_KEYLAST) {
        return true;
    }
    if (message > WM_MOUSEMOVE && message <= WM_MOUSELAST) {
        return true;
    }
    return message > WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK;
}

bool CExchangeRunner::TakesInput(HWND window) const {
    return m_progress != nullptr && (window == m_progress || ::IsChild(m_progress, window));
}

void CExchangeRunner::Execute(Session& session, const std::function<void(Session&)>& procedure,
                              const std::string& commandName, HWND owner) {
    if (m_running || m_notifier == nullptr) {
        // Input is shut out while an exchange runs, so a second one cannot be asked for.
        return;
    }
    CancelToken cancel;
    UiReporter reporter(*this, session.reporter);
    StepForwarder steps(*this, session.observer);
    Session onWorker(session.link, reporter, session.openPort, session.portName);
    onWorker.observer = &steps;
    onWorker.cancel = &cancel;
    onWorker.trace = session.trace;
    // The registry is called from the worker alone while the exchange runs.
    onWorker.registry = session.registry;
    onWorker.origin = session.origin;

    m_running = true;
    m_done = false;
    m_requestCancel = [&cancel] { cancel.Cancel(); };
    m_title = L"Varnel - " + Widen(commandName);
    m_owner = owner;
    m_closeAfter = nullptr;
    m_progressDue = false;
    {
        std::lock_guard lock(m_stepMutex);
        m_lastStep.reset();
    }
    CWindowDisabler disabler;
    PushOverrideCursor(IDC_WAIT);
    ::SetTimer(m_notifier, kProgressTimer, kProgressDelayMs, nullptr);

    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            procedure(onWorker);
        } catch (...) {
            failure = std::current_exception();
        }
        ::PostMessageW(m_notifier, kWorkerDone, 0, 0);
    });

    bool quit = false;
    WPARAM quitCode = 0;
    while (!m_done) {
        MSG msg;
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) {
            continue;
        }
        if (got == 0) {
            // The program is asked to end under the exchange: stop it, keep serving the boxes
            // it may still raise until it has stopped, and pass the request on afterwards.
            quit = true;
            quitCode = msg.wParam;
            cancel.Cancel();
            continue;
        }
        if (IsInput(msg.message) && !TakesInput(msg.hwnd)) {
            continue;  // dropped, not kept for later: a click given now must not act after
        }
        if (m_progress != nullptr && ::IsDialogMessageW(m_progress, &msg)) {
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    worker.join();
    ::KillTimer(m_notifier, kProgressTimer);

    // Input still queued from the time of the exchange goes the same way.
    MSG stale;
    while (::PeekMessageW(&stale, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (::PeekMessageW(&stale, nullptr, WM_LBUTTONDOWN, WM_MOUSELAST, PM_REMOVE)) {
    }
    // The windows get their input back before the progress window goes, so that the system
    // does not hand the activation to another program meanwhile.
    disabler.Restore();
    if (m_progress != nullptr) {
        ::DestroyWindow(m_progress);
        m_progress = nullptr;
    }
    PopOverrideCursor();
    m_requestCancel = nullptr;
    m_running = false;
    if (quit) {
        ::PostQuitMessage(static_cast<int>(quitCode));
    }
    if (m_closeAfter != nullptr && ::IsWindow(m_closeAfter)) {
        // Closed while the exchange ran: now it may go.
        ::PostMessageW(m_closeAfter, WM_CLOSE, 0, 0);
    }
    m_closeAfter = nullptr;
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void CExchangeRunner::ShowProgress() {
    if (!m_running || m_progress != nullptr) {
        return;
    }
    if (m_boxesShown > 0) {
        m_progressDue = true;
        return;
    }
    m_progressDue = false;
    const std::vector<WORD> bytes = ProgressTemplate();
    m_progress = ::CreateDialogIndirectParamW(
        m_instance, reinterpret_cast<const DLGTEMPLATE*>(bytes.data()), m_owner,
        &CExchangeRunner::ProgressProc, reinterpret_cast<LPARAM>(this));
    if (m_progress == nullptr) {
        return;
    }
    ::SetWindowTextW(m_progress, m_title.c_str());
    RECT window{};
    RECT area{};
    ::GetWindowRect(m_progress, &window);
    if (m_owner != nullptr && ::IsWindowVisible(m_owner) && !::IsIconic(m_owner)) {
        ::GetWindowRect(m_owner, &area);
    } else {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    ::SetWindowPos(m_progress, nullptr, area.left + ((area.right - area.left) - width) / 2,
                   area.top + ((area.bottom - area.top) - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowStep();
    ::ShowWindow(m_progress, SW_SHOW);
}

void CExchangeRunner::ShowStep() {
    if (m_progress == nullptr) {
        return;
    }
    std::optional<ExchangeStep> step;
    {
        std::lock_guard lock(m_stepMutex);
        step = m_lastStep;
    }
    if (!step) {
        return;
    }
    std::wstring text = Widen(step->description);
    HWND bar = ::GetDlgItem(m_progress, kIdProgressBar);
    if (step->count > 0) {
        text +=
            L" (" + std::to_wstring(step->number) + L" of " + std::to_wstring(step->count) + L")";
        ::SendMessageW(bar, PBM_SETRANGE32, 0, step->count);
        ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(step->number - 1), 0);
    } else {
        const auto top = ::SendMessageW(bar, PBM_GETRANGE, FALSE, 0);
        ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(top), 0);
    }
    ::SetDlgItemTextW(m_progress, kIdStepText, text.c_str());
}

LRESULT CALLBACK CExchangeRunner::NotifierProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CExchangeRunner*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    switch (message) {
        case kShowMessage:
            ++self->m_boxesShown;
            reinterpret_cast<IMessageReporter*>(wParam)->Show(
                *reinterpret_cast<const Message*>(lParam));
            --self->m_boxesShown;
            if (self->m_progressDue && self->m_boxesShown == 0) {
                self->ShowProgress();
            }
            return 0;
        case kStepChanged:
            self->ShowStep();
            return 0;
        case kWorkerDone:
            self->m_done = true;
            return 0;
        case WM_TIMER:
            if (wParam == kProgressTimer) {
                ::KillTimer(window, kProgressTimer);
                self->ShowProgress();
                return 0;
            }
            break;
        default:
            break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

INT_PTR CALLBACK CExchangeRunner::ProgressProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        return TRUE;
    }
    auto* self = reinterpret_cast<CExchangeRunner*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) {
        return FALSE;
    }
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) {
                // Cancel, Esc and the close box all stop the exchange; the window goes when it
                // has stopped.
                ::EnableWindow(::GetDlgItem(window, IDCANCEL), FALSE);
                self->Cancel();
                return TRUE;
            }
            return FALSE;
        case WM_SETCURSOR:
            // Busy, but the Cancel button still takes a click.
            ::SetCursor(::LoadCursorW(nullptr, IDC_APPSTARTING));
            ::SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace varnel
