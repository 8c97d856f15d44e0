#include "app/torvane_service.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QToolBar>

#include "app/busy_indicator.h"
#include "app/card_panel.h"
#include "app/card_poll.h"
#include "app/dialogs.h"
#include "app/dropped_file.h"
#include "app/event_bridge.h"
#include "app/images.h"
#include "app/language_switch.h"
#include "app/main_panel.h"
#include "app/panel_stack.h"
#include "app/parse_panel.h"
#include "app/prepare_panel.h"
#include "app/read_panel.h"
#include "app/removal_watch.h"
#include "app/said.h"
#include "app/splice_panel.h"
#include "app/stream_launcher.h"
#include "app/write_panel.h"

namespace tscard::app {

namespace {
// The client area the window opens with.
constexpr QSize kDesignSize(636, 504);
constexpr int kCardPollMs = 1000;

// MainPanel in front means its own page on top of the stack.
QWidget* PageOf(MainPanel* main, QWidget* panel) { return panel == main ? main->MainPage : panel; }

}  // namespace

TTorvaneService::TTorvaneService(Dialogs& dialogs, QWidget* parent) : QMainWindow(parent), dialogs_(dialogs) {
    setObjectName("TorvaneService");
    setWindowTitle(QString::fromUtf8(lang::DesignTitle().data(), static_cast<qsizetype>(lang::DesignTitle().size())));
    setWindowIcon(GlyphIcon(Glyph::AppIcon));

    // The design: menu, main panel with the tool bar, the panels behind it.
    menu_ = BuildMainMenu(this);
    main_ = new MainPanel(*this, this);
    setCentralWidget(main_);
    AttachMenu(menu_, main_->ToolBar1);
    events_ = new EventBridge(state_, [this](bool enabled) { SetCommandsEnabled(enabled); }, this);
    // Before the panels: they tell it what the end of their analyses adds.
    launcher_ = new StreamLauncher(*this);
    prepare_ = new PreparePanel(*this, main_->Panels);
    parse_ = new ParsePanel(*this, main_->Panels);
    write_ = new WritePanel(*this, main_->Panels);
    card_ = new CardPanel(*this, main_->Panels);
    read_ = new ReadPanel(*this, main_->Panels);
    for (QWidget* panel : std::initializer_list<QWidget*>{prepare_, parse_, write_, card_, read_})
        main_->Panels->Add(panel);
    busy_ = new BusyIndicator(card_, main_, state_.StreamPanelOpen, this);
    // A prepare run that ends while a card is ready goes on to the card.
    prepare_->SetCardHandOver([this](const std::string& prepared) {
        // Not while a read or a full format holds the card: the panel closes
        // and the prepared file can be written later.
        if (!state_.Cards.CardReady || poll_->CardJobRunning()) return false;
        write_->TakePreparedStream(prepared);
        return true;
    });
    launcher_->SetUpTrees();

    events_->SetGauges(GaugeGroup::G1, {write_->CGauge1, write_->CGauge5});
    events_->SetGauges(GaugeGroup::G3, {prepare_->CGauge3, prepare_->CGauge7});
    events_->SetGauges(GaugeGroup::G4, {parse_->CGauge4, parse_->CGauge6});
    events_->Start();
    main_->Panel1->AttachEvents();
    // The card jobs that do not end with evRefreshGauge; closing stops them
    // (the stop request) and waits for them.
    events_->TrackWork([this] { return read_->Reading(); }, [] {});
    events_->TrackWork([this] { return card_->Formatting(); }, [] {});

    connect(menu_.Language1, &QAction::triggered, this, &TTorvaneService::Language1Click);
    connect(menu_.Exit1, &QAction::triggered, this, &QWidget::close);

    timer1_ = new QTimer(this);
    timer1_->setObjectName("Timer1");
    timer1_->setInterval(kCardPollMs);
    connect(timer1_, &QTimer::timeout, this, &TTorvaneService::Timer1Timer);
    timer1_->start();
    poll_ = new CardPoll(*this, this);
    watch_ = new RemovalWatch(*this, this);

    // A stream file dropped anywhere on the window opens it; the edits
    // take no dropped text.
    setAcceptDrops(true);
    for (QLineEdit* edit : findChildren<QLineEdit*>()) edit->setAcceptDrops(false);

    resize(kDesignSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    FormCreate();
}

TTorvaneService::~TTorvaneService() {
    // A window destroyed without being closed still stops its workers and
    // ends the hub's thread before its state goes.
    if (!closed_) FormClose();
    // The controls go before the state they show, not after it.
    delete takeCentralWidget();
}

SplicePanel* TTorvaneService::Splice() const { return main_->Panel1; }

void TTorvaneService::FormCreate() {
    // The language: Russian on a Russian system; otherwise the design
    // captions stay, with the English card texts behind them.
    if (lang::StartLanguage() == lang::Language::Russian) {
        Language1Click();
    } else {
        language_ = lang::Language::English;
        const lang::WindowCaptions& english = lang::MainCaptions(lang::Language::English);
        state_.CardPrompt = std::string(english.CardPrompt);
        state_.NoCardText = std::string(english.NoCardText);
        main_->ComboBoxEx1->setEditText(QString::fromStdString(state_.CardPrompt));
        ApplyGlyphTips(*this, language_);
    }
    BringToFront(main_);
    state_.ParseFolder.clear();
    state_.StreamPanelOpen = 0;
}

void TTorvaneService::Language1Click() {
    language_ = lang::OtherLanguage(language_);
    // The catalogue first: what the panels say from now on follows it.
    catalogue_.Use(language_);
    ApplyLanguage(*this, language_);
    emit LanguageChanged(language_);
}

void TTorvaneService::SetCommandsEnabled(bool enabled) {
    menu_.Open1->setEnabled(enabled);
    if (main_->ComboBoxEx1->currentText().toStdString() != state_.NoCardText)
        menu_.SDcardmanadger1->setEnabled(enabled);
}

void TTorvaneService::BringToFront(QWidget* panel) { main_->Panels->BringToFront(PageOf(main_, panel)); }

void TTorvaneService::SendToBack(QWidget* panel) { main_->Panels->SendToBack(PageOf(main_, panel)); }

QWidget* TTorvaneService::FrontPanel() const {
    QWidget* front = main_->Panels->Front();
    return front == main_->MainPage ? main_ : front;
}

void TTorvaneService::ShowFromOtherInstance() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void TTorvaneService::OpenFromOutside(const std::string& path) {
    if (state_.Closing) return;
    if (!menu_.Open1->isEnabled() || events_->Busy()) {
        dialogs_.Tell(NotOpenedNow(path), {}, DialogIcon::Warning);
        return;
    }
    // Its programs decide: more than one are split, one is prepared.
    parse_->OpenFromOutside(path, [this](const std::string& one) { prepare_->OpenForPreparing(one); });
}

std::string TTorvaneService::NotOpenedNow(const std::string& path) const {
    return Filled(tr("%1: not opened; the work under way must end first"), {QString::fromStdString(path)}).toStdString();
}

void TTorvaneService::dragEnterEvent(QDragEnterEvent* event) {
    if (menu_.Open1->isEnabled() && DroppedFile(event->mimeData())) event->acceptProposedAction();
}

void TTorvaneService::dropEvent(QDropEvent* event) {
    const std::optional<std::string> path = DroppedFile(event->mimeData());
    if (!path) return;
    event->acceptProposedAction();
    OpenFromOutside(*path);
}

void TTorvaneService::Timer1Timer() { poll_->Timer1Timer(); }

void TTorvaneService::closeEvent(QCloseEvent* event) {
    if (closing_ && !closed_) {
        // Closed again while waiting for the workers: the first close goes on.
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TTorvaneService::FormClose() {
    if (closing_) return;
    closing_ = true;
    state_.Closing = true;
    // Stop every worker and wait for it; the hub's thread runs the pending
    // handlers (a completion among them) here meanwhile.
    events_->StopAll();
    centralWidget()->setEnabled(false);
    while (events_->Busy()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    // Only now that no worker uses it, the stream description goes.
    state_.Stream = StreamState{};
    events_->Shutdown();
    timer1_->stop();
    watch_->Timer->stop();
    busy_->Stop();
    closed_ = true;
}

}  // namespace tscard::app
