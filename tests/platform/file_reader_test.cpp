#include "platform/file_reader.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace {

std::string ReadUpTo(platform::FileReader& reader, std::size_t size) {
  std::string out(size, '\0');
  auto n = reader.Read(out.data(), out.size());
  if (!n) return "<error>";
  out.resize(*n);
  return out;
}

TEST(FileReader, SeeksWithinTheFile) {
  TempFolder dir;
  platform::FileReader reader;
  ASSERT_TRUE(reader.Open(dir.Write("f.bin", "0123456789")));
  EXPECT_EQ(reader.Size(), 10u);
  ASSERT_TRUE(reader.Seek(7));
  EXPECT_EQ(ReadUpTo(reader, 100), "789");
  ASSERT_TRUE(reader.Seek(2));
  EXPECT_EQ(ReadUpTo(reader, 3), "234");
  ASSERT_TRUE(reader.Seek(10));
  EXPECT_EQ(ReadUpTo(reader, 5), "");
  EXPECT_FALSE(reader.Seek(11));
  reader.Close();
  EXPECT_FALSE(reader.Seek(0));
}

}  // namespace
