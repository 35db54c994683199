#pragma once
// The texts a command frame carries (user name, password) and the texts read from a module's
// blocks, between the window's QString and the module's bytes: GBK, the module's code page.

#include <QString>
#include <string>

namespace r2 {

// Text as the bytes a frame carries: GBK when it converts, else its UTF-8 bytes.
std::string ToFrameText(const QString& text);
// Bytes from a frame shown as text: decoded as GBK, or byte by byte when they are not GBK.
QString FromFrameText(const std::string& bytes);

} // namespace r2
