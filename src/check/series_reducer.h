#pragma once
// Reduces a series of any length for drawing: time is cut into stretches
// of equal width, and each stretch keeps only its smallest and its largest
// point. The width doubles whenever the stretches outnumber twice the
// columns asked for, so memory stays bounded however long the stream, and
// no extreme value is ever dropped.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "check/check_result.h"

namespace tscard {

// Columns of a drawn chart: the stretches a long series is cut into.
constexpr std::size_t kChartColumns = 800;

class SeriesReducer {
public:
    explicit SeriesReducer(std::size_t columns = kChartColumns) : limit_(2 * columns) {}

    // Points come in time order.
    void Add(double seconds, double value);
    // Each stretch's smallest and largest point, in time order.
    std::vector<SeriesPoint> Points() const;
    bool Empty() const { return buckets_.empty(); }

private:
    struct Bucket {
        std::int64_t Index = 0;
        SeriesPoint Min;
        SeriesPoint Max;
    };
    void Widen();

    std::vector<Bucket> buckets_;
    double width_ = 1.0 / 1024.0;  // seconds per stretch
    std::size_t limit_;
};

}  // namespace tscard
