// The folder part of a Linux path.
#include "win32/parent_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

TEST(ParentFolderTest, TrailingSlashesBelongToTheLastName) {
  const std::pair<std::string, std::string> cases[] = {
      {"/a/b", "/a"}, {"/a/b/", "/a"}, {"/a/b//", "/a"}, {"/a//b", "/a"}, {"/b", "/"}, {"/b/", "/"},
      {"/", "/"},     {"//", "/"},     {"b", "."},       {"b/", "."},     {"", "."},   {"a/b/", "a"},
  };
  for (const auto& [path, folder] : cases) EXPECT_EQ(win32::ParentFolder(path), folder) << path;
}
