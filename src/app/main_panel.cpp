#include "app/main_panel.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/images.h"
#include "app/panel_parts.h"
#include "app/panel_stack.h"
#include "app/splice_panel.h"
#include "app/start_screen.h"
#include "app/status_line.h"
#include "app/torvane_service.h"
#include "lang/captions.h"

namespace tscard::app {
namespace {

// The page behind all panels: the start screen, or the splice panel while
// a splice is set up.
class BackPage final : public QWidget {
public:
    explicit BackPage(QWidget* parent) : QWidget(parent) { setObjectName("MainPage"); }

    void Hold(QWidget* start, QWidget* splice) {
        start_ = start;
        splice->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (start_ != nullptr && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
            start_->setVisible(event->type() == QEvent::HideToParent);
        return QWidget::eventFilter(watched, event);
    }

private:
    QWidget* start_ = nullptr;
};

}  // namespace

CardSelector::CardSelector(QWidget* parent) : QComboBox(parent) {
    setObjectName("ComboBoxEx1");
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    lineEdit()->setReadOnly(true);
    lineEdit()->installEventFilter(this);
    // A text longer than the field shows its start (the card's number and
    // size), never its path's end: setting a text, even the one shown,
    // puts the cursor at its end, and the cursor decides what is in view.
    // The tip shows it whole.
    QLineEdit* edit = lineEdit();
    connect(edit, &QLineEdit::cursorPositionChanged, edit, [edit] {
        if (edit->cursorPosition() != 0) edit->setCursorPosition(0);
    });
    connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) { edit->setToolTip(text); });
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize CardSelector::minimumSizeHint() const {
    int text = 0;
    for (lang::Language language : {lang::Language::English, lang::Language::Russian}) {
        const lang::WindowCaptions& captions = lang::MainCaptions(language);
        for (std::string_view shown : {captions.CardPrompt, captions.NoCardText})
            text = std::max(text, fontMetrics().horizontalAdvance(
                                      QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()))));
    }
    // The frame, the text's margins and the arrow, as the style draws them.
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QSize frame = style()->sizeFromContents(QStyle::CT_ComboBox, &option, QSize(text, fontMetrics().height()), this);
    return {frame.width(), QComboBox::minimumSizeHint().height()};
}

QSize CardSelector::sizeHint() const { return minimumSizeHint(); }

bool CardSelector::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lineEdit() && event->type() == QEvent::MouseButtonPress && isEnabled()) {
        showPopup();
        return true;
    }
    return QComboBox::eventFilter(watched, event);
}

MainPanel::MainPanel(TTorvaneService& window, QWidget* parent) : QWidget(parent) {
    setObjectName("MainPanel");

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ComboBoxEx1 = new CardSelector(this);
    SpeedButton2 = NewGlyphButton("SpeedButton2", Glyph::Browse, this, 16);
    SpeedButton2->setIcon(ListIcon(kRefreshImage));

    Panels = new PanelStack(this);
    auto* back = new BackPage(Panels);
    MainPage = back;
    Panel1 = new SplicePanel(window, MainPage);
    Panel1->hide();
    Start = new StartScreen(window, MainPage);
    Start->AttachMenu(window.Menu().OpenMenu);
    back->Hold(Start, Panel1);
    // One place for both: while one is shown and the other not yet hidden,
    // the page needs the room of the larger, not of both.
    auto* page = new QGridLayout(MainPage);
    page->setContentsMargins(4, 4, 4, 4);
    page->addWidget(Panel1, 0, 0);
    page->addWidget(Start, 0, 0);
    Panels->Add(MainPage);
    Status = new StatusLine(window.Dialog(), this);
    connect(&window, &TTorvaneService::LanguageChanged, this, [this] {
        Start->Retell();
        Status->Retell();
    });

    auto* top = new QHBoxLayout;
    top->setContentsMargins(2, 2, 2, 2);
    top->setSpacing(2);
    top->addWidget(ToolBar1);
    top->addWidget(ComboBoxEx1, 1);
    top->addWidget(SpeedButton2);

    auto* rule = new QFrame(this);
    rule->setFrameStyle(QFrame::HLine | QFrame::Sunken);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(top);
    layout->addWidget(rule);
    layout->addWidget(Panels, 1);
    layout->addWidget(Status);
}

}  // namespace tscard::app
