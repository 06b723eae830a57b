// A table file is asked for at every look-up: a file changed, replaced or
// removed between two look-ups is seen by the second one.
#include <gtest/gtest.h>

#include "core/ttabr1.h"
#include "table_files.h"

using namespace tralvik;
using tralvik::testing::TempFolder;

TEST(TableReread, AChangedFileIsReadAnew) {
    TempFolder t;
    Sim s;
    s.Progmapp = t.dir();
    std::string path = t.Write("V.TAB", "TAB 1\r\nv F\r\n0 0\r\n10 100\r\n20 300\r\n\r\n");
    // x = 15 between (10, 100) and (20, 300): 100 + 200 * 5/10 = 200.
    EXPECT_EQ(TABR1(s, path, "1", 'i', 15, 1), 200);
    // Same length, new values: 100 + (500 - 100) * 5/10 = 300.
    t.Write("V.TAB", "TAB 1\r\nv F\r\n0 0\r\n10 100\r\n20 500\r\n\r\n");
    EXPECT_EQ(TABR1(s, path, "1", 'i', 15, 1), 300);
    std::filesystem::remove(path);
    EXPECT_THROW(TABR1(s, path, "1", 'i', 15, 1), IoError);
}
