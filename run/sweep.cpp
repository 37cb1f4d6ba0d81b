#include "sweep.h"

#include "fields.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace karrow {

namespace {

    std::optional<double> NumberOf(const std::string& text)
    {
        double value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
            return std::nullopt;
        return value;
    }

    // The shortest text that reads back as the same double, with the regional separator.
    std::string TextOf(double value, FieldKind kind, char separator)
    {
        if (kind == FieldKind::Integer)
            return std::to_string(static_cast<long long>(std::llround(value)));
        char buffer[64];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        std::string text(buffer, result.ptr);
        for (char& c : text)
            if (c == '.')
                c = separator;
        return text;
    }

} // namespace

std::optional<Variation> ParseVariation(const std::string& text, std::string& problem)
{
    const std::size_t equals = text.find('=');
    const std::size_t first = text.find(':', equals);
    const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    if (equals == std::string::npos || second == std::string::npos) {
        problem = "\"" + text + "\" is not FIELD=FROM:TO:COUNT";
        return std::nullopt;
    }
    Variation v;
    const std::string name = text.substr(0, equals);
    for (int field = 1; field <= InputFieldCount; ++field)
        if (name == Field(field).OptionName)
            v.Field = field;
    if (v.Field == 0) {
        problem = "\"" + name + "\" is not an input field (such as channel-width)";
        return std::nullopt;
    }
    const auto from = NumberOf(text.substr(equals + 1, first - equals - 1));
    const auto to = NumberOf(text.substr(first + 1, second - first - 1));
    const auto count = NumberOf(text.substr(second + 1));
    if (!from || !to || !count || *count < 1 || *count > 1e6 || std::trunc(*count) != *count) {
        problem = "\"" + text
            + "\": FROM and TO must be numbers (with a full stop) and COUNT a "
              "whole number from 1 to 1000000";
        return std::nullopt;
    }
    v.From = *from;
    v.To = *to;
    v.Count = static_cast<int>(*count);
    return v;
}

std::vector<std::array<std::string, 15>> GridOf(const std::array<std::string, 15>& fixed,
    const std::vector<Variation>& variations, char separator)
{
    std::vector<std::array<std::string, 15>> designs { fixed };
    for (const Variation& v : variations) {
        std::vector<std::array<std::string, 15>> next;
        for (const auto& design : designs)
            for (int k = 0; k < v.Count; ++k) {
                const double value =
                    v.Count == 1 ? v.From : v.From + (v.To - v.From) * k / (v.Count - 1);
                auto texts = design;
                texts[static_cast<std::size_t>(v.Field - 1)] =
                    TextOf(value, Field(v.Field).Kind, separator);
                next.push_back(texts);
            }
        designs = std::move(next);
    }
    return designs;
}

std::vector<RunRecord> RunSweep(const std::vector<std::array<std::string, 15>>& designs,
    SolverChoice solver, const MeltProperties& melt, char separator, int jobs,
    const std::function<void(std::size_t)>& progress, const NetworkOptions& network)
{
    std::vector<RunRecord> records(designs.size());
    std::atomic<std::size_t> next { 0 };
    std::atomic<std::size_t> done { 0 };
    std::mutex mutex;
    std::condition_variable changed;
    const auto work = [&] {
        for (std::size_t k; (k = next++) < designs.size();) {
            records[k] = CalculateDesign(designs[k], solver, melt, separator, network);
            ++done;
            changed.notify_one();
        }
    };
    std::vector<std::jthread> workers;
    for (int j = 0; j < std::max(1, jobs); ++j)
        workers.emplace_back(work);
    std::unique_lock lock(mutex);
    while (done < designs.size()) {
        changed.wait_for(lock, std::chrono::milliseconds(200));
        if (progress)
            progress(done);
    }
    return records;
}

} // namespace karrow
