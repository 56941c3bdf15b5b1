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

struct OtherProgram {
    static void writes(const QString &path) { writeBytes(path, "vom anderen Programm\n"); }
    // Same size and time as before, but another file: only the inode tells.
    static void replaces(const QString &path)
    {
        const QFileInfo before(path);
        writeBytes(path + ".neu", "ALT\r\n");
        QFile(path + ".neu").setFileTime(before.lastModified(), QFileDevice::FileModificationTime);
        ASSERT_EQ(std::rename(QFile::encodeName(path + ".neu").constData(),
                              QFile::encodeName(path).constData()),
                  0);
    }
    static void links(const QString &path)
    {
        writeBytes(path + ".ziel", "alt\r\n");
        ASSERT_TRUE(QFile::remove(path) && QFile::link(path + ".ziel", path));
    }
    static void deletes(const QString &path) { ASSERT_TRUE(QFile::remove(path)); }
    static void putsAFolder(const QString &path)
    {
        ASSERT_TRUE(QFile::remove(path) && QDir().mkdir(path));
    }
};

} // namespace kelo::test
