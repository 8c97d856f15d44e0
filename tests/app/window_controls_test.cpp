// The window as the operator first sees it: every panel with its controls
// under their names, one panel in front at a time, the start state of the
// controls, the glyph buttons' tooltips, the size, and Exit.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>
#include <QMap>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "app/busy_indicator.h"
#include "app/main_panel.h"
#include "app/panel_parts.h"
#include "app/splice_panel.h"
#include "app/gauge.h"
#include "app/start_button.h"
#include "app/value_box.h"
#include "window_test.h"

namespace tscard::app::test {
namespace {

using Controls = WindowTest;

struct ControlRow {
    const char* Panel;
    const char* Name;
    const QMetaObject* Kind;
};

const QMetaObject* const kLabel = &QLabel::staticMetaObject;
const QMetaObject* const kValue = &ValueBox::staticMetaObject;
const QMetaObject* const kEdit = &QLineEdit::staticMetaObject;
const QMetaObject* const kCombo = &QComboBox::staticMetaObject;
const QMetaObject* const kTree = &QTreeWidget::staticMetaObject;
const QMetaObject* const kList = &QListWidget::staticMetaObject;
const QMetaObject* const kRadio = &QRadioButton::staticMetaObject;
const QMetaObject* const kGroup = &QGroupBox::staticMetaObject;
const QMetaObject* const kButton = &QAbstractButton::staticMetaObject;
const QMetaObject* const kGlyph = &QToolButton::staticMetaObject;
const QMetaObject* const kStart = &StartButton::staticMetaObject;
const QMetaObject* const kGauge = &Gauge::staticMetaObject;

const ControlRow kControls[] = {
    {"MainPanel", "ToolBar1", &QToolBar::staticMetaObject},
    {"MainPanel", "ComboBoxEx1", kCombo},
    {"MainPanel", "SpeedButton2", kGlyph},
    // Prepare panel.
    {"PreparePn", "Label23", kLabel},     {"PreparePn", "SpeedButton9", kGlyph}, {"PreparePn", "Label6", kLabel},
    {"PreparePn", "StaticText8", kValue}, {"PreparePn", "SpeedButton20", kGlyph}, {"PreparePn", "Label24", kLabel},
    {"PreparePn", "TreeView3", kTree},    {"PreparePn", "GroupBox8", kGroup},    {"PreparePn", "Label20", kLabel},
    {"PreparePn", "Edit1", kEdit},        {"PreparePn", "Label22", kLabel},      {"PreparePn", "Edit7", kEdit},
    {"PreparePn", "Label14", kLabel},     {"PreparePn", "Edit5", kEdit},         {"PreparePn", "Label15", kLabel},
    {"PreparePn", "Edit6", kEdit},        {"PreparePn", "GroupBox9", kGroup},    {"PreparePn", "Label11", kLabel},
    {"PreparePn", "Edit2", kEdit},        {"PreparePn", "Label12", kLabel},      {"PreparePn", "Edit3", kEdit},
    {"PreparePn", "Label13", kLabel},     {"PreparePn", "ComboBox1", kCombo},    {"PreparePn", "Label42", kLabel},
    {"PreparePn", "ComboBox2", kCombo},   {"PreparePn", "Label2", kLabel},       {"PreparePn", "Label44", kLabel},
    {"PreparePn", "Label38", kValue},     {"PreparePn", "Label43", kLabel},      {"PreparePn", "Label45", kValue},
    {"PreparePn", "Label18", kLabel},     {"PreparePn", "Label17", kValue},      {"PreparePn", "CGauge3", kGauge},
    {"PreparePn", "CGauge7", kGauge},     {"PreparePn", "Label10", kLabel},      {"PreparePn", "SpeedButton4", kStart},
    // Parse panel.
    {"ParseWindow", "Label33", kLabel},       {"ParseWindow", "SpeedButton11", kGlyph},
    {"ParseWindow", "Label29", kLabel},       {"ParseWindow", "StaticText6", kValue},
    {"ParseWindow", "Label31", kLabel},       {"ParseWindow", "StaticText7", kValue},
    {"ParseWindow", "RadioButton9", kRadio},  {"ParseWindow", "RadioButton10", kRadio},
    {"ParseWindow", "CheckBox1", &QCheckBox::staticMetaObject},
    {"ParseWindow", "Label35", kLabel},       {"ParseWindow", "StaticText9", kValue},
    {"ParseWindow", "SpeedButton15", kGlyph}, {"ParseWindow", "Label30", kLabel},
    {"ParseWindow", "TreeView4", kTree},      {"ParseWindow", "ListBox1", kList},
    {"ParseWindow", "Label34", kLabel},       {"ParseWindow", "SpeedButton12", kGlyph},
    {"ParseWindow", "CGauge4", kGauge},       {"ParseWindow", "CGauge6", kGauge},
    {"ParseWindow", "Label32", kLabel},       {"ParseWindow", "SpeedButton3", kStart},
    // Write panel.
    {"WriteWindow", "Label28", kLabel},       {"WriteWindow", "SpeedButton10", kGlyph},
    {"WriteWindow", "Label25", kLabel},       {"WriteWindow", "StaticText1", kValue},
    {"WriteWindow", "Label8", kLabel},        {"WriteWindow", "StaticText5", kValue},
    {"WriteWindow", "RadioButton3", kRadio},  {"WriteWindow", "RadioButton4", kRadio},
    {"WriteWindow", "Label26", kLabel},       {"WriteWindow", "TreeView2", kTree},
    {"WriteWindow", "GroupBox4", kGroup},     {"WriteWindow", "Label1", kLabel},
    {"WriteWindow", "Edit4", kEdit},          {"WriteWindow", "GroupBox5", kGroup},
    {"WriteWindow", "Label40", kLabel},       {"WriteWindow", "Label41", kValue},
    {"WriteWindow", "Label46", kLabel},       {"WriteWindow", "Label47", kValue},
    {"WriteWindow", "GroupBox3", kGroup},     {"WriteWindow", "RadioButton12", kRadio},
    {"WriteWindow", "RadioButton13", kRadio}, {"WriteWindow", "CGauge1", kGauge},
    {"WriteWindow", "CGauge5", kGauge},       {"WriteWindow", "Label27", kLabel},
    {"WriteWindow", "SpeedButton1", kStart},
    // Card manager, with the busy panel.
    {"FormatWindow", "Label36", kLabel},       {"FormatWindow", "SpeedButton14", kGlyph},
    {"FormatWindow", "Label3", kLabel},        {"FormatWindow", "StaticText2", kValue},
    {"FormatWindow", "Label4", kLabel},        {"FormatWindow", "StaticText3", kValue},
    {"FormatWindow", "Label5", kLabel},        {"FormatWindow", "StaticText4", kValue},
    {"FormatWindow", "Label37", kLabel},       {"FormatWindow", "TreeView1", kTree},
    {"FormatWindow", "RadioButton1", kRadio},  {"FormatWindow", "RadioButton2", kRadio},
    {"FormatWindow", "SpeedButton13", kButton}, {"FormatWindow", "SpeedButton19", kButton},
    {"FormatWindow", "SpeedButton23", kButton}, {"FormatWindow", "SpeedButton22", kButton},
    {"FormatWindow", "SpeedButton21", kButton}, {"FormatWindow", "CGauge2", kGauge},
    {"FormatWindow", "GroupBox1", kGroup},     {"FormatWindow", "RadioButton5", kRadio},
    {"FormatWindow", "RadioButton6", kRadio},  {"FormatWindow", "Panel2", &QWidget::staticMetaObject},
    {"FormatWindow", "Label48", kLabel},       {"FormatWindow", "Image4", kLabel},
    // Read panel.
    {"Panel4", "GroupBox2", kGroup}, {"Panel4", "RadioButton7", kRadio}, {"Panel4", "RadioButton8", kRadio},
    {"Panel4", "Label39", kLabel},   {"Panel4", "SpeedButton24", kStart}, {"Panel4", "CGauge8", kGauge},
    {"Panel4", "CGauge9", kGauge},
    // Splice panel, on the main panel.
    {"Panel1", "Label9", kLabel},        {"Panel1", "StaticText11", kValue}, {"Panel1", "StaticText13", kValue},
    {"Panel1", "Label19", kLabel},       {"Panel1", "ListBox2", kList},      {"Panel1", "SpeedButton8", kGlyph},
    {"Panel1", "SpeedButton5", kGlyph},  {"Panel1", "SpeedButton6", kGlyph}, {"Panel1", "SpeedButton7", kGlyph},
    {"Panel1", "Label7", kLabel},        {"Panel1", "StaticText10", kValue}, {"Panel1", "StaticText12", kValue},
    {"Panel1", "Label21", kLabel},       {"Panel1", "CGauge10", kGauge},     {"Panel1", "Button2", kButton},
    {"Panel1", "Button3", kButton},      {"Panel1", "Button1", kButton},
};

TEST_F(Controls, EveryPanelHoldsItsControlsUnderTheirNamesAndKinds) {
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(std::string(row.Panel) + "/" + row.Name);
        auto* panel = Find<QWidget>(row.Panel);
        ASSERT_NE(panel, nullptr);
        QObject* control = panel->findChild<QObject*>(row.Name);
        ASSERT_NE(control, nullptr);
        EXPECT_NE(row.Kind->cast(control), nullptr) << "is a " << control->metaObject()->className();
        // Names are unique in the window: the caption tables find controls by name.
        EXPECT_EQ(Window().findChildren<QObject*>(row.Name).size(), 1);
    }
    EXPECT_TRUE(Find<QWidget>("Panel1")->isAncestorOf(Find<QWidget>("Button1")));
    EXPECT_TRUE(Find<QWidget>("MainPanel")->isAncestorOf(Find<QWidget>("Panel1")));
    EXPECT_EQ(Window().objectName(), "TorvaneService");
}

TEST_F(Controls, TheMenuHasEveryItemAndTheToolBarMirrorsItsTopLevel) {
    const MainMenu& menu = Window().Menu();
    EXPECT_EQ(menu.MainMenu1->objectName(), "MainMenu1");
    for (const char* name : {"Language1", "Open1", "SimpleprogramMPEG2TS1", "MultyprogramstreamMPEG2TS1",
                             "Tosticktogether1", "Attachcardimage1", "Exit1", "SDcardmanadger1"}) {
        auto* item = Find<QAction>(name);
        ASSERT_NE(item, nullptr);
        EXPECT_TRUE(item->isVisible()) << name;
        EXPECT_TRUE(item->isEnabled()) << name;
    }
    // Five commands, the streams opened last and two separators.
    EXPECT_EQ(menu.OpenMenu->actions().size(), 8);
    auto* toolbar = Find<QToolBar>("ToolBar1");
    const QList<QAction*> top = toolbar->actions();
    ASSERT_EQ(top.size(), 3);
    EXPECT_EQ(top[0], menu.Language1);
    EXPECT_EQ(top[1], menu.Open1);
    EXPECT_EQ(top[2], menu.SDcardmanadger1);
    auto* open_button = qobject_cast<QToolButton*>(toolbar->widgetForAction(menu.Open1));
    ASSERT_NE(open_button, nullptr);
    EXPECT_EQ(open_button->text(), "Open file stream for");
    EXPECT_EQ(open_button->defaultAction()->menu(), menu.OpenMenu);
    EXPECT_GE(open_button->width(), 118);
}

TEST_F(Controls, OnePanelIsInFrontAtATime) {
    EXPECT_EQ(Window().FrontPanel(), Find<QWidget>("MainPanel"));
    const char* panels[] = {"PreparePn", "ParseWindow", "WriteWindow", "FormatWindow", "Panel4"};
    for (const char* name : panels) {
        Window().BringToFront(Find<QWidget>(name));
        EXPECT_EQ(Window().FrontPanel(), Find<QWidget>(name));
        for (const char* other : panels) EXPECT_EQ(Find<QWidget>(other)->isVisible(), other == name) << other;
        EXPECT_FALSE(Find<QWidget>("MainPage")->isVisible());
    }
    // Sending the front panel to the back shows the one that was behind it.
    Window().SendToBack(Find<QWidget>("Panel4"));
    EXPECT_EQ(Window().FrontPanel(), Find<QWidget>("FormatWindow"));
    Window().BringToFront(Window().Main());
    EXPECT_TRUE(Find<QWidget>("MainPage")->isVisible());
    EXPECT_TRUE(Find<QWidget>("ToolBar1")->isVisible());
}

TEST_F(Controls, StartStateOfTheControls) {
    for (const char* name : {"Button3", "SpeedButton5", "SpeedButton6", "SpeedButton7", "SpeedButton8",
                             "SpeedButton19", "SpeedButton22", "SpeedButton23"})
        EXPECT_FALSE(Find<QWidget>(name)->isEnabled()) << name;
    for (const char* name : {"Button1", "Button2", "SpeedButton13", "SpeedButton21", "SpeedButton14", "TreeView3"})
        EXPECT_TRUE(Find<QWidget>(name)->isEnabled()) << name;
    for (const char* name : {"CGauge1", "CGauge2", "CGauge3", "CGauge4", "CGauge5", "CGauge6", "CGauge7", "CGauge8",
                             "CGauge9", "GroupBox1", "Panel1", "Panel2"})
        EXPECT_TRUE(Find<QWidget>(name)->isHidden()) << name;
    // The bit-rate labels are there from the start.
    for (const char* name : {"Label2", "Label17", "Label18", "Label38", "Label40", "Label41", "Label43", "Label44",
                             "Label46", "Label47"})
        EXPECT_FALSE(Find<QWidget>(name)->isHidden()) << name;
    for (const char* name : {"RadioButton1", "RadioButton3", "RadioButton5", "RadioButton7", "RadioButton9",
                             "RadioButton13"})
        EXPECT_TRUE(Find<QRadioButton>(name)->isChecked()) << name;
    EXPECT_FALSE(Find<QCheckBox>("CheckBox1")->isChecked());

    const std::pair<const char*, const char*> texts[] = {
        {"Edit1", "MPEG2 TS "}, {"Edit7", "Demo channel "}, {"Edit5", "0x800"},  {"Edit6", "0x400"},
        {"Edit2", "0x1000"},    {"Edit3", "0x1001"},        {"Edit4", "120000"},
    };
    for (auto [name, text] : texts) EXPECT_EQ(Find<QLineEdit>(name)->text(), text) << name;
    EXPECT_EQ(Find<QLineEdit>("Edit1")->maxLength(), 20);
    EXPECT_EQ(Find<QComboBox>("ComboBox1")->currentText(), "0x1002");
    EXPECT_EQ(Find<QComboBox>("ComboBox2")->currentText(), "no pids");
    EXPECT_EQ(Find<Gauge>("CGauge9")->Maximum(), 512u);

    EXPECT_TRUE(Window().Timer1()->isActive());
    EXPECT_EQ(Window().Timer1()->interval(), 1000);
    EXPECT_FALSE(Window().Busy().Timer2->isActive());
    EXPECT_EQ(State().StreamPanelOpen, 0);
    EXPECT_TRUE(State().ParseFolder.empty());
    EXPECT_TRUE(State().Events.Running());
}

TEST_F(Controls, PidEditsTakeWhatIsTypedInLowerCase) {
    auto* edit = Find<QLineEdit>("Edit2");
    edit->clear();
    QTest::keyClicks(edit, "0X1ABC");
    EXPECT_EQ(edit->text(), "0x1abc");
    auto* combo = Find<QComboBox>("ComboBox1");
    combo->clearEditText();
    QTest::keyClicks(combo->lineEdit(), "0X1F");
    EXPECT_EQ(combo->currentText(), "0x1f");
    // Names are taken as typed.
    auto* name = Find<QLineEdit>("Edit7");
    name->clear();
    QTest::keyClicks(name, "News HD");
    EXPECT_EQ(name->text(), "News HD");
}

TEST_F(Controls, GlyphOnlyButtonsSayWhatTheyDoInTheCurrentLanguage) {
    auto glyph_buttons = [&] {
        QList<QToolButton*> buttons;
        for (QToolButton* button : Window().findChildren<QToolButton*>())
            if (button->text().isEmpty() && !button->objectName().startsWith("qt_")) buttons << button;
        return buttons;
    };
    QMap<QString, QString> english;
    for (QToolButton* button : glyph_buttons()) {
        SCOPED_TRACE(button->objectName().toStdString());
        EXPECT_FALSE(button->toolTip().isEmpty());
        EXPECT_EQ(button->accessibleName(), button->toolTip());
        english[button->objectName()] = button->toolTip();
    }
    // All of them: close (4, and the status line's), browse (2), refresh (2), start (4), list (4),
    // language (1).
    EXPECT_EQ(english.size(), 18);
    Window().Language1Click();
    for (QToolButton* button : glyph_buttons()) {
        if (!english.contains(button->objectName())) continue;
        EXPECT_NE(button->toolTip(), english[button->objectName()]) << button->objectName().toStdString();
        EXPECT_EQ(button->accessibleName(), button->toolTip());
    }
}

TEST_F(Controls, TheWindowOpensAtItsDesignSizeAndItsLayoutFitsThereInBothLanguages) {
    EXPECT_EQ(Window().size(), QSize(636, 504));
    Window().Splice()->show();  // the widest content of the main panel
    for (const char* language : {"English", "Russian", "English"}) {
        SCOPED_TRACE(language);
        QCoreApplication::processEvents();
        const QSize needed = Window().minimumSizeHint();
        EXPECT_LE(needed.width(), 636);
        EXPECT_LE(needed.height(), 504);
        EXPECT_EQ(Window().size(), QSize(636, 504));
        Window().Language1Click();
    }
}

// What a control needs to show its whole caption.
int NeededWidth(QWidget* control) {
    if (qobject_cast<ValueBox*>(control)) return 0;  // values are cut in the middle by design
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text().isEmpty() ? 0 : label->sizeHint().width();
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return button->text().isEmpty() ? 0 : button->sizeHint().width();
    if (auto* group = qobject_cast<QGroupBox*>(control)) return group->minimumSizeHint().width();
    return 0;
}

TEST_F(Controls, EveryCaptionFitsItsControlInBothLanguages) {
    for (const char* language : {"English", "Russian", "English"}) {
        for (const char* panel : {"MainPanel", "PreparePn", "ParseWindow", "WriteWindow", "FormatWindow", "Panel4"}) {
            Window().BringToFront(Find<QWidget>(panel));
            Window().Splice()->setVisible(std::string(panel) == "MainPanel");
            QCoreApplication::processEvents();
            for (QWidget* control : Window().findChildren<QWidget*>()) {
                if (!control->isVisible()) continue;
                EXPECT_GE(control->width(), NeededWidth(control))
                    << language << " " << panel << "/" << control->objectName().toStdString() << " "
                    << ShownCaption(control).toStdString();
            }
        }
        Window().Language1Click();
    }
}

TEST_F(Controls, ExitClosesTheWindowAsTheCloseBoxDoes) {
    Window().Menu().Exit1->trigger();
    EXPECT_FALSE(Window().isVisible());
    EXPECT_FALSE(State().Events.Running());
    EXPECT_TRUE(State().Closing);

    Open();
    EXPECT_TRUE(Window().close());
    EXPECT_FALSE(State().Events.Running());
    EXPECT_TRUE(State().Closing);
}

}  // namespace
}  // namespace tscard::app::test
