// What another program may do to the current file while Kelo has it open:
// write it, replace it by another file, put a link or a folder in its place,
// or delete it.
#pragma once

#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdio>

namespace kelo::test {

inline void writeOther(const QString &path)
{
    writeBytes(path, "vom anderen Programm\n");
}
inline void replaceOther(const QString &path)
{
    // Same size and time as before, but another file: only the inode tells.
    const QFileInfo before(path);
    writeBytes(path + ".neu", "ALT\r\n");
    QFile(path + ".neu").setFileTime(before.lastModified(), QFileDevice::FileModificationTime);
    ASSERT_EQ(std::rename(QFile::encodeName(path + ".neu").constData(),
                          QFile::encodeName(path).constData()),
              0);
}
inline void linkOther(const QString &path)
{
    writeBytes(path + ".ziel", "alt\r\n");
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::link(path + ".ziel", path));
}
inline void deleteIt(const QString &path)
{
    ASSERT_TRUE(QFile::remove(path));
}
inline void folderInstead(const QString &path)
{
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkdir(path));
}

} // namespace kelo::test
