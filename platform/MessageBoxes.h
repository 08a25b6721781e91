#pragma once

#include <string>

namespace kestrel {

enum class BoxIcon { None, Information, Warning, Question, Stop };
enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class BoxAnswer { Ok, Cancel, Yes, No };

// Message boxes of the program. Texts and captions are CP932 bytes, as everywhere inside.
// The application shows real boxes; tests answer from a script and record what was asked.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual BoxAnswer Show(const std::string& text, const std::string& caption, BoxIcon icon,
                           BoxButtons buttons = BoxButtons::Ok) = 0;
};

}  // namespace kestrel
