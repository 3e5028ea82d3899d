#pragma once
// The codec tool's commands, apart from main so that tests can run them:
//
//   compress IN OUT     decompress IN OUT     inspect [--verbose] IN     --help
//
// "-" as IN or OUT is the console's input or output. Exit status 0 on success
// and for --help; 1 with one line on `err` when a file cannot be read or
// written, is the input named again as the output, is larger than a command
// takes or a stream is malformed, leaving no OUT behind; 2 on wrong usage, with
// a line that names what was wrong and the usage.
#include <cstdio>
#include <span>
#include <string_view>

namespace qx::codectool {

struct Console {
  std::FILE* in;
  std::FILE* out;
  std::FILE* err;
};

int runCommand(std::span<const std::string_view> args, const Console& console);

}  // namespace qx::codectool
