#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>

#include "procedures/Session.h"
#include "usecases/ExchangePolicy.h"

class QKeyEvent;
class QProgressDialog;
class QWidget;

namespace varnel {

// The Qt window's part in an exchange, whose course CExchangePolicy decides: a worker thread
// while the user-interface thread keeps serving its events, a QProgressDialog, message boxes with
// the arrow cursor over them, and input to Varnel's windows dropped (never replayed) while the
// exchange runs; once the radio has confirmed a write, Enter no longer presses the progress
// window's Cancel. A window closed meanwhile (the main window, the desktop quitting) cancels the
// exchange and is closed once the exchange has ended.
class CExchangeRunner : public QObject {
    Q_OBJECT
public:
    explicit CExchangeRunner(QObject* parent = nullptr);
    ~CExchangeRunner() override;

    static constexpr int kProgressDelayMs = CExchangePolicy::kProgressDelayMs;

    // The runner of a session of the command commandName ("Radio Info"): its progress window is
    // titled "Varnel - Radio Info" and owned by owner.
    ProcedureRunner For(std::string commandName, QWidget* owner);

    bool IsRunning() const { return m_policy.IsRunning(); }
    // Stops the running exchange; nothing when none runs.
    void Cancel() { m_policy.Cancel(); }

    // The progress window while it is shown, else nullptr.
    QProgressDialog* ProgressWindow() const;

signals:
    // An exchange has begun or ended (on the user-interface thread).
    void ExchangeStarted();
    void ExchangeEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the policy is lent: this window's thread, timer and progress window.
    class Host;

    bool TakesInput(QObject* watched) const;
    bool IsEnterOnProgress(QObject* watched, const QKeyEvent& key) const;

    CExchangePolicy m_policy;
    std::unique_ptr<Host> m_host;
    QPointer<QWidget> m_owner;
    QPointer<QProgressDialog> m_progress;
    QPointer<QWidget> m_closeAfter;
};

}  // namespace varnel
