#include "app/panel_stack.h"

#include <QStackedLayout>

#include <algorithm>

namespace tscard::app {

PanelStack::PanelStack(QWidget* parent) : QWidget(parent), layout_(new QStackedLayout(this)) {
    layout_->setContentsMargins(0, 0, 0, 0);
}

void PanelStack::Add(QWidget* panel) {
    layout_->addWidget(panel);
    order_.push_back(panel);
    ShowTop();
}

void PanelStack::BringToFront(QWidget* panel) {
    const auto it = std::find(order_.begin(), order_.end(), panel);
    if (it == order_.end()) return;
    order_.erase(it);
    order_.push_back(panel);
    ShowTop();
}

void PanelStack::SendToBack(QWidget* panel) {
    const auto it = std::find(order_.begin(), order_.end(), panel);
    if (it == order_.end()) return;
    order_.erase(it);
    order_.insert(order_.begin(), panel);
    ShowTop();
}

QWidget* PanelStack::Front() const { return order_.empty() ? nullptr : order_.back(); }

void PanelStack::ShowTop() {
    if (QWidget* front = Front()) layout_->setCurrentWidget(front);
}

}  // namespace tscard::app
