# The same sources built as a 64-bit Windows program, for running the Wine test
# tiers on a machine whose kernel cannot run 32-bit programs (Wine's 32-bit
# loader is a 32-bit Linux program). The shipped executable is always the
# i686 build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(NIMBRA_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
