#include "network.h"

#include "banded_lu.h"
#include "extended.h"
#include "network_residual.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace karrow {

namespace {

    // Newton steps of one attempt at the design's exponent straight from the Newtonian start,
    // and of one stage of the continuation when that attempt fails.
    constexpr int DirectAttemptLimit = 60;
    constexpr int StageLimit = 40;
    // The stages of the continuation only hand a start to the next one: a loose balance is enough.
    constexpr double StageTolerance = 1e-6;
    constexpr int FirstContinuationStages = 4;
    constexpr int StepHalvingLimit = 12;
    constexpr int LineSearchHalvingLimit = 40;
    // Armijo's sufficient decrease of the squared residual, relative to what the Newton step
    // promises.
    constexpr double SufficientDecrease = 1e-4;
    // Below this share of its characteristic drop an element's slope is frozen in the Jacobian:
    // a law |D|^(1/n) with 1/n > 1 has no slope at D = 0, and one with 1/n < 1 an infinite one.
    // The residual keeps the exact law, so the converged answer is the exact one.
    constexpr double FrozenSlopeShare = 1e-6;

    // An element's law in one stage of the continuation, flow = conductance sign(D) |D|^e.
    struct ElementLaw {
        double Conductance = 0;
        double FrozenDrop = 0;
    };

    // The network with its element laws for the exponent e (1 / n at the design, 1 Newtonian).
    // The continuation in e keeps every element's characteristic point (flow q_c at drop D_c)
    // fixed, so that pressures keep their scale from stage to stage: C_e = q_c / D_c^e.
    struct Stage {
        double Exponent = 1;
        std::vector<ElementLaw> Channel; // [j]: node j to node j + 1, from 0
        std::vector<ElementLaw> Slit; // [j]: from node j over its land, or out of the die
    };

    struct Characteristic {
        double Flow = 0;
        double Drop = 0;
    };

    double LawFlow(const ElementLaw& law, double e, double drop)
    {
        return law.Conductance * std::copysign(std::pow(std::fabs(drop), e), drop);
    }

    double LawSlope(const ElementLaw& law, double e, double drop)
    {
        return law.Conductance * e * std::pow(std::max(std::fabs(drop), law.FrozenDrop), e - 1);
    }

    bool AllFinite(const std::vector<double>& values)
    {
        return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
    }

    std::string Words(double value)
    {
        std::ostringstream text;
        text.precision(3);
        text << value;
        return text.str();
    }

    // Rows of the Jacobian for the nodes. Node j lies in pitch column j mod m and turn j div m;
    // the lands join a column to itself one turn on, the channel each column to the next. Taken
    // column by column, with the columns folded (0, m-1, 1, m-2, ...) so that the channel's step
    // from the last column back to the first stays short, the band is about two turns wide
    // whatever m is; that order is used when it is narrower than the natural one.
    std::vector<int> FoldedOrder(int M, int m)
    {
        const int turns = (M + m - 1) / m;
        std::vector<int> key(static_cast<std::size_t>(M));
        for (int j = 0; j < M; ++j) {
            const int column = j % m;
            const int folded = std::min(2 * column, 2 * (m - 1 - column) + 1);
            key[static_cast<std::size_t>(j)] = folded * turns + j / m;
        }
        std::vector<int> nodes(static_cast<std::size_t>(M));
        for (int j = 0; j < M; ++j)
            nodes[static_cast<std::size_t>(j)] = j;
        std::sort(nodes.begin(), nodes.end(), [&](int a, int b) {
            return key[static_cast<std::size_t>(a)] < key[static_cast<std::size_t>(b)];
        });
        std::vector<int> row(static_cast<std::size_t>(M));
        for (int r = 0; r < M; ++r)
            row[static_cast<std::size_t>(nodes[static_cast<std::size_t>(r)])] = r;
        return row;
    }

    int BandOf(const std::vector<int>& row, int M, int m)
    {
        int band = 0;
        for (int j = 0; j + 1 < M; ++j) {
            const auto at = [&](int node) { return row[static_cast<std::size_t>(node)]; };
            band = std::max(band, std::abs(at(j) - at(j + 1)));
            if (j + m < M)
                band = std::max(band, std::abs(at(j) - at(j + m)));
        }
        return band;
    }

    struct NodeOrder {
        std::vector<int> Row; // empty: the natural order
        int Band = 0;
    };

    NodeOrder OrderFor(int M, int m)
    {
        NodeOrder order;
        order.Band = std::max(1, std::min(m, M - 1));
        if (m <= 2 || M <= m)
            return order;
        std::vector<int> folded = FoldedOrder(M, m);
        const int band = BandOf(folded, M, m);
        if (band < order.Band) {
            order.Row = std::move(folded);
            order.Band = band;
        }
        return order;
    }

    // The network's laws, residual and Jacobian; node j here is the middle of increment j + 1.
    class Network {
    public:
        explicit Network(const NetworkElements& elements)
            : el_(elements)
            , M_(elements.EffectiveIncrements)
            , m_(elements.PitchIncrements)
            , K_(elements.EffectiveIncrements - elements.PitchIncrements)
            , Q_(elements.FlowRatePerChannel)
            , order_(OrderFor(elements.EffectiveIncrements, elements.PitchIncrements))
            , jacobian_(elements.EffectiveIncrements, order_.Band)
        {
            // Channel elements carry about Q, each slit about its share Q / m of one pitch.
            const double n = el_.PowerLawIndex;
            for (int j = 0; j + 1 < M_; ++j) {
                const double resistance = el_.ChannelResistance[static_cast<std::size_t>(j + 1)];
                channelPoint_.push_back({ Q_, resistance * std::pow(Q_, n) });
            }
            const double slitFlow = Q_ / m_;
            for (const double conductance : el_.SlitConductance)
                slitPoint_.push_back({ slitFlow, std::pow(slitFlow / conductance, n) });
        }

        int Size() const { return M_; }
        double DesignExponent() const { return 1 / el_.PowerLawIndex; }

        // Empty when every characteristic drop is a usable number.
        std::string ScaleProblem() const
        {
            const auto usable = [](const Characteristic& c) {
                return std::isfinite(c.Drop) && c.Drop > 0;
            };
            if (!std::all_of(channelPoint_.begin(), channelPoint_.end(), usable)
                || !std::all_of(slitPoint_.begin(), slitPoint_.end(), usable))
                return "an element's pressure drop at its share of the flow rate is out of range";
            return {};
        }

        Stage StageAt(double e) const
        {
            Stage stage;
            stage.Exponent = e;
            const bool design = e == DesignExponent();
            for (std::size_t j = 0; j < channelPoint_.size(); ++j) {
                const double conductance = design
                    ? std::pow(el_.ChannelResistance[j + 1], -e)
                    : channelPoint_[j].Flow / std::pow(channelPoint_[j].Drop, e);
                stage.Channel.push_back({ conductance, FrozenSlopeShare * channelPoint_[j].Drop });
            }
            for (std::size_t j = 0; j < slitPoint_.size(); ++j) {
                const double conductance = design
                    ? el_.SlitConductance[j]
                    : slitPoint_[j].Flow / std::pow(slitPoint_[j].Drop, e);
                stage.Slit.push_back({ conductance, FrozenSlopeShare * slitPoint_[j].Drop });
            }
            return stage;
        }

        // Channel flows leaving each node and slit flows out of each node, from the pressures.
        void Flows(const Stage& stage, const std::vector<double>& pressure,
            std::vector<double>& channel, std::vector<double>& slit) const
        {
            channel.assign(static_cast<std::size_t>(M_), 0.0);
            slit.assign(static_cast<std::size_t>(M_), 0.0);
            for (int j = 0; j + 1 < M_; ++j)
                channel[Ix(j)] =
                    LawFlow(stage.Channel[Ix(j)], stage.Exponent, Drop(pressure, j, j + 1));
            for (int j = 0; j < M_; ++j)
                slit[Ix(j)] = LawFlow(stage.Slit[Ix(j)], stage.Exponent, SlitDrop(pressure, j));
        }

        // Mass imbalance of every node, inflow less outflow.
        void Residual(
            const Stage& stage, const std::vector<double>& pressure, std::vector<double>& residual)
        {
            Flows(stage, pressure, channel_, slit_);
            residual.assign(static_cast<std::size_t>(M_), 0.0);
            for (int j = 0; j < M_; ++j) {
                const double channelIn = j == 0 ? Q_ : channel_[Ix(j - 1)];
                const double landIn = j >= m_ ? slit_[Ix(j - m_)] : 0.0;
                residual[Ix(j)] = channelIn + landIn - channel_[Ix(j)] - slit_[Ix(j)];
            }
        }

        // Derivatives of the residual by the pressures, with frozen slopes near zero drops, kept
        // negated: the conductance matrix of the slopes, symmetric and positive definite.
        void AssembleJacobian(const Stage& stage, const std::vector<double>& pressure)
        {
            jacobian_.Clear();
            const double e = stage.Exponent;
            for (int j = 0; j + 1 < M_; ++j)
                Join(j, j + 1, LawSlope(stage.Channel[Ix(j)], e, Drop(pressure, j, j + 1)));
            for (int j = 0; j < K_; ++j)
                Join(j, j + m_, LawSlope(stage.Slit[Ix(j)], e, Drop(pressure, j, j + m_)));
            for (int j = K_; j < M_; ++j)
                jacobian_.Lower(Row(j), Row(j)) += LawSlope(stage.Slit[Ix(j)], e, pressure[Ix(j)]);
        }

        bool FactorJacobian() { return jacobian_.Factor(); }

        // Solves -J x = b for b given and x returned in node order.
        void SolveJacobian(std::vector<double>& b)
        {
            if (order_.Row.empty()) {
                jacobian_.Solve(b);
                return;
            }
            permuted_.assign(b.size(), 0.0);
            for (int j = 0; j < M_; ++j)
                permuted_[Ix(Row(j))] = b[Ix(j)];
            jacobian_.Solve(permuted_);
            for (int j = 0; j < M_; ++j)
                b[Ix(j)] = permuted_[Ix(Row(j))];
        }

    private:
        static std::size_t Ix(int j) { return static_cast<std::size_t>(j); }

        static double Drop(const std::vector<double>& pressure, int from, int to)
        {
            return pressure[Ix(from)] - pressure[Ix(to)];
        }

        double SlitDrop(const std::vector<double>& pressure, int j) const
        {
            return j < K_ ? Drop(pressure, j, j + m_) : pressure[Ix(j)];
        }

        int Row(int node) const { return order_.Row.empty() ? node : order_.Row[Ix(node)]; }

        // An element from node a to node b with slope g takes g dP from a and gives it to b.
        void Join(int nodeA, int nodeB, double g)
        {
            const int a = Row(nodeA);
            const int b = Row(nodeB);
            jacobian_.Lower(a, a) += g;
            jacobian_.Lower(b, b) += g;
            jacobian_.Lower(std::max(a, b), std::min(a, b)) -= g;
        }

        const NetworkElements& el_;
        int M_;
        int m_;
        int K_;
        double Q_;
        std::vector<Characteristic> channelPoint_;
        std::vector<Characteristic> slitPoint_;
        NodeOrder order_;
        SymmetricBandMatrix jacobian_;
        std::vector<double> permuted_;
        std::vector<double> channel_;
        std::vector<double> slit_;
    };

    using Attempt = NewtonAttempt;

    // Newton's method with a backtracking line search on the squared residual, from `pressure`,
    // which it moves as long as the residual falls.
    Attempt Newton(Network& net, const Stage& stage, std::vector<double>& pressure,
        double tolerance, int stepLimit, double Q, int& iterations)
    {
        std::vector<double> residual;
        std::vector<double> trial;
        std::vector<double> trialResidual;
        std::vector<double> step;
        net.Residual(stage, pressure, residual);
        Attempt attempt { false, LargestImbalance(residual, Q), {} };
        for (int k = 0; k < stepLimit && iterations < NetworkIterationLimit; ++k) {
            if (attempt.Residual <= tolerance) {
                attempt.Converged = true;
                return attempt;
            }
            ++iterations;
            net.AssembleJacobian(stage, pressure);
            if (!net.FactorJacobian()) {
                attempt.Failure = "the network's Jacobian is singular";
                return attempt;
            }
            step = residual; // -J step = residual is Newton's step
            net.SolveJacobian(step);
            const double norm = SquaredNorm(residual);
            double t = 1;
            bool accepted = false;
            for (int h = 0; h <= LineSearchHalvingLimit && !accepted; ++h, t /= 2) {
                trial = pressure;
                for (std::size_t j = 0; j < trial.size(); ++j)
                    trial[j] += t * step[j];
                net.Residual(stage, trial, trialResidual);
                const double trialNorm = SquaredNorm(trialResidual);
                accepted = std::isfinite(trialNorm)
                    && (trialNorm <= (1 - 2 * SufficientDecrease * t) * norm
                        || LargestImbalance(trialResidual, Q) <= tolerance);
            }
            if (!accepted) {
                attempt.Failure = "no step along Newton's direction lowers the imbalance";
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

    // From the exponent reached towards the design's in stages, halving a stage that fails.
    Attempt Continue(Network& net, std::vector<double>& pressure, double Q, int& iterations)
    {
        const double target = net.DesignExponent();
        double reached = 1;
        double stride = (target - reached) / FirstContinuationStages;
        int halvings = 0;
        std::vector<double> start;
        for (;;) {
            const bool last = std::fabs(target - reached) <= std::fabs(stride);
            const double e = last ? target : reached + stride;
            start = pressure;
            const Attempt stage = Newton(net, net.StageAt(e), pressure,
                last ? NetworkToleranceFor(net.Size()) : StageTolerance, StageLimit, Q, iterations);
            if (stage.Converged && last)
                return stage;
            if (stage.Converged) {
                reached = e;
                continue;
            }
            pressure = start;
            if (++halvings > StepHalvingLimit || iterations >= NetworkIterationLimit)
                return stage;
            stride /= 2;
        }
    }

    NetworkSolution Failed(std::string why)
    {
        NetworkSolution solution;
        solution.Failure = std::move(why);
        return solution;
    }

    NetworkSolution Finish(const NetworkElements& elements, Network& net,
        const std::vector<double>& pressure, const Attempt& attempt, NetworkSolution& solution);

    NetworkSolution Solve(const NetworkElements& elements, const std::vector<double>& start)
    {
        if (std::string problem = NetworkElementsProblem(elements); !problem.empty())
            return Failed(problem);
        Network net(elements);
        if (std::string problem = net.ScaleProblem(); !problem.empty())
            return Failed(problem);
        const double Q = elements.FlowRatePerChannel;

        NetworkSolution solution;
        std::vector<double> pressure = start;
        Attempt attempt;
        const bool usableStart =
            start.size() == static_cast<std::size_t>(net.Size()) && AllFinite(start);
        if (usableStart)
            attempt = Newton(net, net.StageAt(net.DesignExponent()), pressure,
                NetworkToleranceFor(net.Size()), StageLimit, Q, solution.Iterations);
        if (usableStart && attempt.Converged)
            return Finish(elements, net, pressure, attempt, solution);

        // The Newtonian network is linear: one step from zero pressures solves it.
        std::vector<double> newtonian(static_cast<std::size_t>(net.Size()), 0.0);
        attempt = Newton(net, net.StageAt(1), newtonian, NetworkToleranceFor(net.Size()), 3, Q,
            solution.Iterations);
        pressure = newtonian;
        if (net.DesignExponent() != 1) {
            attempt = Newton(net, net.StageAt(net.DesignExponent()), pressure,
                NetworkToleranceFor(net.Size()), DirectAttemptLimit, Q, solution.Iterations);
            if (!attempt.Converged) {
                pressure = newtonian;
                attempt = Continue(net, pressure, Q, solution.Iterations);
            }
        }
        return Finish(elements, net, pressure, attempt, solution);
    }

    NetworkSolution Finish(const NetworkElements& elements, Network& net,
        const std::vector<double>& pressure, const Attempt& attempt, NetworkSolution& solution)
    {
        const double Q = elements.FlowRatePerChannel;
        const Stage design = net.StageAt(net.DesignExponent());
        net.Flows(design, pressure, solution.ChannelFlow, solution.SlitFlow);
        solution.Pressure = pressure;
        solution.Residual = attempt.Residual;
        solution.InletPressure = pressure.front()
            + 0.5 * elements.ChannelResistance.front() * std::pow(Q, elements.PowerLawIndex);
        const bool finite = AllFinite(solution.Pressure) && AllFinite(solution.ChannelFlow)
            && AllFinite(solution.SlitFlow) && std::isfinite(solution.InletPressure)
            && std::isfinite(solution.Residual);
        if (!finite)
            return Failed("the pressures or flows left the range of double numbers ("
                + attempt.Failure + ")");
        solution.Converged = attempt.Converged;
        if (!solution.Converged)
            solution.Failure = "no convergence after " + std::to_string(solution.Iterations)
                + " Newton steps, largest node imbalance " + Words(solution.Residual)
                + " of the flow rate: " + attempt.Failure;
        return solution;
    }

} // namespace

std::string NetworkElementsProblem(const NetworkElements& elements)
{
    const auto positive = [](double v) { return std::isfinite(v) && v > 0; };
    if (!positive(elements.PowerLawIndex))
        return "the power-law index must be a positive number";
    if (!positive(elements.FlowRatePerChannel))
        return "the flow rate must be a positive number";
    if (elements.PitchIncrements < 1 || elements.EffectiveIncrements < elements.PitchIncrements)
        return "a pitch must hold at least one increment and the effective part at least a pitch";
    const auto size = static_cast<std::size_t>(elements.EffectiveIncrements);
    if (elements.ChannelResistance.size() != size || elements.SlitConductance.size() != size)
        return "there must be one channel resistance and one slit conductance per increment";
    if (!std::all_of(
            elements.ChannelResistance.begin(), elements.ChannelResistance.end(), positive))
        return "every channel resistance must be a positive number";
    if (!std::all_of(elements.SlitConductance.begin(), elements.SlitConductance.end(), positive))
        return "every slit conductance must be a positive number";
    return {};
}

NetworkSolution SolveNetwork(const NetworkElements& elements)
{
    // Trial steps may overflow on the way; the caller's fault flags stay as they were.
    const FloatingPointFlagsKeeper keep;
    return Solve(elements, {});
}

NetworkSolution SolveNetwork(const NetworkElements& elements, const std::vector<double>& start)
{
    const FloatingPointFlagsKeeper keep;
    return Solve(elements, start);
}

double NetworkToleranceFor(int effectiveIncrements)
{
    return NetworkTolerance
        * std::max(1.0, static_cast<double>(effectiveIncrements) / NetworkToleranceNodes);
}

int NetworkBandwidth(int effectiveIncrements, int pitchIncrements)
{
    if (effectiveIncrements < 1 || pitchIncrements < 1)
        return 0;
    return OrderFor(effectiveIncrements, pitchIncrements).Band;
}

std::vector<int> NetworkNodeRows(int effectiveIncrements, int pitchIncrements)
{
    if (effectiveIncrements < 1 || pitchIncrements < 1)
        return {};
    return OrderFor(effectiveIncrements, pitchIncrements).Row;
}

} // namespace karrow
