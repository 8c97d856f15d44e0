#pragma once
// The panels below the tool bar, one in front at a time. They keep an order
// from back to front: bringing one to the front puts it on top, sending one
// to the back puts it under all others (the one that was behind it shows
// again), and the panel on top is the one the operator sees.

#include <QWidget>

#include <vector>

class QStackedLayout;

namespace tscard::app {

class PanelStack final : public QWidget {
    Q_OBJECT

public:
    explicit PanelStack(QWidget* parent);

    // Puts a panel on top of those added before it.
    void Add(QWidget* panel);
    void BringToFront(QWidget* panel);
    void SendToBack(QWidget* panel);
    QWidget* Front() const;

private:
    void ShowTop();

    QStackedLayout* layout_;
    std::vector<QWidget*> order_;  // back to front
};

}  // namespace tscard::app
