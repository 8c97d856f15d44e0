#pragma once
// WriteWindow: write an analysed stream to the card. Shows the file, its
// size on the card, its content, the bit rate written into the card header
// and the measured rates, the gauges and the start button.
//
// A stream comes here from the card panel's "Write file" (SpeedButton23Click:
// packet size and bit rate first, then the analysis for the card) or from a
// prepare run that ended while a card is ready (TakePreparedStream).
// "Begin write" (SpeedButton1) asks what needs asking, opens the card in use
// for writing and runs the card-write worker; its events end it here.

#include <QWidget>

#include <string>

#include "card/card_write.h"

class QAbstractButton;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;
class QTreeWidget;

namespace tscard {
struct AnalysisResult;
}

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
    // After a write that failed or lost its card: what happened, and the
    // card panel's "Write file" for the next stream (hidden otherwise).
    QLabel* WriteNote;
    QAbstractButton* WriteAgain;
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
    // The end of a prepare run while a card is ready: the prepared file is
    // measured and analysed for the card as "Write file" would.
    void TakePreparedStream(const std::string& path);
    // Closes the panel.
    void SpeedButton10Click();
    // The size on the card in MBytes (RadioButton3) or Bytes (RadioButton4).
    void ShowSize();

    bool Writing() const { return writer_.Busy(); }

private:
    struct Look;
    std::string NoCardSelected() const;
    std::string WriteCaption() const;
    // Packet size and bit rate of the file, then its analysis for the card.
    void Open(const std::string& path, bool chosen);
    void Opened(const std::string& path, bool chosen, const Look& look);
    void AnalysisEnded(const AnalysisResult& result);
    // The end of the measurement of what the stream takes on the card.
    void Measured(const CardStreamSize& size);
    void EndPreparing();
    // The panel after a write that ended badly: it holds no stream any more.
    void ShowEndedBadly(const QString& message);
    void HideEnding();

    void SpeedButton1Click();
    bool AskBeforeWriting(std::uint32_t& bitrate);
    void DoCompleteWriteFile();
    void DoCompleteWriteStream();
    void DoCompleteErrWriteFile();
    void DoBreakWrite();
    void WriteEnded();
    void ResetWriteControls();

    TTorvaneService& window_;  // the state, dialogs, events and other panels the commands use
    // The write: its job and record, then the worker (destroyed first).
    CardWriteJob job_;
    CardWriteState write_;
    CardWriteWorker writer_;
};

}  // namespace tscard::app
