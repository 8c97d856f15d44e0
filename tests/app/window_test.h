#pragma once
// A real window for each test, answered by scripted dialogs.

#include <QCoreApplication>
#include <QSettings>
#include <QString>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <memory>
#include <optional>
#include <string>

#include "app/torvane_service.h"
#include "scripted_dialogs.h"

// Readable QStrings in test messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace tscard::app::test {

class WindowTest : public ::testing::Test {
protected:
    // Each test starts with no streams opened before.
    void SetUp() override {
        QSettings().clear();
        Open();
    }
    void TearDown() override {
        window_.reset();
        EXPECT_TRUE(dialogs_.Unexpected().empty()) << dialogs_.Unexpected().front();
    }

    void Open() {
        window_ = std::make_unique<TTorvaneService>(dialogs_);
        window_->show();
        QCoreApplication::processEvents();
    }

    TTorvaneService& Window() { return *window_; }
    AppState& State() { return window_->State(); }

    template <typename T = QObject>
    T* Find(const char* name) {
        T* found = window_->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    ScriptedDialogs dialogs_;
    std::unique_ptr<TTorvaneService> window_;
};

// Sets the locale variables for the scope of a test; unset ones are removed.
class ScopedLocale {
public:
    ScopedLocale(const char* lc_all, const char* lc_messages, const char* lang) {
        Set("LC_ALL", lc_all);
        Set("LC_MESSAGES", lc_messages);
        Set("LANG", lang);
    }
    ~ScopedLocale() {
        for (auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

private:
    void Set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace tscard::app::test
