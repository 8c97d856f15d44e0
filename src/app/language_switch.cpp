#include "app/language_switch.h"

#include <QAbstractButton>
#include <QAction>
#include <QLayout>
#include <QToolBar>

#include "app/accessible_names.h"
#include "app/images.h"
#include "app/main_panel.h"
#include "app/panel_parts.h"
#include "app/torvane_service.h"

namespace tscard::app {
namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QObject* Control(TTorvaneService& window, std::string_view name) {
    return window.findChild<QObject*>(Text(name));
}

}  // namespace

void ApplyGlyphTips(TTorvaneService& window, lang::Language language) {
    const MainMenu& menu = window.Menu();
    menu.Language1->setIcon(ListIcon(language == lang::Language::Russian ? kRussianFlagImage : kBritishFlagImage));
    for (const lang::Caption& tip : lang::GlyphTips(language)) {
        const QString text = Text(tip.Text);
        QObject* control = Control(window, tip.Control);
        if (auto* action = qobject_cast<QAction*>(control)) {
            action->setToolTip(text);
            // Its tool bar button is what screen readers see.
            if (QWidget* button = window.Main()->ToolBar1->widgetForAction(action)) button->setAccessibleName(text);
        } else if (auto* widget = qobject_cast<QWidget*>(control)) {
            widget->setToolTip(text);
            widget->setAccessibleName(text);
        }
    }
    ApplyAccessibleNames(window);
}

void ApplyLanguage(TTorvaneService& window, lang::Language language) {
    for (const lang::Caption& caption : lang::PanelCaptions(language))
        if (QObject* control = Control(window, caption.Control)) SetCaption(control, caption.Text);

    const lang::WindowCaptions& texts = lang::MainCaptions(language);
    AppState& state = window.State();
    CardSelector* selector = window.Main()->ComboBoxEx1;
    // The selector says there is no card in the new language too; otherwise
    // it asks for a card.
    const bool no_card = !state.NoCardText.empty() && selector->currentText().toStdString() == state.NoCardText;
    state.NoCardText = std::string(texts.NoCardText);
    state.CardPrompt = std::string(texts.CardPrompt);
    selector->setEditText(Text(no_card ? texts.NoCardText : texts.CardPrompt));

    const MainMenu& menu = window.Menu();
    SetCaption(menu.Open1, texts.Open1);
    SetCaption(menu.SimpleprogramMPEG2TS1, texts.SimpleprogramMPEG2TS1);
    SetCaption(menu.MultyprogramstreamMPEG2TS1, texts.MultyprogramstreamMPEG2TS1);
    SetCaption(menu.Tosticktogether1, texts.Tosticktogether1);
    SetCaption(menu.Exit1, texts.Exit1);
    SetCaption(menu.SDcardmanadger1, texts.SDcardmanadger1);
    SetCaption(menu.Attachcardimage1, texts.Attachcardimage1);
    SetCaption(menu.Language1, "");
    // The tool bar sizes its buttons afresh for their new captions.
    QToolBar* toolbar = window.Main()->ToolBar1;
    toolbar->layout()->invalidate();
    toolbar->updateGeometry();
    window.setWindowTitle(Text(texts.Title));
    ApplyGlyphTips(window, language);
}

}  // namespace tscard::app
