// How a stream reaches the write panel: the card panel's "Write file", or a
// prepare run that ended while a card is ready. The packet size and the
// stream's bit rate are found first, off the GUI thread with the busy
// indicator up; then the stream is analysed for the card, and the panel
// keeps the file open for the write.

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLineEdit>
#include <QRadioButton>

#include <filesystem>

#include "analysis/bitrate.h"
#include "app/busy_indicator.h"
#include "app/card_panel.h"
#include "app/dialogs.h"
#include "app/main_panel.h"
#include "app/shown_number.h"
#include "app/said.h"
#include "app/start_button.h"
#include "app/stream_launcher.h"
#include "app/torvane_service.h"
#include "app/value_box.h"
#include "app/write_panel.h"
#include "card/card_stream_size.h"
#include "platform/codepage.h"
#include "ts/packet_probe.h"
#include "ts/stream_open.h"

namespace tscard::app {

struct WritePanel::Look {
    PacketProbe Probe;
    BitrateMeasurement Rate;
    double SizeRatio = 1.0;
};

void WritePanel::SpeedButton23Click() {
    AppState& state = window_.State();
    state.WriteFinished = 0;
    if (!state.Cards.CardReady) {
        window_.Dialog().Tell(NoCardSelected());
        return;
    }
    FileRequest request;
    request.Filter = kStreamFilter;
    request.FileName = state.OpenDialogFile;
    const std::optional<FileChoice> choice = window_.Dialog().OpenFile(request);
    if (!choice || choice->Paths.empty()) return;
    state.OpenDialogFile = choice->Paths.front();
    window_.Card()->SpeedButton23->setEnabled(false);
    Open(state.OpenDialogFile, true);
}

std::string WritePanel::NoCardSelected() const { return tr("Drive of SD card no selected").toStdString(); }

void WritePanel::TakePreparedStream(const std::string& path) {
    window_.BringToFront(window_.Main());
    Open(path, false);
}

void WritePanel::Open(const std::string& path, bool chosen) {
    AppState& state = window_.State();
    HideEnding();
    state.WritePreparing = 1;
    window_.Busy().Start();
    QCoreApplication::processEvents();
    StopFlag& stop = state.StopRequested;
    stop.Clear();
    const bool started = window_.Launcher().RunAside<Look>(
        [path, &stop] {
            Look look;
            look.Probe = ProbePacketSize(path, &stop);
            if (look.Probe.Outcome != ProbeOutcome::Found) return look;
            StreamAnalysis measured;
            look.Rate = MeasureStreamBitrate(measured, path, stop);
            look.SizeRatio = measured.CardSizeRatio;
            return look;
        },
        [this, path, chosen](Look look) { Opened(path, chosen, look); });
    if (!started) EndPreparing();
}

void WritePanel::Opened(const std::string& path, bool chosen, const Look& look) {
    AppState& state = window_.State();
    Dialogs& dialog = window_.Dialog();
    // A file that does not open is chosen again, as the open dialog offers.
    auto choose_again = [&](const Words& message) {
        dialog.Tell(SaidText(message));
        EndPreparing();
        if (chosen) SpeedButton23Click();
    };
    switch (look.Probe.Outcome) {
        case ProbeOutcome::Found: break;
        case ProbeOutcome::Stopped: return EndPreparing();
        case ProbeOutcome::Failed: return choose_again(look.Probe.Message);
        case ProbeOutcome::UnknownFormat:
            dialog.Tell(SaidText(UnknownStreamFormat(path, look.Probe.Message)),
                        SaidText(Words(kSynchronizationErrorCaption)));
            return EndPreparing();
    }
    const BitrateMeasurement& rate = look.Rate;
    if (rate.Stopped) return EndPreparing();
    if (rate.Code == kStreamRateFailed) return choose_again(rate.Message);

    // The header's bit rate: measured, or the default when the stream has
    // no interval of 10 s; never the rate of the file before.
    Edit4->setText(QString::fromStdString(rate.CardRateText.empty() ? kDefaultCardBitrateText : rate.CardRateText));
    Label41->setText(ShownNumber(rate.Rate188Text));
    Label47->setText(ShownNumber(rate.Rate204Text));
    state.SizeRatio = chosen ? 1.0 : look.SizeRatio;

    window_.BringToFront(window_.Main());
    window_.Busy().Stop();
    if (!window_.Launcher().StartAnalysis({AnalysisMode::ModeCardWrite, path})) return EndPreparing();
    state.WritePanelOpen = 1;
}

void WritePanel::AnalysisEnded(const AnalysisResult& result) {
    AppState& state = window_.State();
    EndPreparing();
    const bool armed = result.Ending == AnalysisEnding::Complete || result.Ending == AnalysisEnding::NoDescription;
    if (!armed) {
        state.WritePanelOpen = 0;
        return;
    }
    // The panel keeps its own hold of the file: another analysis may replace
    // the window's stream description before "Begin write".
    StreamState& stream = state.Stream;
    job_ = CardWriteJob{};
    if (stream.CardSource.IsOpen()) {
        job_.Source = std::move(stream.CardSource);
    } else {
        File file;
        Status opened = OpenStreamFile(stream.Path, file);
        if (opened) opened = job_.Source.Open(std::move(file));
        if (!opened) {
            window_.Dialog().Tell(SaidText(opened.words()));
            state.WritePanelOpen = 0;
            return;
        }
    }
    job_.StartOffset = static_cast<std::uint64_t>(stream.Layout.StartOffset);
    job_.Packet192Mode = stream.Packet192Mode;
    bool lossy = false;
    job_.FileName = EncodeCodePageReplacing(stream.Layout.StreamFileName, SystemCodePage(), lossy);
    state.Cards.CardBytes = CardBytesOf(job_.Source.Size());
    state.WritePanelOpen = 1;
    ShowSize();

    // What the stream takes on the card (its null packets kept as counts),
    // off the GUI thread: "Begin write" asks about room with it and refuses
    // a stream with nothing to store before the card changes.
    SpeedButton1->SetState(StartState::Unavailable);
    state.WritePreparing = 1;
    StopFlag& stop = state.StopRequested;
    const bool started = window_.Launcher().RunAside<CardStreamSize>(
        [this, &stop] {
            return MeasureCardStream(job_.Source, job_.StartOffset, job_.Packet192Mode,
                                     [&stop](std::uint64_t) { return !stop.IsSet(); });
        },
        [this](CardStreamSize size) { Measured(size); });
    if (!started) {
        EndPreparing();
        state.WritePanelOpen = 0;
    }
}

void WritePanel::Measured(const CardStreamSize& size) {
    AppState& state = window_.State();
    EndPreparing();
    // Stopped: the card was pulled, or the operator stopped the look; or
    // the file could not be read to its end (it shrank): that is told.
    if (!size.Complete) {
        state.StopRequested.Clear();
        state.WritePanelOpen = 0;
        window_.BringToFront(window_.Main());
        if (!size.Read) window_.Dialog().Tell(SaidText(size.Read.words()));
        return;
    }
    job_.Size = size;
    // A stream whose tables were not all found is written as it is.
    SpeedButton1->SetState(StartState::Ready);
    window_.BringToFront(this);
}

void WritePanel::EndPreparing() {
    AppState& state = window_.State();
    state.WritePreparing = 0;
    // A pull that stopped the look at the file is told by nobody later.
    state.Cards.Pulled = false;
    window_.Busy().Stop();
    window_.Card()->SpeedButton23->setEnabled(state.Cards.CardReady);
}

}  // namespace tscard::app
