// quendrilax-codec: compresses and decompresses files in the attachment
// stream format, and shows what a stream holds.
//
//   quendrilax-codec compress IN OUT
//   quendrilax-codec decompress IN OUT
//   quendrilax-codec inspect [--verbose] IN
//
// "-" is standard input or output. Exit status 0 on success, 1 with one line
// on standard error when a file cannot be read or written or a stream is
// malformed, 2 on wrong usage. A file OUT is written to a temporary file
// beside it and renamed into place, so a failed run never leaves a
// half-written OUT; a device or a pipe is written in place, a symbolic link
// followed to what it names.
#include <cstdio>
#include <exception>
#include <new>
#include <string_view>
#include <vector>

#include "quendrilax-codec/codec_command.h"

int main(int argc, char** argv) {
  try {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return qx::codectool::runCommand(args, {stdin, stdout, stderr});
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "quendrilax-codec: out of memory\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quendrilax-codec: %s\n", e.what());
  }
  return 1;
}
