# r2_precompile_headers(std|core|widgets TARGET...)
# Gives each target a precompiled header of the standard and Qt headers nearly every one of its
# files includes: a Qt widget file spends more of its compile time reading Qt's headers than
# compiling its own code. Only targets of several files gain from it (a single file would
# compile the header once either way), so the test executables, which are unity builds or
# single files, have none. CLI11 stays out: a file that uses the header compiles every inline
# function of it again, and most of the tools' files never use it (with it, a 27-line file
# took 5 s instead of 1.3 s). CMAKE_DISABLE_PRECOMPILE_HEADERS=ON switches them off, which shows a
# missing #include that the precompiled header hides.
set(R2_PCH_STD <algorithm> <array> <cstdint> <functional> <map> <memory> <optional> <span>
               <string> <string_view> <vector>)
set(R2_PCH_CORE ${R2_PCH_STD} <QByteArray> <QObject> <QString> <QStringList> <QTimer>)
set(R2_PCH_WIDGETS ${R2_PCH_CORE} <QApplication> <QCheckBox> <QComboBox> <QDialog> <QGroupBox>
                   <QLabel> <QLineEdit> <QMessageBox> <QPushButton> <QWidget>)

function(r2_precompile_headers level)
  string(TOUPPER "${level}" level)
  if(NOT DEFINED R2_PCH_${level})
    message(FATAL_ERROR "r2_precompile_headers: no header set '${level}'")
  endif()
  foreach(target ${ARGN})
    target_precompile_headers(${target} PRIVATE ${R2_PCH_${level}})
    # Without a timestamp in the header, ccache can cache the files that use it
    # (scripts/build.sh sets the ccache sloppiness this needs).
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
      target_compile_options(${target} PRIVATE "SHELL:-Xclang -fno-pch-timestamp")
    endif()
  endforeach()
endfunction()
