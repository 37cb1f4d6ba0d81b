#include "melt_network.h"

#include "banded_lu.h"
#include "extended.h"
#include "melt_laws.h"
#include "network_residual.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <sstream>

namespace karrow {

namespace {

    constexpr int NewtonLimit = 100;
    constexpr int LineSearchHalvingLimit = 40;
    constexpr double SufficientDecrease = 1e-4;
    // As in the power-law network: slopes frozen below this share of an element's characteristic
    // drop, the residual exact.
    constexpr double FrozenSlopeShare = 1e-6;
    // Sweeps of the mixing of streams at the nodes: one when every flow runs forward, a few
    // when some run back.
    constexpr int MixingSweepLimit = 50;
    constexpr double SquareCentimetre = 1e-4; // m2
    constexpr double CubicCentimetre = 1e-6; // m3

    std::string Words(double value)
    {
        std::ostringstream text;
        text.precision(3);
        text << value;
        return text.str();
    }

    bool AllFinite(const std::vector<double>& values)
    {
        return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
    }

    std::size_t Ix(int j)
    {
        return static_cast<std::size_t>(j);
    }

    // The elements of the network with the geometry the power-law laws are computed from.
    struct MeltElements {
        int M = 0;
        int m = 0;
        int K = 0;
        double Q = 0;
        std::vector<SlitShape> Channel; // [j]: increment j + 1 as its equivalent slit
        std::vector<double> ChannelArea; // [j]: wetted wall, cm2
        std::vector<std::vector<SlitShape>> Slit; // [j]: the slit, or taper and lip, of node j
    };

    MeltElements ElementsOf(const Inputs& in, const Geometry& g, const ElementLaws& laws)
    {
        MeltElements e;
        e.M = g.EffectiveIncrements;
        e.m = g.PitchIncrements;
        e.K = g.TransferIncrements;
        e.Q = in.FlowRatePerChannel;
        for (int i = 1; i <= e.M; ++i) {
            e.Channel.push_back(ChannelSlitOf(g, i));
            e.ChannelArea.push_back(
                2 * (g.EquivalentChannelDepth[i] + g.ChannelOpeningWidth[i]) * g.IncrementLength);
            e.Slit.push_back(SlitChainOf(in, g, laws.Paths, i));
        }
        return e;
    }

    std::string ElementsProblem(const MeltElements& e)
    {
        const auto usable = [](const SlitShape& s) {
            return std::isfinite(s.Width) && s.Width > 0 && std::isfinite(s.Length) && s.Length > 0
                && std::isfinite(s.StartHeight) && s.StartHeight > 0 && std::isfinite(s.EndHeight)
                && s.EndHeight > 0;
        };
        if (!(std::isfinite(e.Q) && e.Q > 0))
            return "the flow rate must be a positive number";
        if (e.m < 1 || e.M < e.m || e.K != e.M - e.m)
            return "a pitch must hold at least one increment and the effective part at least a "
                   "pitch";
        if (!std::all_of(e.Channel.begin(), e.Channel.end(), usable))
            return "every channel increment must have a positive width, height and length";
        for (const auto& chain : e.Slit)
            if (!std::all_of(chain.begin(), chain.end(), usable))
                return "every slit must have a positive width, heights and length";
        return {};
    }

    // Newton's method on the node pressures for element temperatures given as ln aT.
    class FlowNetwork {
    public:
        FlowNetwork(const MeltElements& e, MeltElementLaws& laws)
            : e_(e)
            , laws_(laws)
            , rows_(NetworkNodeRows(e.M, e.m))
            , jacobian_(e.M, NetworkBandwidth(e.M, e.m))
            , slitGuess_(Ix(e.M), e.Q / e.m)
        {
        }

        // The element temperatures as ln aT. The first time, also every element's drop at its
        // characteristic flow (the channel at Q, a slit at Q / m): the scale of the start and of
        // the frozen slopes, which need no more than the scale and are kept after.
        void SetShifts(std::vector<double> channel, std::vector<double> slit)
        {
            channelShift_ = std::move(channel);
            slitShift_ = std::move(slit);
            if (!channelPoint_.empty())
                return;
            channelPoint_.assign(Ix(e_.M), 0.0);
            slitPoint_.assign(Ix(e_.M), 0.0);
            for (int j = 0; j < e_.M; ++j) {
                channelPoint_[Ix(j)] = ChannelDrop(j, e_.Q);
                slitPoint_[Ix(j)] = SlitDrop(j, e_.Q / e_.m);
            }
        }

        double ChannelDrop(int j, double flow)
        {
            return laws_.SlitDrop(e_.Channel[Ix(j)], flow, channelShift_[Ix(j)]);
        }

        double ShapeDrop(int j, std::size_t k, double flow)
        {
            return laws_.SlitDrop(e_.Slit[Ix(j)][k], flow, slitShift_[Ix(j)]);
        }

        SlitFlowFunction& Function() { return laws_.Function(); }

        double SlitDrop(int j, double flow)
        {
            double drop = 0;
            for (const SlitShape& s : e_.Slit[Ix(j)])
                drop += laws_.SlitDrop(s, flow, slitShift_[Ix(j)]);
            return drop;
        }

        // The linear network of every element's secant through its characteristic point (the
        // channel at Q, a slit at Q / m): a start with the right scale of pressures.
        bool SecantStart(std::vector<double>& pressure)
        {
            jacobian_.Clear();
            for (int j = 0; j + 1 < e_.M; ++j)
                Join(j, j + 1, e_.Q / channelPoint_[Ix(j + 1)]);
            for (int j = 0; j < e_.M; ++j) {
                const double slope = e_.Q / e_.m / slitPoint_[Ix(j)];
                if (j < e_.K)
                    Join(j, j + e_.m, slope);
                else
                    jacobian_.Lower(Row(j), Row(j)) += slope;
            }
            pressure.assign(Ix(e_.M), 0.0);
            pressure[0] = e_.Q;
            return jacobian_.Factor() && (Solve(pressure), AllFinite(pressure));
        }

        void Flows(const std::vector<double>& pressure, std::vector<double>& channel,
            std::vector<double>& slit, bool withSlopes)
        {
            channel.assign(Ix(e_.M), 0.0);
            slit.assign(Ix(e_.M), 0.0);
            channelSlope_.assign(Ix(e_.M), 0.0);
            slitSlope_.assign(Ix(e_.M), 0.0);
            for (int j = 0; j + 1 < e_.M; ++j) {
                const ElementFlow f = laws_.ConstantSlitFlow(e_.Channel[Ix(j + 1)],
                    pressure[Ix(j)] - pressure[Ix(j + 1)], channelShift_[Ix(j + 1)],
                    withSlopes ? FrozenSlopeShare * channelPoint_[Ix(j + 1)] : 0.0);
                channel[Ix(j)] = f.Flow;
                channelSlope_[Ix(j)] = f.Slope;
            }
            for (int j = 0; j < e_.M; ++j) {
                const double drop =
                    j < e_.K ? pressure[Ix(j)] - pressure[Ix(j + e_.m)] : pressure[Ix(j)];
                const ElementFlow f = laws_.SeriesFlow(e_.Slit[Ix(j)], drop, slitShift_[Ix(j)],
                    slitGuess_[Ix(j)], withSlopes ? FrozenSlopeShare * slitPoint_[Ix(j)] : 0.0);
                slit[Ix(j)] = f.Flow;
                slitSlope_[Ix(j)] = f.Slope;
                if (std::isfinite(f.Flow) && f.Flow != 0)
                    slitGuess_[Ix(j)] = std::fabs(f.Flow);
            }
        }

        void Residual(
            const std::vector<double>& pressure, std::vector<double>& residual, bool withSlopes)
        {
            Flows(pressure, channel_, slit_, withSlopes);
            residual.assign(Ix(e_.M), 0.0);
            for (int j = 0; j < e_.M; ++j) {
                const double channelIn = j == 0 ? e_.Q : channel_[Ix(j - 1)];
                const double landIn = j >= e_.m ? slit_[Ix(j - e_.m)] : 0.0;
                residual[Ix(j)] = channelIn + landIn - channel_[Ix(j)] - slit_[Ix(j)];
            }
        }

        // The flows of the last Residual: after Newton's method, those of its pressures.
        void LastFlows(std::vector<double>& channel, std::vector<double>& slit) const
        {
            channel = channel_;
            slit = slit_;
        }

        // The slopes of the last Residual with slopes, as the conductance matrix.
        bool FactorSlopes()
        {
            jacobian_.Clear();
            for (int j = 0; j + 1 < e_.M; ++j)
                Join(j, j + 1, channelSlope_[Ix(j)]);
            for (int j = 0; j < e_.K; ++j)
                Join(j, j + e_.m, slitSlope_[Ix(j)]);
            for (int j = e_.K; j < e_.M; ++j)
                jacobian_.Lower(Row(j), Row(j)) += slitSlope_[Ix(j)];
            return jacobian_.Factor();
        }

        void Solve(std::vector<double>& b)
        {
            if (rows_.empty()) {
                jacobian_.Solve(b);
                return;
            }
            permuted_.assign(b.size(), 0.0);
            for (int j = 0; j < e_.M; ++j)
                permuted_[Ix(Row(j))] = b[Ix(j)];
            jacobian_.Solve(permuted_);
            for (int j = 0; j < e_.M; ++j)
                b[Ix(j)] = permuted_[Ix(Row(j))];
        }

    private:
        int Row(int node) const { return rows_.empty() ? node : rows_[Ix(node)]; }

        void Join(int nodeA, int nodeB, double slope)
        {
            const int a = Row(nodeA);
            const int b = Row(nodeB);
            jacobian_.Lower(a, a) += slope;
            jacobian_.Lower(b, b) += slope;
            jacobian_.Lower(std::max(a, b), std::min(a, b)) -= slope;
        }

        const MeltElements& e_;
        MeltElementLaws& laws_;
        std::vector<int> rows_;
        SymmetricBandMatrix jacobian_;
        std::vector<double> slitGuess_;
        std::vector<double> channelShift_;
        std::vector<double> slitShift_;
        std::vector<double> channelPoint_;
        std::vector<double> slitPoint_;
        std::vector<double> channel_;
        std::vector<double> slit_;
        std::vector<double> channelSlope_;
        std::vector<double> slitSlope_;
        std::vector<double> permuted_;
    };

    using Attempt = NewtonAttempt;

    Attempt Newton(FlowNetwork& net, std::vector<double>& pressure, double Q, double tolerance,
        int& iterations)
    {
        std::vector<double> residual;
        std::vector<double> trial;
        std::vector<double> trialResidual;
        std::vector<double> step;
        // The network's last residual is always that of `pressure` when this returns: the
        // caller reads its flows (LastFlows), and each step its slopes.
        net.Residual(pressure, residual, true);
        Attempt attempt { false, LargestImbalance(residual, Q), {} };
        for (int k = 0; k < NewtonLimit; ++k) {
            if (attempt.Residual <= tolerance) {
                attempt.Converged = true;
                return attempt;
            }
            ++iterations;
            if (!net.FactorSlopes()) {
                attempt.Failure = "the network's Jacobian is singular";
                return attempt;
            }
            step = residual;
            net.Solve(step);
            const double norm = SquaredNorm(residual);
            double t = 1;
            bool accepted = false;
            for (int h = 0; h <= LineSearchHalvingLimit && !accepted; ++h, t /= 2) {
                trial = pressure;
                for (std::size_t j = 0; j < trial.size(); ++j)
                    trial[j] += t * step[j];
                net.Residual(trial, trialResidual, true);
                const double trialNorm = SquaredNorm(trialResidual);
                accepted = std::isfinite(trialNorm)
                    && (trialNorm <= (1 - 2 * SufficientDecrease * t) * norm
                        || LargestImbalance(trialResidual, Q) <= tolerance);
            }
            if (!accepted) {
                attempt.Failure = "no step along Newton's direction lowers the imbalance";
                net.Residual(pressure, residual, true);
                return attempt;
            }
            pressure.swap(trial);
            residual.swap(trialResidual);
            attempt.Residual = LargestImbalance(residual, Q);
        }
        attempt.Converged = attempt.Residual <= tolerance;
        if (!attempt.Converged)
            attempt.Failure = "the step limit was reached";
        return attempt;
    }

    // The temperature of melt leaving an element it entered at `in`: the adiabatic rise of the
    // dissipation, relaxed towards the wall over beta = h A / (rho c Q) when the wall takes part.
    double Leaving(
        double in, double drop, double flow, double area, const Melt& melt, const MeltConditions& c)
    {
        const double rise =
            std::fabs(drop) * PascalPerGramForce / (melt.Density * melt.HeatCapacity);
        if (!(c.HeatTransferCoefficient > 0))
            return in + rise;
        const double volume = std::fabs(flow) * CubicCentimetre;
        if (!(volume > 0))
            return c.WallTemperature;
        const double beta = c.HeatTransferCoefficient * area * SquareCentimetre
            / (melt.Density * melt.HeatCapacity * volume);
        const double relaxed = -std::expm1(-beta);
        return in + rise * relaxed / beta + (c.WallTemperature - in) * relaxed;
    }

    struct Temperatures {
        std::vector<double> Node; // [j]
        std::vector<double> Outlet; // [j - K]
    };

    double Area(const SlitShape& s)
    {
        return 2 * s.Width * s.Length;
    }

    // The network's flows, the laws that split an outlet's drop between taper and lip, and the
    // conditions: what the temperatures are made of.
    struct ThermalState {
        const MeltElements& E;
        const Melt& Law;
        const MeltConditions& Conditions;
        FlowNetwork& Net;
        const std::vector<double>& Pressure;
        double InletPressure;
        const std::vector<double>& Channel;
        const std::vector<double>& Slit;
    };

    // What one stream brings into a node: its flow and the temperature it arrives at.
    void Bring(double flow, double temperature, double& heat, double& mass)
    {
        heat += flow * temperature;
        mass += flow;
    }

    // The melt temperature of every node, mixing by flow what enters it, swept in node order
    // (exact in one sweep when every flow runs forward) until nothing moves.
    Temperatures MixedTemperatures(const ThermalState& s)
    {
        const MeltElements& e = s.E;
        const auto& p = s.Pressure;
        const auto leave = [&](double in, double drop, double flow, double area) {
            return Leaving(in, drop, flow, area, s.Law, s.Conditions);
        };
        const double inlet = leave(
            s.Conditions.MeltTemperature, s.InletPressure - p[0], e.Q, 0.5 * e.ChannelArea[0]);
        Temperatures t;
        t.Node.assign(Ix(e.M), s.Conditions.MeltTemperature);
        for (int sweep = 0; sweep < MixingSweepLimit; ++sweep) {
            double moved = 0;
            for (int j = 0; j < e.M; ++j) {
                double heat = 0;
                double mass = 0;
                if (j == 0)
                    Bring(e.Q, inlet, heat, mass);
                if (j > 0 && s.Channel[Ix(j - 1)] > 0)
                    Bring(s.Channel[Ix(j - 1)],
                        leave(t.Node[Ix(j - 1)], p[Ix(j - 1)] - p[Ix(j)], s.Channel[Ix(j - 1)],
                            e.ChannelArea[Ix(j)]),
                        heat, mass);
                if (j + 1 < e.M && s.Channel[Ix(j)] < 0)
                    Bring(-s.Channel[Ix(j)],
                        leave(t.Node[Ix(j + 1)], p[Ix(j)] - p[Ix(j + 1)], s.Channel[Ix(j)],
                            e.ChannelArea[Ix(j + 1)]),
                        heat, mass);
                if (j >= e.m && s.Slit[Ix(j - e.m)] > 0)
                    Bring(s.Slit[Ix(j - e.m)],
                        leave(t.Node[Ix(j - e.m)], p[Ix(j - e.m)] - p[Ix(j)], s.Slit[Ix(j - e.m)],
                            Area(e.Slit[Ix(j - e.m)].front())),
                        heat, mass);
                if (j < e.K && s.Slit[Ix(j)] < 0)
                    Bring(-s.Slit[Ix(j)],
                        leave(t.Node[Ix(j + e.m)], p[Ix(j)] - p[Ix(j + e.m)], s.Slit[Ix(j)],
                            Area(e.Slit[Ix(j)].front())),
                        heat, mass);
                const double mixed = mass > 0 ? heat / mass : t.Node[Ix(j)];
                moved = std::max(moved, std::fabs(mixed - t.Node[Ix(j)]));
                t.Node[Ix(j)] = mixed;
            }
            if (!(moved > 1e-12))
                break;
        }
        for (int j = e.K; j < e.M; ++j) {
            double temperature = t.Node[Ix(j)];
            const double flow = std::fabs(s.Slit[Ix(j)]);
            for (std::size_t k = 0; k < e.Slit[Ix(j)].size(); ++k)
                temperature =
                    leave(temperature, s.Net.ShapeDrop(j, k, flow), flow, Area(e.Slit[Ix(j)][k]));
            t.Outlet.push_back(temperature);
        }
        return t;
    }

    // The mean gauge pressure (Pa) of every element, which the law's pressure term reads: a
    // channel increment's between its two nodes (the first, half an increment, between the head
    // and node 1), a land's between the nodes it joins, an outlet's taper and lip between its
    // node and the open air.
    struct ElementPressures {
        std::vector<double> Channel;
        std::vector<double> Slit;
    };

    ElementPressures ElementPressuresOf(
        const MeltElements& e, const std::vector<double>& p, double inlet)
    {
        ElementPressures mean;
        mean.Channel.assign(Ix(e.M), 0.0);
        mean.Slit.assign(Ix(e.M), 0.0);
        mean.Channel[0] = (inlet + p[0]) / 2 * PascalPerGramForce;
        for (int j = 1; j < e.M; ++j)
            mean.Channel[Ix(j)] = (p[Ix(j - 1)] + p[Ix(j)]) / 2 * PascalPerGramForce;
        for (int j = 0; j < e.M; ++j)
            mean.Slit[Ix(j)] =
                (p[Ix(j)] + (j < e.K ? p[Ix(j + e.m)] : 0.0)) / 2 * PascalPerGramForce;
        return mean;
    }

    // ln aT of every element at the temperature of the melt entering it, less D3 times the
    // element's pressure when the law has a pressure term; empty with `problem` set when a
    // temperature leaves the law's range. The temperatures kept are those the law saw.
    struct Shifts {
        std::vector<double> Channel;
        std::vector<double> Slit;
        std::vector<double> ChannelTemperature;
        std::vector<double> SlitTemperature;
    };

    std::optional<std::string> ShiftsOf(const MeltElements& e, const Melt& melt,
        const MeltConditions& c, const std::vector<double>& node,
        const std::vector<double>& channel, const std::vector<double>& slit,
        const ElementPressures* pressures, Shifts& shifts)
    {
        shifts.ChannelTemperature.assign(Ix(e.M), c.MeltTemperature);
        shifts.SlitTemperature.assign(Ix(e.M), c.MeltTemperature);
        for (int j = 0; j + 1 < e.M && !node.empty(); ++j)
            shifts.ChannelTemperature[Ix(j + 1)] =
                channel[Ix(j)] >= 0 ? node[Ix(j)] : node[Ix(j + 1)];
        for (int j = 0; j < e.M && !node.empty(); ++j)
            shifts.SlitTemperature[Ix(j)] =
                j < e.K && slit[Ix(j)] < 0 ? node[Ix(j + e.m)] : node[Ix(j)];
        for (int j = 0; j < e.M && pressures; ++j) {
            shifts.ChannelTemperature[Ix(j)] = PressureEquivalentTemperature(
                melt, shifts.ChannelTemperature[Ix(j)], pressures->Channel[Ix(j)]);
            shifts.SlitTemperature[Ix(j)] = PressureEquivalentTemperature(
                melt, shifts.SlitTemperature[Ix(j)], pressures->Slit[Ix(j)]);
        }
        shifts.Channel.clear();
        shifts.Slit.clear();
        const std::string where = pressures
            ? "The melt in the die, at its temperature less D3 p as the Cross-WLF law sees it "
              "(the pressure raises T* = D2 + D3 p): "
            : "The melt heated or cooled in the die: ";
        for (const auto* list : { &shifts.ChannelTemperature, &shifts.SlitTemperature })
            for (const double t : *list)
                if (auto problem = MeltTemperatureProblem(melt, t))
                    return where + *problem;
        for (const double t : shifts.ChannelTemperature)
            shifts.Channel.push_back(LogShiftFactor(melt, t));
        for (const double t : shifts.SlitTemperature)
            shifts.Slit.push_back(LogShiftFactor(melt, t));
        return std::nullopt;
    }

    double LargestMove(const Shifts& a, const Shifts& b)
    {
        double move = 0;
        for (std::size_t j = 0; j < a.ChannelTemperature.size(); ++j)
            move = std::max({ move, std::fabs(a.ChannelTemperature[j] - b.ChannelTemperature[j]),
                std::fabs(a.SlitTemperature[j] - b.SlitTemperature[j]) });
        return move;
    }

    MeltNetworkSolution Failed(std::string why, MeltNetworkSolution solution = {})
    {
        solution.Network.Converged = false;
        solution.Network.Failure = std::move(why);
        return solution;
    }

    // Where a slit shears hardest at a given flow: a land that narrows along its flow at its far
    // end, an outlet path at the narrowest of its taper's ends and its lip (as the power-law
    // figures take them). Every part of a slit has the same width.
    double NarrowestHeight(const std::vector<SlitShape>& parts)
    {
        double height = parts.front().StartHeight;
        for (const SlitShape& part : parts)
            height = std::min({ height, part.StartHeight, part.EndHeight });
        return height;
    }

    // The wall values of the melt: stress from the element's drop, rate from the real flow curve
    // at the element's temperature; a slit's where it is narrowest.
    void WallValues(const MeltElements& e, const Melt& melt, FlowNetwork& net, const Shifts& shifts,
        MeltNetworkSolution& s)
    {
        const auto rate = [&](double stress, double logShift) {
            return ReferenceShearRate(melt, stress) / std::exp(logShift);
        };
        for (int j = 0; j < e.M; ++j) {
            const SlitShape& c = e.Channel[Ix(j)];
            const double channelFlow = j == 0 ? e.Q : std::fabs(s.Network.ChannelFlow[Ix(j - 1)]);
            const double drop = net.ChannelDrop(j, channelFlow);
            const double stress = drop * PascalPerGramForce * c.StartHeight / (2 * c.Length);
            s.ChannelWallStress.push_back(stress);
            s.ChannelWallShearRate.push_back(rate(stress, shifts.Channel[Ix(j)]));
            const double perWidth =
                std::fabs(s.Network.SlitFlow[Ix(j)]) / e.Slit[Ix(j)].front().Width;
            const double height = NarrowestHeight(e.Slit[Ix(j)]);
            const double v = std::log(2 * perWidth / (height * height)) + shifts.Slit[Ix(j)];
            const double slitStress = perWidth > 0 ? std::exp(net.Function().LogStress(v)) : 0.0;
            s.SlitWallStress.push_back(slitStress);
            s.SlitWallShearRate.push_back(rate(slitStress, shifts.Slit[Ix(j)]));
        }
    }

    void RecordTemperatures(
        const Temperatures& t, const std::vector<double>& slitFlow, int K, MeltNetworkSolution& s)
    {
        s.NodeTemperature = t.Node;
        s.OutletTemperature = t.Outlet;
        if (t.Outlet.empty())
            return;
        const auto [low, high] = std::minmax_element(t.Outlet.begin(), t.Outlet.end());
        s.OutletTemperatureSpread = *high - *low;
        double heat = 0;
        double mass = 0;
        for (std::size_t k = 0; k < t.Outlet.size(); ++k) {
            const double flow = std::fabs(slitFlow[Ix(K) + k]);
            heat += flow * t.Outlet[k];
            mass += flow;
        }
        s.MeanOutletTemperature = mass > 0 ? heat / mass : t.Outlet.front();
    }

} // namespace

SlitShape ChannelSlitOf(const Geometry& g, int i)
{
    const double depth = g.EquivalentChannelDepth[i];
    const double opening = g.ChannelOpeningWidth[i];
    const double wide = std::max(depth, opening);
    const double narrow = std::min(depth, opening);
    return { ShapeFactor(narrow / wide) * wide, narrow, narrow, g.IncrementLength };
}

std::vector<SlitShape> SlitChainOf(
    const Inputs& in, const Geometry& g, const SlitPaths& paths, int i)
{
    const double width = g.IncrementLength * std::cos(g.HelixAngle);
    if (i <= g.TransferIncrements)
        return { { width, paths.StartHeight[i], paths.EndHeight[i], paths.Length[i] } };
    return { { width, paths.StartHeight[i], in.OutletSlitHeight, paths.Length[i] },
        { width, in.OutletSlitHeight, in.OutletSlitHeight, in.LipHeight } };
}

std::string_view ThermalModeName(ThermalMode mode)
{
    return mode == ThermalMode::Heated ? "heated" : "isothermal";
}

std::optional<std::string> MeltConditionsProblem(const Melt& melt, const MeltConditions& c)
{
    if (auto problem = MeltProblem(melt))
        return problem;
    if (auto problem = MeltTemperatureProblem(melt, c.MeltTemperature))
        return problem;
    if (c.Thermal == ThermalMode::Isothermal)
        return std::nullopt;
    if (!(std::isfinite(c.HeatTransferCoefficient) && c.HeatTransferCoefficient >= 0))
        return "The heat-transfer coefficient must be a number at least zero, not "
            + Words(c.HeatTransferCoefficient) + " W/(m2 K).";
    if (c.HeatTransferCoefficient > 0)
        if (auto problem = MeltTemperatureProblem(melt, c.WallTemperature))
            return "The wall temperature: " + *problem;
    return std::nullopt;
}

MeltNetworkSolution SolveMeltNetwork(const Inputs& in, const Geometry& g, const ElementLaws& laws,
    const Melt& melt, const MeltConditions& conditions)
{
    const FloatingPointFlagsKeeper keep;
    if (auto problem = MeltConditionsProblem(melt, conditions))
        return Failed(*problem);
    if (g.EffectiveIncrements < 1 || laws.Paths.Length.Count() < g.EffectiveIncrements
        || g.EquivalentChannelDepth.Count() < g.EffectiveIncrements)
        return Failed("the network has no elements");
    const MeltElements e = ElementsOf(in, g, laws);
    if (std::string problem = ElementsProblem(e); !problem.empty())
        return Failed(problem);

    MeltElementLaws elementLaws(melt);
    FlowNetwork net(e, elementLaws);
    Shifts shifts;
    ShiftsOf(e, melt, conditions, {}, {}, {}, nullptr, shifts);
    net.SetShifts(shifts.Channel, shifts.Slit);

    MeltNetworkSolution s;
    std::vector<double> pressure;
    if (!net.SecantStart(pressure))
        return Failed("the network's elements give no pressures at their characteristic flows");
    const double tolerance = NetworkToleranceFor(e.M);
    Attempt attempt = Newton(net, pressure, e.Q, tolerance, s.Network.Iterations);
    s.ThermalIterations = 1;
    std::vector<double> channel;
    std::vector<double> slit;
    const auto inletPressure = [&] { return pressure[0] + 0.5 * net.ChannelDrop(0, e.Q); };
    net.LastFlows(channel, slit);
    // Heating and the pressure term both make the element laws depend on the answer: each outer
    // step rebuilds them at the last step's temperatures and pressures and solves the flows again.
    const bool heated = conditions.Thermal == ThermalMode::Heated;
    const bool pressured = HasPressureTerm(melt);
    if (heated || pressured) {
        for (;;) {
            std::vector<double> node;
            if (heated)
                node = MixedTemperatures(
                    { e, melt, conditions, net, pressure, inletPressure(), channel, slit })
                           .Node;
            std::optional<ElementPressures> mean;
            if (pressured)
                mean = ElementPressuresOf(e, pressure, inletPressure());
            Shifts next;
            if (auto problem = ShiftsOf(
                    e, melt, conditions, node, channel, slit, mean ? &*mean : nullptr, next))
                return Failed(*problem, s);
            s.ThermalResidual = LargestMove(shifts, next);
            if (!(s.ThermalResidual > ThermalTolerance) || !std::isfinite(s.ThermalResidual)
                || s.ThermalIterations >= ThermalIterationLimit || !attempt.Converged)
                break;
            shifts = std::move(next);
            net.SetShifts(shifts.Channel, shifts.Slit);
            attempt = Newton(net, pressure, e.Q, tolerance, s.Network.Iterations);
            net.LastFlows(channel, slit);
            ++s.ThermalIterations;
        }
    }

    s.Network.Pressure = pressure;
    s.Network.ChannelFlow = channel;
    s.Network.SlitFlow = slit;
    s.Network.Residual = attempt.Residual;
    s.Network.InletPressure = inletPressure();
    const ThermalState state { e, melt, conditions, net, pressure, s.Network.InletPressure, channel,
        slit };
    Temperatures t { std::vector<double>(Ix(e.M), conditions.MeltTemperature),
        std::vector<double>(Ix(e.M - e.K), conditions.MeltTemperature) };
    if (conditions.Thermal == ThermalMode::Heated)
        t = MixedTemperatures(state);
    RecordTemperatures(t, slit, e.K, s);
    WallValues(e, melt, net, shifts, s);
    const bool finite = AllFinite(pressure) && AllFinite(channel) && AllFinite(slit)
        && std::isfinite(s.Network.InletPressure) && std::isfinite(attempt.Residual)
        && AllFinite(s.NodeTemperature) && AllFinite(s.OutletTemperature);
    if (!finite)
        return Failed("the pressures, flows or temperatures left the range of double numbers ("
            + attempt.Failure + ")");
    const bool thermal = !(heated || pressured) || s.ThermalResidual <= ThermalTolerance;
    s.Network.Converged = attempt.Converged && thermal;
    if (!attempt.Converged)
        s.Network.Failure = "no convergence after " + std::to_string(s.Network.Iterations)
            + " Newton steps, largest node imbalance " + Words(attempt.Residual)
            + " of the flow rate: " + attempt.Failure;
    else if (!thermal)
        s.Network.Failure = std::string(heated ? "the temperatures" : "the pressure term")
            + " did not settle after " + std::to_string(s.ThermalIterations)
            + " outer steps: an element's temperature" + (pressured ? " less D3 p" : "")
            + " still moved " + Words(s.ThermalResidual) + " K";
    return s;
}

} // namespace karrow
