#pragma once

// Another reader, which this one cannot reach, holding the data folder:
// this one claims the folder and runs read-only until the other quits.

#include "platform/DataFolderAccess.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace folvan::test {

class HeldDataFolder {
public:
    explicit HeldDataFolder(const QString &folder = platform::folvanDataFolder())
    {
        EXPECT_TRUE(QDir().mkpath(folder));
        m_fd = ::open(QFile::encodeName(QDir(folder).filePath(platform::DataFolderAccess::lockFileName())).constData(),
                      O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        EXPECT_GE(m_fd, 0);
        EXPECT_EQ(::flock(m_fd, LOCK_EX | LOCK_NB), 0);
        EXPECT_EQ(platform::DataFolderAccess::shared().claim(folder), platform::DataFolderAccess::Claim::HeldElsewhere);
    }
    ~HeldDataFolder()
    {
        platform::DataFolderAccess::shared().release();
        otherQuits();
    }
    HeldDataFolder(const HeldDataFolder &) = delete;
    HeldDataFolder &operator=(const HeldDataFolder &) = delete;

    // The other reader ends; this one takes the folder over at its next try.
    void otherQuits()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

} // namespace folvan::test
