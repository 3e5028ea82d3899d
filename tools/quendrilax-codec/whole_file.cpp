#include "quendrilax-codec/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>

namespace qx::codectool {

namespace {

std::string because(const std::string& what, const std::string& path, int error) {
  return what + " " + path + ": " + std::strerror(error);
}

// Closes the descriptor it holds when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // The close's own result: a write may be reported as failed only here.
  int release() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

}  // namespace

Buffer allocateBuffer(std::size_t size) {
  // At least one byte, so that an empty file still has a buffer to point at.
  return {std::make_unique_for_overwrite<std::uint8_t[]>(size == 0 ? 1 : size), size};
}

std::expected<Buffer, std::string> readWholeFile(const std::string& path) {
  Descriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) return std::unexpected(because("cannot read", path, errno));
  struct stat info {};
  if (::fstat(in.get(), &info) != 0) return std::unexpected(because("cannot read", path, errno));
  if (!S_ISREG(info.st_mode)) {
    return std::unexpected(because("cannot read", path, S_ISDIR(info.st_mode) ? EISDIR : EINVAL));
  }
  Buffer buffer = allocateBuffer(static_cast<std::size_t>(info.st_size));
  // One read gets a regular file whole; the loop only covers a read that the
  // system cuts short.
  std::size_t done = 0;
  while (done < buffer.size) {
    const ssize_t got = ::read(in.get(), buffer.bytes.get() + done, buffer.size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::unexpected(because("cannot read", path, errno));
    if (got == 0) return std::unexpected(path + " changed while it was read");
    done += static_cast<std::size_t>(got);
  }
  return buffer;
}

std::expected<void, std::string> writeBeside(const std::string& target,
                                             std::span<const std::uint8_t> bytes) {
  std::random_device seed;
  const std::string temp = target + ".tmp" + std::to_string(seed());
  Descriptor out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (out.get() < 0) return std::unexpected(because("cannot create", target, errno));
  auto failed = [&temp](std::string why) {
    ::unlink(temp.c_str());
    return std::unexpected(std::move(why));
  };
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(out.get(), bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return failed(because("cannot write", target, put < 0 ? errno : EIO));
    done += static_cast<std::size_t>(put);
  }
  if (out.release() != 0) return failed(because("cannot write", target, errno));
  if (std::rename(temp.c_str(), target.c_str()) != 0) {
    return failed(because("cannot replace", target, errno));
  }
  return {};
}

}  // namespace qx::codectool
