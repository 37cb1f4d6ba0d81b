#include "flow_relations.h"

namespace karrow {

namespace {

    X OneOverN(const Inputs& in)
    {
        return 1 / X(in.PowerLawIndex);
    }

    // 1 / (k l), with the consistency k from the viscosity at the standard shear rate.
    double InverseConsistencyLength(const Inputs& in, double length)
    {
        return Exp((X(in.PowerLawIndex) - 1) * Ln(in.StandardShearRate))
            / (X(in.StandardViscosity) * length);
    }

    // Constant slit of height h, width w and length l.
    double SlitConductanceOf(const Inputs& in, double w, double h, double l)
    {
        const X e = OneOverN(in);
        return 2 * X(w) * RealPower(InverseConsistencyLength(in, l), e) / (e + 2)
            * RealPower(X(h) / 2, e + 2);
    }

    // The factor t of a slit whose height runs linearly from h1 to h2 over the length l: with it
    // the slit carries what a constant slit of height h1 carries. Equal heights make the law 0/0;
    // its limit, the constant slit of the same length, is used exactly then.
    double TaperFactor(const Inputs& in, double h1, double h2, double l)
    {
        if (h1 == h2)
            return InverseConsistencyLength(in, l);
        const X n = in.PowerLawIndex;
        return (Exp((n - 1) * Ln(in.StandardShearRate)) / in.StandardViscosity)
            * (2 * n * (X(h1) - h2)) / (X(l) * h1) * 1 / (Exp(-2 * n * Ln(X(h2) / h1)) - 1);
    }

    double TaperConductanceOf(const Inputs& in, double w, double h1, double h2, double l)
    {
        const X e = OneOverN(in);
        const double t = TaperFactor(in, h1, h2, l);
        return 2 * RealPower(t, e) * RealPower(X(h1) / 2, e + 2) * w / (e + 2);
    }

    double ResistanceOf(const Inputs& in, double conductance)
    {
        return 1 / Exp(X(in.PowerLawIndex) * Ln(conductance));
    }

} // namespace

double ShapeFactor(double x)
{
    return 0.998L - 0.6762L * x + 0.0976L * x * x;
}

ElementLaws SizedElementLaws(const Geometry& g)
{
    ElementLaws laws;
    laws.Paths = SizedSlitPaths(g);
    for (IncrementArray* a : { &laws.ChannelConductance, &laws.ChannelResistance,
             &laws.SlitConductance, &laws.SlitResistance, &laws.TaperResistance })
        a->Resize(g.EffectiveIncrements);
    return laws;
}

ElementLaws ComputeElementLaws(const Inputs& in, const Geometry& g)
{
    ElementLaws laws = SizedElementLaws(g);
    ComputeChannelConductances(in, g, laws);
    ComputeLandConductances(in, g, laws);
    ComputeOutletConductances(in, g, laws);
    return laws;
}

// One increment of channel, taken as a slit whose width is the larger and whose height the
// smaller of equivalent depth and opening width.
void ComputeChannelConductances(const Inputs& in, const Geometry& g, ElementLaws& laws)
{
    laws.ChannelResistance.RequireCount(g.EffectiveIncrements, "the channel laws");
    for (int i = 1; i <= g.EffectiveIncrements; ++i) {
        const double e = g.EquivalentChannelDepth[i];
        const double o = g.ChannelOpeningWidth[i];
        const bool deeperThanWide = e > o;
        const double x = deeperThanWide ? X(o) / e : X(e) / o;
        laws.ChannelConductance[i] = ShapeFactor(x)
            * X(deeperThanWide ? SlitConductanceOf(in, e, o, g.IncrementLength)
                               : SlitConductanceOf(in, o, e, g.IncrementLength));
        laws.ChannelResistance[i] = ResistanceOf(in, laws.ChannelConductance[i]);
    }
    CheckFloatingPoint("channel conductances");
}

// The slit over the land of increment i, across one increment's circumferential width.
void ComputeLandConductances(const Inputs& in, const Geometry& g, ElementLaws& laws)
{
    laws.SlitResistance.RequireCount(g.EffectiveIncrements, "the slit laws");
    SlitPaths& p = laws.Paths;
    ComputeLandPaths(g, p);
    const X e = OneOverN(in);
    for (int i = 1; i <= g.TransferIncrements; ++i) {
        const double t = TaperFactor(in, p.StartHeight[i], p.EndHeight[i], p.Length[i]);
        laws.SlitConductance[i] = 2 * RealPower(t, e) * RealPower(X(p.StartHeight[i]) / 2, e + 2)
            * g.IncrementLength * g.HelixCosine / (e + 2);
        laws.SlitResistance[i] = ResistanceOf(in, laws.SlitConductance[i]);
    }
    CheckFloatingPoint("slit conductances over the lands");
}

// The way of an outlet increment's slit flow to the die outlet: the tapered slit up to the end
// of the spiral, then the lip, in series.
void ComputeOutletConductances(const Inputs& in, const Geometry& g, ElementLaws& laws)
{
    laws.TaperResistance.RequireCount(g.EffectiveIncrements, "the outlet laws");
    SlitPaths& p = laws.Paths;
    ComputeOutletPaths(in, g, p);
    const X e = OneOverN(in);
    const double slitWidth = X(g.IncrementLength) * g.HelixCosine;
    const double lipConductance = 2 * RealPower(InverseConsistencyLength(in, in.LipHeight), e)
        * g.IncrementLength * g.HelixCosine / (e + 2)
        * RealPower(X(in.OutletSlitHeight) / 2, e + 2);
    for (int i = g.FirstOutletIncrement(); i <= g.EffectiveIncrements; ++i) {
        const double taperConductance =
            TaperConductanceOf(in, slitWidth, p.StartHeight[i], in.OutletSlitHeight, p.Length[i]);
        laws.TaperResistance[i] = ResistanceOf(in, taperConductance);
        laws.SlitResistance[i] =
            laws.TaperResistance[i] + 1 / Exp(X(in.PowerLawIndex) * Ln(lipConductance));
        laws.SlitConductance[i] = 1 / Exp(e * Ln(laws.SlitResistance[i]));
    }
    CheckFloatingPoint("slit conductances of the outlet zone");
}

} // namespace karrow
