#pragma once
// StatusLine: the word the main panel keeps after a run that ended by
// itself (prepare, split, splice, card read): what was made, where, its
// size and length where it has them, and a button that opens the folder
// that holds it. It stays, without asking anything, until the next run
// ends or the operator closes it; it says it again in the language the
// flag switches to.

#include <QFrame>

#include <functional>
#include <string>

class QAbstractButton;
class QLabel;
class QToolButton;

namespace tscard::app {

class Dialogs;

class StatusLine final : public QFrame {
    Q_OBJECT

public:
    StatusLine(Dialogs& dialogs, QWidget* parent);

    // says: the sentence in the language shown; folder: what "Open folder"
    // opens.
    void Tell(std::function<QString()> says, std::string folder);
    void Clear();
    // The language changed: the sentence and the button again.
    void Retell();
    QString Text() const;

    QLabel* StatusText;
    QAbstractButton* OpenFolder;
    QToolButton* CloseStatus;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void FitText();

    Dialogs& dialogs_;
    std::function<QString()> says_;
    std::string folder_;
};

}  // namespace tscard::app
