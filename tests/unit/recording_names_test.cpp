#include "recording/companion_names.h"

#include <gtest/gtest.h>

#include <QFileInfo>

using namespace SonivarACQ32;

namespace {

struct NameCase {
    const char* chosen;      // what the save dialog returned
    const char* data;        // the data file created
    const char* header;      // ".Zv"
    const char* description; // ".log"
};

const NameCase name_cases[] = {
    {"/mes/essai.dat", "/mes/essai.dat", "/mes/essai.Zv", "/mes/essai.log"},
    // Replace-all within the file name.
    {"/mes/essai.data.dat", "/mes/essai.data.dat", "/mes/essai.Zva.Zv", "/mes/essai.loga.log"},
    // Folders named like the extension are left alone.
    {"/home/op/mesures.data/essai.dat", "/home/op/mesures.data/essai.dat",
     "/home/op/mesures.data/essai.Zv", "/home/op/mesures.data/essai.log"},
    {"/a.dat/b.dat/run.dat", "/a.dat/b.dat/run.dat", "/a.dat/b.dat/run.Zv", "/a.dat/b.dat/run.log"},
    // A file name without ".dat" gets it, even below a folder that has one.
    {"/mes/essai", "/mes/essai.dat", "/mes/essai.Zv", "/mes/essai.log"},
    {"/mes.dat/essai.txt", "/mes.dat/essai.txt.dat", "/mes.dat/essai.txt.Zv", "/mes.dat/essai.txt.log"},
    // ".dat" inside the name is enough to keep the three apart.
    {"/mes/essai.data", "/mes/essai.data", "/mes/essai.Zva", "/mes/essai.loga"},
    {"relatif.dat", "relatif.dat", "relatif.Zv", "relatif.log"},
    {"/mes/acquisition été.dat", "/mes/acquisition été.dat", "/mes/acquisition été.Zv",
     "/mes/acquisition été.log"},
};

} // namespace

TEST(CompanionNames, FollowTheDataFileNameAndNeverItsFolders)
{
    for (const NameCase& c : name_cases) {
        SCOPED_TRACE(c.chosen);
        const QString data = data_file_path(QString::fromUtf8(c.chosen));
        EXPECT_EQ(data, QString::fromUtf8(c.data));
        EXPECT_EQ(companion_path(data, QStringLiteral(".Zv")), QString::fromUtf8(c.header));
        EXPECT_EQ(companion_path(data, QStringLiteral(".log")), QString::fromUtf8(c.description));
    }
}

TEST(CompanionNames, TheThreeFilesAreDistinctAndSideBySide)
{
    const char* chosen[] = {"/x/a", "/x/a.dat", "/x/.dat", "/x/a.DAT", "/x.dat/", "/x/a.dat.dat",
                            "/x/dat", "/x/a.da"};
    for (const char* c : chosen) {
        SCOPED_TRACE(c);
        const QString data = data_file_path(QString::fromUtf8(c));
        const QString zv = companion_path(data, QStringLiteral(".Zv"));
        const QString log = companion_path(data, QStringLiteral(".log"));
        EXPECT_NE(data, zv);
        EXPECT_NE(data, log);
        EXPECT_NE(zv, log);
        EXPECT_EQ(QFileInfo(zv).path(), QFileInfo(data).path());
        EXPECT_EQ(QFileInfo(log).path(), QFileInfo(data).path());
    }
}
