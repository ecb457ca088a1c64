// libFuzzer target for the journal reader: the input is the content of "pw.dat". It is read
// through the real text-mode file access, parsed, formatted and parsed again, and loaded and
// saved through JournalFile with the test fakes; every property in journalchecks.h must hold.

#include "journalchecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The journal lives in the working directory, so each fuzzing process gets a folder of its
    // own; it holds one small file and stays behind in the temporary folder.
    const char *base = std::getenv("TMPDIR");
    std::string folder = std::string(base && *base ? base : "/tmp") + "/fuzz_journal.XXXXXX";
    if (!::mkdtemp(folder.data()) || ::chdir(folder.c_str()) != 0) {
        std::perror("fuzz_journal: cannot make a private working folder");
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Text failure =
        fuzzchecks::CheckJournalBytes({reinterpret_cast<const char *>(data), size});
    if (!failure.empty()) {
        std::fprintf(stderr, "fuzz_journal: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
