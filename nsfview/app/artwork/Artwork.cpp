// Draws the program's pictures (tree icons, button pictures, the paper clip and the banner) into
// PNG files. Run once when the artwork changes; the PNGs are kept in nsfview/app/icons:
//   nsfview_artwork <icons folder>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <functional>

namespace {

// Everything is drawn on a 16-unit grid and scaled to the image size.
using Drawing = std::function<void(QPainter&)>;

QImage Render(int size, const Drawing& draw) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    draw(p);
    return image;
}

void Folder(QPainter& p, QColor body = QColor(0xF2, 0xC1, 0x4E)) {
    QPainterPath tab;
    tab.moveTo(1, 4);
    tab.lineTo(1, 3);
    tab.lineTo(6, 3);
    tab.lineTo(7.5, 4.5);
    tab.lineTo(15, 4.5);
    tab.lineTo(15, 13.5);
    tab.lineTo(1, 13.5);
    tab.closeSubpath();
    p.setPen(QPen(body.darker(160), 0.8));
    p.setBrush(body);
    p.drawPath(tab);
    p.setBrush(body.lighter(115));
    p.drawRect(QRectF(1, 6, 14, 7.5));
}

void Envelope(QPainter& p, QRectF r) {
    p.setPen(QPen(QColor(0x30, 0x50, 0x90), 0.8));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.drawLine(r.topLeft(), QPointF(r.center().x(), r.center().y() + 0.5));
    p.drawLine(r.topRight(), QPointF(r.center().x(), r.center().y() + 0.5));
}

void Arrow(QPainter& p, QPointF from, QPointF to, QColor color) {
    p.setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QPointF d = (to - from) / 3.0;
    const QPointF n(-d.y(), d.x());
    p.drawLine(to, to - d + n);
    p.drawLine(to, to - d - n);
}

void Page(QPainter& p, QRectF r, QColor color = Qt::white) {
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 0.8));
    p.setBrush(color);
    p.drawRect(r);
}

void Lines(QPainter& p, QRectF r, int count) {
    p.setPen(QPen(QColor(0x70, 0x70, 0x70), 0.7));
    for (int i = 0; i < count; ++i) {
        const double y = r.top() + 2 + i * 2;
        p.drawLine(QPointF(r.left() + 1.5, y), QPointF(r.right() - 1.5, y));
    }
}

void PaperClip(QPainter& p) {
    p.setPen(QPen(QColor(0x40, 0x40, 0x48), 1.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath clip;
    clip.moveTo(10, 5);
    clip.lineTo(10, 12);
    clip.arcTo(QRectF(5, 10, 5, 5), 0, -180);
    clip.lineTo(5, 3.5);
    clip.arcTo(QRectF(5, 1, 4, 4), 180, -180);
    clip.lineTo(9, 11);
    clip.arcTo(QRectF(7, 10, 2, 2), 0, -180);
    clip.lineTo(7, 5);
    p.drawPath(clip);
}

Drawing TreeIcon(int index) {
    switch (index) {
        case 0:  // database
            return [](QPainter& p) {
                p.setPen(QPen(QColor(0x1F, 0x4E, 0x79), 0.8));
                QLinearGradient g(2, 0, 14, 0);
                g.setColorAt(0, QColor(0x9C, 0xC3, 0xE6));
                g.setColorAt(1, QColor(0x2E, 0x75, 0xB6));
                p.setBrush(g);
                p.drawRect(QRectF(2.5, 3.5, 11, 9));
                p.drawEllipse(QRectF(2.5, 10, 11, 4.5));
                p.drawEllipse(QRectF(2.5, 1.5, 11, 4.5));
            };
        case 1:  // calendar
            return [](QPainter& p) {
                Page(p, QRectF(1.5, 2.5, 13, 12));
                p.setBrush(QColor(0xC0, 0x39, 0x2B));
                p.drawRect(QRectF(1.5, 2.5, 13, 3.5));
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(0x60, 0x60, 0x60));
                for (int r = 0; r < 3; ++r)
                    for (int c = 0; c < 4; ++c) p.drawRect(QRectF(3 + c * 2.8, 7.2 + r * 2.3, 1.6, 1.4));
            };
        case 2:  // drafts: folder with pencil
            return [](QPainter& p) {
                Folder(p);
                p.setPen(QPen(QColor(0x20, 0x20, 0x20), 0.6));
                p.setBrush(QColor(0xE6, 0x7E, 0x22));
                QPolygonF pencil({{8, 14}, {7.2, 11.8}, {13.5, 5.5}, {15, 7}, {8.7, 13.3}});
                p.drawPolygon(pencil);
            };
        case 3:  // inbox: folder with envelope
            return [](QPainter& p) {
                Folder(p);
                Envelope(p, QRectF(4.5, 7.5, 8, 5.5));
            };
        case 4:  // journal book
            return [](QPainter& p) {
                p.setPen(QPen(QColor(0x4A, 0x23, 0x5A), 0.8));
                p.setBrush(QColor(0x8E, 0x44, 0xAD));
                p.drawRect(QRectF(3, 1.5, 10, 13));
                p.setBrush(Qt::white);
                p.drawRect(QRectF(5.5, 4, 5.5, 2.5));
                p.drawLine(QPointF(4.5, 1.5), QPointF(4.5, 14.5));
            };
        case 5:  // sticky note
            return [](QPainter& p) {
                p.setPen(QPen(QColor(0xB7, 0x95, 0x0B), 0.8));
                p.setBrush(QColor(0xF9, 0xE7, 0x6A));
                p.drawPolygon(QPolygonF({{2, 2}, {14, 2}, {14, 10.5}, {10.5, 14}, {2, 14}}));
                p.drawLine(QPointF(10.5, 14), QPointF(10.5, 10.5));
                p.drawLine(QPointF(10.5, 10.5), QPointF(14, 10.5));
                Lines(p, QRectF(2, 2.5, 10, 8), 3);
            };
        case 6:  // outbox: folder with outgoing arrow
            return [](QPainter& p) {
                Folder(p);
                Arrow(p, QPointF(4, 12), QPointF(12, 7.5), QColor(0x27, 0xAE, 0x60));
            };
        case 7:  // sent: folder with envelope and arrow
            return [](QPainter& p) {
                Folder(p);
                Envelope(p, QRectF(2.5, 8, 7.5, 5));
                Arrow(p, QPointF(9.5, 11.5), QPointF(14.5, 7.5), QColor(0x27, 0xAE, 0x60));
            };
        case 8:  // tasks: clipboard with tick
            return [](QPainter& p) {
                p.setPen(QPen(QColor(0x6E, 0x4B, 0x2A), 0.8));
                p.setBrush(QColor(0xC6, 0x9C, 0x6D));
                p.drawRoundedRect(QRectF(2.5, 2, 11, 13), 1, 1);
                Page(p, QRectF(4, 3.5, 8, 10));
                p.setBrush(QColor(0x80, 0x80, 0x80));
                p.drawRect(QRectF(6, 1, 4, 2.5));
                p.setPen(QPen(QColor(0x1E, 0x84, 0x49), 1.6, Qt::SolidLine, Qt::RoundCap));
                p.drawPolyline(QPolygonF({{5.5, 8.5}, {7.5, 10.8}, {11, 5.5}}));
            };
        case 10:  // plain folder
            return [](QPainter& p) { Folder(p); };
        case 11:  // contact card
            return [](QPainter& p) {
                Page(p, QRectF(1, 3, 14, 10), QColor(0xEA, 0xF2, 0xF8));
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(0x2E, 0x75, 0xB6));
                p.drawEllipse(QRectF(3, 4.8, 3.5, 3.5));
                p.drawChord(QRectF(2.2, 8.2, 5.2, 5.5), 0, 180 * 16);
                Lines(p, QRectF(7.5, 4, 7, 8), 3);
            };
        case 14:  // junk: folder with a "no" sign
            return [](QPainter& p) {
                Folder(p);
                p.setPen(QPen(QColor(0xC0, 0x39, 0x2B), 1.5));
                p.setBrush(Qt::white);
                p.drawEllipse(QRectF(6.5, 6.5, 7, 7));
                p.drawLine(QPointF(7.8, 7.8), QPointF(12.2, 12.2));
            };
        case 15:  // search / virtual folder: folder with magnifier
            return [](QPainter& p) {
                Folder(p);
                p.setPen(QPen(QColor(0x2C, 0x3E, 0x50), 1.3));
                p.setBrush(QColor(0xD6, 0xEA, 0xF8));
                p.drawEllipse(QRectF(6, 6.5, 5.5, 5.5));
                p.setPen(QPen(QColor(0x2C, 0x3E, 0x50), 2, Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(11, 11.5), QPointF(14, 14.5));
            };
        case 16:  // recycle bin
            return [](QPainter& p) {
                p.setPen(QPen(QColor(0x3D, 0x56, 0x66), 0.8));
                p.setBrush(QColor(0xA9, 0xCC, 0xE3));
                p.drawPolygon(QPolygonF({{3.5, 4.5}, {12.5, 4.5}, {11.5, 15}, {4.5, 15}}));
                p.drawRect(QRectF(2.5, 2.5, 11, 2));
                p.drawRect(QRectF(6.5, 1, 3, 1.5));
                p.drawLine(QPointF(6.5, 6.5), QPointF(6.8, 13.5));
                p.drawLine(QPointF(9.5, 6.5), QPointF(9.2, 13.5));
            };
        case 17:  // RSS: folder with feed sign
            return [](QPainter& p) {
                Folder(p);
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(0xE6, 0x7E, 0x22));
                p.drawRoundedRect(QRectF(6.5, 6.5, 7, 7), 1.2, 1.2);
                p.setPen(QPen(Qt::white, 1.1));
                p.setBrush(Qt::NoBrush);
                p.drawArc(QRectF(4.5, 8.5, 8, 8), 0, 90 * 16);
                p.drawArc(QRectF(6.8, 10.8, 3.6, 3.6), 0, 90 * 16);
            };
        default:  // 9, 12, 13: unused, a plain grey page
            return [](QPainter& p) { Page(p, QRectF(3, 2, 10, 12), QColor(0xEE, 0xEE, 0xEE)); };
    }
}

Drawing ButtonIcon(const QString& name) {
    if (name == QLatin1String("export"))
        return [](QPainter& p) {
            Page(p, QRectF(2, 1.5, 9, 12));
            Lines(p, QRectF(2, 2, 9, 8), 3);
            Arrow(p, QPointF(7, 11), QPointF(15, 11), QColor(0x27, 0xAE, 0x60));
        };
    if (name == QLatin1String("close"))
        return [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0xC0, 0x39, 0x2B));
            p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
            p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
            p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
        };
    if (name == QLatin1String("stop"))
        return [](QPainter& p) {
            p.setPen(QPen(QColor(0x7B, 0x24, 0x1C), 0.8));
            p.setBrush(QColor(0xE7, 0x4C, 0x3C));
            p.drawPolygon(
                QPolygonF({{5, 1}, {11, 1}, {15, 5}, {15, 11}, {11, 15}, {5, 15}, {1, 11}, {1, 5}}));
            p.setBrush(Qt::white);
            p.setPen(Qt::NoPen);
            p.drawRect(QRectF(4, 7, 8, 2));
        };
    if (name == QLatin1String("help"))
        return [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x2E, 0x75, 0xB6));
            p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
            p.setPen(Qt::white);
            QFont f(QStringLiteral("DejaVu Sans"));
            f.setPixelSize(11);
            f.setBold(true);
            p.setFont(f);
            p.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
        };
    if (name == QLatin1String("browse")) return [](QPainter& p) { Folder(p); };
    if (name == QLatin1String("add"))
        return [](QPainter& p) {
            p.setPen(QPen(QColor(0x1E, 0x84, 0x49), 2.4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(8, 3), QPointF(8, 13));
            p.drawLine(QPointF(3, 8), QPointF(13, 8));
        };
    if (name == QLatin1String("remove"))
        return [](QPainter& p) {
            p.setPen(QPen(QColor(0xC0, 0x39, 0x2B), 2.4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(3, 8), QPointF(13, 8));
        };
    if (name == QLatin1String("ok"))
        return [](QPainter& p) {
            p.setPen(QPen(QColor(0x1E, 0x84, 0x49), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({{2.5, 8.5}, {6.5, 12.5}, {13.5, 3.5}}));
        };
    if (name == QLatin1String("settings"))
        return [](QPainter& p) {
            p.setPen(QPen(QColor(0x50, 0x50, 0x58), 2.2));
            for (int i = 0; i < 8; ++i) {
                p.save();
                p.translate(8, 8);
                p.rotate(i * 45);
                p.drawLine(QPointF(0, 4.5), QPointF(0, 6.8));
                p.restore();
            }
            p.setBrush(QColor(0x90, 0x90, 0x98));
            p.setPen(QPen(QColor(0x50, 0x50, 0x58), 1));
            p.drawEllipse(QRectF(3.5, 3.5, 9, 9));
            p.setBrush(Qt::white);
            p.drawEllipse(QRectF(6, 6, 4, 4));
        };
    // "clip": the paper clip of the item list
    return [](QPainter& p) { PaperClip(p); };
}

QImage Banner(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, width, height);
    g.setColorAt(0, QColor(0x1F, 0x4E, 0x79));
    g.setColorAt(1, QColor(0x2E, 0x86, 0xC1));
    p.fillRect(image.rect(), g);
    p.setPen(QPen(QColor(255, 255, 255, 40), height / 6.0));
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(width * 0.85, height * 0.5), height * (0.4 + i * 0.35),
                      height * (0.4 + i * 0.35));
    p.save();
    p.translate(height * 0.2, height * 0.15);
    p.scale(height * 0.7 / 16.0, height * 0.7 / 16.0);
    TreeIcon(0)(p);
    p.restore();
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(height * 2 / 5);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(height * 1.1, 0, width, height * 0.62), Qt::AlignLeft | Qt::AlignBottom,
               QStringLiteral("nsfview"));
    QFont sub(QStringLiteral("DejaVu Sans"));
    sub.setPixelSize(height / 5);
    p.setFont(sub);
    p.setPen(QColor(0xD6, 0xEA, 0xF8));
    p.drawText(QRectF(height * 1.1, height * 0.64, width, height * 0.36), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("Notes mail databases to Outlook PST"));
    return image;
}

bool Save(const QImage& image, const QString& path) {
    if (image.save(path)) return true;
    QTextStream(stderr) << "cannot write " << path << '\n';
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    bool ok = true;
    for (int i = 0; i < 18; ++i) {
        const QString base = QStringLiteral("tree_%1").arg(i, 2, 10, QLatin1Char('0'));
        ok = Save(Render(16, TreeIcon(i)), out.filePath(base + QStringLiteral(".png"))) && ok;
        ok = Save(Render(32, TreeIcon(i)), out.filePath(base + QStringLiteral("@2x.png"))) && ok;
    }
    for (const char* name :
         {"export", "close", "stop", "help", "browse", "add", "remove", "ok", "settings", "clip"}) {
        const QString base = QString::fromLatin1(name);
        ok = Save(Render(16, ButtonIcon(base)), out.filePath(base + QStringLiteral(".png"))) && ok;
        ok = Save(Render(32, ButtonIcon(base)), out.filePath(base + QStringLiteral("@2x.png"))) && ok;
    }
    ok = Save(Banner(750, 75), out.filePath(QStringLiteral("banner.png"))) && ok;
    ok = Save(Banner(1500, 150), out.filePath(QStringLiteral("banner@2x.png"))) && ok;
    return ok ? 0 : 1;
}
