#pragma once
// WriteWindow: write an analysed stream to the card. Shows the file, its
// size on the card, its content, the bit rate written into the card header
// and the measured rates, the gauges and the start button.

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;
class QTreeWidget;

namespace tscard::app {

class Gauge;
class StartButton;
class TTorvaneService;
class ValueBox;

class WritePanel final : public QWidget {
    Q_OBJECT

public:
    WritePanel(TTorvaneService& window, QWidget* parent);

    // Title bar.
    QLabel* Label28;
    QToolButton* SpeedButton10;  // close
    // The file and its size on the card.
    QLabel* Label25;
    ValueBox* StaticText1;
    QLabel* Label8;
    ValueBox* StaticText5;
    QRadioButton* RadioButton3;  // MBytes
    QRadioButton* RadioButton4;  // Bytes
    // Content.
    QLabel* Label26;
    QTreeWidget* TreeView2;
    // Bit rates.
    QGroupBox* GroupBox4;
    QLabel* Label1;
    QLineEdit* Edit4;  // kbit/s written into the card header
    QGroupBox* GroupBox5;
    QLabel* Label40;
    ValueBox* Label41;  // rate with 188-byte packets
    QLabel* Label46;
    ValueBox* Label47;  // rate with 204-byte packets
    QGroupBox* GroupBox3;
    QRadioButton* RadioButton12;
    QRadioButton* RadioButton13;
    // Progress and start.
    Gauge* CGauge1;
    Gauge* CGauge5;
    QLabel* Label27;
    StartButton* SpeedButton1;

    // The card panel's "Write file": a stream for the card in use.
    void SpeedButton23Click();
    // Closes the panel.
    void SpeedButton10Click();

private:
    TTorvaneService& window_;  // the state, dialogs, events and other panels the commands use
};

}  // namespace tscard::app
