#include "core/paths.h"

#include <gtest/gtest.h>

namespace qz {
namespace {

TEST(PathsTest, WindowsFolderSettingsMapOntoTheInstanceFolderOrTheRoot) {
  const std::filesystem::path instance = "/srv/gsm1";
  EXPECT_EQ(folder_from_setting(instance, "\\qzt\\qzgsms"), "/qzt/qzgsms");
  EXPECT_EQ(folder_from_setting(instance, "C:\\qzt\\log"), "/qzt/log");
  EXPECT_EQ(folder_from_setting(instance, "jobs\\done\\"), "/srv/gsm1/jobs/done") << "a trailing separator names the same folder";
  EXPECT_EQ(folder_from_setting(instance, "\\"), "/");
  EXPECT_EQ(folder_from_setting(instance, "d:jobs"), "/srv/gsm1/jobs");
  EXPECT_EQ(join_folder_and_name(instance, "tables", "plant.dbf"), "/srv/gsm1/tables/plant.dbf");
  EXPECT_EQ(join_folder_and_name(instance, "tables\\", "plant.dbf"), "/srv/gsm1/tables/plant.dbf");
}

}  // namespace
}  // namespace qz
