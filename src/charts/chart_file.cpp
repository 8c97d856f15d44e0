#include "charts/chart_file.h"

#include <QApplication>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "charts/check_charts.h"

namespace tscard::charts {
namespace {

constexpr int kHeaderHeight = 44;
constexpr int kChartCount = 3;

// The drawing's own application while the caller runs none: Qt's
// offscreen platform, whatever display there is. An application without
// a graphical side (QCoreApplication) cannot draw, and no second one can
// be made beside it.
class DrawingApp {
public:
    DrawingApp() {
        if (QCoreApplication::instance() == nullptr) app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    bool CanDraw() const { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

private:
    char name_[11] = "tscard-cli";
    char option_[10] = "-platform";
    char platform_[10] = "offscreen";
    char* argv_[4] = {name_, option_, platform_, nullptr};
    int argc_ = 3;
    std::unique_ptr<QApplication> app_;
};

bool EndsWith(const std::string& path, const std::string& tail) {
    if (path.size() <= tail.size()) return false;
    return std::equal(tail.rbegin(), tail.rend(), path.rbegin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

int PictureHeight() { return kHeaderHeight + kChartCount * kChartHeight; }

// The file's name above the charts, the charts one under the other.
void Draw(QPainter& painter, const CheckResult& r, lang::Language language) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRect(0, 0, kPictureWidth, PictureHeight()), Qt::white);
    QFont font = painter.font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QString name = QString::fromStdString(std::filesystem::path(r.Path).filename().string());
    painter.drawText(QRect(16, 0, kPictureWidth - 32, kHeaderHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(name, Qt::ElideMiddle, kPictureWidth - 32));

    QGraphicsScene scene;
    std::unique_ptr<QChart> charts[kChartCount] = {BitrateChart(r, language), PcrChart(r, language),
                                                   DelayChart(r, language)};
    for (int i = 0; i < kChartCount; ++i) {
        QChart* chart = charts[i].release();  // the scene owns it from here
        scene.addItem(chart);
        chart->setGeometry(QRectF(0, i * kChartHeight, kPictureWidth, kChartHeight));
    }
    const QRectF area(0, 0, kPictureWidth, kChartCount * kChartHeight);
    scene.setSceneRect(area);
    scene.render(&painter, area.translated(0, kHeaderHeight), area);
}

Status Failed(const std::string& path, const QSaveFile& file) {
    return Status::Fail(path + ": cannot write the charts (" + file.errorString().toStdString() + ")");
}

}  // namespace

bool IsChartFileName(const std::string& path) { return EndsWith(path, ".png") || EndsWith(path, ".svg"); }

Status WriteCheckCharts(const CheckResult& r, const std::string& path, lang::Language language) {
    if (!IsChartFileName(path)) return Status::Fail(path + ": a chart file's name ends in .png or .svg");
    DrawingApp app;
    if (!app.CanDraw()) return Status::Fail(path + ": cannot draw the charts: the running Qt application has no widgets");
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) return Failed(path, file);
    if (EndsWith(path, ".svg")) {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(QSize(kPictureWidth, PictureHeight()));
        svg.setViewBox(QRect(0, 0, kPictureWidth, PictureHeight()));
        svg.setTitle(QString::fromStdString(std::filesystem::path(r.Path).filename().string()));
        QPainter painter(&svg);
        Draw(painter, r, language);
    } else {
        QImage image(kPictureWidth, PictureHeight(), QImage::Format_ARGB32_Premultiplied);
        {
            QPainter painter(&image);
            Draw(painter, r, language);
        }
        if (!image.save(&file, "PNG")) return Failed(path, file);
    }
    if (!file.commit()) return Failed(path, file);
    return Status::Ok();
}

}  // namespace tscard::charts
