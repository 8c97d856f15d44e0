// Saves a picture of the window for every scene, in English and in Russian:
//     tscard_screenshots OUTDIR [SCENE...]
// Each picture shows the window's client area under a plain title bar that
// carries the window's caption.

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <set>
#include <string>

#include "app/qt_dialogs.h"
#include "app/torvane_service.h"
#include "scene.h"
#include "scripted_dialogs.h"

namespace {

using namespace tscard::app;

// A window's picture under a plain title bar with its caption.
QImage WithTitle(QWidget& window) {
    const QPixmap client = window.grab();
    const int title_height = window.fontMetrics().height() + 12;
    QImage image(client.width(), client.height() + title_height, QImage::Format_ARGB32);
    image.fill(QColor(0x2d, 0x2d, 0x30));
    QPainter painter(&image);
    QFont bold = window.font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(Qt::white);
    painter.drawText(QRect(10, 0, client.width() - 20, title_height), Qt::AlignVCenter | Qt::AlignLeft,
                     window.windowTitle());
    painter.drawPixmap(0, title_height, client);
    return image;
}

bool Shoot(const test::Scene& scene, const char* lang, const QDir& out) {
    // The window chooses its language from the locale when it opens.
    const bool russian = std::string(lang) == "ru";
    setenv("LC_ALL", russian ? "ru_RU.UTF-8" : "C", 1);
    // Numbers as that system writes them (Qt reads the system's once).
    QLocale::setDefault(russian ? QLocale(QLocale::Russian, QLocale::Russia) : QLocale::c());
    test::ScriptedDialogs dialogs;
    TTorvaneService window(dialogs);
    window.show();
    QCoreApplication::processEvents();
    const std::string refused = scene.Set(window, dialogs);
    if (!refused.empty()) {
        std::cerr << scene.Name << "-" << lang << ": skipped: " << refused << "\n";
        return false;
    }
    QCoreApplication::processEvents();
    for (const std::string& question : dialogs.Unexpected())
        std::cerr << scene.Name << "-" << lang << ": unanswered " << question << "\n";
    QImage picture = WithTitle(window);
    if (scene.ShowsQuestion) {
        if (dialogs.Questions().empty()) {
            std::cerr << scene.Name << "-" << lang << ": skipped: no question was put\n";
            return false;
        }
        // The message box as QtDialogs shows it, over the middle of the window.
        const std::unique_ptr<QMessageBox> box = NewMessageBox(dialogs.Questions().back().Message, &window);
        box->show();
        QCoreApplication::processEvents();
        const QImage question = WithTitle(*box);
        QPainter painter(&picture);
        painter.setPen(QColor(0x2d, 0x2d, 0x30));
        const QPoint at((picture.width() - question.width()) / 2, (picture.height() - question.height()) / 2);
        painter.drawImage(at, question);
        painter.drawRect(QRect(at, question.size()).adjusted(0, 0, -1, -1));
        box->hide();
    }
    const QString file = out.filePath(QString::fromStdString(scene.Name) + "-" + lang + ".png");
    if (!picture.save(file)) {
        std::cerr << "cannot write " << file.toStdString() << "\n";
        return false;
    }
    std::cout << file.toStdString() << "\n";
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: tscard_screenshots OUTDIR [SCENE...]\n";
        return 2;
    }
    // Settings of its own: the start screen lists what the scenes open.
    QTemporaryDir settings;
    if (!settings.isValid()) return 1;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setOrganizationName("tscard");
    QApplication::setApplicationName("tscard");
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::cerr << "cannot create " << argv[1] << "\n";
        return 1;
    }
    std::set<std::string> wanted(argv + 2, argv + argc);
    bool all_saved = true;
    for (const test::Scene& scene : test::AllScenes()) {
        if (!wanted.empty() && !wanted.contains(scene.Name)) continue;
        for (const char* lang : {"en", "ru"}) all_saved = Shoot(scene, lang, out) && all_saved;
    }
    return all_saved ? 0 : 1;
}
