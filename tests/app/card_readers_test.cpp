// What the card selector says of a reader without a card: it asks for one.

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "card_window.h"

namespace tscard::app::test {
namespace {

class CardReaders : public CardWindowTest {
protected:
    // A USB card reader's disk as sysfs describes it, in the window's machine.
    std::filesystem::path AddReader(const char* name, const char* number, const char* sectors) {
        const std::filesystem::path disk = std::filesystem::path(std::getenv("TSCARD_SYSFS_ROOT")) / "block" / name;
        std::filesystem::create_directories(disk / "holders");
        std::filesystem::create_directories(disk / "device");
        for (auto [file, text] : {std::pair{"dev", std::string(number)}, {"removable", "1"}, {"size", sectors}})
            std::ofstream(disk / file) << text << "\n";
        std::ofstream(disk / "device" / "type") << "0\n";
        std::ofstream(disk / "device" / "vendor") << "Generic \n";
        std::ofstream(disk / "device" / "model") << "STORAGE DEVICE  \n";
        return disk;
    }
};

TEST_F(CardReaders, AnEmptyReaderAsksForACard) {
    const std::filesystem::path disk = AddReader("sdy", "8:224", "0");
    Poll();
    std::filesystem::remove_all(disk);
    EXPECT_EQ(Selector()->currentText().toStdString(), "No connect memory card");
    EXPECT_NE(Selector()->toolTip().toStdString().find(
                  "/sdy (Generic STORAGE DEVICE): no card in the reader; insert a card"),
              std::string::npos)
        << Selector()->toolTip().toStdString();
    EXPECT_TRUE(dialogs_.Questions().empty());

    // With the card in, the hint goes.
    Poll();
    EXPECT_TRUE(Selector()->toolTip().isEmpty());
}

}  // namespace
}  // namespace tscard::app::test
