#include "Platform/StandardOutput.h"

#if defined(__unix__)
#include <unistd.h>
#endif

std::FILE* SetStandardOutputAside()
{
#if defined(__unix__)
    // Whatever was printed before goes where it was meant to.
    std::fflush(stdout);
    const int kept = dup(STDOUT_FILENO);
    if (kept < 0)
        return nullptr;
    std::FILE* result = fdopen(kept, "w");
    if (result == nullptr) {
        close(kept);
        return nullptr;
    }
    if (dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::fclose(result);
        return nullptr;
    }
    return result;
#else
    return nullptr;
#endif
}
