#pragma once
// Panel1: splice several stream files into one. Shows the output file and
// its size, the list of files to join with the buttons that edit it, the
// file being copied, the progress bar and the add, start and close buttons.
// It lives on the main panel and is hidden until a splice is set up.

#include <QFrame>

class QAbstractButton;
class QLabel;
class QListWidget;
class QToolButton;

namespace tscard::app {

class Gauge;
class TTorvaneService;
class ValueBox;

class SplicePanel final : public QFrame {
    Q_OBJECT

public:
    SplicePanel(TTorvaneService& window, QWidget* parent);

    // Output.
    QLabel* Label9;
    ValueBox* StaticText11;  // output file
    ValueBox* StaticText13;  // its size
    QLabel* Label19;
    // The files to join and the buttons that edit the list.
    QListWidget* ListBox2;
    QToolButton* SpeedButton8;  // remove the selected entries
    QToolButton* SpeedButton5;  // move down
    QToolButton* SpeedButton6;  // move up
    QToolButton* SpeedButton7;  // clear
    // The file being copied.
    QLabel* Label7;
    ValueBox* StaticText10;  // its name
    ValueBox* StaticText12;  // its size
    QLabel* Label21;
    Gauge* CGauge10;
    // Commands.
    QAbstractButton* Button2;  // add files
    QAbstractButton* Button3;  // start
    QAbstractButton* Button1;  // stop, or close

private:
    TTorvaneService& window_;  // the state, dialogs, events and other panels the commands use
};

}  // namespace tscard::app
