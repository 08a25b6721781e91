#pragma once

#include <QString>

#include <string>
#include <string_view>

#include "res/Cp932.h"

namespace kestrel {

// Where Qt shows or edits text: CP932 bytes <-> QString.
inline QString fromSjis(std::string_view cp932) {
    return QString::fromStdString(cp932ToUtf8(cp932));
}
inline std::string toSjis(const QString& text) {
    return utf8ToCp932(text.toStdString());
}

}  // namespace kestrel
