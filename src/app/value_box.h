#pragma once
// A read-only value the window shows (the StaticText controls: paths,
// sizes, rates): a sunken box whose text is cut in the middle when it does
// not fit, so that a long path keeps its file name in view; the whole text
// shows as its tooltip then. text() is always the whole value.

#include <QLabel>

namespace tscard::app {

class ValueBox final : public QLabel {
    Q_OBJECT

public:
    ValueBox(const QString& name, QWidget* parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString Shown() const;
};

}  // namespace tscard::app
