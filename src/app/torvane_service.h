#pragma once
// TTorvaneService, the main window: MainPanel with the tool bar, the card
// selector and the panel stack; the panels PreparePn, ParseWindow,
// WriteWindow, FormatWindow, Panel4 and Panel1; the menu; the busy
// indicator; the language; the state the whole run keeps (AppState) and
// the bridge that runs worker events on this thread.
//
// Panels reach what they need through the window: State(), Dialog(),
// Events(), Busy(), Launcher(), the other panels, BringToFront/SendToBack
// and SetCommandsEnabled.

#include <QMainWindow>

#include "app/app_state.h"
#include "app/catalogue.h"
#include "app/main_menu.h"
#include "lang/captions.h"

class QTimer;

namespace tscard::app {

class BusyIndicator;
class CardPanel;
class CardPoll;
class Dialogs;
class EventBridge;
class MainPanel;
class ParsePanel;
class PreparePanel;
class ReadPanel;
class RemovalWatch;
class SplicePanel;
class StreamLauncher;
class WritePanel;

class TTorvaneService final : public QMainWindow {
    Q_OBJECT

public:
    explicit TTorvaneService(Dialogs& dialogs, QWidget* parent = nullptr);
    ~TTorvaneService() override;

    AppState& State() { return state_; }
    Dialogs& Dialog() { return dialogs_; }
    EventBridge& Events() { return *events_; }
    BusyIndicator& Busy() { return *busy_; }
    // Opens streams for the panels (StartAnalysis) and runs short file
    // reads off this thread (stream_launcher.h).
    StreamLauncher& Launcher() { return *launcher_; }
    const MainMenu& Menu() const { return menu_; }
    lang::Language Language() const { return language_; }

    MainPanel* Main() const { return main_; }
    PreparePanel* Prepare() const { return prepare_; }
    ParsePanel* Parse() const { return parse_; }
    WritePanel* Write() const { return write_; }
    CardPanel* Card() const { return card_; }
    ReadPanel* Read() const { return read_; }
    SplicePanel* Splice() const;
    QTimer* Timer1() const { return timer1_; }
    CardPoll& Poll() { return *poll_; }
    RemovalWatch& Watch() { return *watch_; }

    // Panels are MainPanel, PreparePn, ParseWindow, WriteWindow,
    // FormatWindow and Panel4; the one in front is what the operator sees.
    void BringToFront(QWidget* panel);
    void SendToBack(QWidget* panel);
    QWidget* FrontPanel() const;

    // "Open file stream for" takes the state; "SD card manadger" too, unless
    // the card selector shows the no-card text, when it keeps its own.
    void SetCommandsEnabled(bool enabled);
    // The language command: every caption to the other language.
    void Language1Click();
    // Another start of the program asked to see this window.
    void ShowFromOtherInstance();
    // A stream given from outside the window (the command line, another
    // start of the program, a file dropped on the window): opened for
    // preparing, as the menu command does once its file dialog is answered.
    // Refused, with a word to the operator, while other work is under way.
    void OpenFromOutside(const std::string& path);
    // What a stream given from outside hears while other work is under way.
    std::string NotOpenedNow(const std::string& path) const;

signals:
    // After the language command: texts made by the panels follow it.
    void LanguageChanged(lang::Language language);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    void Timer1Timer();

    AppState state_;
    Dialogs& dialogs_;
    lang::Language language_ = lang::Language::English;
    Catalogue catalogue_;
    MainMenu menu_;
    MainPanel* main_ = nullptr;
    PreparePanel* prepare_ = nullptr;
    ParsePanel* parse_ = nullptr;
    WritePanel* write_ = nullptr;
    CardPanel* card_ = nullptr;
    ReadPanel* read_ = nullptr;
    EventBridge* events_ = nullptr;
    BusyIndicator* busy_ = nullptr;
    StreamLauncher* launcher_ = nullptr;
    QTimer* timer1_ = nullptr;
    CardPoll* poll_ = nullptr;
    RemovalWatch* watch_ = nullptr;
    bool closing_ = false;  // FormClose has begun
    bool closed_ = false;   // FormClose has ended
};

}  // namespace tscard::app
