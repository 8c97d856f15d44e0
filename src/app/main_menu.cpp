#include "app/main_menu.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

#include "app/images.h"
#include "app/panel_parts.h"
#include "lang/captions.h"

namespace tscard::app {
namespace {

// Buttons are at least this wide, as the menu's tool bar was designed.
constexpr int kToolButtonWidth = 118;

QAction* NewItem(const char* name, std::string_view caption, QWidget* window) {
    auto* action = new QAction(window);
    action->setObjectName(name);
    SetCaption(action, caption);
    return action;
}

}  // namespace

MainMenu BuildMainMenu(QWidget* window) {
    const lang::WindowCaptions& design = lang::MainCaptions(lang::Language::English);
    MainMenu menu;
    menu.MainMenu1 = new QMenu(window);
    menu.MainMenu1->setObjectName("MainMenu1");

    menu.Language1 = NewItem("Language1", "", window);
    menu.Language1->setIcon(ListIcon(kBritishFlagImage));

    menu.OpenMenu = new QMenu(window);
    menu.OpenMenu->setObjectName("OpenMenu");
    menu.Open1 = menu.OpenMenu->menuAction();
    menu.Open1->setObjectName("Open1");
    SetCaption(menu.Open1, design.Open1);
    menu.SimpleprogramMPEG2TS1 = NewItem("SimpleprogramMPEG2TS1", design.SimpleprogramMPEG2TS1, window);
    menu.MultyprogramstreamMPEG2TS1 =
        NewItem("MultyprogramstreamMPEG2TS1", design.MultyprogramstreamMPEG2TS1, window);
    menu.Tosticktogether1 = NewItem("Tosticktogether1", design.Tosticktogether1, window);
    menu.Attachcardimage1 = NewItem("Attachcardimage1", design.Attachcardimage1, window);
    menu.Attachcardimage1->setIcon(ListIcon(kCardImage));
    menu.Exit1 = NewItem("Exit1", design.Exit1, window);
    menu.Exit1->setShortcut(QKeySequence::Quit);
    // The shortcut works while the Open menu is disabled by a run.
    window->addAction(menu.Exit1);
    menu.OpenMenu->addAction(menu.SimpleprogramMPEG2TS1);
    menu.OpenMenu->addAction(menu.MultyprogramstreamMPEG2TS1);
    menu.OpenMenu->addAction(menu.Tosticktogether1);
    // The tool bar has no room for another button in Russian: the card
    // image is opened from here, next to the card manager's button.
    menu.OpenMenu->addSeparator();
    menu.OpenMenu->addAction(menu.Attachcardimage1);
    menu.OpenMenu->addSeparator();
    menu.OpenMenu->addAction(menu.Exit1);

    menu.SDcardmanadger1 = NewItem("SDcardmanadger1", design.SDcardmanadger1, window);
    menu.SDcardmanadger1->setIcon(ListIcon(kCardImage));

    menu.MainMenu1->addAction(menu.Language1);
    menu.MainMenu1->addAction(menu.Open1);
    menu.MainMenu1->addAction(menu.SDcardmanadger1);
    return menu;
}

void AttachMenu(const MainMenu& menu, QToolBar* toolbar) {
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // Every button keeps its whole caption: the tool bar never hides one.
    toolbar->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    int number = 1;
    for (QAction* item : menu.MainMenu1->actions()) {
        toolbar->addAction(item);
        auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(item));
        if (button == nullptr) continue;
        button->setObjectName(QString("ToolButton%1").arg(number++));
        if (item->menu() != nullptr) {
            button->setPopupMode(QToolButton::InstantPopup);
            // Room for the menu's arrow beside the caption, not over it.
            button->setStyleSheet("QToolButton { padding-right: 11px; }"
                                  "QToolButton::menu-indicator { subcontrol-origin: padding;"
                                  " subcontrol-position: right center; }");
        }
        // The language button shows only its flag.
        if (item == menu.Language1)
            button->setFixedWidth(toolbar->iconSize().width() + 12);
        else
            button->setMinimumWidth(kToolButtonWidth);
    }
}

}  // namespace tscard::app
