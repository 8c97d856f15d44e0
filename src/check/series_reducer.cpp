#include "check/series_reducer.h"

#include <cmath>

namespace tscard {

void SeriesReducer::Add(double seconds, double value) {
    std::int64_t index = static_cast<std::int64_t>(std::floor(seconds / width_));
    // A point a little out of order joins the last stretch.
    if (!buckets_.empty() && index < buckets_.back().Index) index = buckets_.back().Index;
    const SeriesPoint point{seconds, value};
    if (buckets_.empty() || buckets_.back().Index != index) {
        buckets_.push_back({index, point, point});
        if (buckets_.size() > limit_) Widen();
        return;
    }
    Bucket& b = buckets_.back();
    if (value < b.Min.Value) b.Min = point;
    if (value > b.Max.Value) b.Max = point;
}

// Twice the width: neighbours merge, each keeping the extremes of both.
void SeriesReducer::Widen() {
    width_ *= 2.0;
    std::size_t out = 0;
    for (std::size_t i = 0; i < buckets_.size(); ++i) {
        Bucket b = buckets_[i];
        b.Index = b.Index >= 0 ? b.Index / 2 : -((-b.Index + 1) / 2);
        if (out > 0 && buckets_[out - 1].Index == b.Index) {
            Bucket& into = buckets_[out - 1];
            if (b.Min.Value < into.Min.Value) into.Min = b.Min;
            if (b.Max.Value > into.Max.Value) into.Max = b.Max;
        } else {
            buckets_[out++] = b;
        }
    }
    buckets_.resize(out);
    if (buckets_.size() > limit_) Widen();
}

std::vector<SeriesPoint> SeriesReducer::Points() const {
    std::vector<SeriesPoint> points;
    points.reserve(buckets_.size() * 2);
    for (const Bucket& b : buckets_) {
        const bool same = b.Min.Seconds == b.Max.Seconds && b.Min.Value == b.Max.Value;
        if (same) {
            points.push_back(b.Min);
        } else if (b.Min.Seconds <= b.Max.Seconds) {
            points.push_back(b.Min);
            points.push_back(b.Max);
        } else {
            points.push_back(b.Max);
            points.push_back(b.Min);
        }
    }
    return points;
}

}  // namespace tscard
