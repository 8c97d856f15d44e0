#pragma once
// MainPanel fills the window: the top row (ToolBar1 with the menu's items,
// the card selector ComboBoxEx1 and its refresh button SpeedButton2) above
// the panel stack. The stack's own page, MainPage, is what shows when
// MainPanel is brought to the front; it holds the splice panel (Panel1),
// hidden until a splice is set up.

#include <QComboBox>
#include <QWidget>

class QToolBar;
class QToolButton;

namespace tscard::app {

class PanelStack;
class SplicePanel;
class StartScreen;
class StatusLine;
class TTorvaneService;

// ComboBoxEx1: the cards found, one item each, and a text of its own (the
// prompt, or the no-card text) that the operator cannot edit. A click
// anywhere opens the list.
class CardSelector final : public QComboBox {
    Q_OBJECT

public:
    explicit CardSelector(QWidget* parent);

    // Room for the prompt and the no-card text of either language.
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class MainPanel final : public QWidget {
    Q_OBJECT

public:
    MainPanel(TTorvaneService& window, QWidget* parent);

    QToolBar* ToolBar1;
    CardSelector* ComboBoxEx1;
    QToolButton* SpeedButton2;  // look for cards again
    PanelStack* Panels;
    QWidget* MainPage;
    SplicePanel* Panel1;
    // What to do first and the streams opened last (behind the splice panel).
    StartScreen* Start;
    // The word after a run that ended by itself, below the panels.
    StatusLine* Status;
};

}  // namespace tscard::app
