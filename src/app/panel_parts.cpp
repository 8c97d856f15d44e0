#include "app/panel_parts.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QValidator>

#include "app/value_box.h"
#include "lang/captions.h"

namespace tscard::app {
namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Buttons, group boxes and actions take '&' as a mnemonic mark and show a
// doubled one as one; labels (without a buddy) show every '&'.
QString Unmarked(QString text) { return text.replace("&&", "&"); }

class LowerCase final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toLower();
        return Acceptable;
    }
};

}  // namespace

void SetCaption(QObject* control, std::string_view text) {
    const QString caption = Text(text);
    if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(Unmarked(caption));
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(caption);
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        group->setTitle(caption);
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setEditText(caption);
    else if (auto* action = qobject_cast<QAction*>(control)) {
        action->setText(caption);
        // Tool bar buttons show the icon text, which would drop a trailing "...".
        action->setIconText(caption);
    }
}

QString ShownCaption(const QObject* control) {
    if (auto* label = qobject_cast<const QLabel*>(control)) return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(control)) return Unmarked(button->text());
    if (auto* group = qobject_cast<const QGroupBox*>(control)) return Unmarked(group->title());
    if (auto* combo = qobject_cast<const QComboBox*>(control)) return combo->currentText();
    if (auto* action = qobject_cast<const QAction*>(control)) return Unmarked(action->text());
    return {};
}

QLabel* NewLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    SetCaption(label, lang::DesignCaption(name));
    return label;
}

QLabel* NewNoteLabel(const char* name, QWidget* parent) {
    class NoteLabel final : public QLabel {
    public:
        using QLabel::QLabel;
        bool hasHeightForWidth() const override { return false; }
    };
    auto* label = new NoteLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

QRadioButton* NewRadioButton(const char* name, QWidget* parent) {
    auto* radio = new QRadioButton(parent);
    radio->setObjectName(name);
    SetCaption(radio, lang::DesignCaption(name));
    return radio;
}

QGroupBox* NewGroupBox(const char* name, QWidget* parent) {
    auto* group = new QGroupBox(parent);
    group->setObjectName(name);
    SetCaption(group, lang::DesignCaption(name));
    return group;
}

QAbstractButton* NewTextButton(const char* name, QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    SetCaption(button, lang::DesignCaption(name));
    return button;
}

ValueBox* NewValueBox(const char* name, QWidget* parent) { return new ValueBox(name, parent); }

QToolButton* NewGlyphButton(const char* name, Glyph glyph, QWidget* parent, int size) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setIcon(GlyphIcon(glyph));
    button->setIconSize(QSize(size, size));
    return button;
}

QTreeWidget* NewTree(const char* name, bool multi_select, QWidget* parent) {
    auto* tree = new QTreeWidget(parent);
    tree->setObjectName(name);
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setSelectionMode(multi_select ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    tree->header()->setStretchLastSection(true);
    tree->setMinimumWidth(160);
    return tree;
}

QWidget* NewTitleBar(QLabel* title, QToolButton* close, QWidget* parent) {
    auto* bar = new QWidget(parent);
    bar->setAutoFillBackground(true);
    QPalette palette = bar->palette();
    QLinearGradient shade(0, 0, 1, 0);
    shade.setCoordinateMode(QGradient::ObjectMode);
    shade.setColorAt(0, QColor(0x1f, 0x3a, 0x66));
    shade.setColorAt(1, QColor(0x4a, 0x73, 0xae));
    palette.setBrush(QPalette::Window, shade);
    palette.setColor(QPalette::WindowText, Qt::white);
    bar->setPalette(palette);

    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setParent(bar);
    title->setMinimumHeight(title->fontMetrics().height() + 10);

    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 0, 2, 0);
    row->addWidget(title, 1);
    if (close != nullptr) {
        close->setParent(bar);
        close->setIconSize(QSize(14, 14));
        row->addWidget(close);
    }
    return bar;
}

void LayOutPanel(QWidget* panel, QWidget* title_bar, QBoxLayout* body) {
    body->setContentsMargins(8, 8, 8, 8);
    body->setSpacing(6);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(title_bar);
    layout->addLayout(body, 1);
}


QLineEdit* NewLowerCaseEdit(const char* name, const QString& text, QWidget* parent) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setValidator(new LowerCase(edit));
    return edit;
}

QComboBox* NewLowerCaseCombo(const char* name, const QString& text, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setValidator(new LowerCase(combo));
    combo->setEditText(text);
    return combo;
}

QWidget* NewRunRow(QWidget* bar, QWidget* pie, QLabel* caption, QWidget* start, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* gauge : {bar, pie}) {
        QSizePolicy policy = gauge->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        gauge->setSizePolicy(policy);
        gauge->hide();
    }
    layout->addWidget(bar, 1);
    layout->addWidget(pie);
    layout->addSpacing(12);
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(caption);
    layout->addWidget(start);
    return row;
}

}  // namespace tscard::app
