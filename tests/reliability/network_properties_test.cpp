// Properties of the exact network solution over generated die designs:
//  - the Newtonian network (n = 1) is linear, and its pressures are those of a dense Gaussian
//    elimination of the same equations, also on grids four times as fine, whose nodes the solver
//    takes in another order;
//  - every node balances and the outlet paths carry the flow rate, recomputed here from the
//    returned pressures with the element laws;
//  - a flow rate lambda Q gives every flow times lambda and every pressure times lambda^n;
//  - Newton converges within a few steps on every design, n from 0.2 to 1, including designs
//    where the classic iteration does not converge, and where the classic one finishes the two
//    agree on the head pressure;
//  - an invalid or unrepresentable network ends without convergence, in words, with finite
//    numbers and the caller's floating-point flags untouched.

#include "design_generator.h"
#include "run/run_driver.h"
#include "solver/banded_lu.h"
#include "solver/exact_solution.h"
#include "solver/fault.h"
#include "solver/flow_balance.h"
#include "solver/network.h"
#include "solver/network_grid.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace karrow {
namespace {

    constexpr int DesignsPerChannelCount = 40;
    constexpr int NewtonStepBound = 50;
    // Recomputing a flow from the returned pressures rounds differently from the solver: a few
    // units in the last place of a double, on top of the convergence tolerance.
    constexpr double RecomputedAllowance = 1e-14;
    constexpr double ScalingAllowance = 1e-10;

    using Matrix = std::vector<std::vector<double>>;

    // Gaussian elimination with row pivoting on a dense copy.
    std::vector<double> DenseSolve(Matrix a, std::vector<double> b)
    {
        const std::size_t size = b.size();
        for (std::size_t k = 0; k < size; ++k) {
            std::size_t pivot = k;
            for (std::size_t r = k + 1; r < size; ++r)
                if (std::fabs(a[r][k]) > std::fabs(a[pivot][k]))
                    pivot = r;
            std::swap(a[k], a[pivot]);
            std::swap(b[k], b[pivot]);
            for (std::size_t r = k + 1; r < size; ++r) {
                const double factor = a[r][k] / a[k][k];
                for (std::size_t c = k; c < size; ++c)
                    a[r][c] -= factor * a[k][c];
                b[r] -= factor * b[k];
            }
        }
        std::vector<double> x(size);
        for (std::size_t k = size; k-- > 0;) {
            double sum = b[k];
            for (std::size_t c = k + 1; c < size; ++c)
                sum -= a[k][c] * x[c];
            x[k] = sum / a[k][k];
        }
        return x;
    }

    // Designs of 1 to 24 channels; those the model's limits refuse, or whose geometry faults,
    // are not networks and are drawn again.
    std::vector<NetworkElements> GeneratedNetworks(int channels, test::PowerLawRange n)
    {
        std::mt19937_64 random(0x6e6574u + static_cast<unsigned>(channels));
        std::vector<NetworkElements> networks;
        for (int drawn = 0;
             networks.size() < DesignsPerChannelCount && drawn < 10 * DesignsPerChannelCount;
             ++drawn) {
            try {
                if (auto elements = test::NetworkOf(test::DrawDesign(random, channels, n)))
                    networks.push_back(std::move(*elements));
            } catch (const ArithmeticFault&) {
            }
        }
        return networks;
    }

    double Law(double conductance, double n, double drop)
    {
        return conductance * std::copysign(std::pow(std::fabs(drop), 1 / n), drop);
    }

    // The largest node imbalance relative to Q, and the outlet's shortfall, from the pressures.
    struct Balance {
        double LargestNodeImbalance = 0;
        double OutletShortfall = 0;
        double LargestFlowMismatch = 0; // returned flows against the laws, relative to Q
    };

    Balance Rebalance(const NetworkElements& el, const NetworkSolution& s)
    {
        const int M = el.EffectiveIncrements;
        const int m = el.PitchIncrements;
        const double n = el.PowerLawIndex;
        const double Q = el.FlowRatePerChannel;
        const auto at = [](const std::vector<double>& v, int i) {
            return v[static_cast<std::size_t>(i - 1)];
        };
        // Channel flow leaving increment i from the resistance form, slit flow of increment i.
        const auto channel = [&](int i) {
            if (i == 0)
                return Q;
            if (i == M)
                return 0.0;
            const double drop = at(s.Pressure, i) - at(s.Pressure, i + 1);
            return std::copysign(
                std::pow(std::fabs(drop) / at(el.ChannelResistance, i + 1), 1 / n), drop);
        };
        const auto slit = [&](int i) {
            const double far = i + m <= M ? at(s.Pressure, i + m) : 0.0;
            return Law(at(el.SlitConductance, i), n, at(s.Pressure, i) - far);
        };
        Balance b;
        long double outlet = 0;
        for (int i = 1; i <= M; ++i) {
            const double in = channel(i - 1) + (i > m ? slit(i - m) : 0.0);
            const double out = channel(i) + slit(i);
            b.LargestNodeImbalance = std::max(b.LargestNodeImbalance, std::fabs(in - out) / Q);
            b.LargestFlowMismatch =
                std::max({ b.LargestFlowMismatch, std::fabs(channel(i) - at(s.ChannelFlow, i)) / Q,
                    std::fabs(slit(i) - at(s.SlitFlow, i)) / Q });
            if (i + m > M)
                outlet += slit(i);
        }
        b.OutletShortfall = static_cast<double>(std::fabs(Q - outlet) / Q);
        return b;
    }

    TEST(SymmetricBandMatrix, SolvesAsDenseEliminationAndRefusesIndefiniteMatrices)
    {
        std::mt19937_64 random(17);
        std::uniform_real_distribution<double> entry(-1, 1);
        for (const auto& [size, band] : { std::pair { 9, 2 }, { 30, 4 }, { 6, 1 }, { 5, 4 } }) {
            SymmetricBandMatrix matrix(size, band);
            const auto dim = static_cast<std::size_t>(size);
            Matrix dense(dim, std::vector<double>(dim, 0.0));
            std::vector<double> b(dim);
            for (int r = 0; r < size; ++r) {
                b[static_cast<std::size_t>(r)] = entry(random);
                for (int c = std::max(0, r - band); c < r; ++c) {
                    const double v = entry(random);
                    matrix.Lower(r, c) = v;
                    dense[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = v;
                    dense[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)] = v;
                }
            }
            // Diagonally dominant, so positive definite, with entries on both sides of the band.
            for (int r = 0; r < size; ++r) {
                matrix.Lower(r, r) = 2.0 * band + 1;
                dense[static_cast<std::size_t>(r)][static_cast<std::size_t>(r)] = 2.0 * band + 1;
            }
            const std::vector<double> expected = DenseSolve(dense, b);
            ASSERT_TRUE(matrix.Factor());
            matrix.Solve(b);
            for (std::size_t i = 0; i < b.size(); ++i)
                EXPECT_NEAR(b[i], expected[i], 1e-12 * (1 + std::fabs(expected[i])))
                    << size << " " << i;
        }
        SymmetricBandMatrix indefinite(3, 1);
        indefinite.Lower(0, 0) = 1;
        indefinite.Lower(1, 0) = 2;
        indefinite.Lower(1, 1) = 1;
        indefinite.Lower(2, 2) = 1;
        EXPECT_FALSE(indefinite.Factor());
    }

    class Networks : public testing::TestWithParam<int> { };

    // The same designs on a grid four times as fine: the solver then takes the nodes pitch
    // column by pitch column, where the channel of few channels makes the natural band wide.
    std::vector<NetworkElements> FineNetworks(int channels, test::PowerLawRange n)
    {
        std::mt19937_64 random(0x66696eu + static_cast<unsigned>(channels));
        const int k = DefaultIncrementsPerPitch(channels);
        const NetworkResolution fine { 4 * k, k };
        std::vector<NetworkElements> networks;
        for (int drawn = 0; networks.size() < 6 && drawn < 100; ++drawn) {
            const Inputs in = test::DrawDesign(random, channels, n);
            if (NetworkResolutionProblem(in, fine))
                continue;
            Geometry g;
            ComputeGeometry(in, NetworkGrid(in, fine), g);
            networks.push_back(NetworkElementsOf(in, g, ComputeElementLaws(in, g)));
        }
        EXPECT_EQ(networks.size(), 6u);
        return networks;
    }

    // With n = 1 every element is linear: node i's balance is a row of G P = Q e_1.
    TEST_P(Networks, NewtonianPressuresMatchDenseElimination)
    {
        std::vector<NetworkElements> networks = GeneratedNetworks(GetParam(), { 1, 1 });
        for (NetworkElements& fine : FineNetworks(GetParam(), { 1, 1 })) {
            if (GetParam() <= 4) {
                EXPECT_LT(NetworkBandwidth(fine.EffectiveIncrements, fine.PitchIncrements),
                    fine.PitchIncrements);
            }
            networks.push_back(std::move(fine));
        }
        for (const NetworkElements& el : networks) {
            const int M = el.EffectiveIncrements;
            const int m = el.PitchIncrements;
            const auto size = static_cast<std::size_t>(M);
            Matrix g(size, std::vector<double>(size, 0.0));
            const auto join = [&](std::size_t a, std::size_t b, double conductance) {
                g[a][a] += conductance;
                g[b][b] += conductance;
                g[a][b] -= conductance;
                g[b][a] -= conductance;
            };
            for (std::size_t j = 0; j + 1 < size; ++j)
                join(j, j + 1, 1 / el.ChannelResistance[j + 1]);
            for (std::size_t j = 0; j < size; ++j) {
                if (j + static_cast<std::size_t>(m) < size)
                    join(j, j + static_cast<std::size_t>(m), el.SlitConductance[j]);
                else
                    g[j][j] += el.SlitConductance[j];
            }
            std::vector<double> q(size, 0.0);
            q[0] = el.FlowRatePerChannel;
            const std::vector<double> expected = DenseSolve(g, q);
            const NetworkSolution s = SolveNetwork(el);
            ASSERT_TRUE(s.Converged) << s.Failure;
            for (std::size_t i = 0; i < size; ++i)
                EXPECT_NEAR(s.Pressure[i], expected[i], 1e-10 * expected[0]) << "node " << i + 1;
        }
    }

    TEST_P(Networks, ConvergeQuicklyAndBalanceEveryNode)
    {
        const std::vector<NetworkElements> networks = GeneratedNetworks(GetParam(), { 0.2, 1 });
        ASSERT_EQ(networks.size(), static_cast<std::size_t>(DesignsPerChannelCount));
        int worst = 0;
        for (const NetworkElements& el : networks) {
            const NetworkSolution s = SolveNetwork(el);
            const std::string where = "n " + std::to_string(el.PowerLawIndex) + ", "
                + std::to_string(el.EffectiveIncrements) + " increments";
            ASSERT_TRUE(s.Converged) << s.Failure << "; " << where;
            EXPECT_TRUE(s.Failure.empty());
            EXPECT_LE(s.Iterations, NewtonStepBound) << where;
            EXPECT_LE(s.Residual, NetworkTolerance) << where;
            worst = std::max(worst, s.Iterations);
            const Balance b = Rebalance(el, s);
            EXPECT_LE(b.LargestNodeImbalance, NetworkTolerance + RecomputedAllowance) << where;
            EXPECT_LE(b.LargestFlowMismatch, RecomputedAllowance) << where;
            EXPECT_LE(b.OutletShortfall, el.EffectiveIncrements * NetworkTolerance) << where;
        }
        RecordProperty("most Newton steps", worst);
    }

    TEST_P(Networks, ScaleWithTheFlowRate)
    {
        for (const NetworkElements& el : GeneratedNetworks(GetParam(), { 0.2, 1 })) {
            const NetworkSolution base = SolveNetwork(el);
            for (const double lambda : { 0.13, 7.5 }) {
                NetworkElements scaled = el;
                scaled.FlowRatePerChannel *= lambda;
                const NetworkSolution s = SolveNetwork(scaled);
                ASSERT_TRUE(base.Converged && s.Converged);
                const double pressureFactor = std::pow(lambda, el.PowerLawIndex);
                const auto expectScaled = [](const std::vector<double>& got,
                                              const std::vector<double>& from, double factor,
                                              double reference) {
                    for (std::size_t i = 0; i < got.size(); ++i)
                        EXPECT_NEAR(got[i], factor * from[i], ScalingAllowance * factor * reference)
                            << "increment " << i + 1;
                };
                expectScaled(s.Pressure, base.Pressure, pressureFactor, base.InletPressure);
                expectScaled(s.SlitFlow, base.SlitFlow, lambda, el.FlowRatePerChannel);
                expectScaled(s.ChannelFlow, base.ChannelFlow, lambda, el.FlowRatePerChannel);
                EXPECT_NEAR(s.InletPressure, pressureFactor * base.InletPressure,
                    ScalingAllowance * pressureFactor * base.InletPressure);
            }
        }
    }

    INSTANTIATE_TEST_SUITE_P(Channels, Networks, testing::Values(1, 2, 3, 4, 5, 6, 8, 12, 24),
        [](const testing::TestParamInfo<int>& row) {
            return std::to_string(row.param) + "Channels";
        });

    struct ClassicEnd {
        bool Finished = false;
        double HeadPressure = 0;
    };

    ClassicEnd SolveClassic(const Inputs& in)
    {
        PrepareFloatingPoint();
        const Solution s = Calculate(in);
        return { s.Flow.Record.Stop != IterationStop::StepLimit, s.HeadPressure() };
    }

    // Designs the classic iteration does not finish: a narrow channel on a short spiral, and a
    // strongly shear-thinning melt. The exact network is solved all the same.
    TEST(ClassicFailures, AreSolvedExactly)
    {
        for (const auto& changes : std::vector<std::vector<std::pair<Field, std::string>>> {
                 { { Field::NumberOfChannels, "5" }, { Field::ChannelWidth, "0.6" },
                     { Field::SpiralHeight, "6" } },
                 { { Field::PowerLawIndex, "0.2" } } }) {
            const Inputs design = test::DesignFromTexts(changes);
            ASSERT_FALSE(SolveClassic(design).Finished);
            const NetworkSolution s = SolveNetwork(test::NetworkOf(design).value());
            EXPECT_TRUE(s.Converged) << s.Failure;
            EXPECT_LE(s.Iterations, NewtonStepBound);
        }
    }

    // The classic iteration stops at a 3 % balance and clamps small outlet flows; its head
    // pressure still lies within a few percent of the exact one wherever it finishes.
    TEST(ClassicIteration, AgreesOnTheHeadPressureWhereItFinishes)
    {
        std::mt19937_64 random(29);
        int compared = 0;
        for (int drawn = 0; drawn < 30; ++drawn) {
            const Inputs design = test::DrawDesign(random, 1 + drawn % 6);
            std::optional<NetworkElements> el;
            ClassicEnd classic;
            try {
                el = test::NetworkOf(design);
                if (el)
                    classic = SolveClassic(design);
            } catch (const ArithmeticFault&) {
                continue;
            }
            if (!el || !classic.Finished)
                continue;
            const NetworkSolution s = SolveNetwork(*el);
            ASSERT_TRUE(s.Converged) << s.Failure;
            EXPECT_NEAR(classic.HeadPressure / s.InletPressure, 1, 0.1);
            ++compared;
        }
        EXPECT_GE(compared, 15);
    }

    NetworkElements Broken(void (*change)(NetworkElements&))
    {
        NetworkElements el = test::NetworkOf(test::DesignFromTexts()).value();
        change(el);
        return el;
    }

    // At the exact solution the classic method's own step finds nothing to change: the profile it
    // builds from the network's flows drives exactly those slit flows, so its balance test passes
    // at any tolerance. (Designs whose outlet flows fall under the classic clamp's minimum, or
    // whose channel flow reverses, are outside what the classic step can take.)
    TEST(ClassicStep, ReproducesTheFlowsOfTheExactSolution)
    {
        std::mt19937_64 random(31);
        int checked = 0;
        for (int drawn = 0; drawn < 60; ++drawn) {
            const Inputs in = test::DrawDesign(random, 1 + drawn % 6);
            PrepareFloatingPoint();
            if (CheckModelLimits(in))
                continue;
            const test::Elements e = test::ElementsOf(in);
            const NetworkSolution net = SolveNetwork(NetworkElementsOf(e.In, e.Geo, e.Laws));
            ASSERT_TRUE(net.Converged) << net.Failure;
            Flows flows = SolutionOfNetwork(e.In, e.Geo, e.Laws, net).Flow.Distribution;
            const int last = e.Geo.EffectiveIncrements;
            bool takeable = true;
            for (int i = 1; i <= last; ++i)
                takeable = takeable && flows.ChannelFlow(i) >= 0
                    && (i <= e.Geo.TransferIncrements || flows.SlitFlow(i) >= e.Geo.MinimumFlow);
            if (!takeable)
                continue;
            PressureProfile profile = SizedPressureProfile(e.Geo);
            PressureProfiler(e.Geo).Compute(e.In, e.Geo, e.Laws, flows, profile);
            IncrementArray driven(last);
            ComputeNewSlitFlows(e.In, e.Geo, e.Laws, profile, driven);
            const double q = e.In.FlowRatePerChannel;
            for (int i = 1; i <= last; ++i)
                EXPECT_NEAR(driven[i], net.SlitFlow[static_cast<std::size_t>(i - 1)], 1e-9 * q)
                    << "increment " << i;
            EXPECT_NEAR(profile.InletPressure, net.InletPressure, 1e-9 * net.InletPressure);
            ++checked;
        }
        EXPECT_GE(checked, 30);
    }

    TEST(InvalidNetworks, EndWithoutConvergenceInWordsAndFiniteNumbers)
    {
        const std::vector<NetworkElements> cases {
            Broken([](NetworkElements& el) { el.PowerLawIndex = 0; }),
            Broken([](NetworkElements& el) { el.PowerLawIndex = -0.5; }),
            Broken([](NetworkElements& el) { el.FlowRatePerChannel = 0; }),
            Broken([](NetworkElements& el) { el.SlitConductance[3] = 0; }),
            Broken([](NetworkElements& el) { el.ChannelResistance[5] = std::nan(""); }),
            Broken([](NetworkElements& el) { el.SlitConductance.pop_back(); }),
            Broken([](NetworkElements& el) { el.PitchIncrements = el.EffectiveIncrements + 1; }),
            Broken([](NetworkElements& el) { el.PitchIncrements = 0; }),
            // Valid, but the laws' powers leave the range of doubles.
            Broken([](NetworkElements& el) {
                el.PowerLawIndex = 0.01;
                el.ChannelResistance.assign(el.ChannelResistance.size(), 1e-200);
            }),
        };
        for (std::size_t k = 0; k < cases.size(); ++k) {
            ClearFloatingPointFaults();
            const NetworkSolution s = SolveNetwork(cases[k]);
            EXPECT_NO_THROW(CheckFloatingPoint("after the network")) << "case " << k;
            EXPECT_FALSE(s.Converged) << "case " << k;
            EXPECT_FALSE(s.Failure.empty()) << "case " << k;
            EXPECT_TRUE(std::isfinite(s.InletPressure) && std::isfinite(s.Residual));
            for (const auto* v : { &s.Pressure, &s.SlitFlow, &s.ChannelFlow })
                EXPECT_TRUE(
                    std::all_of(v->begin(), v->end(), [](double x) { return std::isfinite(x); }))
                    << "case " << k;
        }
    }

} // namespace
} // namespace karrow
