#include "app/start_screen.h"

#include <QAction>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/images.h"
#include "app/panel_parts.h"
#include "app/recent_streams.h"
#include "app/shown_path.h"
#include "app/torvane_service.h"

namespace tscard::app {
namespace {

constexpr int kPictureSide = 128;

// The program's card, faintly.
class Picture final : public QWidget {
public:
    explicit Picture(QWidget* parent) : QWidget(parent) {
        setObjectName("StartPicture");
        setFixedSize(kPictureSide, kPictureSide);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setOpacity(0.12);
        PaintGlyph(painter, QRectF(0, 0, width(), height()), Glyph::AppIcon);
    }
};

}  // namespace

StartScreen::StartScreen(TTorvaneService& window, QWidget* parent) : QWidget(parent), window_(window) {
    setObjectName("StartScreen");
    auto* picture = new Picture(this);
    StartHint = NewNoteLabel("StartHint", this);
    StartHint->setAlignment(Qt::AlignCenter);
    RecentTitle = new QLabel(this);
    RecentTitle->setObjectName("RecentTitle");
    RecentTitle->setTextFormat(Qt::PlainText);
    RecentTitle->setAlignment(Qt::AlignCenter);

    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(picture, 0, Qt::AlignHCenter);
    layout->addSpacing(8);
    layout->addWidget(StartHint);
    layout->addSpacing(12);
    layout->addWidget(RecentTitle);
    for (int i = 0; i < kRecentStreams; ++i) {
        auto* button = new QPushButton(this);
        button->setObjectName(QString("RecentStream%1").arg(i + 1));
        button->setFlat(true);
        button->setAutoDefault(false);
        button->setCursor(Qt::PointingHandCursor);
        button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        connect(button, &QAbstractButton::clicked, this, [this, i] {
            if (std::size_t(i) < shown_.size()) window_.OpenFromOutside(shown_[std::size_t(i)]);
        });
        layout->addWidget(button);
        RecentButtons.push_back(button);
    }
    layout->addStretch(2);
}

void StartScreen::AttachMenu(QMenu* open_menu) {
    RecentMenu = new QMenu(open_menu);
    RecentMenu->setObjectName("RecentMenu");
    RecentMenu->menuAction()->setObjectName("Recentstreams1");
    // Under the commands that open a stream, before the card image's item.
    QAction* before = open_menu->actions().value(3);
    open_menu->insertMenu(before, RecentMenu);
    connect(RecentMenu, &QMenu::aboutToShow, this, &StartScreen::FillMenu);
    Retell();
    ShowRecent();
}

void StartScreen::Retell() {
    StartHint->setText(tr("Open a stream to prepare, split or splice it; choose a card to manage it"));
    RecentTitle->setText(tr("Streams opened last:"));
    if (RecentMenu != nullptr) RecentMenu->setTitle(tr("Recent streams"));
    ShowRecent();
}

void StartScreen::ShowRecent() {
    shown_ = RecentStreams();
    RecentTitle->setVisible(!shown_.empty());
    if (RecentMenu != nullptr) RecentMenu->menuAction()->setEnabled(!shown_.empty());
    for (std::size_t i = 0; i < RecentButtons.size(); ++i) {
        QAbstractButton* button = RecentButtons[i];
        if (i >= shown_.size()) {
            button->hide();
            continue;
        }
        const QString path = ShownPath(shown_[i]);
        // A long path keeps its start and its file name in view.
        button->setText(button->fontMetrics().elidedText(path, Qt::ElideMiddle, 560));
        button->setToolTip(path);
        button->setAccessibleName(path);
        button->show();
    }
}

void StartScreen::FillMenu() {
    RecentMenu->clear();
    ShowRecent();
    for (const std::string& stream : shown_) {
        const QString path = ShownPath(stream);
        QAction* item = RecentMenu->addAction(path);
        connect(item, &QAction::triggered, this, [this, stream] { window_.OpenFromOutside(stream); });
    }
}

}  // namespace tscard::app
