#include "ruv/platform/MemoryStream.h"

#include <gtest/gtest.h>

namespace ruv {
namespace {

TEST(TMemoryStream, WriteReadSeek) {
  TMemoryStream s;
  EXPECT_EQ(s.Write("hello"), 5u);
  EXPECT_EQ(s.Position(), 5);
  s.Seek(-2, TMemoryStream::Origin::End);
  s.Write("LOO");
  EXPECT_EQ(s.Bytes(), "helLOO");
  s.Seek(8);
  s.Write("!");
  EXPECT_EQ(s.Bytes(), std::string("helLOO\0\0!", 9));

  char buf[4] = {};
  s.Seek(1);
  EXPECT_EQ(s.Read(buf, 3), 3u);
  EXPECT_EQ(std::string(buf, 3), "elL");
  EXPECT_EQ(s.Seek(2, TMemoryStream::Origin::Current), 6);
  s.Seek(20);
  EXPECT_EQ(s.Read(buf, 4), 0u);
  EXPECT_THROW(s.Seek(-1), Exception);

  TMemoryStream fromBytes(std::string("abc"));
  EXPECT_EQ(fromBytes.Position(), 0);
  EXPECT_EQ(fromBytes.Size(), 3);
  fromBytes.Clear();
  EXPECT_EQ(fromBytes.Size(), 0);
}

}  // namespace
}  // namespace ruv
