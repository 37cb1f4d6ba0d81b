// The exact network at any channel count and resolution:
//  - at k = 24/N increments per pitch (N dividing 24) the geometry, the element values and the
//    network's answer are the classic grid's, so the angle-written geometry and its continuous
//    effective part, spiral and lip heights reduce to the 15-degree ones;
//  - every resolution balances every node and lets the flow rate out, and the outlet round the
//    die covers 360 degrees with N repeats;
//  - refining a smooth design converges with a steady observed order, and the extrapolation lies
//    beyond the finest level in the direction the levels move;
//  - channel counts that share 24 div N are different dies;
//  - resolutions that give no meaningful geometry are refused with the reason named.

#include "design_generator.h"
#include "run/assessment.h"
#include "run/network_resolution.h"
#include "run/resolution_json.h"
#include "solver/exact_solution.h"
#include "solver/network_grid.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace karrow {
namespace {

    constexpr double SameValue = 1e-12;

    double Relative(double a, double b)
    {
        const double scale = std::max(std::fabs(a), std::fabs(b));
        return scale == 0 ? 0 : std::fabs(a - b) / scale;
    }

    // Designs of N channels the classic model accepts, the defaults' shape first.
    std::vector<Inputs> DesignsOf(int channels, int count)
    {
        std::mt19937_64 random(0x726573u + static_cast<unsigned>(channels));
        std::vector<Inputs> designs;
        for (int drawn = 0; static_cast<int>(designs.size()) < count && drawn < 20 * count;
             ++drawn) {
            const Inputs in = test::DrawDesign(random, channels);
            if (test::NetworkOf(in))
                designs.push_back(in);
        }
        EXPECT_EQ(static_cast<int>(designs.size()), count) << channels << " channels";
        return designs;
    }

    void ExpectSameArray(const IncrementArray& a, const IncrementArray& b, const char* what)
    {
        ASSERT_EQ(a.Count(), b.Count()) << what;
        for (int i = 1; i <= a.Count(); ++i)
            EXPECT_LE(Relative(a[i], b[i]), SameValue) << what << " at increment " << i;
    }

    class EveryDivisor : public testing::TestWithParam<int> { };

    TEST_P(EveryDivisor, PitchExactGridOfFifteenDegreesIsTheClassicNetwork)
    {
        const int channels = GetParam();
        const int k = 24 / channels;
        ASSERT_EQ(DefaultIncrementsPerPitch(channels), k);
        for (const Inputs& in : DesignsOf(channels, 8)) {
            const test::Elements classic = test::ElementsOf(in);
            const ResolvedNetwork exact = SolveNetworkAt(in, { k, 0 });
            const Geometry& g = exact.Geo;
            ASSERT_EQ(g.EffectiveIncrements, classic.Geo.EffectiveIncrements);
            ASSERT_EQ(g.PitchIncrements, classic.Geo.PitchIncrements);
            EXPECT_EQ(g.IncrementDegrees, 15.0);
            for (const auto& [mine, theirs] :
                { std::pair { g.ModifiedSpiralHeight, classic.Geo.ModifiedSpiralHeight },
                    std::pair { g.ModifiedLipHeight, classic.Geo.ModifiedLipHeight },
                    std::pair { g.ModifiedOutletSlitHeight, classic.Geo.ModifiedOutletSlitHeight },
                    std::pair { g.HelixAngle, classic.Geo.HelixAngle },
                    std::pair { g.AxialPitch, classic.Geo.AxialPitch } })
                EXPECT_LE(Relative(mine, theirs), SameValue);
            ExpectSameArray(g.LandWidth, classic.Geo.LandWidth, "land width");
            ExpectSameArray(
                exact.Laws.ChannelResistance, classic.Laws.ChannelResistance, "channel resistance");
            ExpectSameArray(
                exact.Laws.SlitConductance, classic.Laws.SlitConductance, "slit conductance");

            const NetworkSolution today =
                SolveNetwork(NetworkElementsOf(classic.In, classic.Geo, classic.Laws));
            ASSERT_TRUE(exact.Network.Converged) << exact.Network.Failure;
            ASSERT_TRUE(today.Converged) << today.Failure;
            EXPECT_LE(Relative(exact.Network.InletPressure, today.InletPressure), SameValue);
            for (std::size_t j = 0; j < today.SlitFlow.size(); ++j)
                EXPECT_LE(Relative(exact.Network.SlitFlow[j], today.SlitFlow[j]), SameValue)
                    << "node " << j + 1;
        }
    }

    INSTANTIATE_TEST_SUITE_P(Channels, EveryDivisor, testing::Values(1, 2, 3, 4, 6, 8, 12, 24),
        [](const testing::TestParamInfo<int>& channels) { return std::to_string(channels.param); });

    // Node balances recomputed from the returned flows, and the outlet zone's flows add up to Q.
    void ExpectBalanced(const ResolvedNetwork& r, double flowRate)
    {
        const NetworkSolution& s = r.Network;
        const int M = r.Geo.EffectiveIncrements;
        const int m = r.Geo.PitchIncrements;
        long double out = 0;
        for (int j = 0; j < M; ++j) {
            const auto at = static_cast<std::size_t>(j);
            const double in = (j == 0 ? flowRate : s.ChannelFlow[at - 1])
                + (j >= m ? s.SlitFlow[at - static_cast<std::size_t>(m)] : 0.0);
            EXPECT_NEAR(in, s.ChannelFlow[at] + s.SlitFlow[at], 1e-11 * flowRate)
                << "node " << j + 1 << " of " << M << " at " << m << " per pitch";
            if (j >= M - m)
                out += s.SlitFlow[at];
        }
        EXPECT_NEAR(static_cast<double>(out), flowRate, 1e-10 * flowRate);
    }

    // Designs the network accepts at the pitch-exact grid near 15 degrees.
    std::vector<Inputs> NetworkDesignsOf(int channels, int count)
    {
        std::mt19937_64 random(0x626174u + static_cast<unsigned>(channels));
        std::vector<Inputs> designs;
        const NetworkResolution base { DefaultIncrementsPerPitch(channels), 0 };
        for (int drawn = 0; static_cast<int>(designs.size()) < count && drawn < 20 * count;
             ++drawn) {
            const Inputs in = test::DrawDesign(random, channels);
            const int k = base.IncrementsPerPitch;
            // A finer grid may find what the coarse one steps over, such as an outlet taper
            // shorter than zero next to the end of an effective part that runs past the spiral.
            bool meaningful = true;
            for (const NetworkResolution r :
                { base, NetworkResolution { 4 * k, k }, NetworkResolution { k + 1, 0 } })
                meaningful = meaningful && !NetworkResolutionProblem(in, r);
            if (meaningful)
                designs.push_back(in);
        }
        EXPECT_EQ(static_cast<int>(designs.size()), count) << channels << " channels";
        return designs;
    }

    TEST(EveryResolution, BalancesEveryNodeAndLetsTheFlowRateOutRoundTheWholeDie)
    {
        for (const int channels : { 1, 3, 4, 5, 7, 10, 16, 24 }) {
            const int base = DefaultIncrementsPerPitch(channels);
            for (const Inputs& design : NetworkDesignsOf(channels, 3)) {
                for (const NetworkResolution r :
                    { NetworkResolution { base, 0 }, NetworkResolution { 2 * base, base },
                        NetworkResolution { 4 * base, base }, NetworkResolution { base + 1, 0 } }) {
                    if (auto problem = NetworkResolutionProblem(design, r)) {
                        ADD_FAILURE() << channels << " channels: " << *problem;
                        continue;
                    }
                    const ResolvedNetwork resolved = SolveNetworkAt(design, r);
                    ASSERT_TRUE(resolved.Network.Converged) << resolved.Network.Failure;
                    ExpectBalanced(resolved, design.FlowRatePerChannel);
                    const Solution s =
                        SolutionOfNetwork(design, resolved.Geo, resolved.Laws, resolved.Network);
                    const std::vector<DieOutletPoint> round = OutletRoundTheDie(s);
                    ASSERT_EQ(
                        round.size(), static_cast<std::size_t>(channels * r.IncrementsPerPitch));
                    EXPECT_NEAR(
                        round.back().AngleDegrees + resolved.Geo.IncrementDegrees / 2, 360, 1e-9);
                    long double total = 0;
                    for (const DieOutletPoint& p : round)
                        total += p.Flow;
                    EXPECT_NEAR(static_cast<double>(total), channels * design.FlowRatePerChannel,
                        1e-9 * channels * design.FlowRatePerChannel);
                }
            }
        }
    }

    // A study's levels refine one die: the same effective part, twice the nodes each level.
    TEST(ResolutionStudy, ConvergesWithASteadyOrderOnSmoothDesigns)
    {
        const std::vector<Inputs> designs = { test::DesignFromTexts(),
            test::DesignFromTexts({ { Field::PowerLawIndex, "1" } }),
            test::DesignFromTexts({ { Field::NumberOfChannels, "2" } }),
            test::DesignFromTexts(
                { { Field::NumberOfChannels, "5" }, { Field::ChannelWidth, "0.9" } }) };
        for (const Inputs& in : designs) {
            const ResolutionStudy study = StudyResolution(in, {});
            ASSERT_GE(study.Levels.size(), 4u) << study.Note;
            EXPECT_TRUE(study.Converged) << study.Note;
            for (std::size_t l = 1; l < study.Levels.size(); ++l) {
                EXPECT_EQ(study.Levels[l].Increments, 2 * study.Levels[l - 1].Increments);
                EXPECT_EQ(
                    study.Levels[l].IncrementsPerPitch, 2 * study.Levels[l - 1].IncrementsPerPitch);
            }
            // The head pressure's error is first order: each level halves the change.
            ASSERT_TRUE(study.Head.ObservedOrder);
            EXPECT_NEAR(*study.Head.ObservedOrder, 1, 0.1);
            ASSERT_TRUE(study.Cv.ObservedOrder);
            EXPECT_GT(*study.Cv.ObservedOrder, 0.8);
            // The limit lies beyond the finest level, on the side the levels move to.
            const double finest = study.Levels.back().Figures.HeadPressure;
            const double before = study.Levels[study.Levels.size() - 2].Figures.HeadPressure;
            EXPECT_GT((finest - study.Head.Value) * (before - finest), 0);
            EXPECT_LT(std::fabs(finest - study.Head.Value), std::fabs(before - finest));
            const double first = study.Levels.front().Figures.HeadPressure;
            EXPECT_NEAR(study.Head.FirstLevelErrorPercent,
                100 * (first - study.Head.Value) / study.Head.Value, 1e-9);
        }
    }

    TEST(ResolutionStudy, StopsAtTheLevelCapAndSaysSo)
    {
        NetworkOptions options;
        options.StudyLevels = 3;
        options.CvTolerance = 0;
        const ResolutionStudy study = StudyResolution(test::DesignFromTexts(), options);
        EXPECT_EQ(study.Levels.size(), 3u);
        EXPECT_FALSE(study.Converged);
        EXPECT_NE(study.Note.find("still change"), std::string::npos) << study.Note;
    }

    // 5 channels used to be solved as 6 (m = 24 div 5 = 4 increments of 15 degrees): the land
    // joined points 60 degrees apart, and the outlet table covered 300 degrees.
    TEST(ChannelCounts, ThatShareTwentyFourDivNAreDifferentDies)
    {
        for (const auto& [a, b] :
            { std::pair { 5, 6 }, std::pair { 7, 8 }, std::pair { 10, 12 } }) {
            Inputs first = test::DesignFromTexts({ { Field::ChannelWidth, "0.5" } });
            Inputs second = first;
            first.NumberOfChannels = a;
            second.NumberOfChannels = b;
            const ResolvedNetwork one = SolveNetworkAt(first, { DefaultIncrementsPerPitch(a), 0 });
            const ResolvedNetwork two = SolveNetworkAt(second, { DefaultIncrementsPerPitch(b), 0 });
            ASSERT_TRUE(one.Network.Converged && two.Network.Converged);
            EXPECT_NEAR(one.Geo.PitchIncrements * one.Geo.IncrementDegrees, 360.0 / a, 1e-12);
            EXPECT_NEAR(two.Geo.PitchIncrements * two.Geo.IncrementDegrees, 360.0 / b, 1e-12);
            EXPECT_GT(Relative(one.Geo.AxialPitch, two.Geo.AxialPitch), 0.1);
            EXPECT_GT(Relative(one.Network.InletPressure, two.Network.InletPressure), 1e-3)
                << a << " and " << b << " channels";
        }
    }

    TEST(Refusals, NameTheResolutionAndTheReason)
    {
        const Inputs in = test::DesignFromTexts();
        const auto refused = [&](NetworkResolution r, const std::string& reason) {
            const auto problem = NetworkResolutionProblem(in, r);
            ASSERT_TRUE(problem) << reason;
            EXPECT_NE(problem->find(reason), std::string::npos) << *problem;
            EXPECT_NE(problem->find(
                          std::to_string(r.IncrementsPerPitch) + " increments per channel pitch"),
                std::string::npos)
                << *problem;
            EXPECT_THROW(SolveNetworkAt(in, r), ArithmeticFault);
        };
        refused({ 0, 0 }, "must be from 1 to");
        refused({ 9, 6 }, "must divide");
        refused({ MostIncrementsPerPitch, 0 }, "more than");

        // 12 channels of the default width leave no land between the turns at any resolution.
        Inputs crowded = in;
        crowded.NumberOfChannels = 12;
        const auto land = NetworkResolutionProblem(crowded, { 2, 0 });
        ASSERT_TRUE(land);
        EXPECT_NE(land->find("land between channel turns is narrower than zero"), std::string::npos)
            << *land;
        EXPECT_NE(land->find("at increment 1 "), std::string::npos) << *land;

        // One channel with a spiral too short for a turn has no land to cross.
        Inputs short_ = in;
        short_.NumberOfChannels = 1;
        short_.TotalIncrements = 12;
        short_.InletChannelDepth = 0.3;
        const auto pitch = NetworkResolutionProblem(short_, { 24, 0 });
        ASSERT_TRUE(pitch);
        EXPECT_NE(pitch->find("shorter than one channel pitch"), std::string::npos) << *pitch;
    }

    // What the JSON, the CSV and the verdict line take from a study and the exact answer.
    TEST(ResolutionOutputs, GiveTheLevelsTheLimitsAndTheWholeDie)
    {
        Inputs in = test::DesignFromTexts({ { Field::ChannelWidth, "0.5" } });
        in.NumberOfChannels = 5;
        NetworkOptions options;
        options.Study = true;
        options.StudyLevels = 4;
        const ExactAnswer exact = SolveExactly(in, {}, options);
        ASSERT_TRUE(exact.AsSolution && exact.Resolution);
        EXPECT_EQ(exact.IncrementsPerPitch, 5);

        nlohmann::json network;
        AddResolution(network, exact);
        const nlohmann::json& resolution = network.at("resolution");
        EXPECT_EQ(resolution.at("increments_per_pitch"), 5);
        EXPECT_DOUBLE_EQ(resolution.at("increment_deg").get<double>(), 14.4);
        const nlohmann::json& levels = resolution.at("study").at("levels");
        ASSERT_EQ(levels.size(), exact.Resolution->Levels.size());
        EXPECT_EQ(levels.back().at("increments_per_pitch"), 5 << (levels.size() - 1));
        EXPECT_DOUBLE_EQ(
            resolution.at("study").at("outlet_cv_percent").at("extrapolated").get<double>(),
            exact.Resolution->Cv.Value);
        EXPECT_EQ(network.at("outlet_round_die").size(), 25u);
        EXPECT_EQ(network.at("outlet_round_die").back().at("channel"), 5);

        const std::string csv = OutletRoundTheDieCsv(*exact.AsSolution);
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 26);
        EXPECT_EQ(csv.rfind("angle_deg,channel,flow,relative\n", 0), 0u);

        const std::string verdict = ResolutionVerdict(*exact.Resolution);
        EXPECT_NE(verdict.find(std::to_string(levels.back().at("increments_per_pitch").get<int>())
                      + " increments per pitch"),
            std::string::npos)
            << verdict;
        EXPECT_NE(verdict.find("the grid of 5 per pitch is off by"), std::string::npos) << verdict;
    }

    TEST(RefinedPressures, CarryALinearProfileExactly)
    {
        const std::vector<double> coarse { 10, 8, 6, 4 };
        const std::vector<double> fine = RefinedPressures(coarse);
        ASSERT_EQ(fine.size(), 8u);
        for (std::size_t i = 0; i < fine.size(); ++i)
            EXPECT_DOUBLE_EQ(fine[i], 10 - 2 * (i / 2.0 - 0.25)) << i;
    }

} // namespace
} // namespace karrow
