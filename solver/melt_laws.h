#pragma once

// The element laws of the exact network for any melt (melt.h).
//
// A slit of height h under the pressure gradient G has the wall stress tau_w = G h / 2 and
// carries per width q = (2/G^2) Int_0^tau_w tau g(tau) dtau = (h^2/2) Psi(tau_w), with g the
// shear rate at the stress tau and Psi(tau) = Int_0^tau t g(t) dt / tau^2 (1/s): a function of the
// melt alone, the same for every slit and channel of the die. Under time-temperature
// superposition Psi at a temperature is Psi_ref / aT. So the laws need one function, and its
// inverse X(v) = ln tau at v = ln Psi, which this file tabulates once per melt:
//   - Int t g dt is summed cell by cell in ln g on the reference flow curve, where tau(g) is
//     explicit (Gauss-Legendre, 6 points per quarter of a unit of ln g), from a tail integrated
//     from the plateau or power-law end;
//   - X is known at nodes every 1/8 of ln Psi exactly (Newton's method on ln Psi(ln g)) with its
//     first two derivatives in closed form, and interpolated by quintic Hermite polynomials; nodes
//     are made as queries reach them, so a solve pays for the range it visits.
// A tapered slit from h1 to h2 over a length L at the flow per width q drops
//   D = L / (h1 - h2) Int_{v1}^{v2} exp(X(v)) dv, vi = ln(2 q / hi^2),
// integrated by Gauss-Legendre on the interpolant; the lip and constant slits are the limit
// D = 2 L tau(v) / h. Pressures are in the core's gf/cm2, lengths in cm, flows in cm3/sec.

#include "melt.h"

#include <vector>

namespace karrow {

class SlitFlowFunction {
public:
    explicit SlitFlowFunction(const Melt& melt);

    // X(v) = ln tau (Pa) of the reference state at v = ln Psi_ref (Psi in 1/s), and X'(v).
    double LogStress(double v, double* slope = nullptr);
    // The inverse: ln Psi_ref at ln tau.
    double LogPsi(double logStress);
    // Int_{v1}^{v2} exp(X(v)) dv (Pa), and in `weighted` the same with the weight X'(v).
    double StressIntegral(double v1, double v2, double* weighted = nullptr);

    // Nodes made so far (for tests and benchmarks).
    int Nodes() const { return static_cast<int>(nodes_.size()); }

private:
    struct Cell {
        double LogRate = 0; // x = ln g at the node
        double Integral = 0; // Int_0^tau t g dt = Int_-inf^x tau^2 s g dx
    };
    struct Node {
        double Value = 0; // X
        double Slope = 0; // X'
        double Curvature = 0; // X''
        double LogRate = 0;
        double StressIntegral = 0; // Int exp(X) dv from the first node
    };

    double IntegralAt(double x);
    void ReachRate(double x);
    double TailIntegral(double x) const;
    double CellIntegral(double from, double to) const;
    double Integrand(double x) const;
    Node NodeAt(double v, double guess);
    void ReachPsi(double v);
    int CellAt(double v);
    double PanelStressIntegral(double v1, double v2, double* weighted);
    double InCell(int cell, double v, double* slope) const;
    double CellStressIntegral(
        int cell, double from, double width, double* weighted = nullptr) const;

    Melt melt_;
    // Integral cells: x_k = (first + k) * CellWidth.
    std::vector<Cell> cells_;
    int firstCell_ = 0;
    // X nodes: v_k = (first + k) * NodeWidth.
    std::vector<Node> nodes_;
    int firstNode_ = 0;
};

// One element's flow (cm3/sec) and the slope of flow by drop (cm3/sec per gf/cm2).
struct ElementFlow {
    double Flow = 0;
    double Slope = 0;
};

// A slit whose height runs linearly from StartHeight to EndHeight (equal: a constant slit).
struct SlitShape {
    double Width = 0;
    double StartHeight = 0;
    double EndHeight = 0;
    double Length = 0;
};

// The laws of one melt at any temperature; logShift is ln aT of the element's melt.
class MeltElementLaws {
public:
    explicit MeltElementLaws(const Melt& melt)
        : psi_(melt)
    {
    }

    // Pressure drop (gf/cm2) and d drop / d flow of a tapered or constant slit at a flow >= 0.
    double SlitDrop(const SlitShape& slit, double flow, double logShift, double* slope = nullptr);
    // Flow through a constant slit under a drop of either sign, with its slope; below
    // frozenDrop the slope is the one at frozenDrop (a power law's slope at zero is 0 or
    // infinite, and Newton's method needs a finite positive one).
    ElementFlow ConstantSlitFlow(
        const SlitShape& slit, double drop, double logShift, double frozenDrop);
    // Flow of a chain of slits in series under a drop of either sign (Newton's method on the
    // flow from `guess`, a flow > 0), with its slope, frozen as above.
    ElementFlow SeriesFlow(const std::vector<SlitShape>& chain, double drop, double logShift,
        double guess, double frozenDrop);

    SlitFlowFunction& Function() { return psi_; }

private:
    SlitFlowFunction psi_;
};

} // namespace karrow
