// The design search against brute force, its determinism, and how it ends when no design fits.

#include "design_generator.h"
#include "test_melts.h"
#include "run/assessment.h"
#include "run/input_reading.h"
#include "run/melt_run.h"
#include "run/optimise.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <new>

namespace karrow {

namespace {

    using test::CrossWlfMelt;

    const Inputs Defaults = test::DesignFromTexts();

    // The four ends of the slit and depth profiles, over the ranges a designer tries them in.
    const std::vector<VariableBounds> ProfileEnds {
        { DesignVariable::InletSlitHeight, 0, 0.05 },
        { DesignVariable::OutletSlitHeight, 0.05, 0.3 },
        { DesignVariable::InletChannelDepth, 0.5, 1.6 },
        { DesignVariable::OutletChannelDepth, 0.05, 0.5 },
    };

    double DefaultHeadPressure()
    {
        return EvaluateDesign(Defaults, {}).Figures.value().Head.GfCm2;
    }

    OptimiseSettings HeadLimited(std::vector<VariableBounds> bounds, int jobs = 2)
    {
        OptimiseSettings s;
        s.Bounds = std::move(bounds);
        s.Evaluation.Limits.HeadPressure = DefaultHeadPressure();
        s.Jobs = jobs;
        return s;
    }

    // The best feasible objective of a grid over the bounds, steps[k] values of variable k.
    double BestOfGrid(const OptimiseSettings& s, const std::vector<int>& steps)
    {
        const std::size_t n = s.Bounds.size();
        std::size_t total = 1;
        for (int k : steps)
            total *= static_cast<std::size_t>(k);
        double best = HUGE_VAL;
        for (std::size_t index = 0; index < total; ++index) {
            DesignPoint x(n);
            std::size_t rest = index;
            for (std::size_t k = 0; k < n; ++k) {
                const auto count = static_cast<std::size_t>(steps[k]);
                const auto i = static_cast<double>(rest % count);
                rest /= count;
                const VariableBounds& b = s.Bounds[k];
                x[k] = b.Low + (b.High - b.Low) * i / (steps[k] - 1);
            }
            const DesignEvaluation e =
                EvaluateDesign(ApplyDesign(Defaults, s.Bounds, x), s.Evaluation);
            if (e.Feasible)
                best = std::min(best, e.Objective);
        }
        return best;
    }

    double BestOfGrid(const OptimiseSettings& s, int steps)
    {
        return BestOfGrid(s, std::vector<int>(s.Bounds.size(), steps));
    }

    TEST(OptimiseAgainstBruteForce, TwoVariablesComeWithinHalfAPercentOfAFineGrid)
    {
        const OptimiseSettings s = HeadLimited({ ProfileEnds[0], ProfileEnds[3] });
        const OptimisationResult r = OptimiseDesign(Defaults, s);
        ASSERT_TRUE(r.Feasible);
        const double grid = BestOfGrid(s, 100);
        EXPECT_GE(grid, r.Best->Evaluation.Objective * (1 - 0.005))
            << "grid " << grid << " optimiser " << r.Best->Evaluation.Objective;
    }

    // The search's own tolerance on the variables (1e-6 of their ranges) allows a grid point
    // that lies exactly on the edge of a step of the effective part to win in the ninth digit.
    constexpr double VariableTolerance = 1e-6;

    TEST(OptimiseAgainstBruteForce, FourProfileEndsUnderTheDefaultHeadPressureBeatEveryGridPoint)
    {
        const OptimiseSettings s = HeadLimited(ProfileEnds);
        const OptimisationResult r = OptimiseDesign(Defaults, s);
        ASSERT_TRUE(r.Feasible);
        EXPECT_LE(r.Best->Evaluation.Figures->Head.GfCm2, *s.Evaluation.Limits.HeadPressure);
        EXPECT_GE(BestOfGrid(s, 7), r.Best->Evaluation.Objective * (1 - VariableTolerance));
        // A fine grid reaches about a third of the default's outlet CV.
        EXPECT_LT(r.Best->Evaluation.Objective, EvaluateDesign(Defaults, {}).Objective / 2.5);
    }

    // Two profile values and the spiral's length. The local searches end near the outlet slit's
    // bound; searched again from the bound before the best is chosen, a basin at 38 increments
    // leads to the best design, at 37. A search that chose first and searched only the best
    // again ended at 39 increments, which a grid of 11 values per profile value beat by 1.3 %.
    const std::vector<VariableBounds> WithIncrements { ProfileEnds[1], ProfileEnds[2],
        { DesignVariable::TotalIncrements, 30, 44 } };

    TEST(OptimiseAgainstBruteForce, AWholeNumberAndTwoProfileValuesBeatEveryGridPoint)
    {
        const OptimiseSettings s = HeadLimited(WithIncrements);
        const OptimisationResult r = OptimiseDesign(Defaults, s);
        ASSERT_TRUE(r.Feasible);
        EXPECT_GE(BestOfGrid(s, { 11, 11, 15 }), r.Best->Evaluation.Objective);
    }

    TEST(OptimiseDesign, GivesTheSameAnswerForAnyNumberOfJobs)
    {
        const std::vector<VariableBounds>& bounds = WithIncrements;
        const OptimisationResult one = OptimiseDesign(Defaults, HeadLimited(bounds, 1));
        const OptimisationResult three = OptimiseDesign(Defaults, HeadLimited(bounds, 3));
        ASSERT_TRUE(one.Feasible);
        EXPECT_EQ(one.Best->Point, three.Best->Point);
        EXPECT_EQ(one.Evaluations, three.Evaluations);
        EXPECT_EQ(one.Best->Point[2], std::round(one.Best->Point[2]));
    }

    TEST(OptimiseDesign, FindsTheBestOfAWholeNumberVariableByItsSteps)
    {
        OptimiseSettings s = HeadLimited({ { DesignVariable::TotalIncrements, 28, 52 } });
        s.Evaluation.Limits = {};
        const OptimisationResult r = OptimiseDesign(Defaults, s);
        ASSERT_TRUE(r.Feasible);
        double best = HUGE_VAL;
        for (int increments = 28; increments <= 52; ++increments) {
            const DesignEvaluation e = EvaluateDesign(
                ApplyDesign(Defaults, s.Bounds, { double(increments) }), s.Evaluation);
            if (e.Feasible)
                best = std::min(best, e.Objective);
        }
        EXPECT_EQ(r.Best->Evaluation.Objective, best);
    }

    TEST(OptimiseDesign, NamesTheLimitThatNoDesignKeeps)
    {
        OptimiseSettings s = HeadLimited({ ProfileEnds[0], ProfileEnds[1] });
        s.Evaluation.Limits.HeadPressure = 1000; // gf/cm2, under 1 bar
        s.Evaluation.Limits.Gap = 0.001;
        const OptimisationResult r = OptimiseDesign(Defaults, s);
        EXPECT_FALSE(r.Feasible);
        ASSERT_TRUE(r.Best);
        EXPECT_EQ(r.Best->Evaluation.MostBroken(), LimitedFigure::HeadPressure);
        EXPECT_NE(r.Best->Evaluation.Reason.find("head pressure"), std::string::npos);
    }

    TEST(OptimiseDesign, RefusedDesignsAreNeverAnAnswer)
    {
        // 13 to 24 channels leave one outlet increment per channel: no outlet CV to minimise.
        OptimiseSettings s = HeadLimited({ { DesignVariable::NumberOfChannels, 13, 24 } });
        const OptimisationResult unresolved = OptimiseDesign(Defaults, s);
        EXPECT_FALSE(unresolved.Feasible);
        EXPECT_FALSE(unresolved.Best);
        // Outlet depths the inlet slit crosses nowhere: the model refuses them all.
        s.Bounds = { { DesignVariable::OutletChannelDepth, 0, 0.001 },
            { DesignVariable::InletChannelDepth, 0, 0.001 } };
        EXPECT_FALSE(OptimiseDesign(Defaults, s).Best);
    }

    TEST(OptimiseDesign, EndsWithTheBestSoFarWhenStopped)
    {
        const std::atomic<bool> stop { true };
        OptimiseSettings s = HeadLimited(ProfileEnds);
        s.Stop = &stop;
        const OptimisationResult r = OptimiseDesign(Defaults, s);
        EXPECT_TRUE(r.Stopped);
        EXPECT_LT(r.Evaluations, 10U);
    }

    // Stopped while its threads work (at the latest when the sample of 257 designs is judged),
    // the search drops the searches still queued and keeps the best it has.
    TEST(OptimiseDesign, EndsWithTheBestSoFarWhenStoppedWhileItRuns)
    {
        std::atomic<bool> stop { false };
        OptimiseSettings s = HeadLimited(ProfileEnds);
        s.Stop = &stop;
        s.Progress = [&](std::uint64_t done, std::uint64_t) { stop = stop || done >= 200; };
        const OptimisationResult r = OptimiseDesign(Defaults, s);
        EXPECT_TRUE(r.Stopped);
        ASSERT_TRUE(r.Best);
        EXPECT_LT(r.Evaluations, OptimiseDesign(Defaults, HeadLimited(ProfileEnds)).Evaluations);
    }

    // A report that fails (out of memory while printing) ends the search with its error, after
    // the threads have left the slots of the stage they were filling.
    TEST(OptimiseDesign, AFailingProgressReportEndsTheSearchWithItsError)
    {
        OptimiseSettings s = HeadLimited(ProfileEnds);
        s.Progress = [](std::uint64_t, std::uint64_t) { throw std::bad_alloc(); };
        EXPECT_THROW(OptimiseDesign(Defaults, s), std::bad_alloc);
    }

    TEST(EvaluateDesign, JudgesEachLimitOnItsOwnSide)
    {
        const DesignEvaluation free = EvaluateDesign(Defaults, {});
        ASSERT_TRUE(free.Feasible);
        const DesignFigures& f = *free.Figures;
        struct Case {
            LimitedFigure Figure;
            double Value;
        };
        // Each limit a little inside and a little outside the default design's own figure.
        for (const Case& c : { Case { LimitedFigure::HeadPressure, f.Head.GfCm2 },
                 Case { LimitedFigure::WallShearRate, FigureOf(f, LimitedFigure::WallShearRate) },
                 Case { LimitedFigure::WallShearStress,
                     FigureOf(f, LimitedFigure::WallShearStress) },
                 Case { LimitedFigure::ResidenceTime, f.Residence.MeanTime },
                 Case { LimitedFigure::Gap, free.SmallestGap } }) {
            const bool floor = c.Figure == LimitedFigure::Gap;
            for (const double share : { 0.99, 1.01 }) {
                EvaluationSettings s;
                s.Limits.Set(c.Figure, c.Value * share);
                const DesignEvaluation e = EvaluateDesign(Defaults, s);
                const bool kept = floor ? share < 1 : share > 1;
                EXPECT_EQ(e.Feasible, kept) << NameOf(c.Figure) << ' ' << share;
                if (!kept) {
                    EXPECT_EQ(e.MostBroken(), c.Figure);
                }
            }
        }
        // The smallest gap of the defaults is the inlet slit's rise at the first increment.
        EXPECT_GT(free.SmallestGap, Defaults.InletSlitHeight);
        EXPECT_LT(free.SmallestGap, Defaults.OutletSlitHeight);
    }

    TEST(OptimiseDesign, ReportsProgressUpToEveryEvaluation)
    {
        OptimiseSettings s = HeadLimited({ ProfileEnds[3] }, 2);
        std::vector<std::uint64_t> done;
        s.Progress = [&](std::uint64_t evaluations, std::uint64_t planned) {
            EXPECT_LE(evaluations, planned);
            done.push_back(evaluations);
        };
        const OptimisationResult r = OptimiseDesign(Defaults, s);
        ASSERT_FALSE(done.empty());
        EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
        EXPECT_EQ(done.back(), r.Evaluations);
    }

    TEST(DesignTexts, ReadBackAsTheValuesSearchedWithEitherSeparator)
    {
        const std::vector<VariableBounds> bounds { ProfileEnds[0], ProfileEnds[3],
            { DesignVariable::NumberOfChannels, 1, 24 } };
        const DesignPoint x { 0.1 / 3, 0.123456789012345, 6 };
        const FieldTexts base = DefaultFieldTexts(',');
        const auto texts = TextsOfDesign(base, bounds, x, ',');
        const InputReading read =
            ReadInputs([&](Field field) { return texts[field]; }, ',');
        ASSERT_TRUE(read.Values) << read.Problem;
        EXPECT_EQ(read.Values->InletSlitHeight, x[0]);
        EXPECT_EQ(read.Values->OutletChannelDepth, x[1]);
        EXPECT_EQ(read.Values->NumberOfChannels, 6);
        EXPECT_EQ(texts[Field::ChannelWidth], base[Field::ChannelWidth]);
    }

    TEST(DesignBounds, AreRefusedWhenTheyMakeNoProblem)
    {
        const std::vector<std::vector<VariableBounds>> refused {
            {},
            { ProfileEnds[0], ProfileEnds[0] },
            { { DesignVariable::ChannelWidth, 1.4, 1.2 } },
            { { DesignVariable::ChannelWidth, -1, 1.2 } },
            { { DesignVariable::ChannelWidth, 1, HUGE_VAL } },
            { { DesignVariable::TotalIncrements, 30.5, 40 } },
            { { DesignVariable::NumberOfChannels, 1, 25 } },
            { { DesignVariable::NumberOfChannels, 0, 4 } },
        };
        for (const auto& bounds : refused)
            EXPECT_TRUE(BoundsProblem(bounds)) << bounds.size();
        EXPECT_FALSE(BoundsProblem(ProfileEnds));
    }

    TEST(ParetoFront, TradesUniformityForHeadPressurePointByPoint)
    {
        OptimiseSettings s = HeadLimited({ ProfileEnds[1], ProfileEnds[3] });
        const ParetoFront front = TraceParetoFront(Defaults, s, LimitedFigure::HeadPressure, 4);
        ASSERT_GE(front.Points.size(), 3U);
        for (std::size_t k = 1; k < front.Points.size(); ++k) {
            const DesignEvaluation& low = front.Points[k - 1].Evaluation;
            const DesignEvaluation& high = front.Points[k].Evaluation;
            EXPECT_TRUE(high.Feasible);
            EXPECT_LE(low.Figures->Head.GfCm2, high.Figures->Head.GfCm2);
            // More head pressure buys a more even outlet, never a less even one.
            EXPECT_GE(low.Objective, high.Objective * (1 - VariableTolerance));
        }
        EXPECT_LE(
            front.Points.back().Evaluation.Figures->Head.GfCm2, *s.Evaluation.Limits.HeadPressure);
    }

    // The evaluation takes the model-limit check's geometry on the classic grid instead of
    // computing it again; the figures must be those of the exact answer computed from scratch,
    // bit for bit, on the classic grid and off it.
    TEST(EvaluateDesign, GivesTheExactAnswersFiguresBitForBit)
    {
        std::vector<std::pair<Inputs, NetworkOptions>> designs { { Defaults, {} },
            { Defaults, { 12 } } };
        Inputs five = Defaults;
        five.NumberOfChannels = 5; // 24 / 5 is no whole number: a grid of its own
        five.ChannelWidth = 1.0;
        designs.emplace_back(five, NetworkOptions {});
        Inputs shallow = Defaults;
        shallow.OutletChannelDepth = 0.3;
        shallow.InletSlitHeight = 0.02;
        designs.emplace_back(shallow, NetworkOptions {});
        for (const auto& [in, network] : designs) {
            EvaluationSettings s;
            s.Network = network;
            const DesignEvaluation e = EvaluateDesign(in, s);
            const ExactAnswer exact = SolveExactly(in, s.Melt, network);
            ASSERT_TRUE(e.Figures && exact.Figures) << e.Reason;
            const DesignFigures& a = *e.Figures;
            const DesignFigures& b = *exact.Figures;
            EXPECT_EQ(a.Outlet.CvPercent, b.Outlet.CvPercent);
            EXPECT_EQ(a.Outlet.SpreadPercent, b.Outlet.SpreadPercent);
            EXPECT_EQ(a.Head.GfCm2, b.Head.GfCm2);
            EXPECT_EQ(a.Residence.MeanTime, b.Residence.MeanTime);
            for (const LimitedFigure f :
                { LimitedFigure::WallShearRate, LimitedFigure::WallShearStress })
                EXPECT_EQ(FigureOf(a, f), FigureOf(b, f));
            EXPECT_EQ(e.SmallestGap, SmallestGap(*exact.AsSolution));
        }
    }

    // The Carreau-Yasuda LDPE of the material library's first grade (its WLF shift about 190 C).
    Melt CarreauMelt()
    {
        Melt m;
        m.Model = ViscosityModel::CarreauYasuda;
        m.FlowIndex = 0.38;
        m.ZeroShearViscosity = 32400;
        m.TimeConstant = 3.1;
        m.YasudaExponent = 1;
        m.Shift = TemperatureShift::Wlf;
        m.C1 = 4.8816;
        m.C2 = 424.6;
        m.ReferenceTemperature = 190;
        m.Density = 750;
        m.HeatCapacity = 2300;
        return m;
    }

    DesignMelt MeltAt(const Melt& melt, double celsius, ThermalMode mode)
    {
        MeltConditions c;
        c.MeltTemperature = celsius;
        c.Thermal = mode;
        return { "test melt", melt, c };
    }

    // The largest of a melt answer's wall values from element `first` to `last`, in gf/cm2.
    WallShear Largest(const std::vector<double>& rates, const std::vector<double>& stresses,
        std::size_t first, std::size_t last)
    {
        WallShear w;
        for (std::size_t i = first; i <= last; ++i)
            if (rates[i - 1] > w.Rate)
                w = { rates[i - 1], stresses[i - 1] / PascalPerGramForce };
        return w;
    }

    TEST(OptimiseWithARealMelt, ReportsTheFiguresOfThatMeltsOwnRun)
    {
        for (const DesignMelt& melt : { MeltAt(CrossWlfMelt(), 230, ThermalMode::Isothermal),
                 MeltAt(CarreauMelt(), 195, ThermalMode::Isothermal) }) {
            OptimiseSettings s;
            s.Bounds = { ProfileEnds[0], ProfileEnds[3] };
            s.Evaluation.RealMelt = melt;
            s.Jobs = 2;
            // The head pressure held to the default design's own with this melt.
            s.Evaluation.Limits.HeadPressure =
                EvaluateDesign(Defaults, s.Evaluation).Figures.value().Head.GfCm2;
            const OptimisationResult r = OptimiseDesign(Defaults, s);
            ASSERT_TRUE(r.Feasible) << ModelName(melt.TheMelt.Model);
            const DesignEvaluation& e = r.Best->Evaluation;
            const Inputs best = ApplyDesign(Defaults, s.Bounds, r.Best->Point);
            const MeltRun run = SolveMeltRun(best, melt.TheMelt, melt.Conditions);
            ASSERT_TRUE(run.Solved && run.Answer.Network.Converged) << run.Failure;
            EXPECT_EQ(e.Figures->Outlet.CvPercent, run.Outlet.CvPercent);
            EXPECT_EQ(e.Objective, run.Outlet.CvPercent);
            EXPECT_EQ(e.Figures->Head.GfCm2, run.Head.GfCm2);
            EXPECT_EQ(e.Figures->Residence.MeanTime, run.Residence.MeanTime);
            // The wall shear is the melt's own: the channel's, the lands' and the outlet paths'.
            const MeltNetworkSolution& a = run.Answer;
            const auto k = static_cast<std::size_t>(run.TransferIncrements);
            const std::size_t n = a.SlitWallShearRate.size();
            const WallShear channel = Largest(a.ChannelWallShearRate, a.ChannelWallStress, 1, n);
            const WallShear land = Largest(a.SlitWallShearRate, a.SlitWallStress, 1, k);
            const WallShear outlet = Largest(a.SlitWallShearRate, a.SlitWallStress, k + 1, n);
            EXPECT_EQ(FigureOf(e, LimitedFigure::WallShearRate),
                std::max({ channel.Rate, land.Rate, outlet.Rate }));
            EXPECT_EQ(e.Figures->Shear.Land.Stress, land.Stress);
            EXPECT_EQ(e.Figures->Shear.OutletPath.Stress, outlet.Stress);
            EXPECT_LE(e.Figures->Head.GfCm2, *s.Evaluation.Limits.HeadPressure);
            // Isothermal: no temperature figures to limit.
            EXPECT_FALSE(e.TemperatureRise);
            // The melt, not the power law, was solved.
            EXPECT_NE(e.Figures->Head.GfCm2, EvaluateDesign(best, {}).Figures->Head.GfCm2);
        }
    }

    TEST(OptimiseWithARealMelt, NamesATightTemperatureSpreadAsTheLimitThatBinds)
    {
        // Adiabatic, every path from the feed to the lip drops the same pressure and so warms
        // its melt alike: only a die wall that takes heat makes the outlet temperatures differ.
        EvaluationSettings heated;
        heated.RealMelt = MeltAt(CrossWlfMelt(), 230, ThermalMode::Heated);
        const DesignEvaluation adiabatic = EvaluateDesign(Defaults, heated);
        ASSERT_TRUE(adiabatic.TemperatureSpread && adiabatic.TemperatureRise) << adiabatic.Reason;
        EXPECT_LT(*adiabatic.TemperatureSpread, 1e-9 * *adiabatic.TemperatureRise);
        heated.RealMelt->Conditions.WallTemperature = 210;
        heated.RealMelt->Conditions.HeatTransferCoefficient = 300;
        const DesignEvaluation own = EvaluateDesign(Defaults, heated);
        ASSERT_TRUE(own.TemperatureSpread && own.TemperatureRise) << own.Reason;
        EXPECT_GT(*own.TemperatureSpread, 0.01);
        const MeltRun run =
            SolveMeltRun(Defaults, heated.RealMelt->TheMelt, heated.RealMelt->Conditions);
        EXPECT_EQ(*own.TemperatureSpread, run.Answer.OutletTemperatureSpread);
        EXPECT_EQ(*own.TemperatureRise + 230,
            *std::max_element(
                run.Answer.OutletTemperature.begin(), run.Answer.OutletTemperature.end()));

        OptimiseSettings s;
        s.Bounds = { ProfileEnds[1] };
        s.Evaluation = heated;
        s.SamplePerVariable = 16;
        s.Starts = 2;
        s.LocalEvaluations = 40;
        s.Evaluation.Limits.TemperatureSpread = 1e-3 * *own.TemperatureSpread;
        s.Evaluation.Limits.HeadPressure = 10 * own.Figures->Head.GfCm2;
        const OptimisationResult tight = OptimiseDesign(Defaults, s);
        EXPECT_FALSE(tight.Feasible);
        ASSERT_TRUE(tight.Best);
        EXPECT_EQ(tight.Best->Evaluation.MostBroken(), LimitedFigure::TemperatureSpread);
        EXPECT_NE(tight.Best->Evaluation.Reason.find("outlet temperature spread is above"),
            std::string::npos)
            << tight.Best->Evaluation.Reason;

        // Loose enough for the default design: kept, and kept by the answer.
        s.Evaluation.Limits.TemperatureSpread = 1.01 * *own.TemperatureSpread;
        const OptimisationResult loose = OptimiseDesign(Defaults, s);
        ASSERT_TRUE(loose.Feasible);
        EXPECT_LE(*loose.Best->Evaluation.TemperatureSpread, 1.01 * *own.TemperatureSpread);
    }

    TEST(OptimiseWithARealMelt, TemperatureLimitsNeedAHeatedMelt)
    {
        for (const LimitedFigure f :
            { LimitedFigure::TemperatureRise, LimitedFigure::TemperatureSpread }) {
            EvaluationSettings s;
            s.Limits.Set(f, 5);
            EXPECT_EQ(LimitWithoutMeaning(s), f) << "power law";
            s.RealMelt = MeltAt(CarreauMelt(), 195, ThermalMode::Isothermal);
            EXPECT_EQ(LimitWithoutMeaning(s), f) << "isothermal";
            s.RealMelt->Conditions.Thermal = ThermalMode::Heated;
            EXPECT_FALSE(LimitWithoutMeaning(s)) << "heated";
        }
        EXPECT_FALSE(LimitWithoutMeaning({}));
    }

} // namespace

} // namespace karrow
