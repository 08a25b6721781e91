#pragma once

#include <string>

namespace kestrel {

// The directory beside the executable where the program keeps its files (logs, watch list,
// old settings file, chat history, help page): the executable's directory, unless the
// environment variable KESTREL_HOME names another one. No trailing separator.
std::string ProgramDir();

// ProgramDir() + "/" + name.
std::string ProgramFile(const std::string& name);

}  // namespace kestrel
