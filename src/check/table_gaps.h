#pragma once
// The indicators of things that must come often enough, on the time base:
// a PAT section on PID 0 and a PMT section on each program_map_PID at
// least every 0.5 s, a packet of each elementary stream a PMT names at
// least every PID time-out. Each interval longer than its limit counts
// once, however long. The interval from the first packet of the file (or
// from the PAT or PMT that names the PID) to the first occurrence counts,
// even when no occurrence ever comes: a table or a stream the file never
// carries is missing, not cut off. An interval the end of the file leaves
// open after an occurrence does not count: the file may just end there.

#include <cstdint>
#include <map>

#include "check/tallies.h"

namespace tscard {

constexpr double kTableLimitSeconds = 0.5;

class TableGaps {
public:
    TableGaps(Tallies& tallies, double pid_timeout) : tallies_(tallies), pid_timeout_(pid_timeout) {}

    // The time of the file's first packet: where the first intervals begin.
    void Start(double seconds);
    void PatSeen(double seconds, std::uint64_t offset);
    // A table_id 0x02 section starts on a PID before the first PAT.
    void EarlyPmt(std::uint16_t pid, double seconds, std::uint64_t offset);
    // A program_map_PID in the PAT: watched from the file's start when the
    // first PAT names it (from its last section before that PAT, if any),
    // from the naming PAT otherwise.
    void PmtNamed(std::uint16_t pid, double seconds, bool first_pat);
    void PmtDropped(std::uint16_t pid) { pmts_.erase(pid); }
    void PmtSeen(std::uint16_t pid, double seconds, std::uint64_t offset);
    // An elementary stream in a PMT: watched from the PMT that first names it.
    void EsNamed(std::uint16_t pid, double seconds);
    void EsDropped(std::uint16_t pid) { streams_.erase(pid); }
    // Packets of the PID from `first` to `last` in a stretch of the file.
    void EsPresent(std::uint16_t pid, double first_seconds, std::uint64_t first_offset, double last_seconds);
    bool Watching(std::uint16_t pid) const { return streams_.count(pid) != 0; }
    // The last packet of the file.
    void Finish(double seconds, std::uint64_t offset);

private:
    struct Watch {
        double Last = 0.0;
        bool Seen = false;  // an occurrence closed the first interval
    };
    void Ended(Indicator indicator, Watch& w, double limit, double seconds, std::uint64_t offset,
               std::uint16_t pid, Cause cause);
    // The end of the file: counts the first interval of a watch never closed.
    void Missing(Indicator indicator, const Watch& w, double limit, double seconds, std::uint64_t offset,
                 std::uint16_t pid);

    Tallies& tallies_;
    double pid_timeout_;
    double start_ = 0.0;
    bool started_ = false;
    Watch pat_;
    std::map<std::uint16_t, Watch> pmts_;
    struct Early {
        double First = 0.0;
        std::uint64_t FirstOffset = 0;
        double Last = 0.0;
    };
    std::map<std::uint16_t, Early> early_pmts_;
    std::map<std::uint16_t, Watch> streams_;
};

}  // namespace tscard
