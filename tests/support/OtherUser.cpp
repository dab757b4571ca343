#include "tests/support/OtherUser.h"

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ordalis::test {
namespace {

constexpr const char* kDedicatedAccount = "ordalis-test";

bool LookUp(const char* name, uid_t* uid, gid_t* gid)
{
    const passwd* entry = ::getpwnam(name);
    if (!entry || entry->pw_uid == 0)
        return false;
    *uid = entry->pw_uid;
    *gid = entry->pw_gid;
    return true;
}

// Parallel test processes may race to make the account; whoever loses finds it made.
void MakeDedicatedAccount()
{
    const std::string command = std::string("useradd --system --no-create-home --shell /usr/sbin/nologin ") +
                                kDedicatedAccount + " >/dev/null 2>&1";
    [[maybe_unused]] const int status = std::system(command.c_str());
}

void WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

std::string ReadAll(int fd)
{
    std::string text;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return text;
        text.append(chunk, static_cast<size_t>(n));
    }
}

// In the child: gives up root for good, or says why it could not.
bool SwitchTo(uid_t uid, gid_t gid)
{
    if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
        return false;
    return ::geteuid() == uid && ::getegid() == gid && ::setuid(0) != 0;
}

constexpr int kCannotSwitch = 126;

// Forks; the child switches identity, runs inChild with the pipe's write end and
// exits with its result; the parent collects what the child wrote and how it ended.
ChildResult Fork(bool switches, uid_t uid, gid_t gid, const std::function<int(int)>& inChild)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {-1, "pipe failed"};
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return {-1, "fork failed"};
    }
    if (pid == 0) {
        ::close(fds[0]);
        if (switches && !SwitchTo(uid, gid)) {
            WriteAll(fds[1], "cannot switch to uid " + std::to_string(uid));
            ::_exit(kCannotSwitch);
        }
        ::_exit(inChild(fds[1]));
    }
    ::close(fds[1]);
    ChildResult result;
    result.text = ReadAll(fds[0]);
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.status = 128 + WTERMSIG(status);
    return result;
}

} // namespace

OtherUser OtherUser::unprivileged()
{
    if (::geteuid() != 0) {
        OtherUser self;
        self.m_available = true;
        self.m_uid = ::geteuid();
        self.m_gid = ::getegid();
        const passwd* entry = ::getpwuid(self.m_uid);
        self.m_name = entry ? entry->pw_name : std::to_string(self.m_uid);
        return self;
    }
    return different();
}

OtherUser OtherUser::different()
{
    OtherUser user;
    if (::geteuid() != 0) {
        user.m_whyNot = "only root can run code as another user";
        return user;
    }
    if (!LookUp(kDedicatedAccount, &user.m_uid, &user.m_gid)) {
        MakeDedicatedAccount();
        if (LookUp(kDedicatedAccount, &user.m_uid, &user.m_gid))
            user.m_name = kDedicatedAccount;
        else if (LookUp("nobody", &user.m_uid, &user.m_gid))
            user.m_name = "nobody";
        else {
            user.m_whyNot = std::string("no unprivileged account: useradd ") + kDedicatedAccount +
                            " failed and there is no \"nobody\"";
            return user;
        }
    } else {
        user.m_name = kDedicatedAccount;
    }
    user.m_available = true;
    user.m_switches = true;
    // In a chroot whose root folder is closed to others, the account can neither
    // run a program nor reach the tests' temporary folders.
    const std::string temporary = std::filesystem::temp_directory_path().string();
    const ChildResult probe = Fork(true, user.m_uid, user.m_gid, [&temporary](int) {
        return ::access("/bin/sh", X_OK) == 0 && ::access(temporary.c_str(), X_OK) == 0 ? 0 : 1;
    });
    if (probe.status != 0) {
        user.m_available = false;
        user.m_whyNot = "the account " + user.m_name + " cannot run /bin/sh or reach " + temporary +
                        " (a folder above them is closed to other users)";
    }
    return user;
}

bool OtherUser::own(const std::string& path) const
{
    if (!m_available)
        return false;
    if (!m_switches)
        return true;
    if (::lchown(path.c_str(), m_uid, m_gid) != 0)
        return false;
    std::error_code ec;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(path, ec)))
        return true;
    for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (::lchown(it->path().c_str(), m_uid, m_gid) != 0)
            return false;
    return !ec;
}

ChildResult OtherUser::run(const std::function<std::string()>& body) const
{
    if (!m_available)
        return {-1, m_whyNot};
    return Fork(m_switches, m_uid, m_gid, [&body](int out) {
        int status = 0;
        std::string text;
        try {
            text = body();
        } catch (const std::exception& e) {
            status = 1;
            text = e.what();
        } catch (...) {
            status = 1;
            text = "unknown exception";
        }
        WriteAll(out, text);
        return status;
    });
}

ChildResult OtherUser::runCommand(const std::string& command) const
{
    if (!m_available)
        return {-1, m_whyNot};
    return Fork(m_switches, m_uid, m_gid, [&command](int out) {
        if (::dup2(out, STDOUT_FILENO) < 0 || ::dup2(out, STDERR_FILENO) < 0)
            return 127;
        ::close(out);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        return 127;
    });
}

} // namespace ordalis::test
