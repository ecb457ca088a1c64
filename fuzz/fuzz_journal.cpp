// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the journal reader: the input is the content of "pw.dat". It is read
// through the real text-mode file access, parsed, formatted and parsed again, and loaded and
// saved through JournalFile with the test fakes; the load check must find what the load leaves
// out of it, and nothing in any journal this program writes. Every property in journalchecks.h
// must hold.

#include "journalchecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The journal lives in the working directory, so each input is checked inside a scratch folder
// of this process's own. libFuzzer itself, which writes corpus inputs and crash reports by
// the paths it was given, always runs in the folder it was started in.
int startFolder = -1;
int scratchFolder = -1;

void Fail(const char *what)
{
    std::perror(what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The scratch folder holds one small file and stays behind in the temporary folder.
    const char *base = std::getenv("TMPDIR");
    std::string folder = std::string(base && *base ? base : "/tmp") + "/fuzz_journal.XXXXXX";
    if (!::mkdtemp(folder.data()))
        Fail("fuzz_journal: cannot make a scratch folder");
    startFolder = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    scratchFolder = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (startFolder < 0 || scratchFolder < 0)
        Fail("fuzz_journal: cannot open the working folders");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (::fchdir(scratchFolder) != 0)
        Fail("fuzz_journal: cannot enter the scratch folder");
    const Text failure =
        fuzzchecks::CheckJournalBytes({reinterpret_cast<const char *>(data), size});
    if (::fchdir(startFolder) != 0)
        Fail("fuzz_journal: cannot return to the start folder");
    if (!failure.empty()) {
        std::fprintf(stderr, "fuzz_journal: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
