#include "entry/entry_point.h"

int wmain(int argc, wchar_t* argv[]) { return entry::RunMain(argc, argv); }
