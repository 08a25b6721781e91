#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace kestrel {

// A file is saved by writing it whole into a copy beside it (mkstemp's name) and renaming the
// copy over it; a kill between the two leaves the copy behind. Removes, in dir, the plain files
// whose names `isCopy` accepts (never a directory, link or device that happens to carry such a
// name) and returns how many went.
std::size_t RemoveStaleCopies(const std::string& dir,
                              const std::function<bool(std::string_view name)>& isCopy);

// The directory part of a file path: "." for a bare name, "/" for a file at the root.
std::string DirectoryOf(const std::string& path);

}  // namespace kestrel
