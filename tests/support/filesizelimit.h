#pragma once
// Makes writes fail as on a full disk, without root: lowers this process's file size limit
// (RLIMIT_FSIZE) with SIGXFSZ ignored, so a write past the limit returns EFBIG instead of
// killing the process. The destructor restores the previous limit and signal disposition.

#include <csignal>
#include <sys/resource.h>

class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        m_ok = getrlimit(RLIMIT_FSIZE, &m_previous) == 0;
        if (m_ok) {
            rlimit lowered = m_previous;
            lowered.rlim_cur = bytes;
            m_ok = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
        }
    }
    ~FileSizeLimit()
    {
        if (m_ok)
            setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool isActive() const { return m_ok; }

private:
    rlimit m_previous {};
    void (*m_previousHandler)(int) = SIG_DFL;
    bool m_ok = false;
};
