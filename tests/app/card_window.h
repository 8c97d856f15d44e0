#pragma once
// A window with card images for the card manager's tests: images made
// here, attached through the menu as the operator does, the poll run at
// once instead of a second later.

#include <QAction>
#include <QComboBox>
#include <QRadioButton>
#include <QToolButton>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/card_panel.h"
#include "app/card_poll.h"
#include "app/main_panel.h"
#include "app/value_box.h"
#include "card/card_layout.h"
#include "support/test_support.h"
#include "stream_test.h"

namespace tscard::app::test {

class CardWindowTest : public StreamWindowTest {
protected:
    // A card image of `bytes` bytes: `fill` throughout (0: a sparse file),
    // then `head` at its start.
    std::string MakeImage(const std::string& name, std::uint64_t bytes, std::uint8_t fill = 0,
                          const std::vector<std::uint8_t>& head = {}) {
        const std::filesystem::path path = dir_ / name;
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            if (fill != 0) {
                const std::vector<char> chunk(1 << 20, static_cast<char>(fill));
                for (std::uint64_t left = bytes; left > 0;) {
                    const std::uint64_t part = std::min<std::uint64_t>(left, chunk.size());
                    out.write(chunk.data(), static_cast<std::streamsize>(part));
                    left -= part;
                }
            }
        }
        std::filesystem::resize_file(path, bytes);
        if (!head.empty()) {
            std::fstream io(path, std::ios::binary | std::ios::in | std::ios::out);
            io.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
        }
        return path.string();
    }

    // A formatted, empty card image.
    std::string MakeFormattedImage(const std::string& name, std::uint64_t bytes) {
        std::vector<std::uint8_t> region(kHeaderRegionBytes);
        BuildEmptyHeaderRegion(false, 0, region.data());
        return MakeImage(name, bytes, 0, region);
    }

    // "Attach card image…" answered with the path.
    void Attach(const std::string& path) {
        dialogs_.AnswerFile(ScriptedDialogs::Kind::OpenFile, {path});
        Window().Menu().Attachcardimage1->trigger();
    }

    // The poll's tick, now.
    void Poll() { Window().Poll().Timer1Timer(); }

    CardPanel* Panel() { return Window().Card(); }
    QComboBox* Selector() { return Window().Main()->ComboBoxEx1; }
    QString Shown(ValueBox* box) { return box->text(); }
    QStringList Items() {
        QStringList items;
        for (int i = 0; i < Selector()->count(); ++i) items << Selector()->itemText(i);
        return items;
    }
    // What the selected item stands for (its path).
    std::string SelectedCard() { return Selector()->currentData().toString().toStdString(); }

    // The texts of the content tree, the card node first.
    QStringList TreeTexts() {
        QStringList texts;
        for (QTreeWidgetItemIterator it(Panel()->TreeView1); *it != nullptr; ++it) texts << (*it)->text(0);
        return texts;
    }

    // The last question asked, or an empty text.
    std::string LastQuestion() {
        for (auto it = dialogs_.Questions().rbegin(); it != dialogs_.Questions().rend(); ++it)
            if (it->What == ScriptedDialogs::Kind::Message) return it->Message.Text;
        return {};
    }
};

}  // namespace tscard::app::test
