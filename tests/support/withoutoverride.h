#ifndef TESTS_WITHOUTOVERRIDE_H
#define TESTS_WITHOUTOVERRIDE_H

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

// Root writes wherever it likes, read-only files and folders included. While
// one of these lives, this thread does without the capability that lets it
// (CAP_DAC_OVERRIDE), so permissions bind it as they bind anyone; its own
// folders stay reachable, as an ordinary user's would.
class WithoutOverride
{
public:
    WithoutOverride()
    {
#ifdef Q_OS_LINUX
        if (syscall(SYS_capget, &m_header, m_saved) == 0) {
            __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
            reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
            m_dropped = syscall(SYS_capset, &m_header, reduced) == 0;
        }
#endif
    }
    ~WithoutOverride()
    {
#ifdef Q_OS_LINUX
        if (m_dropped && syscall(SYS_capset, &m_header, m_saved) != 0)
            qFatal("could not take the capability back");
#endif
    }
    WithoutOverride(const WithoutOverride &) = delete;
    WithoutOverride &operator=(const WithoutOverride &) = delete;

private:
#ifdef Q_OS_LINUX
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] = {};
#endif
    bool m_dropped = false;
};

#endif // TESTS_WITHOUTOVERRIDE_H
