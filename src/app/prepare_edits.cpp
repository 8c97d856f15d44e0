// PreparePn: the content tree and the target values the operator edits.

#include <QComboBox>
#include <QFile>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QValidator>

#include <algorithm>

#include "app/content_tree.h"
#include "app/dialogs.h"
#include "app/prepare_panel.h"
#include "app/stream_launcher.h"
#include "app/torvane_service.h"
#include "app/said.h"
#include "app/value_box.h"
#include "platform/codepage.h"
#include "platform/hex_text.h"
#include "prepare/prepare_targets.h"

namespace tscard::app {
namespace {

// Names are written in the operator's code page: a character it cannot
// hold is not taken.
class CodePageText final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return EncodeCodePage(input.toStdString(), SystemCodePage()) ? Acceptable : Invalid;
    }
};

QString PidText(unsigned value) { return QString::fromStdString(HexText(value, 4)).toLower(); }

QString NameText(const std::string& bytes) { return QString::fromStdString(DecodeCodePage(bytes, SystemCodePage())); }

// One item per PID, in the stream's order; an empty list shows 0x1fff and
// cannot be edited. Returns the index the operator edits first.
int FillPidList(QComboBox* combo, const std::vector<std::uint16_t>& pids) {
    combo->clear();
    for (std::uint16_t pid : pids) combo->addItem(PidText(pid));
    combo->setEnabled(!pids.empty());
    if (pids.empty()) {
        combo->setEditText(PidText(0x1FFF));
        return -1;
    }
    combo->setCurrentIndex(0);
    return 0;
}

}  // namespace

void PreparePanel::ConnectEdits() {
    const std::pair<QLineEdit*, Target> numbers[] = {
        {Edit5, Target::ProgramNumber}, {Edit6, Target::PmtPid},
        {Edit2, Target::PcrPid},        {Edit3, Target::VideoPid},
        {ComboBox1->lineEdit(), Target::AudioPid}, {ComboBox2->lineEdit(), Target::PesPid},
    };
    for (auto [edit, target] : numbers) {
        connect(edit, &QLineEdit::textEdited, this, [this, edit, target] { OnNumberEdited(edit, target); });
        connect(edit, &QLineEdit::returnPressed, this, [this, edit] { OnNumberLeft(edit); });
        edit->installEventFilter(this);
        number_edits_.insert(edit);
    }
    for (QComboBox* combo : {ComboBox1, ComboBox2}) {
        // Typing must not be completed into another item's PID.
        combo->setCompleter(nullptr);
        connect(combo, &QComboBox::activated, this, [this, combo](int index) {
            (combo == ComboBox1 ? audio_index_ : pes_index_) = index;
            refused_.erase(combo->lineEdit());
            told_.erase(combo->lineEdit());
        });
    }
    for (QLineEdit* name : {Edit1, Edit7}) {
        name->setValidator(new CodePageText(name));
        connect(name, &QLineEdit::textEdited, this, [this, name] { OnNameEdited(name, name == Edit1); });
    }
}

void PreparePanel::TreeView3Click() {
    if (running_ || window_.Launcher().Analysing()) return;
    const AppState& state = window_.State();
    const bool described =
        state.Stream.Analysis != nullptr && window_.Launcher().Request().Mode == AnalysisMode::ModePrepare;
    bool loaded = false;
    for (QTreeWidgetItemIterator it(TreeView3); *it != nullptr; ++it) {
        QTreeWidgetItem* item = *it;
        if (!item->isSelected()) continue;
        if (!IsProgramNode(item)) {
            item->setSelected(false);
        } else if (!loaded && described && ProgramIndexOf(item)) {
            LoadFromSource();
            loaded = true;
        }
    }
    TreeView3->viewport()->update();
}

void PreparePanel::TreeView3GetSelectedIndex() {
    for (QTreeWidgetItem* item : TreeView3->selectedItems()) {
        if (!IsProgramNode(item)) continue;
        for (int i = 0; i < item->childCount(); ++i) item->child(i)->setSelected(false);
    }
}

void PreparePanel::LoadFromSource() {
    ProgramRemap& r = window_.State().Stream.CurrentRemap;
    Edit2->setText(PidText(r.SourcePcrPid));
    Edit3->setText(PidText(r.SourceVideoPid));
    audio_index_ = FillPidList(ComboBox1, r.SourceAudioPids);
    pes_index_ = FillPidList(ComboBox2, r.SourcePesPids);
    Edit5->setText(PidText(r.SourceProgramNumber));
    Edit6->setText(PidText(r.SourcePmtPid));
    const QString provider = NameText(r.SourceProvider);
    // A longer provider taken from the stream is kept whole.
    Edit1->setMaxLength(std::max<int>(int(kMaxProviderCharacters), int(provider.size())));
    Edit1->setText(provider);
    Edit7->setText(NameText(r.SourceName));
    LoadTargetsFromSource(r);
    refused_.clear();
    told_.clear();
    // No video: there is no video PID to move.
    Edit3->setEnabled(r.SourceVideoPid != 0);
}

bool PreparePanel::eventFilter(QObject* watched, QEvent* event) {
    // Focus that goes to another window or to a popup comes back: the
    // operator has not left the edit.
    if (event->type() == QEvent::FocusOut && number_edits_.contains(watched)) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            auto* edit = static_cast<QLineEdit*>(watched);
            // Told after the focus has moved on, not from inside its change.
            QMetaObject::invokeMethod(this, [this, edit] { OnNumberLeft(edit); }, Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PreparePanel::ClearTargets() {
    for (QLineEdit* edit : {Edit1, Edit7, Edit5, Edit6, Edit2, Edit3}) edit->clear();
    for (QComboBox* combo : {ComboBox1, ComboBox2}) {
        combo->clear();
        combo->setEditText({});
    }
    audio_index_ = -1;
    pes_index_ = -1;
    refused_.clear();
    told_.clear();
}

void PreparePanel::OnNumberEdited(QLineEdit* edit, Target target) {
    if (!Preparable()) return;
    told_.erase(edit);
    // Every step of typing is taken without a word ("0", "0x", "$" on the
    // way to "0x0010" or "$7"): what is refused is told when the edit is
    // left, and a run does not start with it.
    const TargetValue typed = CheckTargetText(edit->text().toStdString());
    if (typed.Check != TargetCheck::Valid) {
        refused_.insert(edit);
        return;
    }
    refused_.erase(edit);
    ProgramRemap& r = window_.State().Stream.CurrentRemap;
    // An audio or other PES item: stored at its place, which the item shows
    // from now on; the PCR PID follows when that stream carries the PCR.
    auto store_at = [&](QComboBox* combo, int index, std::size_t count, auto set_target) {
        if (index < 0 || std::size_t(index) >= count) return;
        const std::uint32_t pcr = r.TargetPcrPid;
        set_target(r, std::size_t(index), static_cast<std::uint16_t>(typed.Value));
        const int cursor = edit->cursorPosition();
        combo->setItemText(index, edit->text());
        edit->setCursorPosition(cursor);
        if (r.TargetPcrPid != pcr) {
            Edit2->setText(edit->text());
            refused_.erase(Edit2);
            told_.erase(Edit2);
        }
    };
    switch (target) {
        case Target::ProgramNumber: r.TargetProgramNumber = typed.Value; break;
        case Target::PmtPid: r.TargetPmtPid = typed.Value; break;
        case Target::PcrPid:
            SetTargetPcrPid(r, typed.Value);
            if (r.PcrInVideo) {
                Edit3->setText(edit->text());
                refused_.erase(Edit3);
                told_.erase(Edit3);
            }
            break;
        case Target::VideoPid:
            SetTargetVideoPid(r, typed.Value);
            if (r.PcrInVideo) {
                Edit2->setText(edit->text());
                refused_.erase(Edit2);
                told_.erase(Edit2);
            }
            break;
        case Target::AudioPid: store_at(ComboBox1, audio_index_, r.TargetAudioPids.size(), SetTargetAudioPid); break;
        case Target::PesPid: store_at(ComboBox2, pes_index_, r.TargetPesPids.size(), SetTargetPesPid); break;
    }
}

void PreparePanel::OnNameEdited(QLineEdit* edit, bool provider) {
    if (!Preparable()) return;
    const std::optional<std::string> bytes = EncodeCodePage(edit->text().toStdString(), SystemCodePage());
    if (!bytes) return;  // the validator lets no such text through
    ProgramRemap& r = window_.State().Stream.CurrentRemap;
    (provider ? r.TargetProvider : r.TargetName) = *bytes;
}

void PreparePanel::OnNumberLeft(QLineEdit* edit) {
    if (!Preparable() || !refused_.contains(edit) || told_.contains(edit)) return;
    told_.insert(edit);
    window_.Dialog().Tell(SaidText(InvalidTargetText(edit->text().toStdString())));
}

bool PreparePanel::CheckShownTargets() {
    for (QLineEdit* edit : {Edit5, Edit6, Edit2, Edit3, ComboBox1->lineEdit(), ComboBox2->lineEdit()}) {
        if (!refused_.contains(edit)) continue;
        // Focus goes back to the edit: leaving it again says nothing new.
        told_.insert(edit);
        window_.Dialog().Tell(SaidText(InvalidTargetText(edit->text().toStdString())));
        edit->setFocus();
        return false;
    }
    return true;
}

void PreparePanel::SetTargetsEnabled(bool enabled) { GroupBox8->setEnabled(enabled); }

void PreparePanel::SpeedButton20Click() {
    const std::string shown = QFile::encodeName(StaticText8->text()).toStdString();
    const std::size_t slash = shown.find_last_of('/');
    const std::string name = slash == std::string::npos ? shown : shown.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    FileRequest request;
    request.Filter = kSaveStreamFilter;
    request.FileName = (dot == std::string::npos ? name : name.substr(0, dot)) + ".m2ts";
    request.Folder = slash == std::string::npos ? std::string() : shown.substr(0, slash + 1);
    request.ConfirmOverwrite = true;
    const std::optional<FileChoice> chosen = window_.Dialog().SaveFile(request);
    if (chosen && !chosen->Paths.empty()) StaticText8->setText(ContentText(chosen->Paths.front()));
}

}  // namespace tscard::app
