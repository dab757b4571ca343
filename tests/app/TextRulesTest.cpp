#include "app/ApplicationTitle.h"
#include "app/FileFilter.h"

#include <gtest/gtest.h>

namespace ordalis {
namespace {

TEST(ApplicationTitleTest, KeepsTheFirstCharacterAndLowersTheRest)
{
    const struct {
        const char* path;
        const char* title;
    } cases[] = {
        {"/usr/bin/ordalis", "ordalis"}, {"/opt/TOOL.EXE", "Tool"},           {"/opt/Ordalis", "Ordalis"},
        {"/opt/my.tool.bin", "my"},      {"/home/u/v1.2/ORDALIS", "Ordalis"}, // a dot in the folder does not count
        {"ORDALIS.X", "Ordalis"},        {"/opt/ОРДАЛИС", "Ордалис"},         {"/opt/.hidden", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ApplicationTitle(QString::fromUtf8(c.path)).toStdString(), c.title) << c.path;
}

TEST(FileFilterTest, PairsBecomeQtNameFilters)
{
    EXPECT_EQ(QtNameFilters("Signature|*.sig|PKCS7|*.p7s"),
              (QStringList{QStringLiteral("Signature (*.sig)"), QStringLiteral("PKCS7 (*.p7s)")}));
    EXPECT_EQ(QtNameFilters("Зашифрованные файлы|*.enc"), QStringList{QStringLiteral("Зашифрованные файлы (*.enc)")});
    EXPECT_EQ(QtNameFilters("Keys|*.pem;*.der"), QStringList{QStringLiteral("Keys (*.pem *.der)")});
    EXPECT_TRUE(QtNameFilters("").isEmpty());
}

} // namespace
} // namespace ordalis
