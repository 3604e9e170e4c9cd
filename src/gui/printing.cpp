#include "gui/printing.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QStringList>

#include "gui/qtext.h"
#include "base/codepage.h"

namespace orbisk {

namespace {

QStringList oemLines(const std::string& oem) {
    QStringList lines;
    std::size_t pos = 0;
    while (pos < oem.size()) {
        std::size_t end = oem.find("\r\n", pos);
        if (end == std::string::npos) end = oem.size();
        lines << toQString(oemToAnsi(std::string_view(oem).substr(pos, end - pos)));
        pos = end + 2;
    }
    return lines;
}

}  // namespace

bool printOemText(const std::string& oem, QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    // 80 columns across the printable width, at most 10 points.
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    font.setPointSizeF(10);
    painter.setFont(font);
    const qreal width80 = QFontMetricsF(font, &printer).horizontalAdvance(QString(80, QLatin1Char('M')));
    if (width80 > page.width() && width80 > 0) {
        font.setPointSizeF(10 * page.width() / width80);
        painter.setFont(font);
    }
    const QFontMetricsF metrics(font, &printer);
    const qreal lineHeight = metrics.lineSpacing();
    const int perPage = std::max(1, static_cast<int>(page.height() / lineHeight));

    const QStringList lines = oemLines(oem);
    int onPage = 0;
    for (const QString& line : lines) {
        if (onPage == perPage) {
            if (!printer.newPage()) {
                painter.end();
                return false;
            }
            onPage = 0;
        }
        painter.drawText(QPointF(0, onPage * lineHeight + metrics.ascent()), line);
        ++onPage;
    }
    return painter.end() && printer.printerState() != QPrinter::Error &&
           printer.printerState() != QPrinter::Aborted;
}

bool saveOemText(const std::string& oem, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const bool whole = file.write(oem.data(), static_cast<qint64>(oem.size())) == static_cast<qint64>(oem.size());
    return file.flush() && whole;
}

}  // namespace orbisk
