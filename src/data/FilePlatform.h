#pragma once

#include <filesystem>
#include <system_error>

// The file operations that each system does its own way; everything else
// about files goes through Qt or std::filesystem.
namespace FilePlatform {

// Puts `from` in the place of `to` in one step (replacing a file there) and
// the folder's new entry on the disk, so that a device unplugged right after
// holds the new file, and one unplugged during the step the old file or the
// new one. The system's error, or none.
std::error_code replaceDurably(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace FilePlatform
