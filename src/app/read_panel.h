#pragma once
// Panel4: read a stream back from the card, as stored ("Compressed") or
// rebuilt ("Original"), with its gauges and start button.
//
// The card panel's "Read file" (SpeedButton22Click here) asks for the
// output and brings this panel up with the card commands disabled;
// SpeedButton24 starts the copy and stops it again. The copy runs on a
// thread of its own and writes the output by the rules every output follows
// (platform/output_file.h): kept when the copy has ended or was stopped
// after a block (the blocks read so far); a copy that fails leaves an
// existing output as it was.

#include <QWidget>

#include <atomic>
#include <cstdint>
#include <string>

#include "app/background_job.h"
#include "card/card_read.h"

class QGroupBox;
class QLabel;
class QRadioButton;
class QTimer;

namespace tscard::app {

class Gauge;
class StartButton;
class TTorvaneService;

// The output's name: a name whose last part has no dot gets the extension
// of the file type chosen in the save dialog (1-based, as offered: m2ts,
// m4ts, mpg, ts, all).
std::string ReadOutputName(const std::string& chosen, int filter_index);

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

    // The card panel's "Read file": asks where the stream goes.
    void SpeedButton22Click();
    bool Reading() const { return read_.Busy(); }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void StartRead();
    void ReadEnded(CardReadResult result);
    void GiveBackCardPanel();
    void Restore();
    void ShowProgress();

    TTorvaneService& window_;  // the state, dialogs, events and other panels the commands use
    int filter_index_ = 1;
    std::string output_;
    QTimer* progress_timer_;
    std::atomic<std::uint64_t> blocks_done_{0};
    std::atomic<std::uint64_t> blocks_total_{0};
    CardReadWorker reader_;
    // Last: destroyed first, so a copy ends before what it uses goes.
    BackgroundJob<CardReadResult> read_;
};

}  // namespace tscard::app
