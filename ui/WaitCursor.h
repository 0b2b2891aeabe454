#pragma once

#include <QApplication>

#include <optional>

#include "procedures/Session.h"

namespace varnel {

// Shows the wait cursor for as long as it lives: a radio exchange blocks the user-interface thread,
// and the cursor is the user's only sign that the program is still at work.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { Restore(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

    // Ends the wait cursor before the guard goes, e.g. before a result box is shown.
    void Restore() {
        if (m_active) {
            m_active = false;
            QApplication::restoreOverrideCursor();
        }
    }

private:
    bool m_active = true;
};

// Shows the wait cursor from the moment an exchange has its port open until the port is closed.
class CWaitCursorObserver final : public IExchangeObserver {
public:
    void ExchangeStarted() override { m_cursor.emplace(); }
    void ExchangeFinished() override { m_cursor.reset(); }

private:
    std::optional<CWaitCursor> m_cursor;
};

}  // namespace varnel
