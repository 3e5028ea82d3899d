#include "quendrilax-codec/whole_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
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

void Unmap::operator()(std::uint8_t*) const {
  if (mapping != nullptr) ::munmap(mapping, length);
}

Buffer allocateBuffer(std::size_t size) {
  constexpr std::size_t kLargePage = std::size_t{2} << 20;
  // At least one byte, so that an empty file still has a buffer to point at;
  // a large page's worth more, so that the buffer can start on one.
  const std::size_t length = std::max<std::size_t>(size, 1) + kLargePage;
  void* mapping =
      ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) throw std::bad_alloc();
  const auto start =
      (reinterpret_cast<std::uintptr_t>(mapping) + kLargePage - 1) & ~(kLargePage - 1);
  auto* bytes = reinterpret_cast<std::uint8_t*>(start);
  // Only a hint: without large pages the buffer works the same, more slowly.
  ::madvise(bytes, length - (start - reinterpret_cast<std::uintptr_t>(mapping)), MADV_HUGEPAGE);
  return {std::unique_ptr<std::uint8_t[], Unmap>(bytes, Unmap{mapping, length}), size};
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
