#pragma once
// FormatWindow: the card manager. Shows the card's figures and content, the
// format kind, and the format, clear, write, read and close commands. The
// busy indicator's panel (Panel2) starts out on it.
//
// Selecting a card in the selector makes it the card in use and shows it
// here (ComboBoxEx1Click); the commands follow what the card holds. Format
// and Clear All ask first, then open the card for writing (its file systems
// unmounted, held exclusively) for as long as the job lasts. A full format
// runs on a thread of its own; the Format button stops it.

#include <QWidget>

#include <atomic>
#include <cstdint>
#include <string>

#include "app/background_job.h"
#include "platform/status.h"

class QAbstractButton;
class QGroupBox;
class QLabel;
class QRadioButton;
class QToolButton;
class QTimer;
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

    // The selection handler: the selector's item `index` becomes the card in use.
    void ComboBoxEx1Click(int index);
    // "SD card manadger".
    void SDcardmanadger1Click();
    // "Close manager" and the title bar's close button.
    void SpeedButton21Click();
    void SpeedButton13Click();  // Format; during a full format: stop it
    void SpeedButton19Click();  // Clear All
    // A stream node picked in the content tree is the one "Read file" reads.
    void TreeView1Click();
    // The figures as a refresh leaves them: "..." and no content.
    void ShowNoCard();
    // Disables or enables the panel's card commands while a card job runs.
    void SetJobControlsEnabled(bool enabled);

    bool Formatting() const { return format_.Busy(); }

private:
    // Asks before a card loses its content; false on No.
    // format: "Format ...?", else "Clear ...?".
    bool Confirm(bool format, const QAbstractButton* command);
    std::string CardJobRunningText() const;
    // Opens the card in use for writing into the window's card; false (and
    // told) when that fails.
    bool OpenInUseForWriting();
    void RunFormat(bool full);
    void FormatEnded(const Status& status);
    void ShowFillProgress();

    TTorvaneService& window_;  // the state, dialogs, events and other panels the commands use
    QTimer* fill_timer_;
    std::atomic<std::uint64_t> fill_done_{0};
    std::atomic<std::uint64_t> fill_total_{0};
    bool stop_asked_ = false;
    // Last: destroyed first, so a full format ends before what it uses goes.
    BackgroundJob<Status> format_;
};

}  // namespace tscard::app
