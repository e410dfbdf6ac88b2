# Shared part of the mingw-w64 toolchain files. The including file sets
# NIMBRA_MINGW_PREFIX (the target triple) and CMAKE_SYSTEM_PROCESSOR.
# The -posix compilers carry the C++ thread support (std::mutex) that
# GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${NIMBRA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NIMBRA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${NIMBRA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NIMBRA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine, with the loader for this processor.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine-run.sh;${CMAKE_SYSTEM_PROCESSOR})
