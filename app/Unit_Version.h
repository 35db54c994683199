#pragma once
// The program's version string, "2.2.6.0", compiled in from the project version in CMake.

#include <QString>

namespace r2 {

QString GetFileVersionText();

} // namespace r2
