#pragma once
// FormatWindow: the card manager. Shows the card's figures and content, the
// format kind, and the format, clear, write, read and close commands. The
// busy indicator's panel (Panel2) starts out on it.

#include <QWidget>

class QAbstractButton;
class QGroupBox;
class QLabel;
class QRadioButton;
class QToolButton;
class QTreeWidget;

namespace tscard::app {

class Gauge;
class TTorvaneService;
class ValueBox;

class CardPanel final : public QWidget {
    Q_OBJECT

public:
    CardPanel(TTorvaneService& window, QWidget* parent);

    // Title bar.
    QLabel* Label36;
    QToolButton* SpeedButton14;  // close
    // The card's figures.
    QLabel* Label3;
    ValueBox* StaticText2;  // capacity
    QLabel* Label4;
    ValueBox* StaticText3;  // free space
    QLabel* Label5;
    ValueBox* StaticText4;  // file system
    // Content.
    QLabel* Label37;
    QTreeWidget* TreeView1;
    // Format kind and commands.
    QRadioButton* RadioButton1;  // rapid
    QRadioButton* RadioButton2;  // full
    QAbstractButton* SpeedButton13;  // Format
    QAbstractButton* SpeedButton19;  // Clear All
    QAbstractButton* SpeedButton23;  // Write file
    QAbstractButton* SpeedButton22;  // Read file
    QAbstractButton* SpeedButton21;  // Close manager
    Gauge* CGauge2;  // full-format progress
    // Packet kind of a write: shown nowhere, streams are always stored compressed.
    QGroupBox* GroupBox1;
    QRadioButton* RadioButton5;
    QRadioButton* RadioButton6;

private:
    TTorvaneService& window_;  // the state, dialogs, events and other panels the commands use
};

}  // namespace tscard::app
