#pragma once
// ParseWindow: split a multi-program stream into one file per program.
// Shows the stream's name and size, the output folder, the content tree in
// which the programs are picked, the picked programs, the gauges and the
// start button.

#include <QWidget>

class QCheckBox;
class QLabel;
class QListWidget;
class QRadioButton;
class QToolButton;
class QTreeWidget;

namespace tscard::app {

class Gauge;
class StartButton;
class TTorvaneService;
class ValueBox;

class ParsePanel final : public QWidget {
    Q_OBJECT

public:
    ParsePanel(TTorvaneService& window, QWidget* parent);

    // Title bar.
    QLabel* Label33;
    QToolButton* SpeedButton11;  // close
    // The stream and where its programs go.
    QLabel* Label29;
    ValueBox* StaticText6;  // file name
    QLabel* Label31;
    ValueBox* StaticText7;  // size
    QRadioButton* RadioButton9;   // MBytes
    QRadioButton* RadioButton10;  // Bytes
    QCheckBox* CheckBox1;         // drop stuffing
    QLabel* Label35;
    ValueBox* StaticText9;  // output folder
    QToolButton* SpeedButton15;  // choose the folder
    // Programs.
    QLabel* Label30;
    QTreeWidget* TreeView4;
    QListWidget* ListBox1;  // one line per picked program
    QLabel* Label34;
    QToolButton* SpeedButton12;  // analyse again: every program picked
    // Progress and start.
    Gauge* CGauge4;
    Gauge* CGauge6;
    QLabel* Label32;
    StartButton* SpeedButton3;

private:
    TTorvaneService& window_;  // the state, dialogs, events and other panels the commands use
};

}  // namespace tscard::app
