#pragma once
// Panel4: read a stream back from the card, as stored ("Compressed") or
// rebuilt ("Original"), with its gauges and start button.

#include <QWidget>

class QGroupBox;
class QLabel;
class QRadioButton;

namespace tscard::app {

class Gauge;
class StartButton;
class TTorvaneService;

class ReadPanel final : public QWidget {
    Q_OBJECT

public:
    ReadPanel(TTorvaneService& window, QWidget* parent);

    QGroupBox* GroupBox2;
    QRadioButton* RadioButton7;  // Compressed
    QRadioButton* RadioButton8;  // Original
    QLabel* Label39;
    StartButton* SpeedButton24;
    Gauge* CGauge8;
    Gauge* CGauge9;

private:
    TTorvaneService& window_;  // the state, dialogs, events and other panels the commands use
};

}  // namespace tscard::app
