#include "sweep.h"

#include "fields.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>

namespace karrow {

namespace {

    std::optional<double> NumberOf(const std::string& text)
    {
        double value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || error != std::errc() || end != text.data() + text.size()
            || !std::isfinite(value))
            return std::nullopt;
        return value;
    }

    bool IsWholeIn32Bits(double value)
    {
        return std::trunc(value) == value && value >= std::numeric_limits<std::int32_t>::min()
            && value <= std::numeric_limits<std::int32_t>::max();
    }

    std::string Quoted(const std::string& text)
    {
        return "\"" + text + "\"";
    }

    // A whole-number field holds what its row names only when every step is whole.
    std::optional<std::string> IntegerGridProblem(const Variation& v, const std::string& text)
    {
        const char* name = InfoOf(v.Varied).OptionName;
        if (!IsWholeIn32Bits(v.From) || !IsWholeIn32Bits(v.To))
            return Quoted(text) + ": " + name
                + " takes whole numbers, so FROM and TO must be whole numbers from -2147483648 "
                  "to 2147483647";
        const auto span = static_cast<std::int64_t>(v.To) - static_cast<std::int64_t>(v.From);
        if (v.Count > 1 && span % (v.Count - 1) != 0)
            return Quoted(text) + ": " + name + " takes whole numbers, so TO - FROM ("
                + std::to_string(span) + ") must be a multiple of COUNT - 1 ("
                + std::to_string(v.Count - 1) + ")";
        return std::nullopt;
    }

} // namespace

std::optional<Variation> ParseVariation(const std::string& text, std::string& problem)
{
    const std::size_t equals = text.find('=');
    const std::size_t first = text.find(':', equals);
    const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    if (equals == std::string::npos || second == std::string::npos) {
        problem = Quoted(text) + " is not FIELD=FROM:TO:COUNT";
        return std::nullopt;
    }
    Variation v;
    const std::string name = text.substr(0, equals);
    const std::optional<Field> field = FieldOfOption(name);
    if (name == MeltTemperatureAxis) {
        v.Axis = SweepAxis::MeltTemperature;
    } else if (!field || *field == Field::SaveFileName) {
        problem = Quoted(name) + " is not an input field (such as channel-width) nor "
            + MeltTemperatureAxis;
        return std::nullopt;
    } else {
        v.Varied = *field;
    }
    const auto from = NumberOf(text.substr(equals + 1, first - equals - 1));
    const auto to = NumberOf(text.substr(first + 1, second - first - 1));
    const auto count = NumberOf(text.substr(second + 1));
    if (!from || !to || !count || *count < 1 || *count > MaxVariationCount
        || std::trunc(*count) != *count) {
        problem = Quoted(text)
            + ": FROM and TO must be finite numbers (with a full stop) and COUNT a whole number "
              "from 1 to "
            + std::to_string(MaxVariationCount);
        return std::nullopt;
    }
    v.From = *from;
    v.To = *to;
    v.Count = static_cast<std::int64_t>(*count);
    if (v.Count == 1 && v.From != v.To) {
        problem = Quoted(text) + ": COUNT 1 takes one value, so FROM and TO must be equal";
        return std::nullopt;
    }
    if (v.Axis == SweepAxis::Field && InfoOf(v.Varied).Kind == FieldKind::Integer) {
        if (const auto integerProblem = IntegerGridProblem(v, text)) {
            problem = *integerProblem;
            return std::nullopt;
        }
    }
    return v;
}

namespace {

    bool IsWholeNumberField(const Variation& v)
    {
        return v.Axis == SweepAxis::Field && InfoOf(v.Varied).Kind == FieldKind::Integer;
    }

    std::int64_t WholeValueAt(const Variation& v, std::int64_t k)
    {
        const auto from = static_cast<std::int64_t>(v.From);
        const std::int64_t step =
            v.Count == 1 ? 0 : (static_cast<std::int64_t>(v.To) - from) / (v.Count - 1);
        return from + k * step;
    }

} // namespace

double ValueAt(const Variation& v, std::int64_t k)
{
    if (IsWholeNumberField(v))
        return static_cast<double>(WholeValueAt(v, k));
    // std::lerp gives FROM at 0 and TO at 1 exactly and never forms TO - FROM where it could
    // overflow (FROM and TO of opposite signs near the largest double).
    return v.Count == 1
        ? v.From
        : std::lerp(v.From, v.To, static_cast<double>(k) / static_cast<double>(v.Count - 1));
}

std::string AxisName(const Variation& v)
{
    return v.Axis == SweepAxis::MeltTemperature ? MeltTemperatureAxis
                                                : InfoOf(v.Varied).OptionName;
}

std::string ValueText(const Variation& v, std::int64_t k, char separator)
{
    if (IsWholeNumberField(v))
        return std::to_string(WholeValueAt(v, k));
    const double value = ValueAt(v, k);
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    for (char& c : text)
        if (c == '.')
            c = separator;
    return text;
}

StudyGrid::StudyGrid(
    const FieldTexts& fixed, std::vector<Variation> variations, char separator)
    : fixed_(fixed)
    , variations_(std::move(variations))
    , separator_(separator)
{
    for (const Variation& v : variations_)
        size_ *= static_cast<std::uint64_t>(v.Count);
}

std::optional<std::string> StudyGrid::Problem(const std::vector<Variation>& variations)
{
    std::uint64_t size = 1;
    for (std::size_t i = 0; i < variations.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j)
            if (AxisName(variations[j]) == AxisName(variations[i]))
                return AxisName(variations[i]) + " is varied twice: give one --vary per field";
        const auto count = static_cast<std::uint64_t>(variations[i].Count);
        if (size > std::numeric_limits<std::uint64_t>::max() / count)
            return std::string("the grid has more designs than a 64-bit count holds");
        size *= count;
    }
    return std::nullopt;
}

FieldTexts StudyGrid::DesignAt(std::uint64_t index) const
{
    FieldTexts texts = fixed_;
    for (auto v = variations_.rbegin(); v != variations_.rend(); ++v) {
        const auto count = static_cast<std::uint64_t>(v->Count);
        if (v->Axis == SweepAxis::Field)
            texts[v->Varied] =
                ValueText(*v, static_cast<std::int64_t>(index % count), separator_);
        index /= count;
    }
    return texts;
}

std::optional<double> StudyGrid::MeltTemperatureAt(std::uint64_t index) const
{
    for (auto v = variations_.rbegin(); v != variations_.rend(); ++v) {
        const auto count = static_cast<std::uint64_t>(v->Count);
        if (v->Axis == SweepAxis::MeltTemperature)
            return ValueAt(*v, static_cast<std::int64_t>(index % count));
        index /= count;
    }
    return std::nullopt;
}

std::optional<Shard> ParseShard(const std::string& text, std::string& problem)
{
    const std::size_t slash = text.find('/');
    Shard shard;
    const auto whole = [&](std::size_t from, std::size_t end, std::uint64_t& value) {
        const auto [stop, error] = std::from_chars(text.data() + from, text.data() + end, value);
        return from < end && error == std::errc() && stop == text.data() + end;
    };
    if (slash == std::string::npos || !whole(0, slash, shard.Index)
        || !whole(slash + 1, text.size(), shard.Count) || shard.Index < 1
        || shard.Index > shard.Count) {
        problem = Quoted(text) + " is not K/N with whole numbers 1 <= K <= N";
        return std::nullopt;
    }
    return shard;
}

DesignRange RangeOf(const Shard& shard, std::uint64_t gridSize)
{
    // Sizes differ by one at most, the larger parts first.
    const std::uint64_t base = gridSize / shard.Count;
    const std::uint64_t larger = gridSize % shard.Count;
    const auto start = [&](std::uint64_t k) { return k * base + std::min(k, larger); };
    return { start(shard.Index - 1), start(shard.Index) };
}

namespace {

    // The rows between the calculation of the designs and their writing in grid order: a ring of
    // slots, one per design that may be in flight or waiting for an earlier one.
    class ReorderWindow {
    public:
        ReorderWindow(std::uint64_t total, std::uint64_t slots)
            : total_(total)
            , slots_(slots)
        {
        }

        // The next design to calculate, once the window has room for it; none at the end.
        std::optional<std::uint64_t> Claim()
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] {
                return stopped_ || claimed_ == total_ || claimed_ < written_ + slots_.size();
            });
            if (stopped_ || claimed_ == total_)
                return std::nullopt;
            return claimed_++;
        }

        void Deliver(std::uint64_t k, SweepRow row)
        {
            {
                std::lock_guard lock(mutex_);
                slots_[k % slots_.size()] = std::move(row);
            }
            changed_.notify_all();
        }

        // Moves the rows that are next in order into `batch`, waiting a while for one.
        void TakeNext(std::vector<SweepRow>& batch)
        {
            {
                std::unique_lock lock(mutex_);
                changed_.wait_for(lock, std::chrono::milliseconds(200),
                    [&] { return stopped_ || slots_[written_ % slots_.size()].has_value(); });
                for (auto* slot = &slots_[written_ % slots_.size()]; written_ < total_ && *slot;
                     slot = &slots_[written_ % slots_.size()]) {
                    batch.push_back(std::move(**slot));
                    slot->reset();
                    ++written_;
                }
            }
            changed_.notify_all();
        }

        void Stop(std::exception_ptr error = nullptr)
        {
            {
                std::lock_guard lock(mutex_);
                stopped_ = true;
                if (error && !error_)
                    error_ = error;
            }
            changed_.notify_all();
        }

        bool Stopped()
        {
            std::lock_guard lock(mutex_);
            return stopped_;
        }
        std::uint64_t Written()
        {
            std::lock_guard lock(mutex_);
            return written_;
        }
        std::exception_ptr Error()
        {
            std::lock_guard lock(mutex_);
            return error_;
        }

    private:
        std::mutex mutex_;
        std::condition_variable changed_;
        const std::uint64_t total_;
        std::vector<std::optional<SweepRow>> slots_;
        std::uint64_t claimed_ = 0;
        std::uint64_t written_ = 0;
        bool stopped_ = false;
        std::exception_ptr error_;
    };

} // namespace

namespace {

    // Hands the rows to Write as they become next in grid order; false when Write ended the
    // study.
    bool WriteInOrder(ReorderWindow& window, std::uint64_t total, const SweepSettings& settings)
    {
        std::vector<SweepRow> batch;
        auto shown = std::chrono::steady_clock::now();
        while (!window.Stopped() && window.Written() < total) {
            window.TakeNext(batch);
            if (!batch.empty() && !settings.Write(batch)) {
                window.Stop();
                return false;
            }
            batch.clear();
            const auto now = std::chrono::steady_clock::now();
            if (settings.Progress
                && (now - shown > std::chrono::milliseconds(200) || window.Written() == total)) {
                settings.Progress(window.Written());
                shown = now;
            }
        }
        return true;
    }

} // namespace

bool RunSweep(const StudyGrid& grid, DesignRange range, const SweepSettings& settings)
{
    const std::uint64_t total = range.Size();
    const auto jobs = static_cast<std::uint64_t>(std::max(1, settings.Jobs));
    ReorderWindow window(total, ReorderRowsPerJob * jobs);
    const auto work = [&] {
        while (const auto k = window.Claim()) {
            try {
                const std::uint64_t index = range.First + *k;
                SweptDesign design { CalculateDesign(grid.DesignAt(index), settings.Solver,
                                         settings.Melt, grid.Separator(), settings.Network),
                    settings.RealMelt, std::nullopt };
                if (design.Melt) {
                    if (const auto temperature = grid.MeltTemperatureAt(index))
                        design.Melt->Conditions.MeltTemperature = *temperature;
                    design.MeltAnswer = SolveRunMelt(design.Record, *design.Melt);
                }
                window.Deliver(*k, settings.Format(design));
            } catch (...) {
                window.Stop(std::current_exception());
            }
        }
    };
    bool written = true;
    {
        std::vector<std::jthread> workers;
        for (std::uint64_t j = 0; j < std::min(jobs, total); ++j)
            workers.emplace_back(work);
        try {
            written = WriteInOrder(window, total, settings);
        } catch (...) {
            // The workers must not wait for room that will never come before they are joined.
            window.Stop(std::current_exception());
        }
    }
    if (const std::exception_ptr error = window.Error())
        std::rethrow_exception(error);
    return written;
}

} // namespace karrow
