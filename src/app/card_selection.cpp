// The card panel's selection side: the selection handler, the card
// manager's menu item, closing the panel and picking a stream to read.

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>

#include "app/card_panel.h"
#include "app/card_poll.h"
#include "app/main_panel.h"
#include "app/removal_watch.h"
#include "app/shown_number.h"
#include "app/torvane_service.h"
#include "app/value_box.h"
#include "app/write_panel.h"
#include "card/card_panel.h"
#include "platform/codepage.h"

namespace tscard::app {
namespace {

// A node of the content tree that stands for a card (no parent) and holds
// streams.
bool HoldsStreams(const QTreeWidget* tree) {
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        if (tree->topLevelItem(i)->childCount() > 0) return true;
    return false;
}

}  // namespace

void CardPanel::ComboBoxEx1Click(int index) {
    AppState& state = window_.State();
    CardState& cards = state.Cards;
    // After a write the poll shows its message first and selects again.
    if (state.WriteFinished) return;
    // The card in use stays the same while a job works on it.
    if (window_.Poll().CardJobRunning()) return;
    const std::string identity = window_.Main()->ComboBoxEx1->itemData(index).toString().toStdString();
    const CardRecord* record = ListedCard(cards, identity);
    if (record == nullptr) return;

    window_.BringToFront(this);
    TreeView1->clear();
    const CardPanelView view = DescribeCard(*record);
    StaticText4->setText(QString::fromStdString(view.FileSystemText));
    RadioButton1->setChecked(true);
    SpeedButton13->setEnabled(true);
    cards.InUse = record->DevicePath;
    window_.Watch().Watch(cards.InUse);
    // The removal watch disabled the card manager item; a card selected
    // while no run goes gives it back.
    if (window_.Menu().Open1->isEnabled()) window_.Menu().SDcardmanadger1->setEnabled(true);
    // Every card shows its own size, formatted or not.
    StaticText2->setText(ShownNumber(view.CapacityText));

    if (view.Formatted) {
        cards.CardReady = true;
        RadioButton5->setChecked(true);
        cards.CardFreeMB = view.FreeMB;
        StaticText3->setText(ShownNumber(view.FreeText));
        const QString card_text = QString::fromStdString(record->ItemText);
        auto* card = new QTreeWidgetItem(TreeView1, {card_text});
        // A long path is cut in its middle (the tree's elide mode): whole here.
        card->setToolTip(0, card_text);
        for (std::size_t i = 0; i < view.StreamNames.size(); ++i) {
            auto* stream =
                new QTreeWidgetItem(card, {QString::fromStdString(DecodeCodePage(view.StreamNames[i], SystemCodePage()))});
            stream->setData(0, Qt::UserRole, static_cast<int>(i));
        }
        // A directory no write leaves: its names and free space are not to
        // be trusted, and the panel says so beside them.
        if (!view.Damage.empty()) {
            auto* damage = new QTreeWidgetItem(TreeView1, {QString::fromStdString(view.Damage)});
            damage->setIcon(0, style()->standardIcon(QStyle::SP_MessageBoxWarning));
            damage->setToolTip(0, damage->text(0));
            damage->setFlags(Qt::ItemIsEnabled);
        }
        TreeView1->expandAll();
        SpeedButton23->setEnabled(true);
        SpeedButton22->setEnabled(false);
        SpeedButton19->setEnabled(HoldsStreams(TreeView1));
    } else {
        cards.CardReady = false;
        StaticText3->setText(tr("Mast be formated"));
        // Formatting is the only card command left.
        for (QAbstractButton* command : {SpeedButton19, SpeedButton22, SpeedButton23}) command->setEnabled(false);
    }
}

void CardPanel::SDcardmanadger1Click() {
    const AppState& state = window_.State();
    if (state.StreamPanelOpen == 0 && state.WritePanelOpen != 0) window_.BringToFront(window_.Main());
    window_.BringToFront(this);
    SpeedButton22->setEnabled(false);
    if (TreeView1->topLevelItemCount() == 0) {
        SpeedButton19->setEnabled(false);
        SpeedButton23->setEnabled(false);
        return;
    }
    SpeedButton23->setEnabled(true);
    SpeedButton19->setEnabled(HoldsStreams(TreeView1));
}

void CardPanel::SpeedButton21Click() {
    window_.SendToBack(this);
    const AppState& state = window_.State();
    if (state.WritePanelOpen != 0 && state.WriteFinished != 0) window_.Write()->SpeedButton10Click();
}

void CardPanel::TreeView1Click() {
    CardState& cards = window_.State().Cards;
    for (QTreeWidgetItemIterator it(TreeView1); *it != nullptr; ++it) {
        const QTreeWidgetItem* node = *it;
        if (node->parent() != nullptr && node->isSelected()) {
            cards.ReadEntryIndex = static_cast<std::uint8_t>(node->data(0, Qt::UserRole).toInt());
            cards.ReadEntryName = node->text(0).toStdString();
            SpeedButton22->setEnabled(true);
            return;
        }
        SpeedButton22->setEnabled(false);
    }
}

void CardPanel::ShowNoCard() {
    TreeView1->clear();
    for (ValueBox* figure : {StaticText2, StaticText3, StaticText4}) figure->setText("...");
    SpeedButton13->setEnabled(false);
}

void CardPanel::SetJobControlsEnabled(bool enabled) {
    for (QWidget* control : std::initializer_list<QWidget*>{RadioButton1, RadioButton2, SpeedButton13, SpeedButton14,
                                                            SpeedButton19, SpeedButton21, SpeedButton22, SpeedButton23})
        control->setEnabled(enabled);
}

}  // namespace tscard::app
