#pragma once

// rand_s is declared when _CRT_RAND_S is defined for every source (CMake).
#include <cstdio>
#include <cstdlib>
#include <share.h>
#include <wchar.h>

namespace platform {

// The C runtime's byte file streams, used for the log file and the
// configuration file. Same shape as the Windows tables.
struct CrtApi {
  decltype(&::_wfopen) _wfopen = ::_wfopen;
  decltype(&::_wfsopen) _wfsopen = ::_wfsopen;
  decltype(&::ferror) ferror = ::ferror;
  decltype(&::fread) fread = ::fread;
  decltype(&::fwrite) fwrite = ::fwrite;
  decltype(&::fclose) fclose = ::fclose;
  decltype(&::rand_s) rand_s = ::rand_s;
};

CrtApi& Crt();

}  // namespace platform
