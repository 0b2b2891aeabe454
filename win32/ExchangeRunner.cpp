#include "win32/ExchangeRunner.h"

#include <memory>
#include <thread>
#include <vector>

#include "win32/Activation.h"
#include "win32/DialogBuilder.h"
#include "win32/Placement.h"
#include "win32/Text.h"
#include "win32/WaitCursor.h"

namespace varnel::win32 {
namespace {

constexpr wchar_t kNotifierClass[] = L"VarnelExchangeNotifier";
constexpr UINT kCall = WM_APP + 1;  // lParam: const std::function<void()>*, run and left
constexpr UINT kPost = WM_APP + 2;  // lParam: std::function<void()>*, run and deleted
constexpr UINT kWorkerDone = WM_APP + 3;
UINT_PTR TimerId(ExchangeTimer timer) {
    return timer == ExchangeTimer::Progress ? 1 : 2;
}

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
    // Cancel is no default button: Enter meant for a box that has just gone must not press it.
    DialogItem cancel;
    cancel.className = L"Button";
    cancel.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    cancel.x = 142, cancel.y = 38, cancel.cx = 50, cancel.cy = 14;
    cancel.id = IDCANCEL;
    cancel.text = L"Cancel";
    layout.items.push_back(cancel);
    return BuildDialogTemplate(layout);
}

}  // namespace

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
        if (m_policy.IsRunning() || m_notifier == nullptr) {
            return;
        }
        m_owner = owner;
        m_closeAfter = nullptr;
        m_policy.Run(*this, session, procedure, commandName);
    };
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

bool CExchangeRunner::IsEnter(const MSG& msg) {
    const bool key = msg.message == WM_KEYDOWN || msg.message == WM_KEYUP ||
                     msg.message == WM_CHAR || msg.message == WM_SYSKEYDOWN ||
                     msg.message == WM_SYSKEYUP;
    return key && msg.wParam == VK_RETURN;
}

bool CExchangeRunner::TakesInput(HWND window) const {
    return m_progress != nullptr && (window == m_progress || ::IsChild(m_progress, window));
}

void CExchangeRunner::RunOnWorker(const std::function<void()>& work) {
    m_done = false;
    m_quit = false;
    m_quitCode = 0;
    std::thread worker([&] {
        work();
        ::PostMessageW(m_notifier, kWorkerDone, 0, 0);
    });
    while (!m_done) {
        MSG msg;
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) {
            continue;
        }
        if (got == 0) {
            // The program is asked to end under the exchange: stop it, keep serving the boxes
            // it may still raise until it has stopped, and pass the request on afterwards.
            m_quit = true;
            m_quitCode = msg.wParam;
            m_policy.Cancel();
            continue;
        }
        if (IsInput(msg.message) && !TakesInput(msg.hwnd)) {
            continue;  // dropped, not kept for later: a click given now must not act after
        }
        if (IsEnter(msg) && !m_policy.EnterCancels()) {
            // The focused Cancel would take it as a press: the write is confirmed, and only the
            // end of the exchange is left to stop.
            continue;
        }
        if (m_progress != nullptr && ::IsDialogMessageW(m_progress, &msg)) {
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    worker.join();
}

void CExchangeRunner::Post(std::function<void()> call) {
    auto* posted = new std::function<void()>(std::move(call));
    if (!::PostMessageW(m_notifier, kPost, 0, reinterpret_cast<LPARAM>(posted))) {
        delete posted;
    }
}

void CExchangeRunner::Call(const std::function<void()>& call) {
    ::SendMessageW(m_notifier, kCall, 0, reinterpret_cast<LPARAM>(&call));
}

void CExchangeRunner::BeginBusy() {
    m_disabler = std::make_unique<CWindowDisabler>();
    PushOverrideCursor(IDC_WAIT);
}

void CExchangeRunner::EndBusy() {
    // Input still queued from the time of the exchange goes the same way.
    MSG stale;
    while (::PeekMessageW(&stale, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (::PeekMessageW(&stale, nullptr, WM_LBUTTONDOWN, WM_MOUSELAST, PM_REMOVE)) {
    }
    // The windows get their input back before the progress window goes, so that the system
    // does not hand the activation to another program meanwhile.
    m_disabler->Restore();
    m_disabler.reset();
    if (m_progress != nullptr) {
        // A dialog whose opening exchange this was has its owner disabled still.
        DestroyHandingActivation(m_progress, m_owner, SystemWindowCalls());
        m_progress = nullptr;
    }
    PopOverrideCursor();
    if (m_quit) {
        ::PostQuitMessage(static_cast<int>(m_quitCode));
        m_quit = false;
    }
    if (m_closeAfter != nullptr && ::IsWindow(m_closeAfter)) {
        // Closed while the exchange ran: now it may go.
        ::PostMessageW(m_closeAfter, WM_CLOSE, 0, 0);
    }
    m_closeAfter = nullptr;
}

void CExchangeRunner::StartTimer(ExchangeTimer timer, std::int64_t ms) {
    ::SetTimer(m_notifier, TimerId(timer), static_cast<UINT>(ms), nullptr);
}

void CExchangeRunner::StopTimer(ExchangeTimer timer) {
    ::KillTimer(m_notifier, TimerId(timer));
}

void CExchangeRunner::ShowProgress(const std::string& title, const ProgressStep* first) {
    if (m_progress != nullptr) {
        return;
    }
    const std::vector<WORD> bytes = ProgressTemplate();
    m_progress = ::CreateDialogIndirectParamW(
        m_instance, reinterpret_cast<const DLGTEMPLATE*>(bytes.data()), m_owner,
        &CExchangeRunner::ProgressProc, reinterpret_cast<LPARAM>(this));
    if (m_progress == nullptr) {
        return;
    }
    ::SetWindowTextW(m_progress, Widen(title).c_str());
    // On the screen of the window it belongs to, as the dialogs are.
    CenterOver(m_progress, m_owner);
    if (first != nullptr) {
        ShowStep(*first);
    }
    ::ShowWindow(m_progress, SW_SHOW);
}

void CExchangeRunner::ShowStep(const ProgressStep& step) {
    if (m_progress == nullptr) {
        return;
    }
    HWND bar = ::GetDlgItem(m_progress, kIdProgressBar);
    if (step.count > 0) {
        ::SendMessageW(bar, PBM_SETRANGE32, 0, step.count);
        ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(step.done), 0);
    } else {
        const auto top = ::SendMessageW(bar, PBM_GETRANGE, FALSE, 0);
        ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(top), 0);
    }
    ::SetDlgItemTextW(m_progress, kIdStepText, Widen(step.text).c_str());
}

void CExchangeRunner::ShowBox(IMessageReporter& target, const Message& message) {
    target.Show(message);
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
        case kCall:
            (*reinterpret_cast<const std::function<void()>*>(lParam))();
            return 0;
        case kPost: {
            std::unique_ptr<std::function<void()>> posted(
                reinterpret_cast<std::function<void()>*>(lParam));
            (*posted)();
            return 0;
        }
        case kWorkerDone:
            self->m_done = true;
            return 0;
        case WM_TIMER:
            for (const ExchangeTimer timer : {ExchangeTimer::Progress, ExchangeTimer::Step}) {
                if (wParam == TimerId(timer)) {
                    ::KillTimer(window, wParam);  // each fires once
                    self->m_policy.TimerFired(timer);
                    return 0;
                }
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

}  // namespace varnel::win32
