// The caption tables on the window, both ways, and the language at start.

#include <QAction>
#include <QComboBox>
#include <QSignalSpy>
#include <QToolBar>

#include "app/images.h"
#include "app/main_panel.h"
#include "app/panel_parts.h"
#include "lang/captions.h"
#include "window_test.h"

namespace tscard::app::test {
namespace {

using lang::Language;

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
// A doubled ampersand shows as one.
QString Shown(std::string_view text) { return Q(text).replace("&&", "&"); }

class Captions : public WindowTest {
protected:
    QString CaptionOf(std::string_view control) {
        QObject* found = Window().findChild<QObject*>(Q(control));
        EXPECT_NE(found, nullptr) << control;
        return found ? ShownCaption(found) : QString();
    }

    // Every panel control of the language's table shows its text; the
    // window's own texts too.
    void ExpectTable(Language language) {
        for (const lang::Caption& caption : lang::PanelCaptions(language))
            EXPECT_EQ(CaptionOf(caption.Control), Shown(caption.Text)) << caption.Control;
        const lang::WindowCaptions& texts = lang::MainCaptions(language);
        EXPECT_EQ(Window().windowTitle(), Q(texts.Title));
        const std::pair<const char*, std::string_view> items[] = {
            {"Open1", texts.Open1},
            {"SimpleprogramMPEG2TS1", texts.SimpleprogramMPEG2TS1},
            {"MultyprogramstreamMPEG2TS1", texts.MultyprogramstreamMPEG2TS1},
            {"Tosticktogether1", texts.Tosticktogether1},
            {"Attachcardimage1", texts.Attachcardimage1},
            {"Exit1", texts.Exit1},
            {"SDcardmanadger1", texts.SDcardmanadger1},
            {"Language1", ""},
        };
        for (auto [name, text] : items) EXPECT_EQ(CaptionOf(name), Q(text)) << name;
        EXPECT_EQ(Find<QComboBox>("ComboBoxEx1")->currentText(), Q(texts.CardPrompt));
        EXPECT_EQ(State().CardPrompt, texts.CardPrompt);
        EXPECT_EQ(State().NoCardText, texts.NoCardText);
        ExpectFlag(language);
    }

    void ExpectFlag(Language language) {
        const int flag = language == Language::Russian ? kRussianFlagImage : kBritishFlagImage;
        const QImage expected = ListPixmap(flag, 16).toImage();
        EXPECT_EQ(Window().Menu().Language1->icon().pixmap(16).toImage(), expected);
        EXPECT_EQ(Window().Language(), language);
    }
};

TEST_F(Captions, AtStartTheDesignCaptionsShow) {
    const std::pair<const char*, const char*> design[] = {
        {"Label25", "File name"},
        {"Label8", " File size"},
        {"Label28", "   Write stream to file"},
        {"RadioButton12", "Leave without changes"},
        {"RadioButton13", "Generate automatically"},
        {"Label23", "    Prepare  current  bitrate of MP2TS stream in DVB-C QAM64 bitrate"},
        {"Label10", "prepare in MUX bitrate"},
    };
    for (auto [control, text] : design) EXPECT_EQ(CaptionOf(control), text) << control;
    // Every other control shows its English caption.
    for (const lang::Caption& caption : lang::PanelCaptions(Language::English)) {
        if (std::ranges::any_of(design, [&](const auto& row) { return caption.Control == row.first; })) continue;
        EXPECT_EQ(CaptionOf(caption.Control), Shown(caption.Text)) << caption.Control;
    }
    EXPECT_EQ(CaptionOf("Label36"), "   Serice & info for SD card");
    EXPECT_EQ(Window().windowTitle(), "ROR urever evazar  (preparing for flash card ) v1.9");
    EXPECT_EQ(Find<QComboBox>("ComboBoxEx1")->currentText(), "Select SD Flash card for write");
    EXPECT_EQ(State().NoCardText, "No connect memory card");
    ExpectFlag(Language::English);
}

TEST_F(Captions, SwitchingToRussianAndBackAppliesBothTablesWhole) {
    Window().Language1Click();
    ExpectTable(Language::Russian);
    // Russian leaves nine captions as they were.
    const std::pair<const char*, const char*> left_alone[] = {
        {"Label5", "FAT"}, {"Label2", "SysBr(Mb/s)"}, {"Label43", "[correct]"}, {"Label44", "[current]"},
        {"GroupBox9", "Es PIDs"}, {"Label11", "PCR"}, {"Label12", "Video"}, {"Label13", "Audio"}, {"Label42", "PES"},
    };
    ASSERT_EQ(lang::LeftAloneInRussian().size(), std::size(left_alone));
    for (auto [control, text] : left_alone) EXPECT_EQ(CaptionOf(control), text) << control;

    Window().Language1Click();
    ExpectTable(Language::English);
    EXPECT_EQ(CaptionOf("Label25"), "File write");
    EXPECT_TRUE(Window().windowTitle().endsWith("v2.0"));
    EXPECT_EQ(CaptionOf("Label10"), "Begin");
}

TEST_F(Captions, TheToolBarButtonsFollowTheMenu) {
    Window().Language1Click();
    const QList<QAction*> buttons = Window().Main()->ToolBar1->actions();
    ASSERT_EQ(buttons.size(), 3);
    EXPECT_TRUE(buttons[0]->text().isEmpty());
    EXPECT_EQ(Window().Main()->ToolBar1->widgetForAction(buttons[1])->property("text").toString(),
              "Открыть файл для...");
    EXPECT_EQ(Window().Main()->ToolBar1->widgetForAction(buttons[2])->property("text").toString(),
              "SD card менеджер");
}

TEST_F(Captions, SwitchingRunsNoCommandAndAsksNothing) {
    Window().BringToFront(Find<QWidget>("WriteWindow"));
    QList<QSignalSpy*> spies;
    for (QAction* action : Window().findChildren<QAction*>())
        if (action != Window().Menu().Language1) spies << new QSignalSpy(action, &QAction::triggered);
    auto* selector = Find<QComboBox>("ComboBoxEx1");
    QSignalSpy picked(selector, &QComboBox::activated);
    Window().Language1Click();
    Window().Language1Click();
    for (QSignalSpy* spy : spies) EXPECT_EQ(spy->count(), 0);
    qDeleteAll(spies);
    EXPECT_EQ(picked.count(), 0);
    EXPECT_TRUE(dialogs_.Questions().empty());
    EXPECT_EQ(Window().FrontPanel(), Find<QWidget>("WriteWindow"));
}

TEST_F(Captions, TheCardSelectorAsksForACardOrSaysThereIsNone) {
    auto* selector = Find<QComboBox>("ComboBoxEx1");
    selector->addItem("sdb  1886 MB");
    selector->setCurrentIndex(0);
    Window().Language1Click();
    EXPECT_EQ(selector->currentText(), "Выбрать для записи SD Flash карту ");
    // No card answers: the selector says so, in the language shown.
    selector->clear();
    selector->setEditText(QString::fromStdString(State().NoCardText));
    Window().Language1Click();
    EXPECT_EQ(selector->currentText(), "No connect memory card");
    Window().Language1Click();
    EXPECT_EQ(selector->currentText(), Q("Flash картa не определена"));
}

struct StartLocale {
    const char* LcAll;
    const char* LcMessages;
    const char* Lang;
    Language Expected;
};

void PrintTo(const StartLocale& locale, std::ostream* out) {
    auto text = [](const char* value) { return value ? value : "(unset)"; };
    *out << "LC_ALL=" << text(locale.LcAll) << " LC_MESSAGES=" << text(locale.LcMessages)
         << " LANG=" << text(locale.Lang);
}

class StartLanguage : public Captions, public ::testing::WithParamInterface<StartLocale> {
protected:
    void SetUp() override {}  // the window opens inside the test, under its locale
};

TEST_P(StartLanguage, FollowsTheLocale) {
    const StartLocale& locale = GetParam();
    {
        ScopedLocale scoped(locale.LcAll, locale.LcMessages, locale.Lang);
        Open();
    }
    if (locale.Expected == Language::Russian)
        ExpectTable(Language::Russian);
    else
        ExpectFlag(Language::English);
}

std::string LocaleName(const ::testing::TestParamInfo<StartLocale>& info) {
    const StartLocale& locale = info.param;
    std::string name;
    for (auto [variable, value] : {std::pair{"LcAll", locale.LcAll}, {"LcMessages", locale.LcMessages},
                                   {"Lang", locale.Lang}})
        if (value) name += std::string(variable) + "_" + std::string(value).substr(0, 5) + "_";
    return (name.empty() ? std::string("Unset") : name.substr(0, name.size() - 1));
}

INSTANTIATE_TEST_SUITE_P(Locales, StartLanguage,
                         ::testing::Values(StartLocale{"ru_RU.UTF-8", nullptr, nullptr, Language::Russian},
                                           StartLocale{nullptr, "ru_RU.UTF-8", "en_US.UTF-8", Language::Russian},
                                           StartLocale{nullptr, nullptr, "ru_UA.UTF-8", Language::Russian},
                                           StartLocale{"C", nullptr, "ru_RU.UTF-8", Language::English},
                                           StartLocale{nullptr, nullptr, "en_GB.UTF-8", Language::English},
                                           StartLocale{nullptr, nullptr, nullptr, Language::English}),
                         LocaleName);

}  // namespace
}  // namespace tscard::app::test
