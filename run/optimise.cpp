#include "optimise.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <nlopt.hpp>
#include <thread>
#include <utility>

namespace karrow {

namespace {

    // The first primes, the bases of the Halton sequence's coordinates (seven variables at most).
    constexpr std::array<int, 7> HaltonBases { 2, 3, 5, 7, 11, 13, 17 };
    constexpr int MostSamplePoints = 1024;
    // Local searches start this far apart at least (in the unit cube of the variables), so that
    // the starts explore several basins rather than one basin several times.
    constexpr double StartSeparation = 0.05;
    // A local search's first step, as a share of each variable's range.
    constexpr double InitialStepShare = 0.1;
    // Constraints are handed to COBYLA this much tighter, so that it ends on the feasible side.
    constexpr double ConstraintCushion = 1e-9;
    // The objective COBYLA sees for a refused design: far above any real one of the normalised
    // objective (whose start is 1), so that it steps back into the model's domain.
    constexpr double RefusedObjective = 1e3;
    constexpr double RefusedMargin = 10;
    constexpr int MostWholeNumberRounds = 24;
    constexpr int PolishRounds = 3;
    constexpr double SnapShare = 0.01;
    constexpr auto ProgressInterval = std::chrono::milliseconds(100);

    // The k-th point (k from 1) of the Halton sequence in `dimensions` dimensions: radical
    // inverses of k in the first primes, low-discrepancy and the same on every run.
    std::vector<double> HaltonPoint(std::uint64_t k, std::size_t dimensions)
    {
        std::vector<double> point(dimensions);
        for (std::size_t d = 0; d < dimensions; ++d) {
            const auto base = static_cast<std::uint64_t>(HaltonBases[d]);
            double f = 1;
            double r = 0;
            for (std::uint64_t i = k; i > 0; i /= base) {
                f /= static_cast<double>(base);
                r += f * static_cast<double>(i % base);
            }
            point[d] = r;
        }
        return point;
    }

    // Variables in the unit cube: the optimiser sees every variable on the same scale.
    class UnitCube {
    public:
        explicit UnitCube(const std::vector<VariableBounds>& bounds)
            : bounds_(bounds)
        {
        }
        DesignPoint ToDesign(const std::vector<double>& u) const
        {
            DesignPoint x(bounds_.size());
            for (std::size_t k = 0; k < bounds_.size(); ++k) {
                const VariableBounds& b = bounds_[k];
                const double t = std::clamp(u[k], 0.0, 1.0);
                x[k] = t == 1 ? b.High : b.Low + t * (b.High - b.Low);
                if (IsWholeNumber(b.Variable))
                    x[k] = std::clamp(std::round(x[k]), b.Low, b.High);
            }
            return x;
        }
        std::vector<double> ToUnit(const DesignPoint& x) const
        {
            std::vector<double> u(bounds_.size());
            for (std::size_t k = 0; k < bounds_.size(); ++k) {
                const VariableBounds& b = bounds_[k];
                u[k] =
                    b.High > b.Low ? std::clamp((x[k] - b.Low) / (b.High - b.Low), 0.0, 1.0) : 0.0;
            }
            return u;
        }

    private:
        const std::vector<VariableBounds>& bounds_;
    };

    // The threads of one search, kept from its first stage to its last: a stage's tasks go to
    // threads that the scheduler has already spread over the cores, rather than to new threads,
    // which start beside the thread that made them. Tasks are taken in the order they were
    // queued; a task may queue more, which run after those queued before them. Each task keeps
    // its result in its own slot, so the answer does not depend on which thread runs it or when.
    class WorkerPool {
    public:
        using Task = std::function<void(WorkerPool&)>;

        explicit WorkerPool(int jobs)
            : jobs_(static_cast<std::size_t>(std::max(jobs, 1)))
        {
        }
        WorkerPool(const WorkerPool&) = delete;
        WorkerPool& operator=(const WorkerPool&) = delete;
        ~WorkerPool()
        {
            {
                const std::lock_guard lock(mutex_);
                closing_ = true;
            }
            changed_.notify_all();
        }

        void Add(Task task)
        {
            const std::lock_guard lock(mutex_);
            waiting_.push_back(std::move(task));
            changed_.notify_one();
        }

        // Runs the tasks queued, and those they queue, while the calling thread reports
        // progress; a task's exception ends the run, drops the tasks still waiting and is
        // thrown here.
        void Run(const std::function<void()>& progress)
        {
            std::unique_lock lock(mutex_);
            const std::size_t wanted = std::min(jobs_, waiting_.size());
            while (threads_.size() < wanted) {
                try {
                    threads_.emplace_back([this] { Work(); });
                } catch (...) {
                    // Fewer threads than asked give the same answer; without any, the error
                    // stands.
                    if (!threads_.empty())
                        break;
                    waiting_.clear();
                    throw;
                }
            }
            changed_.notify_all();
            // Until the last task ends, whatever happens: the tasks use their stage's slots.
            while (busy_ > 0 || (!waiting_.empty() && !failure_)) {
                finished_.wait_for(lock, ProgressInterval);
                lock.unlock();
                std::exception_ptr failure;
                try {
                    if (progress)
                        progress();
                } catch (...) {
                    failure = std::current_exception();
                }
                lock.lock();
                if (failure && !failure_)
                    failure_ = failure;
            }
            if (failure_) {
                waiting_.clear();
                std::exception_ptr failure = std::exchange(failure_, nullptr);
                lock.unlock();
                std::rethrow_exception(failure);
            }
        }

    private:
        void Work()
        {
            std::unique_lock lock(mutex_);
            for (;;) {
                changed_.wait(lock, [this] { return closing_ || (!waiting_.empty() && !failure_); });
                if (closing_)
                    return;
                Task task = std::move(waiting_.front());
                waiting_.pop_front();
                ++busy_;
                lock.unlock();
                std::exception_ptr failure;
                try {
                    task(*this);
                } catch (...) {
                    failure = std::current_exception();
                }
                lock.lock();
                --busy_;
                if (failure && !failure_)
                    failure_ = failure;
                if (busy_ == 0 && (waiting_.empty() || failure_))
                    finished_.notify_all();
            }
        }

        const std::size_t jobs_;
        std::mutex mutex_;
        std::condition_variable changed_;
        std::condition_variable finished_;
        std::deque<Task> waiting_;
        int busy_ = 0;
        std::exception_ptr failure_;
        bool closing_ = false;
        std::vector<std::jthread> threads_; // last: they end before what they use
    };

    // What one search shares between its threads: the problem, the count of evaluations and the
    // threads themselves.
    struct Search {
        const Inputs& Base;
        const OptimiseSettings& Settings;
        UnitCube Cube;
        std::atomic<std::uint64_t> Evaluations { 0 };
        std::uint64_t Planned = 0;
        WorkerPool Pool { Settings.Jobs }; // last: its threads end before the rest

        bool Stopped() const
        {
            return Settings.Stop != nullptr && Settings.Stop->load(std::memory_order_relaxed);
        }
        DesignCandidate Evaluate(const DesignPoint& x)
        {
            ++Evaluations;
            return { x,
                EvaluateDesign(ApplyDesign(Base, Settings.Bounds, x), Settings.Evaluation) };
        }
        void ReportProgress() const
        {
            if (Settings.Progress)
                Settings.Progress(Evaluations.load(), std::max(Planned, Evaluations.load()));
        }
        void RunQueued()
        {
            Pool.Run([this] { ReportProgress(); });
        }
        // task(0 .. count-1), each independent of the others.
        void Run(int count, const std::function<void(int)>& task)
        {
            for (int k = 0; k < count; ++k)
                Pool.Add([&task, k](WorkerPool&) { task(k); });
            RunQueued();
        }
    };

    void Keep(std::optional<DesignCandidate>& best, const DesignCandidate& candidate)
    {
        if (!best || IsBetter(candidate.Evaluation, best->Evaluation))
            best = candidate;
    }

    // One COBYLA search over the continuous variables, the whole-number ones held where the start
    // has them. It keeps the best design it evaluated itself: COBYLA's last point may lie a
    // rounding outside a limit.
    class LocalSearch {
    public:
        LocalSearch(Search& search, const DesignCandidate& start, double step = InitialStepShare)
            : search_(search)
            , step_(step)
            , start_(start.Point)
            , best_(start)
        {
            for (std::size_t k = 0; k < start_.size(); ++k)
                if (!IsWholeNumber(search.Settings.Bounds[k].Variable)
                    && search.Settings.Bounds[k].High > search.Settings.Bounds[k].Low)
                    free_.push_back(k);
            const double f = start.Evaluation.Objective;
            scale_ = !start.Evaluation.Refused && std::isfinite(f) && f > 0 ? f : 1;
            limits_ = CountLimits(search.Settings.Evaluation.Limits);
        }

        DesignCandidate Run()
        {
            if (free_.empty() || search_.Stopped())
                return *best_;
            nlopt::opt opt(nlopt::LN_COBYLA, static_cast<unsigned>(free_.size()));
            opt.set_lower_bounds(0.0);
            opt.set_upper_bounds(1.0);
            opt.set_min_objective(Objective, this);
            constraints_.reserve(limits_); // NLopt keeps pointers to the slots
            for (std::size_t j = 0; j < limits_; ++j) {
                constraints_.push_back({ this, j });
                opt.add_inequality_constraint(Constraint, &constraints_.back(), 0);
            }
            opt.set_xtol_rel(search_.Settings.RelativeTolerance);
            opt.set_maxeval(search_.Settings.LocalEvaluations);
            opt.set_initial_step(step_);
            const std::vector<double> unit = search_.Cube.ToUnit(start_);
            std::vector<double> u;
            for (std::size_t k : free_)
                u.push_back(unit[k]);
            // COBYLA's first point is the start, which comes judged already: when the unit cube
            // gives it back to the last bit, its judgement is taken instead of made again.
            if (SameBits(DesignAt(u), start_)) {
                lastU_ = u;
                last_ = best_;
            }
            double f = 0;
            try {
                opt.optimize(u, f);
            } catch (const std::bad_alloc&) {
                throw;
            } catch (const std::exception&) {
                // A forced stop, or COBYLA ending on rounding: the best design so far stands.
            }
            return *best_;
        }

    private:
        struct ConstraintSlot {
            LocalSearch* Owner;
            std::size_t Index;
        };

        static std::size_t CountLimits(const DesignLimits& limits)
        {
            std::size_t count = 0;
            for (LimitedFigure f : AllLimitedFigures)
                count += limits.Of(f).has_value() ? 1 : 0;
            return count;
        }

        const DesignEvaluation& At(const std::vector<double>& u)
        {
            if (last_ && u == lastU_)
                return last_->Evaluation;
            if (search_.Stopped())
                throw nlopt::forced_stop();
            const DesignPoint x = DesignAt(u);
            lastU_ = u;
            last_ = search_.Evaluate(x);
            Keep(best_, *last_);
            return last_->Evaluation;
        }

        // The design at COBYLA's point u: the free variables from u, the others as the start has
        // them.
        DesignPoint DesignAt(const std::vector<double>& u) const
        {
            std::vector<double> unit = search_.Cube.ToUnit(start_);
            for (std::size_t j = 0; j < free_.size(); ++j)
                unit[free_[j]] = u[j];
            DesignPoint x = search_.Cube.ToDesign(unit);
            for (std::size_t k = 0; k < x.size(); ++k)
                if (IsWholeNumber(search_.Settings.Bounds[k].Variable))
                    x[k] = start_[k];
            return x;
        }

        static bool SameBits(const DesignPoint& a, const DesignPoint& b)
        {
            return a.size() == b.size()
                && std::equal(a.begin(), a.end(), b.begin(), [](double p, double q) {
                       return std::bit_cast<std::uint64_t>(p) == std::bit_cast<std::uint64_t>(q);
                   });
        }

        static double Objective(const std::vector<double>& u, std::vector<double>&, void* data)
        {
            auto* self = static_cast<LocalSearch*>(data);
            const DesignEvaluation& e = self->At(u);
            return e.Refused ? RefusedObjective : e.Objective / self->scale_;
        }

        static double Constraint(const std::vector<double>& u, std::vector<double>&, void* data)
        {
            const auto* slot = static_cast<ConstraintSlot*>(data);
            const DesignEvaluation& e = slot->Owner->At(u);
            if (e.Refused || slot->Index >= e.Margins.size())
                return RefusedMargin;
            return e.Margins[slot->Index].second + ConstraintCushion;
        }

        Search& search_;
        double step_;
        DesignPoint start_;
        std::optional<DesignCandidate> best_;
        std::vector<std::size_t> free_;
        double scale_ = 1;
        std::size_t limits_ = 0;
        std::vector<ConstraintSlot> constraints_;
        std::vector<double> lastU_;
        std::optional<DesignCandidate> last_;
    };

    double Distance(const std::vector<double>& a, const std::vector<double>& b)
    {
        double sum = 0;
        for (std::size_t k = 0; k < a.size(); ++k)
            sum += (a[k] - b[k]) * (a[k] - b[k]);
        return std::sqrt(sum);
    }

    // The global stage: the base design (clamped to the bounds) and the Halton sample.
    std::vector<DesignCandidate> SampleDesigns(Search& search)
    {
        const std::vector<VariableBounds>& bounds = search.Settings.Bounds;
        const std::size_t n = bounds.size();
        const int points = std::clamp(
            search.Settings.SamplePerVariable * static_cast<int>(n), 1, MostSamplePoints);
        std::vector<DesignPoint> designs;
        const DesignPoint basePoint =
            search.Cube.ToDesign(search.Cube.ToUnit(PointOf(search.Base, bounds)));
        designs.push_back(basePoint);
        for (int k = 1; k <= points; ++k)
            designs.push_back(search.Cube.ToDesign(HaltonPoint(static_cast<std::uint64_t>(k), n)));
        std::vector<std::optional<DesignCandidate>> judged(designs.size());
        search.Run(static_cast<int>(designs.size()), [&](int k) {
            if (!search.Stopped())
                judged[static_cast<std::size_t>(k)] =
                    search.Evaluate(designs[static_cast<std::size_t>(k)]);
        });
        std::vector<DesignCandidate> sample;
        for (auto& candidate : judged)
            if (candidate)
                sample.push_back(std::move(*candidate));
        return sample;
    }

    // The best points of the sample, each at least StartSeparation from those chosen before.
    std::vector<DesignCandidate> ChooseStarts(Search& search, std::vector<DesignCandidate> sample)
    {
        std::stable_sort(
            sample.begin(), sample.end(), [](const DesignCandidate& a, const DesignCandidate& b) {
                return IsBetter(a.Evaluation, b.Evaluation);
            });
        std::vector<DesignCandidate> starts;
        std::vector<std::vector<double>> chosen;
        for (const DesignCandidate& c : sample) {
            if (static_cast<int>(starts.size()) >= search.Settings.Starts)
                break;
            const std::vector<double> u = search.Cube.ToUnit(c.Point);
            const bool near = std::any_of(chosen.begin(), chosen.end(),
                [&](const auto& v) { return Distance(u, v) < StartSeparation; });
            if (!near) {
                starts.push_back(c);
                chosen.push_back(u);
            }
        }
        return starts;
    }

    std::optional<DesignCandidate> BestOf(const std::vector<std::optional<DesignCandidate>>& all)
    {
        std::optional<DesignCandidate> best;
        for (const auto& c : all)
            if (c)
                Keep(best, *c);
        return best;
    }

    // A local search's start and its first step.
    struct LocalStart {
        DesignCandidate Start;
        double Step = InitialStepShare;
    };

    std::vector<std::optional<DesignCandidate>> SearchLocally(
        Search& search, const std::vector<LocalStart>& starts)
    {
        std::vector<std::optional<DesignCandidate>> found(starts.size());
        search.Run(static_cast<int>(starts.size()), [&](int k) {
            const auto i = static_cast<std::size_t>(k);
            LocalSearch local(search, starts[i].Start, starts[i].Step);
            found[i] = local.Run();
        });
        return found;
    }

    std::vector<LocalStart> FromEach(const std::vector<DesignCandidate>& starts)
    {
        std::vector<LocalStart> each;
        for (const DesignCandidate& c : starts)
            each.push_back({ c });
        return each;
    }

    // The design with each continuous variable that lies within SnapShare of a bound moved onto
    // it: the best designs of a die often lie in a corner of the bounds, which COBYLA only nears.
    DesignPoint SnappedToBounds(const Search& search, const DesignPoint& x)
    {
        std::vector<double> u = search.Cube.ToUnit(x);
        for (std::size_t k = 0; k < u.size(); ++k)
            if (!IsWholeNumber(search.Settings.Bounds[k].Variable))
                u[k] = u[k] < SnapShare ? 0 : u[k] > 1 - SnapShare ? 1 : u[k];
        DesignPoint snapped = search.Cube.ToDesign(u);
        for (std::size_t k = 0; k < u.size(); ++k)
            if (IsWholeNumber(search.Settings.Bounds[k].Variable))
                snapped[k] = x[k];
        return snapped;
    }

    // The local stage: COBYLA from each start, and again from its answer moved onto the bounds
    // near it, with a smaller first step, when that is another design. Each basin is judged at
    // its corner before the best is chosen, and the searches from the bounds, which only some
    // basins need, are queued behind the first searches so that they share out evenly between
    // the threads instead of lengthening the basin that needs one.
    std::vector<std::optional<DesignCandidate>> SearchBasins(
        Search& search, const std::vector<DesignCandidate>& starts)
    {
        std::vector<std::optional<DesignCandidate>> found(starts.size());
        for (std::size_t i = 0; i < starts.size(); ++i)
            search.Pool.Add([&search, &starts, &found, i](WorkerPool& more) {
                found[i] = LocalSearch(search, starts[i]).Run();
                const DesignPoint snapped = SnappedToBounds(search, found[i]->Point);
                if (found[i]->Evaluation.Refused || snapped == found[i]->Point)
                    return;
                more.Add([&search, &found, i, snapped](WorkerPool&) {
                    if (search.Stopped())
                        return;
                    LocalSearch onBounds(search, search.Evaluate(snapped), InitialStepShare / 4);
                    Keep(found[i], onBounds.Run());
                });
            });
        search.RunQueued();
        return found;
    }

    // COBYLA's simplex shrinks as it goes and can stop short of a corner of the bounds or of a
    // limit: searches started again from the best design, with smaller first steps, move on.
    // Each round tries two steps at once (and the design moved onto the bounds near it, when
    // that is another), so that the rounds, which only the best design's search can take, keep
    // two threads busy; steps fall by 16 a round, while a round finds a better design.
    void Polish(Search& search, std::optional<DesignCandidate>& best)
    {
        double step = InitialStepShare / 4;
        for (int k = 0; k < PolishRounds && best && !best->Evaluation.Refused && !search.Stopped();
             ++k, step /= 16) {
            std::vector<LocalStart> starts { { *best, step }, { *best, step / 4 } };
            const DesignPoint snapped = SnappedToBounds(search, best->Point);
            if (snapped != best->Point)
                starts.push_back({ search.Evaluate(snapped), step });
            const auto better = BestOf(SearchLocally(search, starts));
            if (!better || !IsBetter(better->Evaluation, best->Evaluation))
                return;
            best = better;
        }
    }

    // Whole-number variables one step up and down from the best design, each neighbour with its
    // continuous variables searched again, while a neighbour is better.
    void SearchWholeNumbers(Search& search, std::optional<DesignCandidate>& best)
    {
        const std::vector<VariableBounds>& bounds = search.Settings.Bounds;
        for (int round = 0; round < MostWholeNumberRounds && best && !search.Stopped(); ++round) {
            std::vector<DesignCandidate> neighbours;
            for (std::size_t k = 0; k < bounds.size(); ++k) {
                if (!IsWholeNumber(bounds[k].Variable))
                    continue;
                for (double step : { -1.0, 1.0 }) {
                    DesignPoint x = best->Point;
                    x[k] += step;
                    if (x[k] < bounds[k].Low || x[k] > bounds[k].High)
                        continue;
                    neighbours.push_back(search.Evaluate(x));
                }
            }
            if (neighbours.empty())
                return;
            const auto found = BestOf(SearchLocally(search, FromEach(neighbours)));
            if (!found || !IsBetter(found->Evaluation, best->Evaluation))
                return;
            best = found;
        }
    }

    std::uint64_t PlannedEvaluations(const OptimiseSettings& s)
    {
        const auto n = static_cast<std::uint64_t>(s.Bounds.size());
        const std::uint64_t sample = std::min<std::uint64_t>(
            static_cast<std::uint64_t>(std::max(s.SamplePerVariable, 1)) * n, MostSamplePoints);
        return sample + 1
            + static_cast<std::uint64_t>(s.Starts) * static_cast<std::uint64_t>(s.LocalEvaluations);
    }

    double SecondsSince(std::chrono::steady_clock::time_point start)
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

} // namespace

bool IsBetter(const DesignEvaluation& a, const DesignEvaluation& b)
{
    if (a.Feasible != b.Feasible)
        return a.Feasible;
    if (a.Feasible)
        return a.Objective < b.Objective;
    if (a.Refused != b.Refused)
        return !a.Refused;
    return !a.Refused && a.Violation() < b.Violation();
}

OptimisationResult OptimiseDesign(const Inputs& base, const OptimiseSettings& settings)
{
    const auto start = std::chrono::steady_clock::now();
    Search search { base, settings, UnitCube(settings.Bounds) };
    search.Planned = PlannedEvaluations(settings);
    std::vector<DesignCandidate> sample = SampleDesigns(search);
    const std::string refusal = sample.empty() ? "" : sample.front().Evaluation.Reason;
    std::optional<DesignCandidate> best;
    for (const DesignCandidate& c : sample)
        Keep(best, c);
    const auto found = BestOf(SearchBasins(search, ChooseStarts(search, std::move(sample))));
    if (found)
        Keep(best, *found);
    Polish(search, best);
    SearchWholeNumbers(search, best);
    search.ReportProgress();

    OptimisationResult result;
    if (best && !best->Evaluation.Refused)
        result.Best = best;
    result.Feasible = best && best->Evaluation.Feasible;
    if (!result.Best)
        result.Refusal = refusal;
    result.Evaluations = search.Evaluations.load();
    result.Seconds = SecondsSince(start);
    result.Stopped = search.Stopped();
    return result;
}

DesignObjective ObjectiveOfFigure(LimitedFigure f)
{
    switch (f) {
    case LimitedFigure::HeadPressure:
        return DesignObjective::HeadPressure;
    case LimitedFigure::WallShearRate:
        return DesignObjective::WallShearRate;
    case LimitedFigure::WallShearStress:
        return DesignObjective::WallShearStress;
    case LimitedFigure::ResidenceTime:
        return DesignObjective::ResidenceTime;
    case LimitedFigure::Gap:
    case LimitedFigure::TemperatureRise:
    case LimitedFigure::TemperatureSpread:
        break;
    }
    return DesignObjective::HeadPressure;
}

ParetoFront TraceParetoFront(
    const Inputs& base, const OptimiseSettings& settings, LimitedFigure against, int points)
{
    const auto start = std::chrono::steady_clock::now();
    ParetoFront front;
    front.Against = against;
    const auto figureOf = [against](const DesignCandidate& c) {
        return FigureOf(*c.Evaluation.Figures, against);
    };
    const auto run = [&](const OptimiseSettings& s) {
        OptimisationResult r = OptimiseDesign(base, s);
        front.Evaluations += r.Evaluations;
        front.Stopped = front.Stopped || r.Stopped;
        return r;
    };

    front.Least = run(settings);
    const OptimisationResult& least = front.Least;
    if (!least.Feasible || points < 1) {
        front.Seconds = SecondsSince(start);
        return front;
    }
    std::vector<DesignCandidate> found { *least.Best };
    OptimiseSettings other = settings;
    other.Evaluation.Objective = ObjectiveOfFigure(against);
    const OptimisationResult lowest = points > 1 && !front.Stopped ? run(other) : least;
    if (points > 1 && lowest.Feasible) {
        // The end of least second figure, judged again by the objective for the table.
        DesignCandidate end = *lowest.Best;
        end.Evaluation =
            EvaluateDesign(ApplyDesign(base, settings.Bounds, end.Point), settings.Evaluation);
        if (end.Evaluation.Feasible)
            found.push_back(end);
        const double high = figureOf(*least.Best);
        const double low = figureOf(end);
        const std::optional<double> own = settings.Evaluation.Limits.Of(against);
        for (int k = 1; k + 1 < points && !front.Stopped; ++k) {
            OptimiseSettings limited = settings;
            const double epsilon = low + (high - low) * k / (points - 1);
            limited.Evaluation.Limits.Set(against, own ? std::min(*own, epsilon) : epsilon);
            const OptimisationResult r = run(limited);
            if (r.Feasible) {
                DesignCandidate c = *r.Best;
                c.Evaluation = EvaluateDesign(
                    ApplyDesign(base, settings.Bounds, c.Point), settings.Evaluation);
                found.push_back(c);
            }
        }
    }
    std::stable_sort(
        found.begin(), found.end(), [&](const DesignCandidate& a, const DesignCandidate& b) {
            return figureOf(a) < figureOf(b);
        });
    front.Points = std::move(found);
    front.Seconds = SecondsSince(start);
    return front;
}

} // namespace karrow
