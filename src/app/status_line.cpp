#include "app/status_line.h"

#include <QLayout>
#include <QStyle>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>

#include "app/dialogs.h"
#include "app/images.h"
#include "app/panel_parts.h"

namespace tscard::app {

StatusLine::StatusLine(Dialogs& dialogs, QWidget* parent) : QFrame(parent), dialogs_(dialogs) {
    setObjectName("StatusLine");
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    StatusText = NewNoteLabel("StatusText", this);
    StatusText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* open = new QPushButton(this);
    open->setObjectName("OpenFolder");
    open->setAutoDefault(false);
    OpenFolder = open;
    CloseStatus = NewGlyphButton("CloseStatus", Glyph::Close, this, 14);
    // The panels' close glyph is drawn for their dark title bars; here it
    // lies on the window's own background.
    CloseStatus->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 2, 2, 2);
    row->addWidget(StatusText, 1);
    row->addWidget(OpenFolder, 0, Qt::AlignVCenter);
    row->addWidget(CloseStatus, 0, Qt::AlignTop);

    connect(OpenFolder, &QAbstractButton::clicked, this, [this] {
        if (!folder_.empty()) dialogs_.ShowFolder(folder_);
    });
    connect(CloseStatus, &QToolButton::clicked, this, &StatusLine::Clear);
    // Never more room than its lines need.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    Retell();
    hide();
}

void StatusLine::Tell(std::function<QString()> says, std::string folder) {
    says_ = std::move(says);
    folder_ = std::move(folder);
    Retell();
    show();
    FitText();
}

void StatusLine::Clear() {
    says_ = nullptr;
    folder_.clear();
    StatusText->clear();
    hide();
}

void StatusLine::Retell() {
    OpenFolder->setText(tr("Open folder"));
    OpenFolder->setAccessibleName(tr("Open folder"));
    CloseStatus->setToolTip(tr("Close this note"));
    CloseStatus->setAccessibleName(tr("Close this note"));
    StatusText->setText(says_ ? says_() : QString());
    StatusText->setAccessibleName(StatusText->text());
    FitText();
    OpenFolder->setVisible(!folder_.empty());
}

QString StatusLine::Text() const { return StatusText->text(); }

void StatusLine::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    FitText();
}

void StatusLine::FitText() {
    // As many lines as the sentence takes at the width the line has beside
    // its buttons: a long path wraps rather than being cut off. Looked at
    // only once the line has the panel's width, not while it is laid out.
    if (!isVisible() || width() < 200) return;
    const QMargins margins = layout()->contentsMargins();
    int room = width() - margins.left() - margins.right() - CloseStatus->sizeHint().width() - layout()->spacing();
    if (OpenFolder->isVisibleTo(this)) room -= OpenFolder->sizeHint().width() + layout()->spacing();
    const int needed = StatusText->heightForWidth(std::max(room, 50));
    if (needed > 0 && needed != StatusText->minimumHeight()) StatusText->setMinimumHeight(needed);
}

}  // namespace tscard::app
