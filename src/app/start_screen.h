#pragma once
// What the main panel shows while no other panel is in front: the
// program's picture, what to do first, and the streams opened last, each a
// button that opens it again as a file given to the window does (split when
// it holds several programs, prepared when it holds one). The same streams
// are listed under "Open file stream for".

#include <QWidget>

#include <string>
#include <vector>

class QAbstractButton;
class QLabel;
class QMenu;

namespace tscard::app {

class TTorvaneService;

class StartScreen final : public QWidget {
    Q_OBJECT

public:
    StartScreen(TTorvaneService& window, QWidget* parent);

    // The recent list to menu: made once the menu exists.
    void AttachMenu(QMenu* open_menu);
    // The texts in the language shown.
    void Retell();
    // The list as it is now.
    void ShowRecent();

    QLabel* StartHint;
    QLabel* RecentTitle;
    std::vector<QAbstractButton*> RecentButtons;  // RecentStream1 to RecentStream5
    QMenu* RecentMenu = nullptr;

private:
    void FillMenu();

    TTorvaneService& window_;
    std::vector<std::string> shown_;
};

}  // namespace tscard::app
