// The drawn image list, and the file dialogs' filters.

#include <gtest/gtest.h>

#include <QImage>

#include <set>

#include "app/dialogs.h"
#include "app/file_filter.h"
#include "app/images.h"

namespace tscard::app::test {
namespace {

TEST(ImageList, TwelveDifferentDrawnPictures) {
    std::vector<QImage> images;
    for (int index = 0; index < kListImageCount; ++index) {
        const QImage image = ListPixmap(index, 16).toImage();
        // Something was drawn: not every pixel alike.
        std::set<QRgb> colours;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
        EXPECT_GT(colours.size(), 3u) << index;
        for (std::size_t other = 0; other < images.size(); ++other)
            EXPECT_NE(image, images[other]) << index << " and " << other;
        images.push_back(image);
    }
}

TEST(FileFilters, TheDialogsFiltersInQtsForm) {
    const QStringList streams = QtNameFilters(kStreamFilter);
    ASSERT_EQ(streams.size(), 7);
    EXPECT_EQ(streams[0], "(m2t,m2ts,h264,mpg,ts) (*.m2t *.m2ts *.h264 *.mpg *.ts)");
    EXPECT_EQ(streams[3], "h264 (*.h264)");
    // "*.*" is every file, names without a dot included.
    EXPECT_EQ(streams[6], "all (*)");
    EXPECT_EQ(QtNameFilters(kSaveStreamFilter),
              QStringList({"m2ts (*.m2ts)", "m4ts (*.m4ts)", "mpg (*.mpg)", "ts (*.ts)", "all (*)"}));
    EXPECT_TRUE(QtNameFilters("").isEmpty());
}

}  // namespace
}  // namespace tscard::app::test
