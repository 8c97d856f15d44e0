#pragma once
// Panel1: splice several stream files into one. Shows the output file and
// its size, the list of files to join with the buttons that edit it, the
// file being copied, the progress bar and the add, start and close buttons.
// It lives on the main panel and is hidden until a splice is set up.
//
// The list and the output belong to the splice job (AppState::Stick); the
// panel edits them only through the core's list functions, so ListBox2
// always shows the job's rows in their order. Starting hands the job to
// the chain of copies (AppState::StickChain), which runs through the
// events evStickOpenFile, evStickCloseFile and evStickRefreshGauge.

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

    // Once the window's event bridge exists: the chain's event handlers,
    // and the splice made known as work that closing the window stops.
    void AttachEvents();

    // "To stick together": choose the output and show the panel.
    void Tosticktogether1Click();
    // Add files to the list.
    void Button2Click();
    // Move the focused entry down (the last goes first) or up (the first
    // goes last); remove the selected entries; clear the list.
    void SpeedButton5Click();
    void SpeedButton6Click();
    void SpeedButton8Click();
    void SpeedButton7Click();
    // Start the splice.
    void Button3Click();
    // During a splice: stop it. Otherwise: close the panel and its output.
    void Button1Click();

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
    // The chain's event handlers.
    void DoStickOpenFile();
    void DoStickCloseFile();
    void DoStickRefreshGauge();
    void DoStickFinish();

    // ListBox2 from the job's rows, with the focus on `focused` (-1: none).
    void ShowList(int focused);
    // Start, move, remove and clear: usable when the list holds a file.
    void EnableListCommands();
    void SetListCommandsEnabled(bool enabled);

    TTorvaneService& window_;  // the state, dialogs, events and other panels the commands use
};

}  // namespace tscard::app
