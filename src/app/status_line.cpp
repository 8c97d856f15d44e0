#include "app/status_line.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

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

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 2, 2, 2);
    row->addWidget(StatusText, 1);
    row->addWidget(OpenFolder, 0, Qt::AlignVCenter);
    row->addWidget(CloseStatus, 0, Qt::AlignTop);

    connect(OpenFolder, &QAbstractButton::clicked, this, [this] {
        if (!folder_.empty()) dialogs_.ShowFolder(folder_);
    });
    connect(CloseStatus, &QToolButton::clicked, this, &StatusLine::Clear);
    Retell();
    hide();
}

void StatusLine::Tell(std::function<QString()> says, std::string folder) {
    says_ = std::move(says);
    folder_ = std::move(folder);
    Retell();
    show();
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
    OpenFolder->setVisible(!folder_.empty());
}

QString StatusLine::Text() const { return StatusText->text(); }

}  // namespace tscard::app
