#pragma once
// One window per user session. The first start listens on a local socket
// named "zidov idez" in the user's runtime folder (XDG_RUNTIME_DIR); a
// later start asks it to show its window (and to open the file it was
// given) and exits. A socket nobody listens on any more (the first
// instance died) is taken over; one that a live first instance holds never
// is.
//
// The first instance answers a request as soon as it has read it, before
// anything it asks for happens: the window shows itself and opens the file
// later, from the event loop, so an alert it raises for the request never
// holds the answer back and never outlives the connection it came on.

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <string>

namespace tscard::app {

constexpr const char* kInstanceName = "zidov idez";
// How long a later start waits to connect, and then for the answer.
constexpr int kInstanceAnswerMs = 5000;

enum class OtherInstance {
    Shown,    // a first instance answered and shows its window
    None,     // nobody listens: start normally and listen
    Silent,   // something holds the name but did not answer (Why says more)
};

class SingleInstance final : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(const QString& name = kInstanceName, QObject* parent = nullptr);

    // The socket's path in the runtime folder.
    QString Path() const { return path_; }

    // Asks a running first instance to show its window, and to open `file`
    // (a full path, file-system bytes) when one is given.
    OtherInstance AskToShow(int timeout_ms = kInstanceAnswerMs, const std::string& file = {});
    // After Silent: what went wrong, for the operator ("the window of
    // process 1234 did not answer within 5 s").
    const std::string& Why() const { return why_; }
    // Listens as the first instance, replacing a socket left behind; false
    // when the name cannot be taken, a live first instance holding it
    // among the reasons.
    bool Listen();

signals:
    // A later start asked for the window. Emitted from the event loop after
    // the later start has had its answer.
    void ShowRequested();
    // A later start was given this file (after ShowRequested).
    void OpenRequested(const std::string& file);

private:
    void OnConnection();

    QString path_;
    QLocalServer server_;
    std::string why_;
};

}  // namespace tscard::app
