#pragma once

namespace entry {

// Exit code of "-isSAUEnabled" when silent auto-update is enabled.
inline constexpr int kSilentAutoUpdateEnabledExitCode = 1001;

// The whole run of the program: wmain forwards to it. Element 0 of the vector
// is the program name, element 1 the switch; further elements are ignored.
int RunMain(int argumentCount, wchar_t** arguments);

}  // namespace entry
