// Draws the window icon and the die picture shown next to the input fields.
//
// The images are committed next to karrow.qrc; this program exists so that they can be
// redrawn (target regenerate-resources) instead of being edited by hand. The icons of the
// desktop's icon theme are drawn by every build of the window, at the sizes it installs.
//
//   karrow-draw-resources <output folder>   writes icon.png and die.bmp
//   karrow-draw-resources --theme-icons <output folder> <size>...
//                                           writes <size>x<size>/apps/karrow.png for each size
//                                           (built with the window, for installing)

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>

namespace {

constexpr double pi = std::numbers::pi;

const QColor background { 214, 246, 250 };
const QColor outline { 40, 48, 56 };
const QColor metalLight { 236, 238, 240 };
const QColor metal { 170, 176, 182 };
const QColor metalDark { 110, 116, 124 };
const QColor section { 150, 164, 180 };
const QColor melt { 244, 146, 30 };
const QColor meltDark { 176, 92, 10 };
const QColor meltPale { 250, 214, 160 };
const QColor flow { 190, 30, 30 };

// Geometry of the sketch in pixels. The window shows only x < 225 and y < 267 of the
// 226 x 280 bitmap, so everything stays inside that area.
struct Die {
    double cx = 113; // axis of the mandrel
    double top = 60; // top face of housing and mandrel
    double baseTop = 222; // mandrel foot / top of the base
    double baseBottom = 248;
    double boreHalf = 64; // inner radius of the housing
    double wall = 22; // housing wall thickness in the section
    double footHalf = 63; // mandrel radius at the foot: lands almost touch the housing
    double tipHalf = 52; // mandrel radius at the top: the gap widens toward the exit
    double topTilt = 7; // half height of the ellipses that show the top faces
    double spiralEnd = 92; // the channels run out here; above is the plain lip
    int channels = 4;
    double lead = 92; // rise of one channel per full turn
    double depthStart = 11; // drawn band height at the inlet
    double depthEnd = 1.5; // ... and where the channel runs out

    double radiusAt(double y) const
    {
        const double f = (baseTop - y) / (baseTop - top);
        return footHalf + (tipHalf - footHalf) * f;
    }
    // Total angle each channel winds from the foot to spiralEnd.
    double windAngle() const { return 2 * pi * (baseTop - 6 - spiralEnd) / lead; }
};

void fillArrow(QPainter& p, QPointF from, QPointF to, double shaft, double headLen,
    double headWidth, const QColor& colour)
{
    const QPointF d = to - from;
    const double len = std::hypot(d.x(), d.y());
    if (len <= 0)
        return;
    const QPointF u = d / len;
    const QPointF n(-u.y(), u.x());
    headLen = std::min(headLen, len * 0.7);
    const QPointF neck = to - u * headLen;
    const QPolygonF shape { from + n * shaft / 2, neck + n * shaft / 2, neck + n * headWidth / 2,
        to, neck - n * headWidth / 2, neck - n * shaft / 2, from - n * shaft / 2 };
    p.setPen(QPen(colour.darker(140), 0.8));
    p.setBrush(colour);
    p.drawPolygon(shape);
}

// Section hatching at 45 degrees, clipped to the cut face.
void hatch(QPainter& p, const QRectF& r, double spacing)
{
    p.save();
    p.setClipRect(r, Qt::IntersectClip);
    p.setPen(QPen(outline, 0.7));
    for (double x = r.left() - r.height(); x < r.right(); x += spacing)
        p.drawLine(QPointF(x, r.bottom()), QPointF(x + r.height(), r.top()));
    p.restore();
}

void drawSectionFace(QPainter& p, const QRectF& r)
{
    p.setPen(Qt::NoPen);
    p.setBrush(section);
    p.drawRect(r);
    hatch(p, r, 6);
    p.setPen(QPen(outline, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
}

// The base in section, with the feed bore that splits to the channel starts.
void drawBase(QPainter& p, const Die& d)
{
    const QRectF face(d.cx - d.boreHalf - d.wall - 8, d.baseTop, 2 * (d.boreHalf + d.wall + 8),
        d.baseBottom - d.baseTop);
    drawSectionFace(p, face);

    QPainterPath bore;
    bore.addRect(QRectF(d.cx - 7, d.baseTop + 8, 14, d.baseBottom - d.baseTop - 8));
    bore.addRect(QRectF(d.cx - d.footHalf + 6, d.baseTop + 8, 2 * (d.footHalf - 6), 7));
    bore.addRect(QRectF(d.cx - d.footHalf + 6, d.baseTop, 7, 10));
    bore.addRect(QRectF(d.cx + d.footHalf - 13, d.baseTop, 7, 10));
    bore = bore.simplified();
    p.setPen(QPen(outline, 1.0));
    p.setBrush(melt);
    p.drawPath(bore);

    fillArrow(p, QPointF(d.cx, 265), QPointF(d.cx, d.baseTop + 12), 12, 15, 28, flow);
}

// The cut-open housing: both walls in section, the bore behind the mandrel full of melt.
void drawHousing(QPainter& p, const Die& d)
{
    p.setPen(Qt::NoPen);
    p.setBrush(meltPale);
    p.drawRect(QRectF(d.cx - d.boreHalf, d.top, 2 * d.boreHalf, d.baseTop - d.top));

    const double h = d.baseTop - d.top;
    drawSectionFace(p, QRectF(d.cx - d.boreHalf - d.wall, d.top, d.wall, h));
    drawSectionFace(p, QRectF(d.cx + d.boreHalf, d.top, d.wall, h));
}

QPainterPath mandrelOutline(const Die& d)
{
    QPainterPath path;
    path.moveTo(d.cx - d.footHalf, d.baseTop);
    path.lineTo(d.cx - d.tipHalf, d.top);
    path.arcTo(QRectF(d.cx - d.tipHalf, d.top - d.topTilt, 2 * d.tipHalf, 2 * d.topTilt), 180, 180);
    path.lineTo(d.cx + d.footHalf, d.baseTop);
    path.closeSubpath();
    return path;
}

void drawMandrel(QPainter& p, const Die& d)
{
    // Shaded like a turned cylinder: the highlight sits left of the axis.
    QLinearGradient shade(d.cx - d.footHalf, 0, d.cx + d.footHalf, 0);
    shade.setColorAt(0.0, metalDark);
    shade.setColorAt(0.35, metalLight);
    shade.setColorAt(0.6, metal);
    shade.setColorAt(1.0, metalDark);
    p.setPen(QPen(outline, 1.2));
    p.setBrush(shade);
    p.drawPath(mandrelOutline(d));
}

// Vertical centre of a channel after it has wound `u` radians from its start at the foot.
double channelY(const Die& d, double u)
{
    return d.baseTop - 6 - d.lead * u / (2 * pi);
}

double channelDepth(const Die& d, double u)
{
    return d.depthStart + (d.depthEnd - d.depthStart) * u / d.windAngle();
}

// Angle on the visible (front) half, in [-pi, pi): 0 faces the viewer.
double frontAngle(double theta)
{
    return std::remainder(theta, 2 * pi);
}

// One channel seen from the front: every stretch on the near side of the mandrel is a
// slanted band whose height shows how deep the channel still is.
void drawChannel(QPainter& p, const Die& d, double start)
{
    const double total = d.windAngle();
    const double step = 0.02;
    QPolygonF upper, lower;
    auto flush = [&] {
        if (upper.size() > 1) {
            QPolygonF band = upper;
            for (auto it = lower.crbegin(); it != lower.crend(); ++it)
                band << *it;
            p.setPen(QPen(meltDark, 0.9));
            p.setBrush(melt);
            p.drawPolygon(band);
            // The lower edge is the channel flank in shadow.
            p.setPen(QPen(meltDark, 1.4));
            p.drawPolyline(lower);
        }
        upper.clear();
        lower.clear();
    };
    for (double u = 0; u <= total; u += step) {
        const double phi = frontAngle(start + u);
        if (std::abs(phi) > pi / 2) {
            flush();
            continue;
        }
        const double y = channelY(d, u);
        const double x = d.cx + d.radiusAt(y) * std::sin(phi);
        const double half = channelDepth(d, u) / 2;
        upper << QPointF(x, y - half);
        lower << QPointF(x, y + half);
    }
    flush();
}

// Melt leaking over the land from each channel into the one above it.
void drawLeakage(QPainter& p, const Die& d)
{
    const double total = d.windAngle();
    const double quarter = 2 * pi / d.channels;
    int row = 0;
    for (double u = 0.3; u + quarter <= total; u += quarter, ++row) {
        // Stagger the arrows from row to row so they do not form columns.
        for (double phi : { -0.95, -0.1, 0.75 }) {
            const double at = u + (row % 2 ? 0.35 : 0.0);
            const double y0 = channelY(d, at) - channelDepth(d, at) / 2;
            const double y1 = channelY(d, at + quarter) + channelDepth(d, at + quarter) / 2;
            const double x = d.cx + d.radiusAt(y0) * std::sin(phi + (row % 2 ? 0.3 : 0.0));
            if (y0 - y1 < 6)
                continue;
            fillArrow(p, QPointF(x, y0 - 1), QPointF(x, y1 + 1), 1.6, 4.5, 5.5, flow);
        }
    }
}

// The melt tube leaving the annular gap, and the row of arrows that carry it away.
void drawExit(QPainter& p, const Die& d)
{
    const double gapMid = (d.boreHalf + d.tipHalf) / 2;
    p.setPen(QPen(outline, 1.0));
    p.setBrush(melt);
    p.drawEllipse(QRectF(d.cx - d.boreHalf, d.top - d.topTilt, 2 * d.boreHalf, 2 * d.topTilt));
    p.setBrush(metalLight);
    p.drawEllipse(QRectF(d.cx - d.tipHalf, d.top - d.topTilt * d.tipHalf / d.boreHalf,
        2 * d.tipHalf, 2 * d.topTilt * d.tipHalf / d.boreHalf));

    // Evenly spaced along the far half of the ring, so none of them crosses the mandrel face.
    const int count = 7;
    for (int i = 0; i < count; ++i) {
        const double dx = gapMid * (2.0 * i / (count - 1) - 1);
        const double dy = d.topTilt * std::sqrt(1 - dx * dx / (gapMid * gapMid));
        const QPointF at(d.cx + dx, d.top - dy);
        fillArrow(p, at, at - QPointF(0, 24), 3, 7, 9, flow);
    }
}

QImage drawDie()
{
    QImage image(226, 280, QImage::Format_RGB888);
    image.fill(background);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    const Die d;
    drawHousing(p, d);
    drawMandrel(p, d);
    p.save();
    p.setClipPath(mandrelOutline(d));
    for (int k = 0; k < d.channels; ++k)
        drawChannel(p, d, 2 * pi * k / d.channels);
    p.restore();
    drawLeakage(p, d);
    drawBase(p, d);
    drawExit(p, d);
    return image;
}

constexpr int iconGrid = 32;
constexpr int largestThemeIcon = 8 * iconGrid;

// A mandrel in its housing with three bands and the exit arrows, on a 32 x 32 grid, on a
// transparent ground so that it sits on any panel or desktop.
// Straight parts are drawn without antialiasing so their edges stay sharp after the
// reduction to 16 colours; only the slanted bands are smoothed.
void paintIcon(QPainter& p)
{
    p.setPen(Qt::NoPen);

    p.setBrush(section);
    p.drawRect(2, 9, 4, 17);
    p.drawRect(26, 9, 4, 17);
    p.setBrush(metalDark);
    p.drawRect(1, 26, 30, 4);
    p.setBrush(meltPale);
    p.drawRect(6, 9, 20, 17);
    p.setBrush(metal);
    p.drawRect(10, 8, 12, 18);
    p.setBrush(metalLight);
    p.drawRect(12, 8, 3, 18);

    p.setRenderHint(QPainter::Antialiasing);
    p.save();
    p.setClipRect(10, 8, 12, 18);
    p.setBrush(melt);
    const double depth[] = { 3.5, 2.5, 1.5 };
    for (int i = 0; i < 3; ++i) {
        const double y = 25 - 6 * i;
        p.drawPolygon(QPolygonF { QPointF(10, y), QPointF(22, y - 5), QPointF(22, y - 5 - depth[i]),
            QPointF(10, y - depth[i]) });
    }
    p.restore();
    p.setRenderHint(QPainter::Antialiasing, false);

    p.setPen(outline);
    p.setBrush(Qt::NoBrush);
    p.drawRect(9, 7, 13, 19);
    p.drawRect(1, 8, 5, 18);
    p.drawRect(25, 8, 5, 18);
    p.setPen(Qt::NoPen);
    p.setBrush(flow);
    for (int x : { 8, 16, 24 }) {
        p.drawRect(x - 1, 3, 2, 3);
        p.drawPolygon(
            QPolygon { QPoint(x - 3, 3), QPoint(x - 1, 0), QPoint(x, 0), QPoint(x + 2, 3) });
    }
}

// The die at 16 pixels, drawn pixel by pixel: the 32 grid halved would lose its outlines and
// blur the bands into the mandrel. The same parts, fewer of them: two walls in section, the
// mandrel with two orange bands wound round it, the base, and two arrows leaving at the top.
void paintSmallIcon(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(outline);
    p.drawRect(0, 4, 3, 9); // left wall, outlined
    p.drawRect(13, 4, 3, 9);
    p.setBrush(section);
    p.drawRect(1, 5, 1, 7);
    p.drawRect(14, 5, 1, 7);
    p.setBrush(meltPale);
    p.drawRect(3, 5, 10, 8); // the melt in the bore
    p.setBrush(outline);
    p.drawRect(4, 3, 8, 10); // the mandrel, outlined
    p.setBrush(metal);
    p.drawRect(5, 4, 6, 9);
    p.setBrush(metalLight);
    p.drawRect(6, 4, 1, 9);
    p.setBrush(metalDark);
    p.drawRect(0, 13, 16, 3); // the base
    // Two channel bands wound round the mandrel, rising one pixel every two columns; the lower
    // one, near the inlet, deeper.
    p.setBrush(melt);
    for (int step = 0; step < 3; ++step) {
        p.drawRect(5 + 2 * step, 10 - step, 2, 2);
        p.drawRect(5 + 2 * step, 6 - step, 2, 1);
    }
    // The melt leaving the annular gaps on both sides of the mandrel.
    p.setBrush(flow);
    for (int x : { 3, 12 }) {
        p.drawRect(x, 0, 1, 5); // from the melt in the gap up
        p.drawRect(x - 1, 1, 3, 1); // the head
    }
}

// Nearest of the palette's opaque colours, or the transparent entry 0 for a pixel that is
// mostly see-through.
QImage ToPalette(const QImage& drawn, const QList<QRgb>& palette)
{
    QImage indexed(drawn.size(), QImage::Format_Indexed8);
    indexed.setColorTable(palette);
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            const QRgb pixel = drawn.pixel(x, y);
            int best = 0;
            if (qAlpha(pixel) >= 128) {
                int bestDistance = INT_MAX;
                for (int i = 1; i < palette.size(); ++i) {
                    const int dr = qRed(pixel) - qRed(palette[i]);
                    const int dg = qGreen(pixel) - qGreen(palette[i]);
                    const int db = qBlue(pixel) - qBlue(palette[i]);
                    const int distance = dr * dr + dg * dg + db * db;
                    if (distance < bestDistance) {
                        bestDistance = distance;
                        best = i;
                    }
                }
            }
            indexed.setPixel(x, y, static_cast<uint>(best));
        }
    return indexed;
}

// The window icon: 32 x 32 in 16 colours, one of them transparent.
QImage drawIcon()
{
    QImage image(iconGrid, iconGrid, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    paintIcon(p);
    p.end();

    const QList<QRgb> palette { qRgba(0, 0, 0, 0), outline.rgb(), metalLight.rgb(), metal.rgb(),
        metalDark.rgb(), section.rgb(), melt.rgb(), meltDark.rgb(), meltPale.rgb(), flow.rgb(),
        qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(207, 161, 106), qRgb(240, 192, 135),
        qRgb(212, 200, 176), qRgb(222, 140, 150) };
    return ToPalette(image.convertToFormat(QImage::Format_ARGB32), palette);
}

// The icon for a desktop's icon theme at `size` pixels. 16 pixels has a drawing of its own; a
// whole multiple of the grid is painted at that scale, where every straight edge still falls on a pixel border; other sizes are
// reduced smoothly from the largest drawing, since painting the grid at a fraction would
// blur or drop its one-pixel outlines unevenly.
QImage drawThemeIcon(int size)
{
    constexpr int smallGrid = 16;
    const int painted = size % iconGrid == 0 || size == smallGrid ? size : largestThemeIcon;
    QImage image(painted, painted, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    if (painted == smallGrid) {
        paintSmallIcon(p);
    } else {
        p.scale(painted / double(iconGrid), painted / double(iconGrid));
        paintIcon(p);
    }
    p.end();
    if (painted == size)
        return image;
    return image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Writes <folder>/<N>x<N>/apps/karrow.png for each size, the layout of a hicolor theme.
bool writeThemeIcons(const QDir& folder, const QList<int>& sizes)
{
    for (int size : sizes) {
        const QString apps = QStringLiteral("%1x%1/apps").arg(size);
        if (!folder.mkpath(apps)
            || !drawThemeIcon(size).save(folder.filePath(apps + "/karrow.png"), "PNG"))
            return false;
    }
    return true;
}

int usage(const char* program)
{
    std::fprintf(stderr,
        "usage: %s <output folder>\n"
        "       %s --theme-icons <output folder> <size>...\n",
        program, program);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    const bool themeIcons = argc >= 4 && std::strcmp(argv[1], "--theme-icons") == 0;
    if (argc != 2 && !themeIcons)
        return usage(argv[0]);
    // No window is shown; the offscreen platform lets this run on build machines.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    if (themeIcons) {
        QList<int> sizes;
        for (int i = 3; i < argc; ++i) {
            const int size = std::atoi(argv[i]);
            if (size <= 0)
                return usage(argv[0]);
            sizes << size;
        }
        if (!writeThemeIcons(QDir(QString::fromLocal8Bit(argv[2])), sizes)) {
            std::fprintf(stderr, "cannot write the theme icons into %s\n", argv[2]);
            return 1;
        }
        return 0;
    }

    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QImage icon = drawIcon();
    const QImage die = drawDie();
    if (!icon.save(out.filePath("icon.png"), "PNG") || !die.save(out.filePath("die.bmp"), "BMP")) {
        std::fprintf(stderr, "cannot write the images into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
