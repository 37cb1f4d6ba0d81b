#include "flow_relations.h"

#include "geometry.h"
#include "initial_distribution.h"

namespace karrow {

namespace {

    using X = Extended;

    X OneOverN(const RunState& st)
    {
        return 1 / X(st.PowerLawIndex);
    }

    // 1 / (k l), with the consistency k from the viscosity at the standard shear rate.
    double InverseConsistencyLength(const RunState& st, double length)
    {
        return Exp((X(st.PowerLawIndex) - 1) * Ln(st.StandardShearRate))
            / (X(st.StandardViscosity) * length);
    }

    // Constant slit of height h, width w and length l.
    double SlitConductanceOf(const RunState& st, double w, double h, double l)
    {
        const X e = OneOverN(st);
        return 2 * X(w) * RealPower(InverseConsistencyLength(st, l), e) / (e + 2)
            * RealPower(X(h) / 2, e + 2);
    }

    // The factor t of a slit whose height runs linearly from h1 to h2 over the length l: with it
    // the slit carries what a constant slit of height h1 carries. Equal heights make the law 0/0;
    // its limit, the constant slit of the same length, is used exactly then.
    double TaperFactor(const RunState& st, double h1, double h2, double l)
    {
        if (h1 == h2)
            return InverseConsistencyLength(st, l);
        const X n = st.PowerLawIndex;
        return (Exp((n - 1) * Ln(st.StandardShearRate)) / st.StandardViscosity)
            * (2 * n * (X(h1) - h2)) / (X(l) * h1) * 1 / (Exp(-2 * n * Ln(X(h2) / h1)) - 1);
    }

    double TaperConductanceOf(const RunState& st, double w, double h1, double h2, double l)
    {
        const X e = OneOverN(st);
        const double t = TaperFactor(st, h1, h2, l);
        return 2 * RealPower(t, e) * RealPower(X(h1) / 2, e + 2) * w / (e + 2);
    }

    double ResistanceOf(const RunState& st, double conductance)
    {
        return 1 / Exp(X(st.PowerLawIndex) * Ln(conductance));
    }

    // One increment of channel, taken as a slit whose width is the larger and whose height the
    // smaller of equivalent depth and opening width.
    void ComputeChannelConductances(RunState& st)
    {
        for (int i = 1; i <= st.EffectiveIncrements; ++i) {
            const double e = st.EquivalentChannelDepth[i];
            const double o = st.ChannelOpeningWidth[i];
            const bool deeperThanWide = e > o;
            const double x = deeperThanWide ? X(o) / e : X(e) / o;
            st.ChannelConductance[i] = ShapeFactor(x)
                * X(deeperThanWide ? SlitConductanceOf(st, e, o, st.IncrementLength)
                                   : SlitConductanceOf(st, o, e, st.IncrementLength));
            st.ChannelResistance[i] = ResistanceOf(st, st.ChannelConductance[i]);
        }
        CheckFloatingPoint("channel conductances");
    }

    // The slit over the land of increment i, across one increment's circumferential width.
    void ComputeLandConductances(RunState& st)
    {
        const X e = OneOverN(st);
        for (int i = 1; i <= st.TransferIncrements; ++i) {
            const double t =
                TaperFactor(st, st.SlitStartHeight[i], st.SlitEndHeight[i], st.LandWidth[i]);
            st.SlitConductance[i] = 2 * RealPower(t, e)
                * RealPower(X(st.SlitStartHeight[i]) / 2, e + 2) * st.IncrementLength
                * std::cos(X(st.HelixAngle)) / (e + 2);
            st.SlitResistance[i] = ResistanceOf(st, st.SlitConductance[i]);
        }
        CheckFloatingPoint("slit conductances over the lands");
    }

    // The way of an outlet increment's slit flow to the die outlet: the tapered slit up to the end
    // of the spiral, then the lip, in series.
    void ComputeOutletConductances(RunState& st)
    {
        const X e = OneOverN(st);
        const double slitWidth = X(st.IncrementLength) * std::cos(X(st.HelixAngle));
        const double lipConductance = 2 * RealPower(InverseConsistencyLength(st, st.LipHeight), e)
            * st.IncrementLength * std::cos(X(st.HelixAngle)) / (e + 2)
            * RealPower(X(st.OutletSlitHeight) / 2, e + 2);
        for (int i = st.TransferIncrements + 1; i <= st.EffectiveIncrements; ++i) {
            st.TaperConductance[i] = TaperConductanceOf(
                st, slitWidth, st.SlitStartHeight[i], st.OutletSlitHeight, st.LandWidth[i]);
            st.TaperResistance[i] = ResistanceOf(st, st.TaperConductance[i]);
            st.SlitResistance[i] =
                st.TaperResistance[i] + 1 / Exp(X(st.PowerLawIndex) * Ln(lipConductance));
            st.SlitConductance[i] = 1 / Exp(e * Ln(st.SlitResistance[i]));
        }
        CheckFloatingPoint("slit conductances of the outlet zone");
    }

} // namespace

double ShapeFactor(double x)
{
    return 0.998L - 0.6762L * x + 0.0976L * x * x;
}

void ComputeConductances(RunState& st)
{
    ComputeChannelConductances(st);
    ComputeLandPaths(st);
    ComputeLandConductances(st);
    DistributeTransferFlows(st);
    ComputeOutletPaths(st);
    ComputeOutletConductances(st);
}

} // namespace karrow
