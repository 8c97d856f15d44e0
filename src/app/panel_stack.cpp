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

void PanelStack::SetPanelHidden(QWidget* panel, bool hidden) {
    std::erase(hidden_, panel);
    if (hidden) hidden_.push_back(panel);
    ShowTop();
}

QWidget* PanelStack::Front() const {
    for (auto it = order_.rbegin(); it != order_.rend(); ++it)
        if (std::find(hidden_.begin(), hidden_.end(), *it) == hidden_.end()) return *it;
    return nullptr;
}

void PanelStack::ShowTop() {
    QWidget* front = Front();
    if (front == nullptr || layout_->currentWidget() == front) return;
    layout_->setCurrentWidget(front);
    emit FrontChanged(front);
}

}  // namespace tscard::app
