#include "melt_fit.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <gsl/gsl_blas.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_linalg.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_vector.h>
#include <memory>
#include <set>
#include <stdexcept>
#include <sstream>

namespace karrow {

namespace {

    // ln(1 + e^x) without overflow for large x.
    double SoftPlus(double x) { return x > 0 ? x + std::log1p(std::exp(-x)) : std::log1p(std::exp(x)); }

    // ln of the Cross law's viscosity for a zero-shear viscosity e^logEta0.
    double LogCross(double logEta0, double n, double tauStar, double shearRate)
    {
        return logEta0 - SoftPlus((1 - n) * (logEta0 + std::log(shearRate) - std::log(tauStar)));
    }

    // ln eta of the melt's law, worked in logarithms so that no trial constant of the least
    // squares overflows; the law is solver/melt.h's (time-temperature superposition), written
    // again here apart from it so that the tests compare two writings of it. Nothing where the
    // law has no value.
    std::optional<double> LogViscosity(const Melt& m, double temperature, double rate)
    {
        if (m.Model == ViscosityModel::CrossWlf && !(m.A2 + temperature - m.D2 > 0))
            return std::nullopt;
        if (m.Shift == TemperatureShift::Wlf && !(m.C2 + temperature - m.ReferenceTemperature > 0))
            return std::nullopt;
        if (!(temperature > AbsoluteZeroCelsius))
            return std::nullopt;
        const double logShift = LogShiftFactor(m, temperature);
        switch (m.Model) {
        case ViscosityModel::Cross:
            return LogCross(std::log(m.ZeroShearViscosity) + logShift, m.FlowIndex,
                m.CriticalStress, rate);
        case ViscosityModel::CrossWlf:
            return LogCross(std::log(m.D1) + logShift, m.FlowIndex, m.CriticalStress, rate);
        case ViscosityModel::CarreauYasuda: {
            const double a = m.YasudaExponent;
            const double thinning = std::exp((m.FlowIndex - 1) / a
                * SoftPlus(a * (std::log(m.TimeConstant) + logShift + std::log(rate))));
            const double etaInf = m.InfiniteShearViscosity;
            return logShift + std::log(etaInf + (m.ZeroShearViscosity - etaInf) * thinning);
        }
        case ViscosityModel::PowerLaw:
            return std::log(m.StandardViscosity)
                + (m.FlowIndex - 1) * std::log(rate / m.StandardShearRate);
        }
        return std::nullopt;
    }

    // --- measurements ---------------------------------------------------------------------------

    std::string Trimmed(const std::string& text)
    {
        const auto first = text.find_first_not_of(" \t\r");
        if (first == std::string::npos)
            return {};
        return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
    }

    std::optional<double> NumberOf(const std::string& text)
    {
        double value = 0;
        const char* end = text.data() + text.size();
        const auto [stop, error] = std::from_chars(text.data(), end, value);
        if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value))
            return std::nullopt;
        return value;
    }

    std::vector<std::string> CellsOf(const std::string& line)
    {
        std::vector<std::string> cells;
        std::stringstream in(line);
        for (std::string cell; std::getline(in, cell, ',');)
            cells.push_back(Trimmed(cell));
        if (!line.empty() && line.back() == ',')
            cells.emplace_back();
        return cells;
    }

    // --- the fit --------------------------------------------------------------------------------

    // A constant as the least squares see it: its logarithm for a constant that must stay
    // positive and spans decades, else the constant over a scale of its usual size, so that
    // every unknown moves on a like scale.
    struct Unknown {
        std::string Section;
        std::string Name;
        double Melt::*Member = nullptr;
        bool Logarithmic = false;
        double Scale = 1;
        bool Fitted = true;
        double Value = 0; // the start, or the value held
    };

    double ValueOf(const Unknown& u, double x) { return u.Logarithmic ? std::exp(x) : x * u.Scale; }
    double UnknownOf(const Unknown& u, double value)
    {
        return u.Logarithmic ? std::log(value) : value / u.Scale;
    }

    struct Problem {
        const std::vector<Measurement>* Points;
        Melt Law; // law, shift and the constants held
        std::vector<Unknown> Unknowns;
        std::vector<std::size_t> Free; // indices of the fitted unknowns
    };

    // The unknown of the melt constant `name`, with its section and member.
    Unknown UnknownNamed(const std::string& name, bool logarithmic, double scale, bool fitted,
        double value)
    {
        const MeltConstant* c = MeltConstantNamed(name);
        if (!c)
            throw std::logic_error("no melt constant " + name);
        return { SectionOf(*c), name, c->Member, logarithmic, scale, fitted, value };
    }

    void Apply(const Unknown& u, double value, Melt& m) { m.*u.Member = value; }

    Melt LawAt(const Problem& p, const gsl_vector* x)
    {
        Melt g = p.Law;
        for (std::size_t k = 0; k < p.Free.size(); ++k)
            Apply(p.Unknowns[p.Free[k]], ValueOf(p.Unknowns[p.Free[k]], gsl_vector_get(x, k)), g);
        return g;
    }

    // A misfit far beyond any measured one where the law has no value, so that the trust region
    // steps back from there rather than the fit ending on it.
    constexpr double OutsideTheLaw = 1e3;

    int Residuals(const gsl_vector* x, void* data, gsl_vector* f)
    {
        const Problem& p = *static_cast<const Problem*>(data);
        const Melt g = LawAt(p, x);
        for (std::size_t i = 0; i < p.Points->size(); ++i) {
            const Measurement& m = (*p.Points)[i];
            const auto logEta = LogViscosity(g, m.Temperature, m.ShearRate);
            const double r = logEta && std::isfinite(*logEta) ? *logEta - std::log(m.Viscosity)
                                                               : OutsideTheLaw;
            gsl_vector_set(f, i, r);
        }
        return GSL_SUCCESS;
    }

    struct Deleter {
        void operator()(gsl_vector* v) const { gsl_vector_free(v); }
        void operator()(gsl_matrix* m) const { gsl_matrix_free(m); }
        void operator()(gsl_multifit_nlinear_workspace* w) const { gsl_multifit_nlinear_free(w); }
    };
    using Vector = std::unique_ptr<gsl_vector, Deleter>;
    using Matrix = std::unique_ptr<gsl_matrix, Deleter>;
    using Workspace = std::unique_ptr<gsl_multifit_nlinear_workspace, Deleter>;

    // GSL's default handler aborts the program on an error; a fit reports it instead. The
    // handler is GSL's one global setting, restored when the fit ends.
    class QuietGsl {
    public:
        QuietGsl()
            : previous_(gsl_set_error_handler_off())
        {
        }
        ~QuietGsl() { gsl_set_error_handler(previous_); }
        QuietGsl(const QuietGsl&) = delete;
        QuietGsl& operator=(const QuietGsl&) = delete;

    private:
        gsl_error_handler_t* previous_;
    };

    std::string TemperatureList(const std::set<double>& temperatures)
    {
        std::ostringstream out;
        for (double t : temperatures)
            out << (out.tellp() > 0 ? ", " : "") << t;
        return out.str() + " °C";
    }

    // The measured temperature in the middle of those measured.
    double MiddleTemperature(const std::set<double>& temperatures)
    {
        auto it = temperatures.begin();
        std::advance(it, (temperatures.size() - 1) / 2);
        return *it;
    }

    // The flow curve measured at the temperature nearest `t`, by rising rate.
    std::vector<Measurement> CurveNear(const std::vector<Measurement>& points, double t)
    {
        double nearest = points.front().Temperature;
        for (const Measurement& m : points)
            if (std::abs(m.Temperature - t) < std::abs(nearest - t))
                nearest = m.Temperature;
        std::vector<Measurement> curve;
        for (const Measurement& m : points)
            if (m.Temperature == nearest)
                curve.push_back(m);
        std::sort(curve.begin(), curve.end(),
            [](const Measurement& a, const Measurement& b) { return a.ShearRate < b.ShearRate; });
        return curve;
    }

    // Starting constants read off the flow curve at the reference temperature: the plateau a
    // little above the highest viscosity, the index from the slope of the two fastest rates,
    // the transition where the power-law branch through the fastest point meets the plateau.
    struct Start {
        double Eta0 = 0;
        double N = 0;
        double Rate = 0; // 1/s, of the fastest point
        double Eta = 0; // its viscosity
    };
    Start StartOf(const std::vector<Measurement>& curve)
    {
        Start s;
        const Measurement& fast = curve.back();
        const Measurement& next = curve[curve.size() - 2];
        double highest = 0;
        for (const Measurement& m : curve)
            highest = std::max(highest, m.Viscosity);
        s.Eta0 = 1.5 * highest;
        const double slope = std::log(fast.Viscosity / next.Viscosity)
            / std::log(fast.ShearRate / next.ShearRate);
        s.N = std::clamp(1 + slope, 0.15, 0.9);
        s.Rate = fast.ShearRate;
        s.Eta = std::min(fast.Viscosity, 0.9 * s.Eta0);
        return s;
    }

    std::vector<Unknown> UnknownsOf(
        const FitRequest& r, const Start& s, double reference, double d2)
    {
        // eta = eta0 (eta0 gamma / tau*)^(n-1) on the power-law branch, solved for tau*.
        const double tauStar = s.Eta0 * s.Rate * std::pow(s.Eta0 / s.Eta, 1 / (s.N - 1));
        std::vector<Unknown> u;
        if (r.Model == "cross") {
            u = { UnknownNamed("eta0", true, 1, true, s.Eta0),
                UnknownNamed("tau_star", true, 1, true, tauStar),
                UnknownNamed("n", false, 1, true, s.N) };
        } else if (r.Model == "carreau-yasuda") {
            const double lambda = std::pow(s.Eta / s.Eta0, 1 / (s.N - 1)) / s.Rate;
            u = { UnknownNamed("eta0", true, 1, true, s.Eta0),
                UnknownNamed("eta_inf", false, 1, false, 0),
                UnknownNamed("lambda", true, 1, true, lambda),
                UnknownNamed("a", true, 1, true, 1),
                UnknownNamed("n", false, 1, true, s.N) };
        } else {
            constexpr double A1 = 25;
            const double dt = reference - d2;
            u = { UnknownNamed("n", false, 1, true, s.N),
                UnknownNamed("tau_star", true, 1, true, tauStar),
                UnknownNamed("D1", true, 1, true,
                    s.Eta0 * std::exp(A1 * dt / (r.A2 + dt))),
                UnknownNamed("D2", false, 1, false, d2),
                UnknownNamed("D3", false, 1, false, 0),
                UnknownNamed("A1", false, 10, true, A1),
                UnknownNamed("A2", false, 1, false, r.A2) };
            return u;
        }
        if (r.Shift == "arrhenius") {
            u.push_back(UnknownNamed("activation_energy", false, 1e4, true, 5e4));
        } else {
            u.push_back(UnknownNamed("C1", false, 1, true, 9));
            u.push_back(UnknownNamed("C2", false, 100, true, 200));
        }
        u.push_back(UnknownNamed("reference_temperature", false, 1, false, reference));
        return u;
    }

    // What the measurements lack for the law, or nothing.
    std::optional<std::string> DataProblem(const std::vector<Measurement>& points,
        const FitRequest& r, std::size_t unknowns, const std::set<double>& temperatures)
    {
        const std::string law = r.Model == "cross-wlf" ? "the cross-wlf law"
                                                       : "the " + r.Model + " law with a "
                + r.Shift + " shift";
        if (points.size() <= unknowns)
            return std::to_string(points.size()) + " measurements cannot determine the "
                + std::to_string(unknowns) + " constants fitted for " + law + ": at least "
                + std::to_string(unknowns + 1) + " are needed";
        const std::size_t needTemperatures = r.Model != "cross-wlf" && r.Shift == "wlf" ? 3 : 2;
        if (temperatures.size() < needTemperatures)
            return law + " needs measurements at " + std::to_string(needTemperatures)
                + " temperatures at least; there are " + std::to_string(temperatures.size())
                + " (" + TemperatureList(temperatures) + ")";
        const std::size_t needRates = r.Model == "carreau-yasuda" ? 4 : 3;
        std::size_t mostRates = 0;
        for (double t : temperatures) {
            std::set<double> rates;
            for (const Measurement& m : points)
                if (m.Temperature == t)
                    rates.insert(m.ShearRate);
            mostRates = std::max(mostRates, rates.size());
        }
        if (mostRates < needRates)
            return law + " needs " + std::to_string(needRates)
                + " shear rates at one temperature at least; the most at one temperature are "
                + std::to_string(mostRates);
        return std::nullopt;
    }

    // Names the constant the data leave free, when the Jacobian has lost a rank: the one that
    // weighs most in the direction the misfit does not change along.
    std::optional<std::string> FreeConstant(const gsl_matrix* jacobian, const Problem& p)
    {
        const std::size_t n = jacobian->size1;
        const std::size_t k = jacobian->size2;
        Matrix a(gsl_matrix_alloc(n, k));
        Matrix v(gsl_matrix_alloc(k, k));
        Vector s(gsl_vector_alloc(k));
        Vector work(gsl_vector_alloc(k));
        gsl_matrix_memcpy(a.get(), jacobian);
        if (gsl_linalg_SV_decomp(a.get(), v.get(), s.get(), work.get()) != GSL_SUCCESS)
            return "the constants (the least squares could not be decomposed)";
        constexpr double RankTolerance = 1e-9;
        if (gsl_vector_get(s.get(), k - 1) > RankTolerance * gsl_vector_get(s.get(), 0))
            return std::nullopt;
        std::size_t weightiest = 0;
        for (std::size_t j = 1; j < k; ++j)
            if (std::abs(gsl_matrix_get(v.get(), j, k - 1))
                > std::abs(gsl_matrix_get(v.get(), weightiest, k - 1)))
                weightiest = j;
        const Unknown& u = p.Unknowns[p.Free[weightiest]];
        return "\"" + u.Section + "." + u.Name + "\"";
    }

} // namespace

std::optional<double> MeltViscosity(const Melt& melt, double temperature, double rate)
{
    if (!(rate > 0) || !std::isfinite(rate) || MeltTemperatureProblem(melt, temperature))
        return std::nullopt;
    const double eta = Viscosity(melt, rate, temperature);
    if (!(eta > 0) || !std::isfinite(eta))
        return std::nullopt;
    return eta;
}

MeasurementReading ParseMeasurements(const std::string& csv, const std::string& origin)
{
    MeasurementReading reading;
    std::istringstream in(csv);
    const char* columns[] = { "temperature", "shear rate", "viscosity" };
    int lineNumber = 0;
    bool first = true;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        const std::string text = Trimmed(line);
        if (text.empty() || text.front() == '#')
            continue;
        const std::vector<std::string> cells = CellsOf(text);
        const bool header = first && !NumberOf(cells.front());
        first = false;
        if (header)
            continue;
        const std::string where = "\"" + origin + "\" line " + std::to_string(lineNumber) + ": ";
        if (cells.size() != 3) {
            reading.Problem = where + "expected 3 columns (temperature °C, shear rate 1/s, "
                                      "viscosity Pa s), found "
                + std::to_string(cells.size());
            return reading;
        }
        double values[3] = {};
        for (int c = 0; c < 3; ++c) {
            const auto value = NumberOf(cells[static_cast<std::size_t>(c)]);
            const bool positive = c == 0 ? value && *value > AbsoluteZeroCelsius : value && *value > 0;
            if (!positive) {
                reading.Problem = where + "the " + columns[c] + " \""
                    + cells[static_cast<std::size_t>(c)] + "\" is not "
                    + (c == 0 ? "a temperature in °C" : "a positive number");
                return reading;
            }
            values[c] = *value;
        }
        reading.Points.push_back({ values[0], values[1], values[2] });
    }
    if (reading.Points.empty())
        reading.Problem = "\"" + origin + "\" holds no measurements";
    return reading;
}

MeasurementReading ReadMeasurements(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf()) || in.bad()) {
        MeasurementReading reading;
        reading.Problem = "cannot read the measurements \"" + path + "\"";
        return reading;
    }
    return ParseMeasurements(text.str(), path);
}

MeltFit FitMelt(
    const std::vector<Measurement>& points, const FitRequest& r, const std::string& origin)
{
    MeltFit fit;
    fit.Points = static_cast<int>(points.size());
    const auto refuse = [&](const std::string& why) {
        fit.Problem = "\"" + origin + "\": " + why;
        fit.Fitted.reset();
        fit.Constants.clear();
        return fit;
    };
    if (r.Model != "cross" && r.Model != "carreau-yasuda" && r.Model != "cross-wlf")
        return refuse("no law \"" + r.Model + "\" to fit (cross, carreau-yasuda, cross-wlf)");
    if (r.Model != "cross-wlf" && r.Shift != "arrhenius" && r.Shift != "wlf")
        return refuse("no temperature shift \"" + r.Shift + "\" (arrhenius, wlf)");
    if (r.Model == "cross-wlf" && !r.D2)
        return refuse("the cross-wlf law needs D2 (°C, about the glass transition), which the "
                      "fit holds");
    if (points.empty())
        return refuse("no measurements");
    std::set<double> temperatures;
    for (const Measurement& m : points)
        temperatures.insert(m.Temperature);
    const double reference = r.ReferenceTemperature.value_or(MiddleTemperature(temperatures));
    const std::vector<Measurement> curve = CurveNear(points, reference);
    if (curve.size() < 2 || curve.back().ShearRate == curve.front().ShearRate)
        return refuse("needs several shear rates at one temperature");

    Problem p { &points, {}, UnknownsOf(r, StartOf(curve), reference, r.D2.value_or(0)), {} };
    p.Law.Model = *ModelNamed(r.Model);
    p.Law.Shift = r.Model == "cross-wlf" ? TemperatureShift::None : *ShiftNamed(r.Shift);
    for (std::size_t i = 0; i < p.Unknowns.size(); ++i) {
        Apply(p.Unknowns[i], p.Unknowns[i].Value, p.Law);
        if (p.Unknowns[i].Fitted)
            p.Free.push_back(i);
    }
    if (auto problem = DataProblem(points, r, p.Free.size(), temperatures))
        return refuse(*problem);

    const QuietGsl quiet;
    const std::size_t n = points.size();
    const std::size_t k = p.Free.size();
    gsl_multifit_nlinear_fdf fdf {};
    fdf.f = Residuals;
    fdf.n = n;
    fdf.p = k;
    fdf.params = &p;
    gsl_multifit_nlinear_parameters settings = gsl_multifit_nlinear_default_parameters();
    settings.scale = gsl_multifit_nlinear_scale_more;
    Workspace w(gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &settings, n, k));
    Vector x0(gsl_vector_alloc(k));
    for (std::size_t j = 0; j < k; ++j)
        gsl_vector_set(x0.get(), j, UnknownOf(p.Unknowns[p.Free[j]], p.Unknowns[p.Free[j]].Value));
    constexpr std::size_t IterationLimit = 500;
    constexpr double StepTolerance = 1e-12;
    constexpr double GradientTolerance = 1e-12;
    int info = 0;
    int status = gsl_multifit_nlinear_init(x0.get(), &fdf, w.get());
    if (status == GSL_SUCCESS)
        status = gsl_multifit_nlinear_driver(IterationLimit, StepTolerance, GradientTolerance, 0,
            nullptr, nullptr, &info, w.get());
    fit.Iterations = static_cast<int>(gsl_multifit_nlinear_niter(w.get()));
    if (status != GSL_SUCCESS && status != GSL_ENOPROG)
        return refuse(std::string("the least squares did not converge (") + gsl_strerror(status)
            + ")");

    const gsl_vector* residual = gsl_multifit_nlinear_residual(w.get());
    double sum = 0;
    gsl_blas_ddot(residual, residual, &sum);
    if (!std::isfinite(sum) || sum >= OutsideTheLaw * OutsideTheLaw)
        return refuse("the law has no value at some measurements for any constants found");
    const gsl_matrix* jacobian = gsl_multifit_nlinear_jac(w.get());
    if (auto free = FreeConstant(jacobian, p))
        return refuse("the measurements cannot determine " + *free
            + " (the misfit does not change with it: add shear rates or temperatures that reach "
              "it)");
    Matrix covariance(gsl_matrix_alloc(k, k));
    gsl_multifit_nlinear_covar(jacobian, 0.0, covariance.get());

    fit.SumOfSquares = sum;
    fit.RmsLogResidual = std::sqrt(sum / static_cast<double>(n));
    const double variance = sum / static_cast<double>(n - k);
    fit.Fitted = LawAt(p, gsl_multifit_nlinear_position(w.get()));
    for (std::size_t i = 0, j = 0; i < p.Unknowns.size(); ++i) {
        const Unknown& u = p.Unknowns[i];
        FittedConstant c { u.Section, u.Name, (*fit.Fitted).*u.Member, 0, u.Fitted };
        if (u.Fitted) {
            const double spread = std::sqrt(variance * gsl_matrix_get(covariance.get(), j, j));
            c.StandardError = u.Logarithmic ? c.Value * spread : u.Scale * spread;
            ++j;
            // Known to no better than a decade, or than its own size: the data do not hold it.
            if (!(u.Logarithmic ? spread < std::log(10.0) : c.StandardError < std::abs(c.Value)))
                return refuse("the measurements cannot determine \"" + u.Section + "." + u.Name
                    + "\" (its standard error is too large: add shear rates or temperatures "
                      "that reach it)");
        }
        fit.Constants.push_back(c);
    }
    Melt asMelt = *fit.Fitted; // density and heat capacity are not the fit's to judge
    asMelt.Density = asMelt.HeatCapacity = 1;
    if (auto problem = MeltProblem(asMelt))
        return refuse("the best fit makes no melt: " + *problem);
    return fit;
}

} // namespace karrow
