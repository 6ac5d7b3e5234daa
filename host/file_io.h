// Whole small files, and the rule that a file appears only when complete:
// it is written under a temporary name beside its place and renamed there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

bool readFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// A name beside `path` that no other running host uses.
std::string temporaryPathFor(const std::string& path);
// Renames `from` onto `to`, replacing what is there.
bool replaceFile(const std::string& from, const std::string& to);
std::string systemError();

}  // namespace host
