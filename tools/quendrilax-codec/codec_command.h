#pragma once
// The codec tool's commands, apart from main so that tests can run them:
//
//   compress IN OUT     decompress IN OUT     inspect IN
//
// Exit status 0 on success; 1 with one line on `err` when a file cannot be
// read or written or a stream is malformed, leaving no OUT behind; 2 on wrong
// usage.
#include <cstdio>
#include <span>
#include <string_view>

namespace qx::codectool {

int runCommand(std::span<const std::string_view> args, std::FILE* out, std::FILE* err);

}  // namespace qx::codectool
