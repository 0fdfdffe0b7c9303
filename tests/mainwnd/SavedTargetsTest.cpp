#include "mainwnd/SavedTargets.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct ParseCase
{
    const char* why;
    QByteArray file;
    QStringList targets;
};

TEST(SavedTargets, ReadOneTargetALine)
{
    const ParseCase cases[] = {
        {"the file as saved", "# Addresses Vindrel probes besides its broadcasts, one a line.\n10.20.0.0/24\n10.0.0.7\n",
         {u"10.20.0.0/24"_s, u"10.0.0.7"_s}},
        {"CR LF line ends and a missing last line end", "10.0.0.1\r\n10.0.0.2", {u"10.0.0.1"_s, u"10.0.0.2"_s}},
        {"blank and indented comment lines are skipped", "\n  \t\n  # note\n10.0.0.1\n", {u"10.0.0.1"_s}},
        {"blanks around a target are trimmed", " \t10.0.0.1  \n", {u"10.0.0.1"_s}},
        {"a byte order mark is no part of the first target", "\xEF\xBB\xBF" "10.0.0.1\r\n", {u"10.0.0.1"_s}},
        {"nor one after blanks, which a save would leave at the start of its line",
         "\t\xEF\xBB\xBF" "10.0.0.2\n", {u"10.0.0.2"_s}},
        {"a line that is no target is still kept as written", "nas.local\n", {u"nas.local"_s}},
        {"bytes that are not UTF-8 become replacement characters", "10.0.0.\xFF\n", {u"10.0.0.\uFFFD"_s}},
        {"an empty file", "", {}},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(ParseTargets(c.file), c.targets);
    }
}

TEST(SavedTargets, WhatIsSavedIsReadBackAndNoneRemovesTheFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(u"settings"_s);
    const QStringList targets = {u"10.20.0.0/24"_s, u"10.20.0.5-10.20.0.40"_s};
    QString error;
    EXPECT_TRUE(LoadTargets(folder).isEmpty()) << "no file, no targets";
    ASSERT_TRUE(SaveTargets(folder, targets, true, error)) << error.toStdString();
    EXPECT_EQ(LoadTargets(folder), targets);
    ASSERT_TRUE(SaveTargets(folder, {}, false, error)) << error.toStdString();
    EXPECT_FALSE(QFile::exists(folder + u"/targets.txt"_s));
    EXPECT_TRUE(LoadTargets(folder).isEmpty());
}

TEST(SavedTargets, AFolderThatCannotBeMadeIsAnError)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile blocker(dir.filePath(u"file"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString error;
    EXPECT_FALSE(SaveTargets(dir.filePath(u"file/settings"_s), {u"10.0.0.1"_s}, true, error));
    EXPECT_FALSE(error.isEmpty());
}

}  // namespace
