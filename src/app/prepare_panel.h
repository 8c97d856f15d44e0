#pragma once
// PreparePn: prepare a single-program stream for the card. Shows the
// analysed content, the target PIDs, program number and names, the output
// file, the run's bit-rate figures, its gauges and its start button.

#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QToolButton;
class QTreeWidget;

namespace tscard::app {

class Gauge;
class StartButton;
class TTorvaneService;
class ValueBox;

class PreparePanel final : public QWidget {
    Q_OBJECT

public:
    PreparePanel(TTorvaneService& window, QWidget* parent);

    // Title bar.
    QLabel* Label23;
    QToolButton* SpeedButton9;  // close
    // Output file.
    QLabel* Label6;
    ValueBox* StaticText8;
    QToolButton* SpeedButton20;  // choose the output file
    // Content of the analysed stream.
    QLabel* Label24;
    QTreeWidget* TreeView3;
    // Target values.
    QGroupBox* GroupBox8;
    QLabel* Label20;
    QLineEdit* Edit1;  // provider
    QLabel* Label22;
    QLineEdit* Edit7;  // service name
    QLabel* Label14;
    QLineEdit* Edit5;  // program number
    QLabel* Label15;
    QLineEdit* Edit6;  // PMT PID
    QGroupBox* GroupBox9;
    QLabel* Label11;
    QLineEdit* Edit2;  // PCR PID
    QLabel* Label12;
    QLineEdit* Edit3;  // video PID
    QLabel* Label13;
    QComboBox* ComboBox1;  // audio PIDs
    QLabel* Label42;
    QComboBox* ComboBox2;  // other PES PIDs
    // Bit-rate figures of the run.
    QLabel* Label2;
    QLabel* Label44;
    ValueBox* Label38;  // output rate of the last interval
    QLabel* Label43;
    ValueBox* Label45;
    QLabel* Label18;
    ValueBox* Label17;  // length of the last PCR interval
    // Progress and start.
    Gauge* CGauge3;
    Gauge* CGauge7;
    QLabel* Label10;
    StartButton* SpeedButton4;

private:
    TTorvaneService& window_;  // the state, dialogs, events and other panels the commands use
};

}  // namespace tscard::app
