#include "app/accessible_names.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QCoreApplication>
#include <QMenu>
#include <QToolBar>
#include <QWidget>

#include "app/main_panel.h"
#include "app/panel_parts.h"
#include "app/torvane_service.h"

namespace tscard::app {
namespace {

constexpr const char* kContext = "tscard::app::AccessibleNames";

// Controls named after the label beside them.
struct Labelled {
    const char* Label;
    const char* Control;
};
constexpr Labelled kLabelled[] = {
    // Prepare panel.
    {"Label6", "StaticText8"}, {"Label24", "TreeView3"}, {"Label20", "Edit1"}, {"Label22", "Edit7"},
    {"Label14", "Edit5"}, {"Label15", "Edit6"}, {"Label11", "Edit2"}, {"Label12", "Edit3"},
    {"Label13", "ComboBox1"}, {"Label42", "ComboBox2"}, {"Label44", "Label38"}, {"Label43", "Label45"},
    {"Label18", "Label17"},
    // Parse panel.
    {"Label29", "StaticText6"}, {"Label31", "StaticText7"}, {"Label35", "StaticText9"}, {"Label30", "TreeView4"},
    // Write panel.
    {"Label25", "StaticText1"}, {"Label8", "StaticText5"}, {"Label26", "TreeView2"}, {"Label1", "Edit4"},
    {"Label40", "Label41"}, {"Label46", "Label47"},
    // Card manager.
    {"Label3", "StaticText2"}, {"Label4", "StaticText3"}, {"Label5", "StaticText4"}, {"Label37", "TreeView1"},
    // Splice panel.
    {"Label9", "StaticText11"}, {"Label7", "StaticText10"},
};

// Controls with no label of their own: our words.
struct Named {
    const char* Control;
    const char* Name;
};
constexpr Named kNamed[] = {
    {"StaticText13", QT_TRANSLATE_NOOP("tscard::app::AccessibleNames", "Size of the spliced file (MB)")},
    {"StaticText12", QT_TRANSLATE_NOOP("tscard::app::AccessibleNames", "Size of the file being copied (MB)")},
    {"ListBox2", QT_TRANSLATE_NOOP("tscard::app::AccessibleNames", "Files to splice")},
    {"ComboBoxEx1", QT_TRANSLATE_NOOP("tscard::app::AccessibleNames", "SD card")},
    {"CGauge1", QT_TRANSLATE_NOOP("tscard::app::AccessibleNames", "Progress of the card write")},
    {"CGauge5", QT_TRANSLATE_NOOP("tscard::app::AccessibleNames", "Turns of the card write")},
    {"CGauge2", QT_TRANSLATE_NOOP("tscard::app::AccessibleNames", "Progress of the full format")},
    {"CGauge3", QT_TRANSLATE_NOOP("tscard::app::AccessibleNames", "Progress of the prepare run")},
    {"CGauge7", QT_TRANSLATE_NOOP("tscard::app::AccessibleNames", "Turns of the prepare run")},
    {"CGauge4", QT_TRANSLATE_NOOP("tscard::app::AccessibleNames", "Progress of the split")},
    {"CGauge6", QT_TRANSLATE_NOOP("tscard::app::AccessibleNames", "Turns of the split")},
    {"CGauge8", QT_TRANSLATE_NOOP("tscard::app::AccessibleNames", "Progress of the card read")},
    {"CGauge9", QT_TRANSLATE_NOOP("tscard::app::AccessibleNames", "Turns of the card read")},
    {"CGauge10", QT_TRANSLATE_NOOP("tscard::app::AccessibleNames", "Progress of the splice")},
};

QString Trimmed(const QObject* label) { return ShownCaption(label).simplified(); }

}  // namespace

void ApplyAccessibleNames(TTorvaneService& window) {
    for (const Labelled& pair : kLabelled) {
        const QObject* label = window.findChild<QObject*>(pair.Label);
        auto* control = window.findChild<QWidget*>(pair.Control);
        if (label == nullptr || control == nullptr) continue;
        control->setAccessibleName(Trimmed(label));
        // The editable part of a combo box is what takes the typing.
        if (auto* combo = qobject_cast<QComboBox*>(control); combo != nullptr && combo->lineEdit() != nullptr)
            combo->lineEdit()->setAccessibleName(Trimmed(label));
    }
    for (const Named& named : kNamed)
        if (auto* control = window.findChild<QWidget*>(named.Control))
            control->setAccessibleName(QCoreApplication::translate(kContext, named.Name));
    // "Open file stream for": its tool bar button and the menu it opens.
    const MainMenu& menu = window.Menu();
    const QString open = Trimmed(menu.Open1);
    menu.OpenMenu->setAccessibleName(open);
    if (QWidget* button = window.Main()->ToolBar1->widgetForAction(menu.Open1)) button->setAccessibleName(open);
    if (QWidget* button = window.Main()->ToolBar1->widgetForAction(menu.SDcardmanadger1))
        button->setAccessibleName(Trimmed(menu.SDcardmanadger1));
}

}  // namespace tscard::app
