#include "aim/calibration.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace aim {

namespace {

constexpr double kSameZoom = 0.01;

double signOf(double v) { return v < 0.0 ? -1.0 : 1.0; }

// Interpolates (or extends along the end pair) one axis's rate straight: a
// lens whose zoom position follows its focal length magnifies in step with
// it, and a rate grows with the magnification.
double rateBetween(const CalibrationPoint& a, const CalibrationPoint& b, double zoom, double AxisRates::*axis) {
    const double ra = a.rates.*axis;
    const double rb = b.rates.*axis;
    if (std::abs(b.zoom - a.zoom) < 1e-9) return ra;
    const double t = (zoom - a.zoom) / (b.zoom - a.zoom);
    const double ma = std::abs(ra);
    const double mb = std::abs(rb);
    // Past the ends a rate never falls below a tenth of the nearest.
    const double magnitude = std::max(ma + t * (mb - ma), 0.1 * std::min(ma, mb));
    return signOf(t < 0.5 ? ra : rb) * magnitude;
}

} // namespace

void Calibration::add(const CalibrationPoint& point) {
    std::erase_if(points_, [&](const CalibrationPoint& p) { return std::abs(p.zoom - point.zoom) < kSameZoom; });
    points_.push_back(point);
    if (points_.size() > kMaxPoints) {
        std::sort(points_.begin(), points_.end(), [&](const CalibrationPoint& a, const CalibrationPoint& b) {
            return std::abs(a.zoom - point.zoom) < std::abs(b.zoom - point.zoom);
        });
        points_.resize(kMaxPoints);
    }
    std::sort(points_.begin(), points_.end(),
              [](const CalibrationPoint& a, const CalibrationPoint& b) { return a.zoom < b.zoom; });
}

std::optional<AxisRates> Calibration::ratesAt(double zoom) const {
    if (points_.empty()) return std::nullopt;
    if (points_.size() == 1) return points_.front().rates;
    std::size_t upper = 1;
    while (upper + 1 < points_.size() && points_[upper].zoom < zoom) ++upper;
    const CalibrationPoint& a = points_[upper - 1];
    const CalibrationPoint& b = points_[upper];
    return AxisRates{rateBetween(a, b, zoom, &AxisRates::pan), rateBetween(a, b, zoom, &AxisRates::tilt)};
}

std::optional<double> Calibration::zoomMagnifying(double zoom, double magnification) const {
    if (points_.size() < 2 || !(magnification > 0.0)) return std::nullopt;
    const auto here = ratesAt(zoom);
    if (!here) return std::nullopt;
    const bool byPan = std::abs(here->pan) >= std::abs(here->tilt);
    auto rateAt = [&](double z) {
        const AxisRates r = *ratesAt(z);
        return std::abs(byPan ? r.pan : r.tilt);
    };
    // A narrower view travels more of itself for the same turn: the picture
    // magnified m times has rates m times larger.
    const double wanted = std::abs(byPan ? here->pan : here->tilt) * magnification;
    const double wide = rateAt(0.0);
    const double tele = rateAt(1.0);
    if (std::abs(wide - tele) < 1e-12) return std::nullopt;
    const bool falling = tele < wide;
    double lo = 0.0;
    double hi = 1.0;
    for (int i = 0; i < 60; ++i) {
        const double mid = (lo + hi) / 2.0;
        const bool beyond = falling ? rateAt(mid) < wanted : rateAt(mid) > wanted;
        (beyond ? hi : lo) = mid;
    }
    return (lo + hi) / 2.0;
}

std::string Calibration::toText() const {
    std::string text = unit == MoveUnit::Translation ? "R" : "T";
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, " %d %.4g", speed, zoomDoublingsPerSecond);
    text += buffer;
    for (const CalibrationPoint& p : points_) {
        std::snprintf(buffer, sizeof buffer, " %.4f:%.6g,%.6g", p.zoom, p.rates.pan, p.rates.tilt);
        text += buffer;
    }
    return text;
}

std::optional<Calibration> Calibration::fromText(std::string_view text) {
    std::istringstream in{std::string(text)};
    std::string kind;
    Calibration c;
    if (!(in >> kind >> c.speed >> c.zoomDoublingsPerSecond)) return std::nullopt;
    if (kind == "R") {
        c.unit = MoveUnit::Translation;
    } else if (kind == "T") {
        c.unit = MoveUnit::Second;
    } else {
        return std::nullopt;
    }
    if (c.speed < 0 || c.speed > 5 || !std::isfinite(c.zoomDoublingsPerSecond) || c.zoomDoublingsPerSecond < 0.0)
        return std::nullopt;
    std::string item;
    while (in >> item) {
        CalibrationPoint p;
        char colon = 0;
        char comma = 0;
        std::istringstream fields(item);
        if (!(fields >> p.zoom >> colon >> p.rates.pan >> comma >> p.rates.tilt) || colon != ':' || comma != ',')
            return std::nullopt;
        std::string rest;
        if (fields >> rest) return std::nullopt;
        if (!std::isfinite(p.zoom) || !std::isfinite(p.rates.pan) || !std::isfinite(p.rates.tilt) || p.zoom < 0.0 ||
            p.zoom > 1.0)
            return std::nullopt;
        c.add(p);
    }
    if (c.empty()) return std::nullopt;
    return c;
}

Point viewTravel(const Shift& shift, int sampleWidth, int sampleHeight) {
    if (sampleWidth <= 0 || sampleHeight <= 0) return {};
    // Content moving right means the view turned left; down, the view rose.
    return {-2.0 * shift.dx / sampleWidth, 2.0 * shift.dy / sampleHeight};
}

Fit fitPoint(const std::vector<Measurement>& measurements, double minPeak) {
    double panMoves = 0.0, panTravel = 0.0, tiltMoves = 0.0, tiltTravel = 0.0;
    bool panMoved = false, tiltMoved = false;
    int noisy = 0;
    double zoom = 0.0;
    for (const Measurement& m : measurements) {
        if (m.shift.peak < minPeak) {
            ++noisy;
            continue;
        }
        zoom = m.zoom;
        const Point travel = viewTravel(m.shift, m.sampleWidth, m.sampleHeight);
        if (m.pan != 0.0) {
            panMoves += m.pan * m.pan;
            panTravel += m.pan * travel.x;
            panMoved = panMoved || std::abs(travel.x) >= kMinTravel;
        }
        if (m.tilt != 0.0) {
            tiltMoves += m.tilt * m.tilt;
            tiltTravel += m.tilt * travel.y;
            tiltMoved = tiltMoved || std::abs(travel.y) >= kMinTravel;
        }
    }
    Fit fit;
    if (panMoves == 0.0 || tiltMoves == 0.0) {
        fit.why = noisy > 0 ? "the pictures did not agree on a shift (too little detail, or the picture changed)"
                            : "no move of each axis was measured";
        return fit;
    }
    if (!panMoved || !tiltMoved) {
        fit.why = std::string("the picture did not move when the camera ") + (!panMoved ? "panned" : "tilted");
        return fit;
    }
    fit.point = CalibrationPoint{zoom, {panTravel / panMoves, tiltTravel / tiltMoves}};
    return fit;
}

} // namespace aim
