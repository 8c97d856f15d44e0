// tscard-cli card write CARD SOURCE [--bitrate KBPS] [--verify] [--force] [--yes]
//
// The card is emptied and gets the stream from unit 0 on: the header is
// rebuilt with the bit rate, the stream is packed into blocks, one entry
// describes it. Before that the source is probed, its bit rate measured
// (unless given), analysed for the card and measured (what it takes on the
// card, its null packets kept as counts); a stream larger than the card's
// data area needs --force. Ctrl+C stops after the current window, and the
// blocks on the card are recorded.

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "analysis/analyzer.h"
#include "analysis/bitrate.h"
#include "card/card_list.h"
#include "card/card_stream_size.h"
#include "card/card_write.h"
#include "card/card_write_verify.h"
#include "cli/card_access.h"
#include "cli/card_transfer.h"
#include "cli/cli_analysis.h"
#include "cli/cli_common.h"
#include "cli/cli_events.h"
#include "cli/commands.h"
#include "cli/progress.h"
#include "cli/signals.h"
#include "platform/file_identity.h"
#include "ts/model.h"
#include "ts/packet_probe.h"
#include "ts/stream_open.h"

namespace tscard::cli {
namespace {

struct WriteArgs {
    std::string card;
    std::string source;
    std::string bitrate;
    bool bitrate_given = false;
    bool verify = false;
    bool force = false;
    bool yes = false;
    bool allow_non_removable = false;
};

std::string MB(std::int64_t bytes) { return FormatFixed(double(bytes) / 1048576.0, 3); }

// The card must be in the layout and formatted before anything else.
std::int64_t DataUnitsOfReadyCard(const CardTarget& target, const SystemRoots& roots) {
    CardDevice look;
    const CardRecord record = ExamineCardOrExit(target, roots, look);
    if (!record.HeaderValid || !record.Directory.Header.Formatted())
        Fail(target.Path + ": Mast be formated (the card is not in the card layout; 'tscard-cli card format' does it)");
    return record.DataUnits;
}

std::uint32_t BitrateOrExit(const WriteArgs& args, StopFlag& stop, std::string& origin) {
    std::string text;
    if (args.bitrate_given) {
        text = args.bitrate;
        origin = "given";
    } else {
        StreamAnalysis scratch;
        const BitrateMeasurement m = MeasureStreamBitrate(scratch, args.source, stop);
        if (m.Stopped) Fail(args.source + ": stopped; nothing was written");
        if (m.Code == kStreamRateFailed) Fail(m.Message.English());
        text = m.CardRateText.empty() ? kDefaultCardBitrateText : m.CardRateText;
        origin = m.CardRateText.empty() ? "default, no PCR interval of 10 s was found" : "measured";
    }
    const auto bitrate = ParseCardBitrate(text);
    if (!bitrate)
        Fail(args.source + ": the bit rate '" + text + "' (" + origin + ") is not " + CardBitrateRangeText().English() +
             "; --bitrate gives one; nothing was written");
    return *bitrate;
}

void AnalyseOrExit(const std::string& source, StreamState& state, StopFlag& stop) {
    const AnalysisResult analysis = AnalyseWithProgress(AnalysisMode::ModeCardWrite, source, state, stop);
    switch (analysis.Ending) {
        case AnalysisEnding::Complete: return;
        case AnalysisEnding::NoDescription:
            // The write panel is armed after such an analysis too: the card
            // takes the stream as it is.
            PrintError("warning: " + analysis.Message.English() + "; the stream is written all the same");
            return;
        case AnalysisEnding::Stopped: Fail(source + ": stopped; nothing was written");
        case AnalysisEnding::SyncFailed:
        case AnalysisEnding::Failed:
        case AnalysisEnding::Refused: Fail(analysis.Message.English());
    }
}

SourceFile OpenSourceOrExit(const std::string& path) {
    File file;
    SourceFile source;
    if (Status st = OpenStreamFile(path, file); !st) Fail(st.message());
    if (Status st = source.Open(std::move(file)); !st) Fail(st.message());
    return source;
}

CardStreamSize MeasureOrExit(const CardWriteJob& job, const std::string& source, StopFlag& stop) {
    TerminalProgress bar("Measuring", (job.Source.Size() - job.StartOffset) / kWindowSize);
    const CardStreamSize size =
        MeasureCardStream(job.Source, job.StartOffset, job.Packet192Mode, [&](std::uint64_t windows) {
            bar.Set(windows);
            return !stop.IsSet();
        });
    bar.Finish();
    if (!size.Read) Fail(size.Read.message());
    if (!size.Complete) Fail(source + ": stopped; nothing was written");
    return size;
}

void ReportNullRuns(const NullRunWarning& runs) {
    if (runs.Runs == 0) return;
    PrintError("warning: " + std::to_string(runs.Runs) +
               " run(s) of null packets will not read back with the same count: the first, after stored packet " +
               std::to_string(runs.FirstAfterPacket) + ", has " + std::to_string(runs.FirstLength) +
               " null packets and reads back as " + std::to_string(runs.FirstReadBack) +
               " (a trailer carries at most 65535, and counts from 0x4000 change when read)");
}

std::string EntryText(const DirEntry& e) {
    return "start sector " + std::to_string(e.StartSector) + ", length " + std::to_string(e.Length) +
           ", last slot " + std::to_string(unsigned(e.LastSlot));
}

// Reads the stream back and compares it with its source packed again; the
// directory must hold exactly the one entry.
void VerifyOrExit(CardDevice& device, const CardWriteResult& result, const std::string& source,
                  std::uint64_t start_offset, bool packet192, std::uint32_t bitrate, StopFlag& stop) {
    CardDirectory directory;
    Status read_status;
    if (device.LoadDirectory(directory, &read_status) != DirectoryState::Valid)
        Fail(device.Path() + ": verify: the card's header cannot be read back in the card layout" +
             (read_status ? std::string() : " (" + read_status.message() + ")"));
    const DirEntry& first = directory.Records[0];
    if (directory.Header.FileCount != 1 || directory.Header.Bitrate != bitrate || first.StartSector != result.Entry.StartSector ||
        first.Length != result.Entry.Length || first.LastSlot != result.Entry.LastSlot || first.Name != result.Entry.Name)
        Fail(device.Path() + ": verify: the directory reads back as " + std::to_string(directory.Header.FileCount) +
             " entries, bit rate " + std::to_string(directory.Header.Bitrate) + ", the first " + EntryText(first) +
             "; written was 1 entry, bit rate " + std::to_string(bitrate) + ", " + EntryText(result.Entry));

    const SourceFile again = OpenSourceOrExit(source);
    auto bar = std::make_unique<TerminalProgress>("Verifying", std::uint64_t(result.Entry.Length) + 1);
    const CardVerifyResult verify =
        VerifyWrittenStream(device, result.Entry, again, start_offset, packet192, stop,
                            [&](std::uint64_t done, std::uint64_t) { bar->Set(done); });
    bar->Finish();
    if (!verify.Matches) Fail("verify: " + verify.Message);
    std::cout << "Verified: " << verify.BlocksCompared << " blocks read back as written" << std::endl;
}

int RunCardWrite(const WriteArgs& args, const SystemRoots& roots, const GlobalOptions& options) {
    // A bit rate given on the command line is checked before anything else.
    if (args.bitrate_given && !ParseCardBitrate(args.bitrate))
        Fail("--bitrate " + args.bitrate + ": not a bit rate in kbit/s (" + CardBitrateRangeText().English() +
                 ", what a DVB-ASI link carries)",
             kExitUsage);
    const CardTarget target = ResolveCardOrExit(args.card, args.allow_non_removable, roots, *options.qt);
    if (SameFileOrDevice(args.source, target.Path)) Fail(args.source + ": the source is the card itself");
    const std::int64_t data_units = DataUnitsOfReadyCard(target, roots);

    StopFlag stop;
    StopOnSignals signals(stop);
    const PacketProbe probe = ProbePacketSize(args.source, &stop);
    switch (probe.Outcome) {
        case ProbeOutcome::Found: break;
        case ProbeOutcome::Stopped: Fail(args.source + ": stopped; nothing was written");
        case ProbeOutcome::UnknownFormat:
            Fail(args.source + ": " + kUnknownStreamFormat + " (" + probe.Message.English() + ")");
        case ProbeOutcome::Failed: Fail(probe.Message.English());
    }
    std::string bitrate_origin;
    const std::uint32_t bitrate = BitrateOrExit(args, stop, bitrate_origin);

    StreamState state;
    AnalyseOrExit(args.source, state, stop);
    CardWriteJob job;
    job.Source = state.CardSource.IsOpen() ? std::move(state.CardSource) : OpenSourceOrExit(args.source);
    job.StartOffset = static_cast<std::uint64_t>(state.Layout.StartOffset);
    job.Packet192Mode = state.Packet192Mode;
    job.Bitrate = bitrate;
    bool lossy = false;
    job.FileName = CardNameBytes(state.Layout.StreamFileName, options, lossy);
    if (lossy)
        PrintError("warning: the file name has characters that code page " +
                   std::string(CodePageName(options.codepage)) + " lacks; the card names it \"" +
                   DisplayText(job.FileName, options) + "\"");

    // What the stream takes on the card, its null packets kept as counts:
    // a stream with nothing to store, or too large without --force, is
    // refused while the card is as it was.
    const CardStreamSize size = MeasureOrExit(job, args.source, stop);
    if (size.PacketsStored == 0)
        Fail(args.source + ": the stream holds no packet to store (only null packets); nothing was written");
    job.Size = size;
    // The write empties the card first, so the whole data area is free.
    if (StreamExceedsDataArea(size.Bytes(), data_units)) {
        const std::string sizes = "the stream takes " + MB(size.Bytes()) + " MB on the card (" +
                                  MB(std::int64_t(job.Source.Size() - job.StartOffset)) +
                                  " MB as a file, its null packets kept as counts), its data area holds " +
                                  MB(data_units * std::int64_t(kUnitSize)) + " MB";
        if (!args.force) Fail(args.source + ": " + sizes + "; --force writes as much as fits; nothing was written");
        PrintError("warning: " + sizes + "; writing as much as fits");
    }

    ConfirmRawWriteOrExit(target, roots, "Write " + DisplayText(job.FileName, options) + " to", args.yes);
    CardDevice device;
    OpenCardOrExit(target, true, roots, device);
    if (device.LoadDirectory(device.Directory) != DirectoryState::Valid || !device.Directory.Header.Formatted())
        Fail(target.Path + ": Mast be formated (the card is not in the card layout)");

    std::cerr << "Bit rate: " << bitrate << " kbit/s (" << bitrate_origin << ")" << std::endl;
    CardWriteState write;
    CardWriteWorker writer;
    CardWriteResult result;
    {
        CliEvents events("Writing", [&] { return writer.ProgressMaximum(); }, [&] { return writer.ProgressPosition(); });
        result = writer.Run(job, device, write, events.Sink(), stop);
        events.Close();
    }

    ReportNullRuns(result.NullRuns);
    if (result.Ending == CardWriteEnding::Refused || result.Ending == CardWriteEnding::Failed) Fail(result.Message.English());
    if (!write.DirectoryStored)
        Fail(write.DirectoryStatus.message() +
             "; the directory was not stored: the card holds the new header and the blocks, with no entry");

    const std::string what = std::to_string(result.PacketsOnCard) + " packets in " +
                             std::to_string(result.BlocksWritten) + " blocks";
    if (result.Ending == CardWriteEnding::Complete) {
        std::cout << "Wrote " << TerminalText(job.FileName, options) << " to " << EscapeControls(target.Path) << ": " << what
                  << "; entry 0: " << EntryText(result.Entry) << "; bit rate " << bitrate << " kbit/s" << std::endl;
        if (args.verify) VerifyOrExit(device, result, args.source, job.StartOffset, job.Packet192Mode, bitrate, stop);
        return kExitOk;
    }

    // Stopped: by the operator, at the card's end, by a failed write, or by
    // a source that could not be read to its end.
    std::string recorded = result.Recorded ? what + " reached the card and are recorded as entry 0: " +
                                                 EntryText(result.Entry)
                                           : "no block reached the card; the card is left empty";
    switch (result.StopReason) {
        case CardWriteStop::CardFull:
            PrintError(target.Path + ": the card is full: " + recorded + "; the rest of the stream was not written");
            break;
        case CardWriteStop::CardRemoved:
            PrintError(target.Path + ": the card was removed during the write (" + result.Message.English() +
                       "); the write was stopped: " + recorded);
            break;
        case CardWriteStop::WriteFailed:
        case CardWriteStop::SourceFailed: PrintError(result.Message.English() + "; the write stopped: " + recorded); break;
        case CardWriteStop::Operator:
        case CardWriteStop::None: PrintError(target.Path + ": the write was stopped: " + recorded); break;
    }
    // A card that went is not read back.
    if (args.verify && result.Recorded && result.StopReason != CardWriteStop::CardRemoved)
        VerifyOrExit(device, result, args.source, job.StartOffset, job.Packet192Mode, bitrate, stop);
    return kExitFailed;
}

}  // namespace

void RegisterCardWriteCommand(CLI::App& card, GlobalOptions& options) {
    auto args = std::make_shared<WriteArgs>();
    CLI::App* write = card.add_subcommand(
        "write", "Write a stream to the card: the card is emptied and holds this stream only");
    AddCardArguments(write, args->card, args->allow_non_removable);
    write->add_option("SOURCE", args->source, "The transport stream file (188-byte packets or 192-byte units)")
        ->required();
    CLI::Option* bitrate = write->add_option(
        "--bitrate", args->bitrate,
        "Bit rate in kbit/s written into the card header, " + std::to_string(kMinCardBitrate) + " to " +
            std::to_string(kMaxCardBitrate) +
            " (what a DVB-ASI link carries; default: measured from the stream's PCRs, else 120000)");
    write->add_flag("--verify", args->verify, "Read every written unit back and compare it with what was written");
    write->add_flag("--force", args->force, "Write a stream larger than the card's data area: as much as fits");
    write->add_flag("--yes", args->yes, "Do not ask before writing to a device");
    write->callback([args, bitrate, &options] {
        args->bitrate_given = bitrate->count() > 0;
        Exit(RunCardWrite(*args, SystemRoots::FromEnvironment(), options));
    });
}

}  // namespace tscard::cli
