#include "quendrilax-codec/whole_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <random>
#include <utility>
#include <vector>

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

namespace {

// What a path that cannot be read whole is instead, for the error line.
const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISFIFO(mode)) return "a pipe";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISLNK(mode)) return "a symbolic link";
  return "not a regular file";
}

std::string tooLarge(const std::string& path, std::size_t limit) {
  return "cannot read " + path + ": larger than " + std::to_string(limit) +
         " bytes, the most this command takes";
}

// Reads `size` bytes into a new buffer; fewer means the file shrank meanwhile.
std::expected<Buffer, std::string> readExactly(int fd, std::size_t size, const std::string& path) {
  Buffer buffer = allocateBuffer(size);
  // One read gets a regular file whole; the loop only covers a read that the
  // system cuts short.
  std::size_t done = 0;
  while (done < buffer.size) {
    const ssize_t got = ::read(fd, buffer.bytes.get() + done, buffer.size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::unexpected(because("cannot read", path, errno));
    if (got == 0) return std::unexpected(path + " changed while it was read");
    done += static_cast<std::size_t>(got);
  }
  return buffer;
}

// A pipe or terminal states no size: it is read to its end in pieces.
std::expected<Buffer, std::string> readToEnd(int fd, std::size_t limit) {
  const std::string name = "standard input";
  std::vector<std::uint8_t> bytes;
  std::uint8_t piece[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, piece, sizeof piece);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::unexpected(because("cannot read", name, errno));
    if (got == 0) break;
    if (bytes.size() + static_cast<std::size_t>(got) > limit) {
      return std::unexpected(tooLarge(name, limit));
    }
    bytes.insert(bytes.end(), piece, piece + got);
  }
  Buffer buffer = allocateBuffer(bytes.size());
  std::copy(bytes.begin(), bytes.end(), buffer.bytes.get());
  return buffer;
}

}  // namespace

std::expected<Buffer, std::string> readWholeFile(const std::string& path, std::size_t limit,
                                                 int standardIn) {
  struct stat info {};
  if (path == kStandardStream) {
    if (::fstat(standardIn, &info) != 0) {
      return std::unexpected(because("cannot read", "standard input", errno));
    }
    if (!S_ISREG(info.st_mode)) return readToEnd(standardIn, limit);
    // Redirected from a file: its size is known, and what is left of it from
    // the current offset is the input.
    const off_t at = ::lseek(standardIn, 0, SEEK_CUR);
    const auto left = static_cast<std::size_t>(info.st_size - std::max<off_t>(at, 0));
    if (left > limit) return std::unexpected(tooLarge("standard input", limit));
    return readExactly(standardIn, left, "standard input");
  }
  Descriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) return std::unexpected(because("cannot read", path, errno));
  if (::fstat(in.get(), &info) != 0) return std::unexpected(because("cannot read", path, errno));
  if (S_ISDIR(info.st_mode)) return std::unexpected(because("cannot read", path, EISDIR));
  if (!S_ISREG(info.st_mode)) {
    return std::unexpected("cannot read " + path + ": " + kindOf(info.st_mode) +
                           ", not a file (use - to read standard input)");
  }
  if (static_cast<std::uintmax_t>(info.st_size) > limit)
    return std::unexpected(tooLarge(path, limit));
  return readExactly(in.get(), static_cast<std::size_t>(info.st_size), path);
}

bool sameFile(const std::string& input, const std::string& output) {
  if (input == kStandardStream || output == kStandardStream) return false;
  struct stat in {};
  struct stat out {};
  return ::stat(input.c_str(), &in) == 0 && ::stat(output.c_str(), &out) == 0 &&
         in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

namespace {

std::expected<void, std::string> writeAll(int fd, std::span<const std::uint8_t> bytes,
                                          const std::string& name) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return std::unexpected(because("cannot write", name, put < 0 ? errno : EIO));
    done += static_cast<std::size_t>(put);
  }
  return {};
}

}  // namespace

namespace {

// Where a result goes. A regular file, or a name that holds nothing yet, is
// replaced whole by a rename; a character device or a pipe cannot be
// replaced (a FIFO's reader would wait for ever, /dev/stdout would become a
// file), so it takes the bytes in place, as a shell's redirection would.
struct Destination {
  std::string path;  // a symbolic link resolved to what it names
  bool inPlace = false;
};

std::expected<Destination, std::string> destinationOf(const std::string& target) {
  struct stat info {};
  if (::lstat(target.c_str(), &info) != 0) {
    // Nothing there yet: making the new file says why it cannot be made.
    if (errno == ENOENT || errno == ENOTDIR) return Destination{target, false};
    return std::unexpected(because("cannot write", target, errno));
  }
  std::string path = target;
  if (S_ISLNK(info.st_mode)) {
    // Followed, so that the link stays a link and what it names gets the
    // result; a link to nothing is refused rather than guessed at.
    if (::stat(target.c_str(), &info) != 0) {
      if (errno == ENOENT) {
        return std::unexpected("cannot write " + target +
                               ": a symbolic link to a file that does not exist");
      }
      return std::unexpected(because("cannot write", target, errno));
    }
    if (S_ISREG(info.st_mode)) {
      char resolved[PATH_MAX];
      if (::realpath(target.c_str(), resolved) == nullptr) {
        return std::unexpected(because("cannot write", target, errno));
      }
      path = resolved;
    }
  }
  if (S_ISREG(info.st_mode)) return Destination{path, false};
  if (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)) return Destination{target, true};
  if (S_ISDIR(info.st_mode)) return std::unexpected(because("cannot replace", target, EISDIR));
  return std::unexpected("cannot write " + target + ": " + kindOf(info.st_mode) +
                         "; the output is a file, a character device or a pipe");
}

std::expected<void, std::string> writeInPlace(const std::string& target,
                                              std::span<const std::uint8_t> bytes) {
  Descriptor out(::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
  if (out.get() < 0) return std::unexpected(because("cannot write", target, errno));
  if (auto written = writeAll(out.get(), bytes, target); !written) return written;
  if (out.release() != 0) return std::unexpected(because("cannot write", target, errno));
  return {};
}

}  // namespace

std::expected<void, std::string> writeBeside(const std::string& target,
                                             std::span<const std::uint8_t> bytes, int standardOut) {
  if (target == kStandardStream) return writeAll(standardOut, bytes, "standard output");
  const auto destination = destinationOf(target);
  if (!destination) return std::unexpected(destination.error());
  if (destination->inPlace) return writeInPlace(target, bytes);
  const std::string& path = destination->path;
  std::random_device seed;
  const std::string temp = path + ".tmp" + std::to_string(seed());
  Descriptor out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (out.get() < 0) return std::unexpected(because("cannot create", target, errno));
  auto failed = [&temp](std::string why) {
    ::unlink(temp.c_str());
    return std::unexpected(std::move(why));
  };
  if (auto written = writeAll(out.get(), bytes, target); !written) return failed(written.error());
  if (out.release() != 0) return failed(because("cannot write", target, errno));
  // Only a regular file is ever renamed over: what took the name while the
  // result was written is left as it is.
  struct stat now {};
  if (::lstat(path.c_str(), &now) == 0 && !S_ISREG(now.st_mode)) {
    return failed("cannot replace " + target + ": it became " + kindOf(now.st_mode) +
                  " while the result was written");
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    return failed(because("cannot replace", target, errno));
  }
  return {};
}

}  // namespace qx::codectool
