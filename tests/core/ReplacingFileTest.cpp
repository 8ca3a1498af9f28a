#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/ReplacingFile.h"
#include "core/TemporaryFile.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::ReadText;
using velm::test::TempDir;

namespace {

namespace fs = std::filesystem;

// Writes `text` through a ReplacingFile: "" when committed, else its problem.
std::string Replace(const std::string& path, const std::string& text) {
    ReplacingFile file(path);
    if (!file.Stream()) return "open: " + file.Problem();
    std::fputs(text.c_str(), file.Stream());
    return file.Commit() ? "" : "commit: " + file.Problem();
}

struct stat Stat(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st;
}

std::vector<std::string> Names(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs `work` in a child that `limit` bytes of file size stop; its exit code.
int InChildWithFileLimit(rlim_t limit, const std::function<int()>& work) {
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit r{limit, limit};
        setrlimit(RLIMIT_FSIZE, &r);
        _exit(work());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

}  // namespace

TEST(ReplacingFile, KeepsModeOwnerAndLinksAndRefusesWhatItMayNotReplace) {
    TempDir dir;
    const std::string priv = dir.Write("private.pdb", "old\n");
    ::chmod(priv.c_str(), 0600);
    EXPECT_EQ(Replace(priv, "new\n"), "");
    EXPECT_EQ(Stat(priv).st_mode & 0777, 0600u);

    // Through a symbolic link: the file it names changes, the link stays.
    const std::string real = dir.Write("real.pdb", "old\n"), link = dir.File("link.pdb");
    fs::create_symlink("real.pdb", link);
    EXPECT_EQ(Replace(link, "through\n"), "");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadText(real), "through\n");

    // Hard links: every name sees the new content, on the same inode.
    const std::string first = dir.Write("first.pdb", "a much longer old content\n"), second = dir.File("second.pdb");
    fs::create_hard_link(first, second);
    const ino_t inode = Stat(first).st_ino;
    EXPECT_EQ(Replace(second, "short\n"), "");
    EXPECT_EQ(ReadText(first), "short\n");
    EXPECT_EQ(Stat(first).st_ino, inode);
    EXPECT_EQ(Stat(first).st_nlink, 2u);

    // Refused, the target as it was.
    const std::string readOnly = dir.Write("readonly.pdb", "keep\n");
    ::chmod(readOnly.c_str(), 0444);
    fs::create_directory(dir.File("folder.pdb"));
    const std::string device = "/dev/null";
    EXPECT_EQ(Replace(readOnly, "x"), "open: Permission denied");
    EXPECT_EQ(ReadText(readOnly), "keep\n");
    EXPECT_EQ(Replace(dir.File("folder.pdb"), "x"), "open: Is a directory");
    EXPECT_EQ(Replace(device, "x"), "open: Not a regular file");
    EXPECT_EQ(Replace(dir.File("no/such/x.pdb"), "x"), "open: No such file or directory");

    // The owner stays where the user may keep it (root may).
    if (::geteuid() == 0) {
        const std::string theirs = dir.Write("theirs.pdb", "old\n");
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
        EXPECT_EQ(Replace(theirs, "new\n"), "");
        EXPECT_EQ(Stat(theirs).st_uid, 65534u);
        EXPECT_EQ(Stat(theirs).st_gid, 65534u);
    }
    // Nothing but the files themselves is left.
    for (const std::string& name : Names(dir)) EXPECT_EQ(name.find(".velm-"), std::string::npos) << name;
}

TEST(ReplacingFile, FullDiskLeavesTheTargetAsItWas) {
    TempDir dir;
    const std::string big(200000, 'x');
    // Replaced by rename and written in place (two names): both fail whole.
    const std::string single = dir.Write("single.pdb", "good\n");
    const std::string linked = dir.Write("linked.pdb", "good\n");
    fs::create_hard_link(linked, dir.File("other.pdb"));
    for (const std::string& target : {single, linked}) {
        SCOPED_TRACE(target);
        const int code = InChildWithFileLimit(100000, [&] { return Replace(target, big) == "commit: File too large" ? 0 : 1; });
        EXPECT_EQ(code, 0);
        EXPECT_EQ(ReadText(target), "good\n");
    }
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"linked.pdb", "other.pdb", "single.pdb"}));
}

TEST(TemporaryFile, SignalsRemoveItAndStaleOnesGoWhenTheFolderIsNextWritten) {
    TempDir dir;
    const std::string target = dir.Write("saved.pdb", "good\n");
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        const pid_t pid = fork();
        if (pid == 0) {
            ReplacingFile file(target);
            std::fputs("half", file.Stream());
            std::fflush(file.Stream());
            raise(sig);
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig);
        EXPECT_EQ(Names(dir), std::vector<std::string>{"saved.pdb"});
    }

    // A process that is gone: its number, once reaped.
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone), alive = std::to_string(getpid());
    const std::time_t now = std::time(nullptr);
    const struct {
        std::string name;
        std::time_t age;
        bool removed;
    } cases[] = {
        {".saved.pdb.velm-" + dead + "-a1B2c3", 3600, true},
        {".velm-pdb.velm-" + dead + "-Zz09aa", 86400, true},
        {".saved.pdb.velm-" + dead + "-a1B2c4", 60, false},      // recent: may still be written
        {".saved.pdb.velm-" + alive + "-a1B2c5", 3600, false},   // its writer runs
        {".saved.pdb.Ab12Cd", 3600, false},                       // another program's naming
        {".saved.pdb.velm-" + dead + "-a1B2", 3600, false},
        {"saved.pdb.velm-" + dead + "-a1B2c6", 3600, false},
    };
    for (const auto& c : cases) {
        dir.Write(c.name, "left behind");
        const timespec times[2] = {{now - c.age, 0}, {now - c.age, 0}};
        ::utimensat(AT_FDCWD, dir.File(c.name).c_str(), times, 0);
        EXPECT_EQ(IsStaleTemporaryFile(c.name, now - c.age, now), c.removed) << c.name;
    }
    EXPECT_EQ(Replace(target, "new\n"), "");
    for (const auto& c : cases) EXPECT_EQ(fs::exists(dir.File(c.name)), !c.removed) << c.name;
}
