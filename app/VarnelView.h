#pragma once

#include <QWidget>

namespace varnel {

// The one view: a blank client area. All work happens in the dialogs the menu opens.
class CVarnelView : public QWidget {
    Q_OBJECT
public:
    explicit CVarnelView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace varnel
