#pragma once
// MainMenu1: the flag that switches the language, "Open file stream for"
// with its four commands, and "SD card manadger". ToolBar1 shows the three
// top-level items as buttons.

class QAction;
class QMenu;
class QToolBar;
class QWidget;

namespace tscard::app {

struct MainMenu {
    QMenu* MainMenu1 = nullptr;
    QAction* Language1 = nullptr;
    QAction* Open1 = nullptr;
    QMenu* OpenMenu = nullptr;  // the items under Open1
    QAction* SimpleprogramMPEG2TS1 = nullptr;
    QAction* MultyprogramstreamMPEG2TS1 = nullptr;
    QAction* Tosticktogether1 = nullptr;
    // Lists a card image file (or a block device named explicitly) as a card.
    QAction* Attachcardimage1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* SDcardmanadger1 = nullptr;
};

// The items carry their design captions; their commands are connected by
// whoever owns them.
MainMenu BuildMainMenu(QWidget* window);
// Shows the top-level items as buttons of the tool bar (named ToolButton1
// to ToolButton3).
void AttachMenu(const MainMenu& menu, QToolBar* toolbar);

}  // namespace tscard::app
