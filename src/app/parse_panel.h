#pragma once
// ParseWindow: split a multi-program stream into one file per program.
// Shows the stream's name and size, the output folder, the content tree in
// which the programs are picked, the picked programs, the gauges and the
// start button.
//
// The open command ("Parser multi program TS") asks for the stream and the
// output folder and analyses the stream in parse mode; every program whose
// PMT was read is then selected, in the tree as in ListBox1. The selection
// in TreeView4 (Ctrl-click, Shift-click) chooses the programs; the start
// button runs the same split as tscard-cli demux, with "Remove staffings"
// read at every packet. A completed split uses the stream up and brings
// the main panel back; a stopped or failed one analyses the stream again,
// so that the tree and the list show what the next run would split.

#include <QWidget>

#include <functional>
#include <string>

#include "analysis/analyzer.h"

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

    // The open command: the file dialog, then OpenForSplitting.
    void MultyprogramstreamMPEG2TS1Click();
    // The open command for a file already chosen: the prepare panel closes,
    // the folder is asked for, the stream is analysed.
    void OpenForSplitting(const std::string& path);
    // A file opened from outside the menu (the command line, a second
    // start, a drop): its programs are counted first, off the GUI thread,
    // by an analysis in parse mode. More than one opens here as the menu
    // command does; one goes to `one_program` (the prepare command's flow).
    void OpenFromOutside(const std::string& path, std::function<void(const std::string&)> one_program);
    // Analyse the stream again: every program selected again.
    void SpeedButton12Click();
    // Choose the output folder.
    void SpeedButton15Click();
    // The programs selected in the tree become the ones to split.
    void TreeView4Click();
    // The size in MBytes or in bytes.
    void RadioButton9Click();
    void RadioButton10Click();
    // Start (stop is the button's own).
    void SpeedButton3Click();
    // Close; a run in progress is stopped first and the panel closes at
    // its end.
    void SpeedButton11Click();

    // The stream the panel splits.
    const std::string& StreamPath() const { return path_; }

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
    QLabel* ParseHint;      // how to pick more than one program
    QListWidget* ListBox1;  // one line per picked program
    QLabel* Label34;
    QToolButton* SpeedButton12;  // analyse again: every program picked
    // Progress and start.
    Gauge* CGauge4;
    Gauge* CGauge6;
    QLabel* Label32;
    StartButton* SpeedButton3;

private:
    void Retell();
    void OnAnalysisEnded(const AnalysisResult& result);
    void OnSplitEnded();
    // Runs the parse-mode analysis of path_; false when it did not start.
    bool Analyse();
    // The panel's own analysis or split is under way.
    bool Busy() const;
    void ShowSize();
    void Close();

    TTorvaneService& window_;  // the state, dialogs, events and other panels the commands use
    std::string path_;
    // Close was pressed during a run: the panel closes when it has ended.
    bool close_pending_ = false;
};

}  // namespace tscard::app
