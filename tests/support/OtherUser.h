#pragma once

#include <functional>
#include <string>
#include <sys/types.h>

namespace ordalis::test {

// What a child process run as another user reports back.
struct ChildResult {
    // 0 when the body returned, 1 when it threw, 128 + signal when the child was killed,
    // and for a command its own exit status.
    int status = -1;
    // What the body returned (or the exception's text); for a command, its output.
    std::string text;
};

// An account to run code as, so that permission checks apply even when the
// tests run as root (root reads every file and writes into every folder).
class OtherUser {
public:
    // An unprivileged account: the current user when it is not root; as root, the
    // dedicated account "ordalis-test" (made with useradd when absent) or else "nobody".
    static OtherUser unprivileged();
    // An unprivileged account other than the current user: only root can switch to one.
    static OtherUser different();

    bool available() const { return m_available; }
    // Why no account can be had; empty when one can.
    const std::string& whyNot() const { return m_whyNot; }
    uid_t uid() const { return m_uid; }
    gid_t gid() const { return m_gid; }
    const std::string& name() const { return m_name; }

    // Hands path (and, for a folder, everything in it) to this account, so it can
    // then take rights away from itself with chmod. Returns false when that failed.
    bool own(const std::string& path) const;

    // Runs body in a forked child process as this account and waits for it. The
    // child cannot report GoogleTest failures: return what the parent should check.
    ChildResult run(const std::function<std::string()>& body) const;
    // Runs `sh -c command` as this account; text is its standard output and error.
    ChildResult runCommand(const std::string& command) const;

private:
    bool m_available = false;
    bool m_switches = false; // the child must change its identity
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    std::string m_name;
    std::string m_whyNot;
};

} // namespace ordalis::test

// Skips the current test, saying why, when the account cannot be had.
#define ORDALIS_SKIP_WITHOUT(user)                                                                                     \
    if (!(user).available())                                                                                           \
    GTEST_SKIP() << (user).whyNot()
