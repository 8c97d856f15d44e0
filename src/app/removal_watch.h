#pragma once
// The removal watch: looks at the card in use twice a second, also while a
// card job runs, and when it has gone (pulled from the reader, its image
// deleted, renamed or replaced) switches the selector to the no-card text,
// closes the card panel, stops the card job that was using it and has the
// poll look for cards again.
//
// It looks through a read-only handle of its own, so a job that has the
// card open for writing is never disturbed by it.

#include <QObject>

#include <optional>
#include <string>

#include "card/card_device.h"
#include "platform/file_identity.h"

class QTimer;

namespace tscard::app {

class TTorvaneService;

class RemovalWatch final : public QObject {
    Q_OBJECT

public:
    static constexpr int kLookMs = 400;

    RemovalWatch(TTorvaneService& window, QObject* parent);

    // Watches this card from now on. A card that does not open counts as
    // gone at the next look.
    void Watch(const std::string& identity);
    void Forget();
    const std::string& Watched() const { return identity_; }

    // One look; the timer's tick.
    void Look();

    QTimer* Timer;

private:
    bool Present();
    void Removed();

    TTorvaneService& window_;
    std::string identity_;
    CardDevice device_;
    std::optional<FileIdentity> file_;  // what the name led to when the watch began
};

}  // namespace tscard::app
