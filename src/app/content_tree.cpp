#include "app/content_tree.h"

#include <QFile>
#include <QPalette>
#include <QStyledItemDelegate>
#include <QTreeWidget>

namespace tscard::app {
namespace {

constexpr int kProgramIndexRole = Qt::UserRole;

const QColor kRootColour(0x00, 0x00, 0x00);
const QColor kProgramColour(0x00, 0x80, 0x80);  // teal
const QColor kLeafColour(0x00, 0x00, 0xFF);     // blue
const QColor kMarkedProgramColour(0x00, 0x80, 0x00);
const QColor kEnabledBackground(0xFF, 0xFF, 0xFF);
const QColor kDisabledBackground(0xF5, 0xF5, 0xF5);

class ContentDelegate final : public QStyledItemDelegate {
public:
    ContentDelegate(ContentLook look, QObject* parent) : QStyledItemDelegate(parent), look_(look) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const bool root = !index.parent().isValid();
        const bool program = !root && index.model()->hasChildren(index);
        QColor colour = root ? kRootColour : program ? kProgramColour : kLeafColour;
        bool bold = root;
        if (look_ == ContentLook::MarkedSelection && (option->state & QStyle::State_Selected)) {
            // The node's own colours say it is selected, not the highlight.
            option->state &= ~QStyle::State_Selected;
            if (program) {
                bold = true;
                colour = kMarkedProgramColour;
            }
        }
        option->font.setBold(bold);
        option->palette.setColor(QPalette::Text, colour);
        option->backgroundBrush = (option->state & QStyle::State_Enabled) ? kEnabledBackground : kDisabledBackground;
    }

private:
    ContentLook look_;
};

QTreeWidgetItem* NewNode(const ContentNode& node) {
    auto* item = new QTreeWidgetItem(QStringList{ContentText(node.Text)});
    if (node.Data) item->setData(0, kProgramIndexRole, int(*node.Data));
    for (const ContentNode& child : node.Children) item->addChild(NewNode(child));
    return item;
}

}  // namespace

QString ContentText(const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); }

void SetUpContentTree(QTreeWidget* tree, ContentLook look) {
    tree->setItemDelegate(new ContentDelegate(look, tree));
    QPalette palette = tree->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::Base, kEnabledBackground);
    palette.setColor(QPalette::Disabled, QPalette::Base, kDisabledBackground);
    if (look == ContentLook::MarkedSelection) {
        // No highlight beside a selected line either (the branch column).
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::Highlight, kEnabledBackground);
            palette.setColor(group, QPalette::HighlightedText, kRootColour);
        }
    }
    tree->setPalette(palette);
}

void ShowContent(QTreeWidget* tree, const ContentNode& root) {
    tree->clear();
    tree->addTopLevelItem(NewNode(root));
    tree->expandAll();
    tree->scrollToTop();
}

bool IsProgramNode(const QTreeWidgetItem* item) {
    return item != nullptr && item->parent() != nullptr && item->childCount() > 0;
}

std::optional<std::size_t> ProgramIndexOf(const QTreeWidgetItem* item) {
    if (!IsProgramNode(item)) return std::nullopt;
    const QVariant data = item->data(0, kProgramIndexRole);
    if (!data.isValid()) return std::nullopt;
    return static_cast<std::size_t>(data.toInt());
}

void ClearProgramData(QTreeWidget* tree) {
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* root = tree->topLevelItem(i);
        for (int j = 0; j < root->childCount(); ++j) root->child(j)->setData(0, kProgramIndexRole, QVariant());
    }
}

}  // namespace tscard::app
