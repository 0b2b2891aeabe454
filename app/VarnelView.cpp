#include "app/VarnelView.h"

namespace varnel {

CVarnelView::CVarnelView(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void CVarnelView::paintEvent(QPaintEvent*) {}

}  // namespace varnel
