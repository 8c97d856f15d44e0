#pragma once
// PreparePn: prepare a single-program stream for the card. Shows the
// analysed content, the target PIDs, program number and names, the output
// file, the run's bit-rate figures, its gauges and its start button.
//
// The open command ("Prepare simple stream(one program TS)") measures the
// program's bit rate, asks before going on outside 1.5 to 14.5 Mbit/s,
// proposes the output name and analyses the stream; the tree click loads
// the edits from the stream; the start button runs the same prepare as
// tscard-cli prepare with the values shown.
//
// Hand-over to the card: when a run has ended by itself, the panel asks
// the function given to SetCardHandOver with the prepared file. It returns
// true when a card is ready and it has taken the file on (it then brings
// the main panel to the front, measures the file and analyses it for the
// card writer); false, or no function, and the panel closes itself.

#include <QWidget>

#include <functional>
#include <memory>
#include <set>
#include <string>

#include "analysis/analyzer.h"
#include "prepare/prepare_worker.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QTimer;
class QToolButton;
class QTreeWidget;

namespace tscard {
class StopFlag;
}

namespace tscard::app {

class Gauge;
class PrepareFigures;
class StartButton;
class TTorvaneService;
class ValueBox;

class PreparePanel final : public QWidget {
    Q_OBJECT

public:
    PreparePanel(TTorvaneService& window, QWidget* parent);
    ~PreparePanel() override;

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
    // Why the stream cannot be prepared (hidden while there is nothing to say).
    QLabel* PrepareNote;
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

    // The open command: the file dialog, then OpenForPreparing.
    void SimpleprogramMPEG2TS1Click();
    // The open command for a file already chosen (the menu, the command
    // line, a file dropped on the window): bit rate, question, output name,
    // analysis.
    void OpenForPreparing(const std::string& path);

    void SpeedButton4Click();   // start (stop is the button's own)
    void SpeedButton20Click();  // choose the output file
    void SpeedButton9Click();   // close
    void TreeView3Click();
    void TreeView3GetSelectedIndex();

    using CardHandOver = std::function<bool(const std::string& prepared_path)>;
    void SetCardHandOver(CardHandOver hand_over) { card_hand_over_ = std::move(hand_over); }

    // True while the panel holds an analysed stream that a run can prepare.
    bool Preparable() const;
    bool Running() const { return running_; }

protected:
    // Leaving a numeric edit checks what it shows.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Target { ProgramNumber, PmtPid, PcrPid, VideoPid, AudioPid, PesPid };
    struct Look;

    // Off the GUI thread: is the file a stream, and its program's bit rate.
    static Look LookAt(const std::string& path, StopFlag& stop);
    void OpenWithMeasurement(const std::string& path, bool from_menu, Look look);
    void ConnectEdits();
    void OnAnalysisEnded(const AnalysisResult& result);
    void LoadFromSource();
    void ClearTargets();
    void OnNumberEdited(QLineEdit* edit, Target target);
    void OnNumberLeft(QLineEdit* edit);
    void OnNameEdited(QLineEdit* edit, bool provider);
    bool CheckShownTargets();
    void OnRunEnded();
    // The status line after a completed run.
    void TellPrepared(const PrepareResult& result, const QString& output, bool handed_over);
    void ShowFigures();
    void SetRunning(bool running);
    void SetTargetsEnabled(bool enabled);
    void SayWhy(std::function<QString()> note);
    void ShowNote();
    void StopAndWait();
    void Close();

    TTorvaneService& window_;  // the state, dialogs, events and other panels the commands use
    CardHandOver card_hand_over_;
    std::unique_ptr<PrepareFigures> figures_;
    QTimer* figure_timer_;
    bool preparable_ = false;
    bool running_ = false;
    bool closing_ = false;
    int audio_index_ = -1;  // the ComboBox1 item the operator edits
    int pes_index_ = -1;    // the ComboBox2 item the operator edits
    // Edits whose text the operator typed and that was refused: a run does
    // not start while one shows a value it would not use. Refused texts are
    // told when the edit is left (once per text) and at Start, never while
    // the operator types.
    std::set<QObject*> refused_;
    std::set<QObject*> told_;
    std::set<QObject*> number_edits_;
    // What the note says, as it is made again when the language changes.
    std::function<QString()> note_;
};

}  // namespace tscard::app
