#pragma once
// One window per user session. The first start listens on a local socket
// named "zidov idez" in the user's runtime folder (XDG_RUNTIME_DIR); a
// later start asks it to show its window (and to open the file it was
// given) and exits. A socket nobody listens on any more (the first
// instance died) is taken over.

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <string>

namespace tscard::app {

constexpr const char* kInstanceName = "zidov idez";

enum class OtherInstance {
    Shown,    // a first instance answered and shows its window
    None,     // nobody listens: start normally and listen
    Silent,   // something listens but did not answer: start normally
};

class SingleInstance final : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(const QString& name = kInstanceName, QObject* parent = nullptr);

    // The socket's path in the runtime folder.
    QString Path() const { return path_; }

    // Asks a running first instance to show its window, and to open `file`
    // (a full path, file-system bytes) when one is given.
    OtherInstance AskToShow(int timeout_ms = 3000, const std::string& file = {});
    // Listens as the first instance, replacing a stale socket; false when
    // the name cannot be taken.
    bool Listen();

signals:
    // A later start asked for the window.
    void ShowRequested();
    // A later start was given this file (after ShowRequested).
    void OpenRequested(const std::string& file);

private:
    void OnConnection();

    QString path_;
    QLocalServer server_;
};

}  // namespace tscard::app
