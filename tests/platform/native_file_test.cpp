#include "platform/posix/native_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <utility>
#include <vector>

namespace {

// True while fd names an open descriptor of this process.
bool IsOpen(int fd) { return fd >= 0 && ::fcntl(fd, F_GETFD) != -1; }

struct Pipe {
  Pipe() {
    int fds[2];
    EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    read_end = fds[0];
    write_end = fds[1];
  }
  int read_end = -1;
  int write_end = -1;
};

TEST(NativeFile, ClosesWhatItOwnsOnceAndMovesOwnership) {
  Pipe pipe;
  {
    platform::NativeFile reader(pipe.read_end);
    platform::NativeFile moved(std::move(reader));
    EXPECT_FALSE(reader.valid());
    EXPECT_EQ(moved.get(), pipe.read_end);
    std::vector<platform::NativeFile> held;
    held.push_back(std::move(moved));
    EXPECT_TRUE(IsOpen(pipe.read_end));
  }
  EXPECT_FALSE(IsOpen(pipe.read_end));

  platform::NativeFile writer(pipe.write_end);
  platform::NativeFile other;
  other = std::move(writer);
  EXPECT_TRUE(other.close());
  EXPECT_FALSE(other.valid());
  EXPECT_FALSE(IsOpen(pipe.write_end));
  EXPECT_TRUE(other.close());  // nothing held: nothing to report
}

TEST(NativeFile, ReleaseGivesUpAndResetReplaces) {
  Pipe pipe;
  platform::NativeFile file(pipe.read_end);
  EXPECT_EQ(file.release(), pipe.read_end);
  EXPECT_FALSE(file.valid());
  EXPECT_TRUE(IsOpen(pipe.read_end));
  file.reset(pipe.read_end);
  file.reset(pipe.write_end);
  EXPECT_FALSE(IsOpen(pipe.read_end));
  EXPECT_TRUE(IsOpen(pipe.write_end));
  file.reset();
  EXPECT_FALSE(IsOpen(pipe.write_end));
}

}  // namespace
